#include "engine/notifications.h"
#include "corvale/text_ids.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/page_fetcher.h"
#include "engine/recording_target.h"
#include "engine/runner_window.h"
#include "fakehost/fake_host.h"
#include "support/scripted_prompter.h"

namespace corvale {
namespace {

using fakehost::Reply;
using testing::Recording_target;

// A port on 127.0.0.1 that refuses connections: bound, never listening.
class Refusing_port {
  public:
    Refusing_port() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~Refusing_port() { ::close(fd_); }
    std::string text() const { return std::to_string(port_); }

  private:
    int fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int port_ = 0;
};

// A progress window with nothing to show: it says whether a notification
// ends its download.
struct No_host : Progress_window_host {
    void post_window_closed(std::int32_t) override {}
    void cancel_automatic_downloads() override {}
    bool automatic_downloading_active() const override { return false; }
    std::shared_ptr<Notification_target> worker_target() override { return nullptr; }
};
class Probe_window : public Runner_window {
  public:
    using Runner_window::handle_end;
    using Runner_window::Runner_window;
    void open() override {}
    void set_title(int) override {}
    void forward(std::uint32_t, std::int64_t) override {}
};

// Each way a sender's thread ends: the text it puts into its status for the
// notification, what leads to it, and whether a progress window takes it as
// the end of its download (a cancel and an invalid link leave the window
// open until the user closes it).
TEST(Notifications, HowEachSenderEndsAndWhatTheWindowMakesOfIt) {
    fakehost::clear_proxy_environment();
    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[&](const fakehost::Request& r) { return scenario.handle(r); }};
    scenario.set_server("127.0.0.1:" + std::to_string(host.port()));
    scenario.api_replies("123", {Reply{200, "DL:{server},AB12,0,x"}});
    scenario.file("123", Reply{200, "data"});
    const Refusing_port refusing;
    const std::string link =
        "http://rapidshare.com:" + std::to_string(host.port()) + "/files/123/a";
    const std::string unreachable = "http://rapidshare.com:" + refusing.text() + "/files/123/a";
    using Lines = std::vector<std::string>;
    const Lines refused = {"UM_ERROR 6 An error occurred connecting to the server, Error:7"};

    enum How { run, closed_file, stop_before_resume, fetch };
    struct Row {
        How how;
        std::string url;
        Lines lines;
        bool whole;          // the whole trace, else its last lines
        bool ends_download;  // for a download worker
        const char* why;
    } rows[] = {
        {run, link, {"UM_FINISHED 0 Finished Downloading File"}, false, true, "finished"},
        {run,
         "http://example.com/files/123/a",
         {"UM_ERROR 17 The link syntax is invalid"},
         true,
         false,
         "a link of another host, before any connection"},
        {run, unreachable,
         refused + testing::countdown("UM_WAIT", 9) + Lines{"UM_RETRY_COUNT 3"} + refused +
             Lines{"UM_RETRY_COUNT 4",
                   "UM_ERROR 3 Download retries have been exceeded: failed "
                   "to get file. Try again later."},
         false, true, "a refused connection costs an attempt, until they are used up"},
        {closed_file,
         link,
         {"UM_STATUS 0 Downloading file from direct link",
          "UM_ERROR 10 An error occurred while downloading the file, Error:9"},
         false,
         true,
         "the output file cannot be written: no retry"},
        {stop_before_resume, link, {"UM_ERROR 14 Download canceled"}, true, false, "cancelled"},
        {fetch, "not a url", {"UM_ERROR 11 URL is incorrect"}, true, true, "no URL"},
        {fetch, "http://127.0.0.1:" + refusing.text() + "/",
         Lines{"UM_RETRY_COUNT 0"} + refused + testing::countdown("UM_RETRY_WAIT", 9) +
             Lines{"UM_RETRY_COUNT 1"} + refused + testing::countdown("UM_RETRY_WAIT", 9) +
             Lines{"UM_RETRY_COUNT 2",
                   "UM_ERROR 3 An error occurred while downloading the file, Error:0"},
         true, true, "the page fetcher's two attempts, and its own text when they are used up"},
    };
    const Host_config config{L"127.0.0.1", L"rapidshare", L"com"};
    const Worker_timing fast{std::chrono::milliseconds(2), {}};
    const auto settings = make_transfer_settings(config, fast);
    const std::string path =
        ::testing::TempDir() + "corvale-notifications-" + std::to_string(::getpid());
    for (const Row& row : rows) {
        const auto target = std::make_shared<Recording_target>();
        Download_worker worker(settings);
        std::unique_ptr<Page_fetcher> fetcher;
        Output_file file;
        ASSERT_EQ(file.open_for_writing(path), 0);
        if (row.how == closed_file) {
            file.close();
        }
        if (row.how == fetch) {
            fetcher = std::make_unique<Page_fetcher>(-1, decode_ansi(row.url), target, settings);
            target->watch(fetcher.get());
            fetcher->resume();
        } else {
            target->watch(&worker, &worker);
            ASSERT_EQ(worker.start(), 0);
            worker.set_job(1, &file, decode_ansi(row.url), target);
            if (row.how == stop_before_resume) {
                worker.stop();
            }
            worker.resume();
        }
        ASSERT_TRUE(target->wait_for_end()) << row.why;
        worker.stop();
        fetcher.reset();
        ::unlink(path.c_str());
        auto trace = target->trace();
        if (!row.whole && trace.size() > row.lines.size()) {
            trace.erase(trace.begin(), trace.end() - static_cast<long>(row.lines.size()));
        }
        EXPECT_TRUE(testing::same_trace(trace, row.lines)) << row.why;
        if (row.how != fetch) {
            No_host no_host;
            testing::Scripted_prompter prompter;
            Probe_window window(no_host, prompter, 1, settings);
            const Recording_target::Entry last = target->entries().back();
            EXPECT_EQ(window.handle_end(last.message, last.lparam), row.ends_download) << row.why;
            EXPECT_EQ(window.succeeded(), last.message == UM_FINISHED) << row.why;
        }
    }
}

}  // namespace
}  // namespace corvale
