#include "cli/update_command.h"

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "corvale/text_ids.h"
#include "corvale/version.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"
#include "tools/update_check.h"

namespace corvale {

namespace {

constexpr std::string_view k_usage = "usage: corvale-cli check-update [--url URL]\n";

// The fetch on a thread of its own, so that Ctrl-C ends it at once.
Version_fetch fetch_interruptibly(const Update_source& source) {
    const Interrupt_guard interrupt;
    Stop_event stop;
    std::atomic<bool> done{false};
    Version_fetch fetch;
    std::thread worker([&] {
        fetch = fetch_version_file(source, stop);
        done.store(true, std::memory_order_release);
    });
    while (!done.load(std::memory_order_acquire)) {
        if (Interrupt_guard::interrupted()) {
            stop.set();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    worker.join();
    return fetch;
}

// The version file's fields are the update server's text: each stays on its
// own line, whatever it holds.
void print_field(std::ostream& out, int label, const std::wstring& value) {
    out << encode_utf8(load_string(label)) << ' ' << terminal_text(value) << '\n';
}

}  // namespace

int run_check_update(const std::vector<std::string>& raw, Cli_streams io) {
    const Arguments args = parse_arguments(raw, {"--url"}, {});
    std::string problem = args.error;
    if (problem.empty() && !args.positional.empty()) {
        problem = "no arguments besides --url";
    }
    std::optional<Update_source> source = default_update_source();
    if (problem.empty() && args.value("--url")) {
        source = update_source_from_url(decode_ansi(*args.value("--url")));
        if (!source) {
            problem = "--url takes an http:// or https:// URL";
        }
    }
    if (!problem.empty()) {
        io.err << "corvale-cli check-update: " << problem << '\n' << k_usage;
        return 2;
    }
    const Version_fetch fetch = fetch_interruptibly(*source);
    print_field(io.out, texts::current_version, k_file_version);
    if (!fetch.has_reply()) {
        io.out << std::flush;
        if (!fetch.error.empty()) {
            io.err << terminal_text(fetch.error) << '\n';
        } else if (fetch.status != 200 && fetch.status != 0) {
            io.err << "HTTP status " << fetch.status << '\n';
        }
        io.err << encode_utf8(load_string(texts::update_check_failed)) << '\n';
        return 1;
    }
    const Version_file file = parse_version_file(fetch.reply);
    print_field(io.out, texts::latest_version, file.latest);
    print_field(io.out, texts::version_date, file.date.value_or(L""));
    print_field(io.out, texts::update_information, file.information.value_or(L""));
    io.out << encode_utf8(load_string(
                  update_verdict_message(update_available(k_file_version, file.latest))))
           << '\n'
           << std::flush;
    return io.out ? 0 : 1;
}

}  // namespace corvale
