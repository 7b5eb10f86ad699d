#include "cli/queue_command.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/terminal_text.h"
#include "engine/download_control.h"
#include "engine/notification_queue.h"
#include "engine/notifications.h"
#include "engine/runner_window.h"
#include "model/list_file.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr const char* k_usage =
    "corvale-cli queue FILE [--all | --rows LIST] [--yes] [--second-ms N] [--limit-rate RATE]";
constexpr int k_interrupted = 130;  // 128 + SIGINT, as shells report it; not a text id

class Queue_host;

// A download of the queue: what a progress window does, without a window;
// its progress is the terminal's progress line.
class Queue_window : public Runner_window {
  public:
    Queue_window(Queue_host& host, Prompter& prompter, std::int32_t number,
                 Settings_source settings);

    void open() override;
    void set_title(int) override {}
    void forward(std::uint32_t message, std::int64_t lparam) override;

    // How the download ended: the record's status, or why it never started.
    const std::wstring& final_status(const Download_record& record) const {
        return refusal_ ? *refusal_ : record.status_text;
    }

  private:
    Queue_host& host_;
    std::optional<std::wstring> refusal_;
};

// The main window's part: posts go through the notification queue that the
// workers post to, and the command's loop handles them in order.
class Queue_host : public Control_host, public Progress_window_host {
  public:
    Queue_host(Cli_list& cli, Cli_streams io, std::wstring path, Settings_source settings)
        : cli_(cli),
          io_(io),
          path_(std::move(path)),
          settings_(std::move(settings)),
          line_(io.err, Progress_line::terminal(io.err)),
          control_(cli.list, cli.view, *this) {}

    Download_control& control() { return control_; }
    std::shared_ptr<Notification_queue> queue() { return queue_; }
    Progress_line& line() { return line_; }

    std::unique_ptr<Download_window> make_window(std::int32_t number) override {
        return std::make_unique<Queue_window>(*this, cli_.prompter, number, settings_);
    }
    void post_start(std::int32_t number) override { queue_->post({UM_START_DOWNLOAD, 0, number}); }
    // Windows are let go of in the command's loop, never inside a question:
    // they can be freed at once.
    void release_window(std::unique_ptr<Download_window>) override {}
    // Progress_window_host
    void post_window_closed(std::int32_t download_number) override {
        queue_->post({UM_DOWNLOAD_WINDOW_CLOSED, 0, download_number});
    }
    void cancel_automatic_downloads() override { control_.cancel_automatic(); }
    bool automatic_downloading_active() const override { return control_.automatic_active(); }
    std::shared_ptr<Notification_target> worker_target() override { return queue_; }
    // The CLI never deletes or closes through the control: no waits, no
    // busy state, no tool windows.
    void arm_timer(Control_timer) override {}
    void kill_timer(Control_timer) override {}
    void enter_busy() override {}
    void leave_busy() override {}
    void enter_closing() override {}
    void close_tools() override {}
    bool tools_open() const override { return false; }
    void set_unqueue_enabled(bool) override {}
    bool save_list() override { return save(); }
    void end() override {}

    bool save() { return save_cli_list(cli_.list, path_, io_.err); }

    // Runs the queue to its end; false when Ctrl-C (or SIGTERM, SIGHUP)
    // stopped it.
    bool run();
    int queued = 0;
    int finished = 0;

  private:
    void handle(const Notification& notification);

    Cli_list& cli_;
    Cli_streams io_;
    std::wstring path_;
    Settings_source settings_;
    std::shared_ptr<Notification_queue> queue_ = std::make_shared<Notification_queue>();
    Progress_line line_;
    Download_control control_;
};

Queue_window::Queue_window(Queue_host& host, Prompter& prompter, std::int32_t number,
                           Settings_source settings)
    : Runner_window(host, prompter, number, std::move(settings)), host_(host) {}

void Queue_window::forward(std::uint32_t message, std::int64_t lparam) {
    if (handle_end(message, lparam)) {
        return;
    }
    host_.line().show(window_texts());
}

// One line of a status column: the lines of a message joined by blanks.
std::wstring one_line(std::wstring_view text) {
    std::wstring line;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        const std::wstring_view part = trim_space(text.substr(start, end - start));
        if (!part.empty()) {
            line += (line.empty() ? L"" : L" ") + std::wstring(part);
        }
        if (end == text.size()) {
            return line;
        }
        start = end + 1;
    }
}

