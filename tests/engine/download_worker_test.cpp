#include "engine/download_worker.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/notification_queue.h"
#include "engine/recording_target.h"
#include "fakehost/fake_host.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using fakehost::Reply;
using testing::Recording_target;

constexpr auto k_test_second = std::chrono::milliseconds(2);

// Files are compared as a size and whether every byte matches, never printed.
::testing::AssertionResult holds_pattern(const std::string& bytes, std::uint64_t size) {
    if (bytes.size() != size) {
        return ::testing::AssertionFailure() << "size " << bytes.size() << ", expected " << size;
    }
    if (bytes != fakehost::pattern_bytes(0, bytes.size())) {
        return ::testing::AssertionFailure() << "the bytes differ from the pattern";
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> waits(int from) {
    return testing::countdown("UM_WAIT", from);
}

const std::string k_direct = "DL:{server},AB12,0,x";  // a wait of 0 + 5 seconds

class DownloadWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakehost::clear_proxy_environment();
        scenario.set_server("127.0.0.1:" + std::to_string(host.port()));
        path = fs::temp_directory_path() /
               ("corvale-worker-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_EQ(file.open_for_writing(path), 0);
    }
    void TearDown() override {
        worker->stop();
        fs::remove(path);
    }

    std::wstring link(const std::string& id, const std::string& name = "name.zip") const {
        return decode_ansi("http://rapidshare.com:" + std::to_string(host.port()) + "/files/" + id +
                           "/" + name);
    }

    // Runs a download of `url` to its end and gives the trace.
    std::vector<std::string> run(const std::wstring& url) {
        target->watch(worker.get(), worker.get());
        EXPECT_EQ(worker->start(), 0);
        worker->set_job(7, &file, url, target);
        EXPECT_TRUE(worker->resume());
        EXPECT_TRUE(target->wait_for_end());
        worker->stop();
        return target->trace();
    }

    // The length of k_direct once the host has put its address in.
    std::string direct_length() const {
        return std::to_string(("DL:127.0.0.1:" + std::to_string(host.port()) + ",AB12,0,x").size());
    }

    std::vector<std::string> api_part(const std::string& length) const {
        return {"UM_STATUS 0 Getting file information", "UM_CONTENT_LENGTH " + length,
                "UM_STATUS 0 Retrieving the file"};
    }
    std::vector<std::string> file_part(std::uint64_t size) const {
        return {"UM_CONTENT_LENGTH " + std::to_string(size), "UM_FILE_SIZE " + std::to_string(size),
                "UM_STATUS 0 Downloading file from direct link",
                "UM_STATUS 0 Finished Downloading File", "UM_FINISHED 0 Finished Downloading File"};
    }

    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[this](const fakehost::Request& r) { return scenario.handle(r); }};
    Host_config config{L"127.0.0.1", L"rapidshare", L"com"};
    std::unique_ptr<Download_worker> worker = fresh_worker();

    std::unique_ptr<Download_worker> fresh_worker() const {
        return std::make_unique<Download_worker>(
            make_transfer_settings(config, Worker_timing{k_test_second, {}}));
    }
    std::shared_ptr<Recording_target> target = std::make_shared<Recording_target>();
    fs::path path;
    Output_file file;
};

TEST_F(DownloadWorkerTest, DownloadsByteExactWithAndWithoutContentLength) {
    struct Row {
        std::uint64_t size;
        bool content_length;
        const char* why;
    } rows[] = {
        {100000, true, "small file, 1024-byte reads, one write at the end"},
        {1000000, true, "written in batches"},
        {2500000, true, "large pieces, written without a copy"},
        {300000, false, "no Content-Length"},
        {1048576, false, "no Content-Length, written in batches"},
        {0, true, "an empty file"},
        {0, false, "an empty file without a length"},
    };
    for (const Row& row : rows) {
        scenario.api_replies("123", {Reply{200, k_direct}});
        scenario.file("123", Reply{.pattern_size = row.size, .content_length = row.content_length});
        target = std::make_shared<Recording_target>();
        worker = fresh_worker();
        const auto trace = run(link("123"));
        EXPECT_TRUE(holds_pattern(testing::file_bytes(path), row.size)) << row.why;
        ASSERT_EQ(file.open_for_writing(path), 0) << "reopened for the next row";
        std::vector<std::string> expected = std::vector<std::string>{"UM_RETRY_COUNT 0"} +
                                            api_part(direct_length()) + waits(4) +
                                            file_part(row.size);
        if (!row.content_length) {
            // "UM_CONTENT_LENGTH 0" says the file's length is unknown; no size.
            expected[9] = "UM_CONTENT_LENGTH 0";
            expected.erase(expected.begin() + 10);
        }
        EXPECT_TRUE(testing::same_trace(trace, expected)) << row.why;
        // The block speaks of the file, not of the API reply before it, with
        // or without a length: its count is what the file holds.
        const Progress_block block = target->last_progress();
        EXPECT_EQ(block.downloaded, row.size) << row.why;
        EXPECT_EQ(block.size, row.content_length ? row.size : 0u) << row.why;
        EXPECT_EQ(block.percentage, row.content_length ? 100 : 0) << row.why;
    }
}

