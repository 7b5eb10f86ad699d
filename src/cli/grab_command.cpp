#include "cli/grab_command.h"

#include <iostream>
#include <optional>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "cli/transfer_loop.h"
#include "corvale/text_ids.h"
#include "engine/page_fetcher.h"
#include "host/host_config.h"
#include "host/link_extraction.h"
#include "host/page_classification.h"
#include "platform/string_table.h"
#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::string_view k_grab_usage =
    "usage: corvale-cli grab [--paste] -\n"
    "       corvale-cli grab URL [--verify] [--second-ms N]\n";

struct Fetch_result {
    std::optional<std::string> page;  // none: the fetch failed
    std::wstring failure;             // the fetcher's last error text
    bool cut = false;                 // the page is the first 32 MiB of a longer one
};

Fetch_result fetch_page(std::int32_t identifier, const std::wstring& url, Worker_timing timing) {
    auto queue = std::make_shared<Notification_queue>();
    Page_fetcher fetcher(identifier, url, queue, std::move(timing));
    Fetch_result result;
    if (!fetcher.created() || !fetcher.resume()) {
        result.failure = load_string(texts::resume_failed);
        return result;
    }
    std::wstring last_error;
    const Loop_end end = run_transfer_loop(*queue, [&](const Notification& n) {
        if (n.message == UM_PROGRESS) {
            fetcher.take_progress();
        }
        if (n.message == UM_ERROR) {
            const bool ends = error_ends_worker(n.lparam);
            // The final "attempts used up" says less than the failure before it.
            if (!ends || last_error.empty() || n.lparam != NT_ATTEMPTS_USED_UP) {
                last_error = fetcher.status_text();
            }
            return ends;
        }
        return n.message == UM_FINISHED;
    });
    queue->close();
    fetcher.stop();
    if (end == Loop_end::finished) {
        result.page = std::string(fetcher.page_data());
        result.cut = fetcher.page_cut();
    } else {
        result.failure =
            end == Loop_end::interrupted ? load_string(texts::download_canceled) : last_error;
    }
    return result;
}

// Prints each link of the page (or paste) on a line of its own as it is
// found; gives the links when `keep` asks for them.
std::vector<std::wstring> print_links(std::string& bytes, bool keep, Cli_streams io) {
    std::vector<std::wstring> kept;
    const bool complete =
        extract_links(bytes, encode_utf8(Host_config{}.link_marker()), [&](std::wstring link) {
            io.out << terminal_text(link) << '\n';
            if (keep) {
                kept.push_back(std::move(link));
            }
        });
    io.out << std::flush;
    if (!complete) {
        io.err << "corvale-cli grab: an anchor \"<a \" has no \"</a>\" after it; links in anchors "
                  "from there on were not taken, plain links were\n";
    }
    return kept;
}

// All of standard input; false when it cannot be read.
bool read_input(std::istream& in, std::string& bytes) {
    constexpr std::size_t k_piece = 1 << 16;
    for (;;) {
        const std::size_t size = bytes.size();
        bytes.resize(size + k_piece);
        in.read(bytes.data() + size, k_piece);
        bytes.resize(size + static_cast<std::size_t>(in.gcount()));
        if (!in) {
            break;
        }
    }
    bytes.shrink_to_fit();
    return !in.bad();
}

int grab_from_input(bool paste, Cli_streams io) {
    std::string bytes;
    if (!read_input(io.in, bytes)) {
        io.err << "corvale-cli grab: standard input cannot be read\n";
        return 1;
    }
    if (paste) {
        std::string split = split_pasted_links(bytes);
        bytes = std::string();  // one copy at a time
        bytes.swap(split);
    }
    print_links(bytes, false, io);
    return io.out ? 0 : 1;
}

int grab_from_web(std::wstring url, bool verify, Worker_timing timing, Cli_streams io) {
    url = usable_link(url);
    const Interrupt_guard interrupt;
    Fetch_result fetched = fetch_page(-1, url, timing);
    if (!fetched.page) {
        io.err << terminal_text(fetched.failure) << '\n';
        return 1;
    }
    const std::vector<std::wstring> links = print_links(*fetched.page, verify, io);
    if (fetched.cut) {
        io.err << "corvale-cli grab: the page was cut after its first 32 MiB; links after that "
                  "were not taken\n";
    }
    if (!verify) {
        return 0;
    }
    std::int32_t row = 0;
    for (const std::wstring& link : links) {
        const Fetch_result page = fetch_page(row++, link, timing);
        std::string line = terminal_text(link) + '\t';
        if (page.page) {
            std::wstring page_text = decode_page_text(*page.page);
            const Page_classification verdict = classify_page(page_text);
            line += encode_utf8(load_string(verdict_message(verdict.verdict))) + '\t' +
                    terminal_text(verdict.file_name) + '\t' + terminal_text(verdict.size);
        } else {
            line += terminal_text(page.failure) + "\t\t";
        }
        io.out << line << '\n' << std::flush;
        if (Interrupt_guard::interrupted()) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

int run_grab(const std::vector<std::string>& raw, Cli_streams io) {
    const Arguments args = parse_arguments(raw, {"--second-ms"}, {"--paste", "--verify"});
    const bool from_input = args.positional == std::vector<std::string>{"-"};
    std::string problem = args.error;
    if (problem.empty() && args.positional.size() != 1) {
        problem = "expected '-' or a URL";
    }
    if (problem.empty() && from_input && (args.has("--verify") || args.value("--second-ms"))) {
        problem = "--verify and --second-ms go with a URL";
    }
    if (problem.empty() && !from_input && args.has("--paste")) {
        problem = "--paste goes with '-'";
    }
    std::chrono::milliseconds second(1000);
    if (problem.empty() && !parse_second_ms(args, second)) {
        problem = "--second-ms takes 1 to 3600000";
    }
    if (!problem.empty()) {
        io.err << "corvale-cli grab: " << problem << '\n' << k_grab_usage;
        return 2;
    }
    if (from_input) {
        return grab_from_input(args.has("--paste"), io);
    }
    return grab_from_web(decode_ansi(args.positional[0]), args.has("--verify"),
                         Worker_timing{second, {}}, io);
}

}  // namespace corvale
