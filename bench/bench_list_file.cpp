// Saving and loading a list file of about 10 MiB (10,000 records).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "model/list_file.h"
#include "platform/profile.h"
#include "platform/prompter.h"

namespace {

class Silent_prompter : public corvale::Prompter {
  public:
    void show_message(const std::wstring&) override {}
    bool ask_yes_no(const std::wstring&) override { return false; }
    Answer ask_yes_no_cancel(const std::wstring&) override { return Answer::no; }
};

struct Fixture {
    Fixture() {
        for (int i = 0; i < 10000; ++i) {
            const std::wstring n = std::to_wstring(i);
            list.add_download(L"Holiday_Photos_Archive.part" + n + L".rar",
                              std::wstring(280, L'd') + n, view,
                              L"http://rapidshare.com/files/" + std::to_wstring(100000000 + i) +
                                  L"/Holiday_Photos_Archive.part" + n + L".rar",
                              L"/home/user/Downloads/Holiday photos/" + n);
        }
        path = std::filesystem::temp_directory_path() /
               ("corvale-bench-" + std::to_string(::getpid()) + ".zrv");
    }
    ~Fixture() { std::filesystem::remove(path); }

    Silent_prompter prompter;
    corvale::Memory_profile profile;
    corvale::Download_list list{prompter, profile};
    corvale::Memory_list_view view;
    std::filesystem::path path;
};

void save(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvale::save_list(f.list, f.path.wstring()));
    }
    state.counters["MiB"] = static_cast<double>(std::filesystem::file_size(f.path)) / (1 << 20);
}
BENCHMARK(save)->Unit(benchmark::kMillisecond);

void load(benchmark::State& state) {
    Fixture f;
    corvale::save_list(f.list, f.path.wstring());
    for (auto _ : state) {
        corvale::load_list(f.list, f.path.wstring(), false);
    }
    state.counters["records"] = static_cast<double>(f.list.records().size());
}
BENCHMARK(load)->Unit(benchmark::kMillisecond);

void merge_into_itself(benchmark::State& state) {
    Fixture f;
    corvale::save_list(f.list, f.path.wstring());
    for (auto _ : state) {
        corvale::load_list(f.list, f.path.wstring(), false);
        corvale::load_list(f.list, f.path.wstring(), true);  // every record a duplicate
    }
}
BENCHMARK(merge_into_itself)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
