#include "engine/page_fetcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "engine/recording_target.h"
#include "fakehost/fake_host.h"

namespace corvale {
namespace {

using fakehost::Reply;
using testing::Recording_target;

class PageFetcherTest : public ::testing::Test {
  protected:
    void SetUp() override { fakehost::clear_proxy_environment(); }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(host.port()) + path;
    }

    // Fetches `address` to the end; the fetcher stays for its page data.
    std::vector<std::string> fetch(const std::string& address, std::chrono::milliseconds second =
                                                                   std::chrono::milliseconds(2)) {
        target = std::make_shared<Recording_target>();
        fetcher =
            std::make_unique<Page_fetcher>(-1, decode_ansi(address), target,
                                           make_transfer_settings({}, Worker_timing{second, {}}));
        target->watch(fetcher.get());
        EXPECT_TRUE(fetcher->created());
        EXPECT_TRUE(fetcher->resume());
        EXPECT_TRUE(target->wait_for_end());
        fetcher->stop();
        return target->trace();
    }

    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[this](const fakehost::Request& r) { return scenario.handle(r); }};
    std::shared_ptr<Recording_target> target;
    std::unique_ptr<Page_fetcher> fetcher;
};

TEST_F(PageFetcherTest, KeepsThePageWithATrailingNul) {
    struct Row {
        Reply reply;
        std::vector<std::string> trace;
        const char* why;
    } rows[] = {
        {Reply{.pattern_size = 2500},
         {"UM_RETRY_COUNT 0", "UM_STATUS 0 Getting file information", "UM_CONTENT_LENGTH 2500",
          "UM_STATUS 0 Retrieving the file", "UM_STATUS 0 Finished Downloading File",
          "UM_FINISHED 0 Finished Downloading File"},
         "with Content-Length"},
        {Reply{.pattern_size = 2500, .content_length = false},
         {"UM_RETRY_COUNT 0", "UM_STATUS 0 Getting file information",
          "UM_STATUS 0 Retrieving the file", "UM_STATUS 0 Finished Downloading File",
          "UM_FINISHED 0 Finished Downloading File"},
         "without Content-Length: no UM_CONTENT_LENGTH"},
        {Reply{.pattern_size = 400000, .content_length = false},
         {"UM_RETRY_COUNT 0", "UM_STATUS 0 Getting file information",
          "UM_STATUS 0 Retrieving the file", "UM_STATUS 0 Finished Downloading File",
          "UM_FINISHED 0 Finished Downloading File"},
         "longer than the buffer for an unknown size: it grows"},
    };
    for (const Row& row : rows) {
        scenario.page("/page", row.reply);
        EXPECT_TRUE(testing::same_trace(fetch(url("/page")), row.trace)) << row.why;
        const std::string_view page = fetcher->page_data();
        EXPECT_TRUE(page == fakehost::pattern_bytes(0, row.reply.pattern_size)) << row.why;
        EXPECT_EQ(page.data()[page.size()], '\0') << row.why;
        EXPECT_FALSE(fetcher->page_cut()) << row.why;
        if (!row.reply.content_length) {
            EXPECT_EQ(target->last_progress().percentage, 0) << row.why;
            EXPECT_EQ(target->last_progress().downloaded, row.reply.pattern_size) << row.why;
        }
    }
}

TEST_F(PageFetcherTest, AnEndlessPageEndsWithWhatTheBufferHolds) {
    scenario.page("/endless", Reply{.endless = true});
    const auto trace = fetch(url("/endless"));
    EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File");
    const std::string_view page = fetcher->page_data();
    EXPECT_EQ(page.size(), 32u << 20);
    EXPECT_TRUE(fetcher->page_cut());
    EXPECT_TRUE(page.substr(0, 4096) == fakehost::pattern_bytes(0, 4096));
}

TEST_F(PageFetcherTest, AnEndlessAuthenticationReplyIsGivenUp) {
    scenario.page("/secret", Reply{.status = 401, .endless = true});
    const auto trace = fetch(url("/secret"));
    EXPECT_EQ(trace.back(), "UM_ERROR 3 An error occurred while downloading the file, Error:0");
    EXPECT_EQ(host.requests().size(), 2u) << "one request an attempt, no endless resends";
}

TEST_F(PageFetcherTest, RefusesWhatIsNotAnHttpPage) {
    struct Row {
        std::string url;
        std::string first_error;
    } rows[] = {
        {"not a url", "UM_ERROR 11 URL is incorrect"},
        {"ftp://127.0.0.1/x", "UM_ERROR 5 An error occurred connecting to the server, Error:1"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(fetch(row.url)[0 + (row.first_error.starts_with("UM_ERROR 11") ? 0 : 1)],
                  row.first_error)
            << row.url;
    }
    // A page may not steer the fetch to a local file.
    scenario.page("/steer",
                  Reply{302, "", 0, true, {}, {}, {}, {{"Location", "file:///etc/passwd"}}});
    const auto trace = fetch(url("/steer"));
    EXPECT_EQ(trace[1], "UM_ERROR 6 An error occurred connecting to the server, Error:1");
    EXPECT_EQ(trace.back(), "UM_ERROR 3 An error occurred while downloading the file, Error:0");
}

TEST_F(PageFetcherTest, FollowsRedirectsAndSaysSo) {
    scenario.page("/old", Reply{301, "", 0, true, {}, {}, {}, {{"Location", "/new"}}});
    scenario.page("/new", Reply{200, "moved here"});
    const auto trace = fetch(url("/old"));
    EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File");
    EXPECT_EQ(fetcher->page_data(), "moved here");
    bool said = false;
    for (const auto& entry : target->entries()) {
        said = said || entry.text == decode_ansi("Redirecting to " + url("/new"));
    }
    EXPECT_TRUE(said);
}

TEST_F(PageFetcherTest, StopDuringThePauseReportsCancel) {
    scenario.page("/missing", Reply{404, "no"});
    target = std::make_shared<Recording_target>();
    fetcher = std::make_unique<Page_fetcher>(
        3, decode_ansi(url("/missing")), target,
        make_transfer_settings({}, Worker_timing{std::chrono::milliseconds(100), {}}));
    target->watch(fetcher.get());
    fetcher->resume();
    ASSERT_TRUE(target->wait_for([](const auto& entries) {
        return !entries.empty() && entries.back().message == UM_RETRY_WAIT;
    }));
    fetcher->stop();
    EXPECT_EQ(target->trace().back(), "UM_ERROR 14 Download canceled");
    EXPECT_EQ(target->entries().back().wparam, 3);
}

TEST_F(PageFetcherTest, GoesThroughTheProxyOfTheEnvironment) {
    scenario.page("/files/123/a.zip", Reply{200, "the link's page"});
    ::setenv("http_proxy", url("").c_str(), 1);
    const auto trace = fetch("http://rapidshare.com/files/123/a.zip");
    ::unsetenv("http_proxy");
    EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File");
    EXPECT_EQ(fetcher->page_data(), "the link's page");
    EXPECT_EQ(host.requests().back().host, "rapidshare.com");
}

}  // namespace
}  // namespace corvale