TEST_F(DownloadWorkerTest, SendsTheFileHostsRequests) {
    scenario.api_replies("123", {Reply{200, k_direct}});
    scenario.file("123", Reply{200, "data"});
    run(link("123", "Name.ZIP"));
    const auto requests = host.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path + "?" + requests[0].query,
              "/cgi-bin/rsapi.cgi?sub=download_v1&fileid=123&filename=name.zip&try=1");
    EXPECT_EQ(requests[1].path + "?" + requests[1].query,
              "/cgi-bin/rsapi.cgi?sub=download_v1&editparentlocation=0&bin=1&fileid=123"
              "&filename=name.zip&dlauth=AB12");
    const auto agent = requests[0].headers.find("User-Agent");
    ASSERT_NE(agent, requests[0].headers.end());
    EXPECT_EQ(agent->second, "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; Trident/4.0)");
    EXPECT_EQ(requests[0].headers.find("Accept")->second, "*/*");
}

// A setting changed while a worker runs reaches its next attempt: here the
// user agent, changed while the host answers the first API request.
TEST_F(DownloadWorkerTest, ASettingChangedWhileRunningReachesTheNextAttempt) {
    const auto settings = make_transfer_settings(config, Worker_timing{k_test_second, {}});
    fakehost::File_host_scenario changing;
    bool changed = false;  // host thread only
    fakehost::Fake_host local{[&](const fakehost::Request& request) {
        if (!changed) {
            changed = true;
            settings->change([](Transfer_values& values) { values.user_agent = "changed"; });
        }
        return changing.handle(request);
    }};
    const std::string port = std::to_string(local.port());
    changing.set_server("127.0.0.1:" + port);
    changing.api_replies("456", {Reply{200, "ERROR: no such thing"}, Reply{200, k_direct}});
    changing.file("456", Reply{200, "file"});
    worker = std::make_unique<Download_worker>(settings);
    run(decode_ansi("http://rapidshare.com:" + port + "/files/456/name.zip"));
    const auto requests = local.requests();
    ASSERT_EQ(requests.size(), 3u);
    const auto agent = [&](std::size_t index) {
        const auto found = requests[index].headers.find("User-Agent");
        return found == requests[index].headers.end() ? std::string() : found->second;
    };
    EXPECT_EQ(agent(0), "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; Trident/4.0)");
    EXPECT_EQ(agent(1), "changed") << "the second attempt is made with the current settings";
    EXPECT_EQ(agent(2), "changed");
}

TEST_F(DownloadWorkerTest, RefusalsWaitThenRetry) {
    struct Row {
        std::string reply;
        std::string last_error;
        int wait;
    } rows[] = {
        {"ERROR: x You need to wait 3 seconds.<script>",
         encode_utf8(load_string(texts::refusal_download_limit)), 8},
        {"ERROR: Go away.<script>", "Go away.", 120},
        {"ERROR: x You need RapidPro to download more files from your IP address<script>",
         encode_utf8(load_string(texts::refusal_already_downloading)), 300},
    };
    for (const Row& row : rows) {
        scenario.api_replies("456", {Reply{200, row.reply}, Reply{200, k_direct}});
        scenario.file("456", Reply{200, "file"});
        target = std::make_shared<Recording_target>();
        const auto trace = run(link("456"));
        ASSERT_EQ(file.open_for_writing(path), 0);
        const auto expected = std::vector<std::string>{"UM_RETRY_COUNT 0"} +
                              api_part(std::to_string(row.reply.size())) +
                              std::vector<std::string>{"UM_LAST_ERROR 0 " + row.last_error} +
                              waits(row.wait - 1) +
                              std::vector<std::string>{"UM_ERROR 15 Can't find direct file-link"} +
                              waits(9) + std::vector<std::string>{"UM_RETRY_COUNT 1"} +
                              api_part(direct_length()) + waits(4) + file_part(4);
        EXPECT_TRUE(testing::same_trace(trace, expected)) << row.reply;
    }
}

