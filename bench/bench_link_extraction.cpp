// Link extraction over a generated page: 10,000 anchors and as many plain-text
// links spread through filler text. Reports bytes per second; run it at two
// page sizes to see that the time grows linearly.

#include <benchmark/benchmark.h>

#include <string>

#include "host/host_config.h"
#include "host/link_extraction.h"
#include "platform/wide_text.h"

namespace {

std::wstring make_page(std::size_t target_chars, int links) {
    std::wstring page;
    page.reserve(target_chars + 256);
    const std::wstring filler_unit =
        L"<p class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>\n";
    const std::size_t per_link = target_chars / static_cast<std::size_t>(links);
    for (int i = 0; i < links; ++i) {
        const std::size_t start = page.size();
        page += L"<a href=\"http://rapidshare.com/files/" + std::to_wstring(100000 + i) +
                L"/File_" + std::to_wstring(i) + L".zip\">File " + std::to_wstring(i) + L"</a>\n";
        page += L"Mirror: RapidShare.com/files/" + std::to_wstring(200000 + i) + L"/part" +
                std::to_wstring(i) + L".rar\n";
        while (page.size() - start < per_link) {
            page += filler_unit;
        }
    }
    return page;
}

void extract(benchmark::State& state) {
    const std::size_t chars = static_cast<std::size_t>(state.range(0)) << 20;
    const std::wstring page = make_page(chars, 10000);
    const std::wstring marker = corvale::Host_config{}.link_marker();
    std::size_t links = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::wstring text = page;
        state.ResumeTiming();
        links = corvale::extract_links(text, marker).links.size();
        benchmark::DoNotOptimize(links);
    }
    state.counters["links"] = static_cast<double>(links);
    // One character of the page is one byte of a typical (ASCII) HTML page.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(extract)->Arg(5)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

// A paste that is nothing but "http:" over and over: every one of them gets a
// line break in front. Goal: at least 100 MB/s, growing linearly.
void split_pathological_paste(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    std::string paste;
    while (paste.size() < bytes) {
        paste += "http:";
    }
    const std::string marker = corvale::encode_utf8(corvale::Host_config{}.link_marker());
    for (auto _ : state) {
        std::string split = corvale::split_pasted_links(std::string_view(paste));
        corvale::extract_links(split, marker, [](std::wstring) {});
        benchmark::DoNotOptimize(split.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * paste.size()));
}
BENCHMARK(split_pathological_paste)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
