#include "engine/download_runner.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/notification_queue.h"
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

    std::unique_ptr<Download_runner> runner(Scripted_prompter& prompter) const {
        return std::make_unique<Download_runner>(
            prompter,
            make_transfer_settings(config, Worker_timing{std::chrono::milliseconds(2), {}}));
    }
    std::wstring folder() const { return decode_native(dir.path().string()); }

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

// The file is opened on the runner's thread: begin() returns before anything
// is asked, and the question or the refusal comes from file_opened(), with
// the thread's report, on the caller's thread.
TEST_F(DownloadRunnerTest, TheOpeningReportsAndTheOwnerAsksOrRefuses) {
    using Start = Download_runner::Start;
    testing::Temporary_folder outside("corvale-outside");
    std::ofstream(outside / "mine") << "mine";
    enum class Before { nothing, old_file, symlink, fifo };
    struct Row {
        Before before;
        std::deque<bool> answers;
        Start outcome;
        std::vector<Scripted_prompter::Shown> shown;
        std::optional<std::string> bytes;  // none: the name is no regular file
        const char* why;
    } rows[] = {
        {Before::nothing, {}, Start::started, {}, "new", "a new file is made and written"},
        {Before::old_file,
         {false},
         Start::declined,
         {{true, format_message(texts::confirm_replace_file, {folder() + L"/f.bin"})}},
         "old",
         "declined: the file is untouched and nothing runs"},
        {Before::old_file,
         {true},
         Start::started,
         {{true, format_message(texts::confirm_replace_file, {folder() + L"/f.bin"})}},
         "new",
         "replaced when the user says Yes"},
        {Before::symlink,
         {true},
         Start::open_failed,
         {{false, format_printf(load_string(texts::file_save_error), {folder() + L"/f.bin"})}},
         std::nullopt,
         "a symlink is refused without a question, and not followed"},
        {Before::fifo,
         {true},
         Start::open_failed,
         {{false, format_printf(load_string(texts::file_save_error), {folder() + L"/f.bin"})}},
         std::nullopt,
         "a FIFO without a reader is refused without blocking"},
    };
    for (const Row& row : rows) {
        const fs::path path = dir / "f.bin";
        fs::remove(path);
        switch (row.before) {
            case Before::nothing:
                break;
            case Before::old_file:
                std::ofstream(path) << "old";
                break;
            case Before::symlink:
                fs::create_symlink(outside / "mine", path);
                break;
            case Before::fifo:
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                break;
        }
        scenario.api_replies("555", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario.file("555", Reply{200, "new"});
        const std::size_t requests_before = host.requests().size();
        Scripted_prompter prompter(row.answers);
        const auto running = runner(prompter);
        const auto worker_target = std::make_shared<Notification_queue>();
        const auto opened = std::make_shared<Notification_queue>();
        ASSERT_EQ(running->begin(1, link("555"), folder(), L"f.bin", worker_target, opened),
                  Start::opening)
            << row.why;
        EXPECT_TRUE(prompter.shown().empty()) << row.why << ": nothing asked before the report";
        std::optional<Start> outcome;
        while (!outcome || *outcome == Start::opening) {
            const auto report = opened->pop(std::chrono::seconds(60));
            ASSERT_TRUE(report) << row.why;
            outcome = running->file_opened(*report);
        }
        EXPECT_EQ(*outcome, row.outcome) << row.why;
        EXPECT_EQ(prompter.shown(), row.shown) << row.why;
        EXPECT_FALSE(running->opening()) << row.why;
        if (row.outcome == Start::started) {
            for (;;) {
                const auto next = worker_target->pop(std::chrono::seconds(60));
                ASSERT_TRUE(next) << row.why;
                if (next->kind == UM_FINISHED) {
                    break;
                }
            }
            running->finished(true);
            running->cancel();
        } else {
            EXPECT_FALSE(running->running()) << row.why;
            EXPECT_EQ(host.requests().size(), requests_before) << row.why << ": no worker ran";
        }
        if (row.bytes) {
            EXPECT_EQ(testing::file_bytes(path), *row.bytes) << row.why;
        }
        EXPECT_EQ(testing::file_bytes(outside / "mine"), "mine") << row.why;
        EXPECT_EQ(fs::is_symlink(path), row.before == Before::symlink) << row.why;
        EXPECT_EQ(fs::is_fifo(path), row.before == Before::fifo) << row.why;
        fs::remove(path);
    }
}

// A cancel while the file is being opened (its report not yet handed over):
// only the empty file that this download made goes; a file whose bytes the
// user was not yet asked about stays, and the late report changes nothing.
TEST_F(DownloadRunnerTest, CancelDuringTheOpeningDeletesOnlyTheEmptyFileItMade) {
    enum class Meanwhile { nothing, name_taken };
    struct Row {
        bool old_file;
        Meanwhile meanwhile;
        std::int64_t report;
        bool left;
        std::string bytes;
        const char* why;
    } rows[] = {
        {false, Meanwhile::nothing, k_file_opened, false, "", "the empty file it made goes"},
        {false, Meanwhile::name_taken, k_file_opened, true, "theirs",
         "a file put under the name since is not the download's: it stays"},
        {true, Meanwhile::nothing, k_file_not_empty, true, "old",
         "the question was never asked: the bytes stay"},
    };
    for (const Row& row : rows) {
        const fs::path path = dir / "f.bin";
        fs::remove(path);
        if (row.old_file) {
            std::ofstream(path) << "old";
        }
        const std::size_t requests_before = host.requests().size();
        Scripted_prompter prompter;
        const auto running = runner(prompter);
        const auto opened = std::make_shared<Notification_queue>();
        ASSERT_EQ(running->begin(1, link("555"), folder(), L"f.bin",
                                 std::make_shared<Notification_queue>(), opened),
                  Download_runner::Start::opening);
        const auto report = opened->pop(std::chrono::seconds(60));
        ASSERT_TRUE(report);
        EXPECT_EQ(report->value, row.report) << row.why;
        if (row.meanwhile == Meanwhile::name_taken) {
            fs::rename(path, dir / "moved");
            std::ofstream(path) << "theirs";
        }

        running->cancel();
        EXPECT_EQ(running->file_opened(*report), std::nullopt) << row.why << ": a late report";
        EXPECT_TRUE(prompter.shown().empty()) << row.why;
        EXPECT_FALSE(running->running()) << row.why;
        EXPECT_EQ(fs::exists(path), row.left) << row.why;
        if (row.left) {
            EXPECT_EQ(testing::file_bytes(path), row.bytes) << row.why;
        }
        EXPECT_EQ(host.requests().size(), requests_before) << row.why << ": no worker ran";
        fs::remove(path);
        fs::remove(dir / "moved");
    }
}

}  // namespace
}  // namespace corvale
