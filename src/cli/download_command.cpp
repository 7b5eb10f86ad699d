#include "cli/download_command.h"

#include <unistd.h>

#include <iostream>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/terminal_prompter.h"
#include "cli/terminal_text.h"
#include "cli/transfer_loop.h"
#include "corvale/text_ids.h"
#include "engine/download_runner.h"
#include "engine/progress_texts.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr const char* k_usage =
    "corvale-cli download URL [--folder DIR] [--name NAME] [--yes] [--keep-partial] [--trace] "
    "[--second-ms N] [--limit-rate RATE]";

}  // namespace

int run_download(const std::vector<std::string>& raw, Cli_streams io,
                 const std::shared_ptr<Transfer_settings>& settings) {
    const Arguments args =
        parse_arguments(raw, {"--folder", "--name", "--second-ms", "--limit-rate"},
                        {"--yes", "--keep-partial", "--trace"});
    std::string problem = args.error;
    if (problem.empty() && args.positional.size() != 1) {
        problem = "expected one URL";
    }
    if (problem.empty()) {
        problem = apply_transfer_options(args, *settings);
    }
    if (!problem.empty()) {
        io.err << "corvale-cli: " << problem << "\nusage: " << k_usage << '\n';
        return 2;
    }
    const std::wstring url = Download_runner::usable_url(decode_ansi(args.positional[0]));
    if (url.empty()) {
        io.err << encode_utf8(load_string(texts::invalid_url)) << '\n';
        return 2;
    }
    const std::wstring name = args.value("--name") ? decode_native(*args.value("--name"))
                                                   : Download_runner::file_name_of(url);
    if (!args.value("--name") && name.empty()) {
        io.err << encode_utf8(load_string(texts::no_name_in_link)) << '\n';
        return 2;
    }
    const std::wstring folder = decode_native(args.value("--folder").value_or("."));
    const bool trace = args.has("--trace");

    Terminal_prompter prompter(
        io.in, io.err,
        args.has("--yes") ? Terminal_prompter::Given::yes : Terminal_prompter::Given::ask,
        io.interactive);
    Download_runner runner(prompter, settings);
    runner.answer_keep_partial(args.has("--keep-partial"));
    auto queue = std::make_shared<Notification_queue>();
    const Interrupt_guard interrupt;
    switch (runner.start(0, url, folder, name, queue)) {
        case Download_runner::Start::started:
            break;
        case Download_runner::Start::name_refused:
            // The name given, or the one the link ends in ("a?b=c", "..").
            io.err << encode_utf8(load_string(texts::invalid_file_name)) << '\n';
            return 2;
        default:
            return 1;
    }
    Download_worker& worker = runner.worker();
    Progress_line line(io.err, !trace && Progress_line::terminal(io.err));
    Window_texts shown;
    shown.downloaded = size_text(0);
    int percentage = 0;
    Progress_pace pace;
    const auto now = [] { return std::chrono::steady_clock::now(); };
    auto take_progress = [&] {
        pace.taken(now());
        const Progress_block block = take_progress_texts(worker, shown);
        shown.size = block.size != 0 ? size_text(block.size) : L"";
        percentage = block.percentage;
        line.show(shown, percentage);
    };
    const auto handle = [&](const Notification& n) {
        std::wstring text;
        bool ends = false;
        switch (n.kind) {
            case UM_PROGRESS:
                if (pace.arrived(now())) {
                    take_progress();
                }
                break;
            case UM_FINISHED:
                ends = true;
                shown.status = text = worker.status_text();
                break;
            case UM_ERROR:
                ends = error_ends_worker(n.value);
                shown.status = text = worker.status_text();
                break;
            case UM_STATUS:
                shown.status = text = worker.status_text();
                break;
            case UM_LAST_ERROR:
                text = worker.last_error_text();
                break;
            case UM_WAIT:
                shown.status = countdown_text(texts::wait_countdown, n.value);
                break;
            default:
                break;
        }
        if (trace) {
            io.out << message_name(n.kind) << ' ' << n.value;
            if (n.kind == UM_STATUS || n.kind == UM_ERROR || n.kind == UM_FINISHED ||
                n.kind == UM_LAST_ERROR) {
                io.out << '\t' << terminal_text(text);
            }
            // Each line as it happens, also when the trace goes to a file
            // that someone follows.
            io.out << '\n' << std::flush;
        }
        if (ends) {
            take_progress();  // the last values, not those of up to 100 ms ago
        } else if (n.kind != UM_PROGRESS) {
            line.show(shown, percentage);
        }
        return ends;
    };
    const auto idle = [&] {
        if (pace.due(now())) {
            take_progress();
        }
    };
    const Loop_end end = run_transfer_loop(*queue, handle, idle, std::chrono::milliseconds(20));
    line.end();
    queue->close();
    if (end == Loop_end::finished) {
        runner.finished(true);
    }
    // A complete file is kept as it is; a cancelled or failed download's
    // partial file only with --keep-partial, an empty one never.
    runner.cancel();
    if (end == Loop_end::interrupted) {
        io.err << encode_utf8(load_string(texts::download_canceled)) << '\n';
        return 1;
    }
    if (end == Loop_end::failed && !trace) {
        io.err << terminal_text(shown.status) << '\n';
    }
    io.out << std::flush;
    return end == Loop_end::finished ? 0 : 1;
}

}  // namespace corvale
