#include "engine/download_runner.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/notifications.h"
#include "fakehost/fake_host.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using fakehost::Reply;
using testing::Scripted_prompter;

// Takes the progress block as a receiver does, and holds the worker's thread
// in one post, once `hold` says so, until the worker is told to stop. The
// thread then goes on from where it was held: what it does next happens
// after the stop was signalled.
class Holding_target : public Notification_target {
  public:
    using Stage = std::function<bool(std::uint32_t message, const Progress_block& block)>;

    Holding_target(Download_runner& runner, Stage hold) : runner_(runner), hold_(std::move(hold)) {}

    void post(const Notification& notification) override {
        const std::uint32_t message = notification.kind;
        Progress_block block;
        if (message == UM_PROGRESS) {
            block = runner_.worker().take_progress();
        }
        if (held_ || !hold_(message, block)) {
            return;
        }
        held_ = true;
        {
            const std::lock_guard lock(mutex_);
            holding_ = true;
        }
        changed_.notify_all();
        // A guard against a hang only: the stop comes from the test at once.
        for (int i = 0; i < 30000 && !runner_.worker().stop_requested(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    bool wait_until_holding() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return holding_; });
    }

  private:
    Download_runner& runner_;
    Stage hold_;
    bool held_ = false;  // worker thread only
    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
};

class DownloadRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakehost::clear_proxy_environment();
        scenario.set_server("127.0.0.1:" + std::to_string(host.port()));
    }

    std::wstring link(const std::string& id) const {
        return decode_ansi("http://rapidshare.com:" + std::to_string(host.port()) + "/files/" + id +
                           "/f.bin");
    }

    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[this](const fakehost::Request& r) { return scenario.handle(r); }};
    Host_config config{L"127.0.0.1", L"rapidshare", L"com"};
    testing::Temporary_folder dir{"corvale-runner"};
};

TEST_F(DownloadRunnerTest, CancelJudgesTheFileAsTheEndedWorkerLeftIt) {
    constexpr std::uint64_t k_size = 1000;  // written in one piece when the reply ends
    bool file_phase = false;
    const auto whole_file_received = [&file_phase](std::uint32_t message,
                                                   const Progress_block& block) {
        file_phase = file_phase || message == UM_FILE_SIZE;
        return file_phase && message == UM_PROGRESS && block.downloaded == k_size;
    };
    const auto waiting = [](std::uint32_t message, const Progress_block&) {
        return message == UM_WAIT;
    };
    struct Row {
        Holding_target::Stage hold;
        bool answer;
        bool asked;
        bool kept;
        const char* why;
    } rows[] = {
        {whole_file_received, true, true, true,
         "the reply had ended: its bytes are written after the stop, and kept when asked"},
        {whole_file_received, false, true, false, "the same, removed when the user says No"},
        {waiting, true, false, false, "nothing written: the empty file goes without a question"},
    };
    for (const Row& row : rows) {
        file_phase = false;
        scenario.api_replies("555", {Reply{200, "DL:{server},AB12,0,x"}});
        scenario.file("555", Reply{.pattern_size = k_size});
        const fs::path path = dir / "f.bin";
        Scripted_prompter prompter({row.answer});
        Download_runner runner(
            prompter,
            make_transfer_settings(config, Worker_timing{std::chrono::milliseconds(2), {}}));
        const auto target = std::make_shared<Holding_target>(runner, row.hold);
        ASSERT_EQ(
            runner.start(1, link("555"), decode_native(dir.path().string()), L"f.bin", target),
            Download_runner::Start::started);
        ASSERT_TRUE(target->wait_until_holding()) << row.why;

        runner.cancel();
        const std::vector<Scripted_prompter::Shown> asked = {
            {true, load_string(texts::keep_partial_file)}};
        EXPECT_EQ(prompter.shown(), row.asked ? asked : decltype(asked){}) << row.why;
        EXPECT_EQ(fs::exists(path), row.kept) << row.why;
        if (row.kept) {
            EXPECT_TRUE(testing::file_bytes(path) == fakehost::pattern_bytes(0, k_size)) << row.why;
        }
        fs::remove(path);
    }
}

TEST_F(DownloadRunnerTest, ANameThatLeavesItsFolderIsRefusedBeforeAnyFileIsOpened) {
    const fs::path folder = dir / "in";
    fs::create_directories(folder / "sub");
    struct Row {
        std::wstring name;
        const char* why;
    } rows[] = {
        {L"sub/f.bin", "its last part alone would pass"},
        {L"../escape.bin", "one folder up"},
        {L"..", "the folder above"},
        {L"", "the folder itself"},
    };
    for (const Row& row : rows) {
        Scripted_prompter prompter;
        Download_runner runner(
            prompter,
            make_transfer_settings(config, Worker_timing{std::chrono::milliseconds(2), {}}));
        const auto target = std::make_shared<Holding_target>(
            runner, [](std::uint32_t, const Progress_block&) { return false; });
        EXPECT_EQ(runner.start(1, link("555"), decode_native(folder.string()), row.name, target),
                  Download_runner::Start::name_refused)
            << row.why;
        EXPECT_FALSE(runner.running()) << row.why;
        EXPECT_TRUE(prompter.shown().empty()) << row.why << ": the caller says why";
    }
    std::vector<fs::path> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        left.push_back(entry.path());
    }
    EXPECT_EQ(left.size(), 2u) << "only the folders the test made";
    EXPECT_TRUE(host.requests().empty()) << "no worker ran";
}

}  // namespace
}  // namespace corvale