TEST_F(DownloadWorkerTest, FailedAttemptsAndTheirMessages) {
    struct Row {
        std::vector<Reply> api;
        std::vector<Reply> file;
        std::vector<std::string> first_attempt;
        const char* why;
    } rows[] = {
        {{Reply{200, "ERROR: no such thing"}},
         {},
         api_part("20") + std::vector<std::string>{"UM_ERROR 15 Can't find direct file-link"},
         "an error reply without script names no server"},
        {{Reply{404, "gone"}},
         {},
         {"UM_ERROR 8 . Failed to receive a valid HTTP response from the server"},
         "API 404"},
        {{Reply{200, k_direct}},
         {Reply{500, "oops"}},
         api_part(direct_length()) + waits(4) +
             std::vector<std::string>{
                 "UM_ERROR 8 . Failed to receive a valid HTTP response from the server"},
         "file 500"},
        {{Reply{200, k_direct}},
         {Reply{.pattern_size = 50000, .drop_after = 20000}},
         api_part(direct_length()) + waits(4) +
             std::vector<std::string>{"UM_CONTENT_LENGTH 50000", "UM_FILE_SIZE 50000",
                                      "UM_STATUS 0 Downloading file from direct link",
                                      "UM_ERROR 9 An error occurred while downloading the file, "
                                      "Error:18"},
         "connection dropped in the file"},
        {{Reply{200, k_direct}},
         {Reply{200, "The download session has expired. Sorry."}},
         api_part(direct_length()) + waits(4) +
             std::vector<std::string>{"UM_CONTENT_LENGTH 40", "UM_FILE_SIZE 40",
                                      "UM_STATUS 0 Downloading file from direct link"},
         "expired session: the next attempt, without a message"},
    };
    for (const Row& row : rows) {
        scenario.api_replies("789", row.api);
        if (!row.file.empty()) {
            scenario.file_replies("789", row.file);
        }
        target = std::make_shared<Recording_target>();
        const auto trace = run(link("789"));
        ASSERT_EQ(file.open_for_writing(path), 0);
        std::vector<std::string> expected;
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (attempt > 0) {
                expected = expected + waits(9);
            }
            expected.push_back("UM_RETRY_COUNT " + std::to_string(attempt));
            expected = expected + row.first_attempt;
        }
        expected = expected +
                   std::vector<std::string>{
                       "UM_RETRY_COUNT 4",
                       "UM_ERROR 3 Download retries have been exceeded: failed to get file. Try "
                       "again later."};
        EXPECT_TRUE(testing::same_trace(trace, expected)) << row.why;
    }
}

TEST_F(DownloadWorkerTest, AnswersAuthenticationByResending) {
    scenario.api_replies("321", {Reply{401, "who?"}, Reply{407, "who?"}, Reply{200, k_direct}});
    scenario.file("321", Reply{200, "ok"});
    const auto trace = run(link("321"));
    EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File");
    EXPECT_EQ(target->count(UM_RETRY_COUNT), 1);
    EXPECT_EQ(host.requests().size(), 4u);
}

TEST_F(DownloadWorkerTest, BoundsTheAuthenticationResends) {
    scenario.api_replies("321", {Reply{401, "who?"}});
    const auto trace = run(link("321"));
    EXPECT_EQ(trace[1], "UM_ERROR 8 . Failed to receive a valid HTTP response from the server");
    EXPECT_EQ(host.requests().size(), 4u * 6u) << "six sends per attempt";
}

TEST_F(DownloadWorkerTest, AnEndlessAuthenticationReplyIsGivenUp) {
    scenario.api_replies("321", {Reply{.status = 401, .endless = true}, Reply{200, k_direct}});
    scenario.file("321", Reply{200, "ok"});
    const auto trace = run(link("321"));
    EXPECT_EQ(trace[1], "UM_ERROR 8 . Failed to receive a valid HTTP response from the server");
    EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File");
    EXPECT_EQ(testing::file_bytes(path), "ok");
}