void Queue_window::open() {
    const Download_runner::Start started = start();
    if (refused()) {
        refusal_ = window_texts().status;  // the link, or a name that fails the rule
    } else if (started != Download_runner::Start::started) {
        refusal_ = one_line(runner().refusal_text());
    }
}

void Queue_host::handle(const Notification& notification) {
    const std::uint32_t message = notification.kind;
    if (message == UM_START_DOWNLOAD) {
        // Every start is a step of the queue: one posted before Ctrl-C
        // cancelled the queue is dropped.
        control_.start_queued(static_cast<std::int32_t>(notification.value));
    } else if (message == UM_DOWNLOAD_WINDOW_CLOSED) {
        Download_window* window =
            control_.held_window(static_cast<std::int32_t>(notification.value));
        if (window != nullptr) {
            const Download_record& record = *cli_.list.find(window->download_number());
            const auto* queued = static_cast<Queue_window*>(window);
            finished += queued->succeeded() ? 1 : 0;
            line_.end();
            io_.out << record.download_number << '\t' << terminal_text(record.file_name) << '\t'
                    << terminal_text(queued->final_status(record)) << std::endl;
        }
        control_.window_closed(window);
        save();
    } else {
        control_.notify(message, static_cast<std::int32_t>(notification.sender),
                        notification.value);
    }
}

bool Queue_host::run() {
    bool stopping = false;
    for (;;) {
        if (Interrupt_guard::interrupted() && !stopping) {
            // The running download stops quietly (its partial file stays),
            // and nothing is started after it.
            stopping = true;
            control_.cancel_automatic();
            control_.stop_all();
        }
        const auto next = queue_->pop(std::chrono::milliseconds(20));
        if (next) {
            handle(*next);
        }
        control_.take_waiting_progress();
        if (!next && !control_.automatic_active() && control_.open_windows() == 0) {
            break;
        }
    }
    line_.end();
    return !stopping;
}

}  // namespace

int run_queue(const std::vector<std::string>& raw, Cli_streams io,
              const std::shared_ptr<Transfer_settings>& settings) {
    const Arguments args =
        parse_arguments(raw, {"--rows", "--second-ms", "--limit-rate"}, {"--all", "--yes"});
    std::string problem = args.error;
    if (problem.empty() && args.positional.size() != 1) {
        problem = "expected one list file";
    }
    if (problem.empty() && args.has("--all") == args.value("--rows").has_value()) {
        problem = "give either --all or --rows";
    }
    if (problem.empty()) {
        problem = apply_transfer_options(args, *settings);
    }
    if (!problem.empty()) {
        io.err << "corvale-cli: " << problem << "\nusage: " << k_usage << '\n';
        return 2;
    }
    Cli_list cli(io,
                 args.has("--yes") ? Terminal_prompter::Given::yes : Terminal_prompter::Given::no);
    const std::wstring path = decode_native(args.positional[0]);
    try {
        load_list(cli.list, path, false);
    } catch (const Settings_file_error& error) {
        io.err << encode_utf8(error.message()) << '\n';
        return 2;
    }
    // The list holds its file's lock until the last save. A list that could
    // not be saved would lose every download's progress: nothing starts.
    if (!check_list_saveable(cli.list, path)) {
        return 2;
    }
    cli.list.fill_rows(cli.view);

    Queue_host host(cli, io, path, settings);
    std::vector<int> rows;
    if (args.has("--all")) {
        for (int row = 0; row < cli.view.row_count(); ++row) {
            rows.push_back(row);
        }
    } else {
        const std::string list = *args.value("--rows");
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            const std::string word = list.substr(start, comma - start);
            const auto number = parse_digits(word);
            const int row = number && *number < 0x7fffffff
                                ? host.control().find_row(static_cast<std::int32_t>(*number))
                                : -1;
            if (row < 0) {
                io.err << "corvale-cli: no download numbered '" << word
                       << "' in the list\nusage: " << k_usage << '\n';
                return 2;
            }
            rows.push_back(row);
            start = comma + 1;
        }
    }
    const Interrupt_guard interrupt;
    host.control().queue_rows(rows);
    host.queued = static_cast<int>(host.control().queue().size());
    const bool completed = host.run();
    if (!host.save()) {
        return 2;
    }
    if (!completed) {
        return k_interrupted;
    }
    return host.finished == host.queued ? 0 : 1;
}

}  // namespace corvale
