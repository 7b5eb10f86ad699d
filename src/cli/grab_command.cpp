#include "cli/grab_command.h"

#include <array>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "cli/transfer_loop.h"
#include "corvale/text_ids.h"
#include "engine/page_fetcher.h"
#include "host/file_host.h"
#include "host/host_config.h"
#include "platform/string_table.h"
#include "platform/url.h"
#include "platform/wide_text.h"
#include "tools/links_grabber.h"

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

Fetch_result fetch_page(std::int32_t identifier, const std::wstring& url,
                        Settings_source settings) {
    auto queue = std::make_shared<Notification_queue>();
    Page_fetcher fetcher(identifier, url, queue, std::move(settings));
    Fetch_result result;
    if (!fetcher.created() || !fetcher.resume()) {
        result.failure = load_string(texts::resume_failed);
        return result;
    }
    std::wstring last_error;
    const Loop_end end = run_transfer_loop(*queue, [&](const Notification& n) {
        if (n.kind == UM_PROGRESS) {
            fetcher.take_progress();
        }
        if (n.kind == UM_ERROR) {
            const bool ends = error_ends_worker(n.value);
            // The final "attempts used up" says less than the failure before it.
            if (!ends || last_error.empty() || n.value != NT_ATTEMPTS_USED_UP) {
                last_error = fetcher.status_text();
            }
            return ends;
        }
        return n.kind == UM_FINISHED;
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

// The grabber's links list: every link selected, as the walk needs.
class Verify_list : public Grabber_view {
  public:
    int item_count() const override { return static_cast<int>(items_.size()); }
    void append_item(const std::wstring& number, const std::wstring& link) override {
        Item item;
        item.texts[gcol_number] = number;
        item.texts[gcol_link] = link;
        items_.push_back(std::move(item));
    }
    std::wstring item_text(int item, int column) const override {
        return items_[static_cast<std::size_t>(item)].texts[static_cast<std::size_t>(column)];
    }
    void set_item_text(int item, int column, const std::wstring& text) override {
        items_[static_cast<std::size_t>(item)].texts[static_cast<std::size_t>(column)] = text;
    }
    bool is_selected(int item) const override {
        return items_[static_cast<std::size_t>(item)].selected;
    }
    void deselect(int item) override { items_[static_cast<std::size_t>(item)].selected = false; }

  private:
    struct Item {
        std::array<std::wstring, gcol_count> texts;
        bool selected = true;
    };
    std::vector<Item> items_;
};

// The grabber's window part: one page fetch at a time, each with a queue of
// its own, so that nothing of a stopped fetch reaches the next one.
class Verify_host : public Grabber_host {
  public:
    Verify_host(Settings_source settings, Cli_streams io)
        : settings_(std::move(settings)), io_(io) {}
    ~Verify_host() override { stop_fetch(); }

    bool start_fetch(std::int32_t id, const std::wstring& url) override {
        queue_ = std::make_shared<Notification_queue>();
        fetcher_ = std::make_unique<Page_fetcher>(id, url, queue_, settings_);
        failure_.clear();
        running_ = id;
        if (!fetcher_->created() || !fetcher_->resume()) {
            stop_fetch();
            return false;
        }
        return true;
    }
    void stop_fetch() override {
        if (fetcher_) {
            queue_->close();
            fetcher_->stop();
            fetcher_.reset();
        }
    }
    std::wstring fetch_status() override {
        return failure_.empty() ? fetcher_->status_text() : failure_;
    }
    std::uint64_t fetch_received() override { return fetcher_->take_progress().downloaded; }
    std::string_view fetch_page() override { return fetcher_->page_data(); }
    void post_finished(std::int32_t id, std::int64_t outcome) override {
        queue_->post({UM_FINISHED, id, outcome});
    }
    void set_enabled(Grabber_button, bool) override {}
    void set_get_links_caption(int) override {}
    void set_verify_caption(int) override {}
    void set_status(const std::wstring&) override {}
    void set_retries(const std::wstring&) override {}
    void show_message(const std::wstring& text) override { io_.err << terminal_text(text) << '\n'; }
    bool ask_yes_no(const std::wstring&) override { return true; }
    void add_grabbed_links() override {}
    void request_close() override {}

    // The running fetch's next notice, or none within `step`.
    std::optional<Notification> next(std::chrono::milliseconds step) {
        const std::shared_ptr<Notification_queue> queue = queue_;
        std::optional<Notification> notice = queue ? queue->pop(step) : std::nullopt;
        if (notice && notice->kind == UM_ERROR && fetcher_) {
            // The final "attempts used up" says less than the failure before it.
            if (!error_ends_worker(notice->value) || failure_.empty() ||
                notice->value != NT_ATTEMPTS_USED_UP) {
                failure_ = fetcher_->status_text();
            }
        }
        return notice;
    }
    // The item whose fetch was started last.
    std::int32_t running() const { return running_; }

  private:
    Settings_source settings_;
    Cli_streams io_;
    std::shared_ptr<Notification_queue> queue_;
    std::unique_ptr<Page_fetcher> fetcher_;
    std::wstring failure_;
    std::int32_t running_ = -1;
};

// Verifies each link as the links grabber does, and prints its line (link,
// verdict or failure, file name, size) once it is over. 1 when Ctrl-C
// stopped the walk.
int verify_links(const std::vector<std::wstring>& links, const Settings_source& settings,
                 Cli_streams io) {
    Verify_list view;
    Verify_host host(settings, io);
    for (const std::wstring& link : links) {
        view.append_item(std::to_wstring(view.item_count() + 1), link);
    }
    int printed = 0;
    const auto print_until = [&](int end) {
        for (; printed < end && printed < view.item_count(); ++printed) {
            io.out << terminal_text(view.item_text(printed, gcol_link)) << '\t'
                   << terminal_text(view.item_text(printed, gcol_status)) << '\t'
                   << terminal_text(view.item_text(printed, gcol_file_name)) << '\t'
                   << terminal_text(view.item_text(printed, gcol_size)) << '\n'
                   << std::flush;
        }
    };
    Links_grabber grabber(view, host, settings->current().host);
    grabber.verify();
    while (grabber.state() == Links_grabber::State::verifying) {
        if (Interrupt_guard::interrupted()) {
            const std::int32_t stopped = host.running();
            grabber.verify();  // pressed again: the walk ends
            view.set_item_text(stopped, gcol_status, load_string(texts::download_canceled));
            print_until(stopped + 1);
            return 1;
        }
        if (const auto notice = host.next(std::chrono::milliseconds(100))) {
            grabber.notify(notice->kind, notice->sender, notice->value);
        }
        print_until(host.running());  // the items before the running one are over
    }
    print_until(view.item_count());
    return 0;
}

// Prints each link of the page (or paste) on a line of its own as it is
// found; gives the links when `keep` asks for them.
std::vector<std::wstring> print_links(std::string& bytes, bool keep, const Host_config& host,
                                      Cli_streams io) {
    std::vector<std::wstring> kept;
    const bool complete = make_file_host(host)->extract_links(bytes, [&](std::wstring link) {
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

int grab_from_input(bool paste, const Host_config& host, Cli_streams io) {
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
    print_links(bytes, false, host, io);
    return io.out ? 0 : 1;
}

int grab_from_web(std::wstring url, bool verify, const Settings_source& settings, Cli_streams io) {
    url = usable_link(url);
    const Interrupt_guard interrupt;
    Fetch_result fetched = fetch_page(-1, url, settings);
    if (!fetched.page) {
        io.err << terminal_text(fetched.failure) << '\n';
        return 1;
    }
    const std::vector<std::wstring> links =
        print_links(*fetched.page, verify, settings->current().host, io);
    if (fetched.cut) {
        io.err << "corvale-cli grab: the page was cut after its first 32 MiB; links after that "
                  "were not taken\n";
    }
    if (!verify) {
        return 0;
    }
    return verify_links(links, settings, io);
}

}  // namespace

int run_grab(const std::vector<std::string>& raw, Cli_streams io,
             const std::shared_ptr<Transfer_settings>& settings) {
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
    if (problem.empty() && !from_input) {
        problem = apply_transfer_options(args, *settings);
    }
    if (!problem.empty()) {
        io.err << "corvale-cli grab: " << problem << '\n' << k_grab_usage;
        return 2;
    }
    if (from_input) {
        return grab_from_input(args.has("--paste"), settings->current().host, io);
    }
    return grab_from_web(decode_ansi(args.positional[0]), args.has("--verify"), settings, io);
}

}  // namespace corvale