TEST_F(DownloadWorkerTest, ARetryLeavesNothingOfTheEarlierAttempt) {
    struct Row {
        Reply second;
        std::string expected;
        const char* why;
    } rows[] = {
        {Reply{200, "0123456789"}, "0123456789", "a shorter body"},
        {Reply{200, ""}, "", "an empty body"},
        {Reply{200, "0123456789", 0, false}, "0123456789", "a shorter body without a length"},
    };
    for (const Row& row : rows) {
        scenario.api_replies("123", {Reply{200, k_direct}});
        // The first attempt writes a batch and more, then the host hangs up.
        scenario.file_replies("123",
                              {Reply{.pattern_size = 600000, .drop_after = 400000}, row.second});
        target = std::make_shared<Recording_target>();
        worker = fresh_worker();
        const auto trace = run(link("123"));
        EXPECT_EQ(target->count(UM_RETRY_COUNT), 2) << row.why;
        EXPECT_EQ(trace.back(), "UM_FINISHED 0 Finished Downloading File") << row.why;
        EXPECT_TRUE(testing::file_bytes(path) == row.expected)
            << row.why << ": " << testing::file_bytes(path).size();
        ASSERT_EQ(file.open_for_writing(path), 0) << "reopened for the next row";
    }
}

// Stops the worker once `stage` holds, from the test's thread. Its seconds
// are long enough that the stop lands in the stage it aims at.
class CancelTest : public DownloadWorkerTest {
  protected:
    void TearDown() override {
        slow.stop();
        DownloadWorkerTest::TearDown();
    }

    std::vector<std::string> cancel_when(
        const std::function<bool(const Recording_target::Entry&)>& stage) {
        target->watch(&slow, &slow);
        EXPECT_EQ(slow.start(), 0);
        slow.set_job(1, &file, link("555"), target);
        slow.resume();
        EXPECT_TRUE(target->wait_for(
            [&](const auto& entries) { return !entries.empty() && stage(entries.back()); }));
        slow.stop();
        return target->trace();
    }

    Download_worker slow{
        make_transfer_settings(config, Worker_timing{std::chrono::milliseconds(100), {}})};
};

TEST_F(CancelTest, DuringTheProtocolWaitReportsCancel) {
    scenario.api_replies("555", {Reply{200, "DL:{server},A,10000,x"}});
    const auto trace = cancel_when([](const auto& e) { return e.message == UM_WAIT; });
    EXPECT_EQ(trace.back(), "UM_ERROR 14 Download canceled");
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(CancelTest, DuringThePauseBeforeAnAttemptSaysNothing) {
    scenario.api_replies("555", {Reply{404, "x"}});
    const auto trace =
        cancel_when([](const auto& e) { return e.message == UM_WAIT && e.lparam == 5; });
    EXPECT_EQ(trace.back().substr(0, 8), "UM_WAIT ");
    EXPECT_EQ(target->count(UM_ERROR), 1) << "only the 404";
}

TEST_F(CancelTest, DuringTheTransferLeavesWhatWasWritten) {
    scenario.api_replies("555", {Reply{200, k_direct}});
    scenario.file("555", Reply{.pattern_size = 4000000, .pace = std::chrono::milliseconds(20)});
    const auto trace = cancel_when([](const auto& e) {
        return e.message == UM_STATUS && e.text == L"Downloading file from direct link";
    });
    EXPECT_EQ(trace.back(), "UM_ERROR 14 Download canceled");
    EXPECT_EQ(target->count(UM_ERROR), 1);
    const auto written = testing::file_bytes(path);
    EXPECT_LT(written.size(), 4000000u);
    EXPECT_EQ(written.size() % 286720, 0u) << "only whole batches were written";
    EXPECT_TRUE(holds_pattern(written, written.size()));
}

TEST(NotificationQueue, ClosedQueueDropsPosts) {
    Notification_queue queue;
    queue.post({UM_STATUS, 1, 0});
    ASSERT_TRUE(queue.pop(std::chrono::milliseconds(0)).has_value());
    queue.close();
    queue.post({UM_STATUS, 1, 0});
    EXPECT_FALSE(queue.pop(std::chrono::milliseconds(0)).has_value());
}

}  // namespace
}  // namespace corvale
