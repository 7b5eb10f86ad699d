#include "engine/download_control.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <variant>

#include <unistd.h>

#include "engine/list_flow.h"
#include "engine/notifications.h"
#include "model/list_file.h"
#include "model/row_texts.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "support/scripted_prompter.h"

namespace corvale {
namespace {

using testing::Scripted_prompter;

class Control_test;

// A progress window without a window: it remembers what it was asked to do,
// and asks to be closed through the test's event queue, as a real one posts.
class Fake_window : public Download_window {
  public:
    Fake_window(Control_test& test, std::int32_t number) : test_(test), number_(number) {}

    std::int32_t download_number() const override { return number_; }
    bool automatic() const override { return automatic_; }
    void set_automatic(bool automatic) override { automatic_ = automatic; }
    void open() override { opened = true; }
    void cancel() override;
    void stop_quietly() override;
    Window_texts& window_texts() override { return slots_; }
    void set_title(int percentage) override { title = percentage; }
    void forward(std::uint32_t message, std::int64_t lparam) override {
        forwarded.emplace_back(message, lparam);
    }
    Download_worker& worker() override { return worker_; }
    void set_download_info(const std::wstring& url, const std::wstring&, const std::wstring&,
                           const std::wstring&, const std::wstring&) override {
        info_url = url;
    }

    bool opened = false;
    int title = -1;
    std::wstring info_url;
    std::vector<std::pair<std::uint32_t, std::int64_t>> forwarded;

  private:
    Control_test& test_;
    std::int32_t number_;
    bool automatic_ = false;
    Window_texts slots_;
    Download_worker worker_;
};

// The host: a hand-driven event loop (posted starts and closes), timers that
// tick only when the test says so, and the busy state as a flag.
class Control_test : public ::testing::Test, public Control_host {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            list.add_download(L"f" + std::to_wstring(i) + L".zip", L"", view,
                              L"http://rapidshare.com/files/" + std::to_wstring(i) + L"/f.zip",
                              L"/tmp");
        }
    }

  public:
    std::unique_ptr<Download_window> make_window(std::int32_t number) override {
        auto window = std::make_unique<Fake_window>(*this, number);
        windows[number] = window.get();
        return window;
    }
    void post_start(std::int32_t number) override { events.emplace_back(number); }
    void post_closed(Download_window* window) { events.emplace_back(window); }
    void arm_timer(Control_timer timer) override { armed.insert(timer); }
    void kill_timer(Control_timer timer) override { armed.erase(timer); }
    void enter_busy() override { busy = true; }
    void leave_busy() override { busy = false; }
    void enter_closing() override { closing = true; }
    void close_tools() override {
        tools_closed = closing;
        if (close_tools_hook) {
            close_tools_hook();
        }
    }
    void release_window(std::unique_ptr<Download_window> window) override {
        released.push_back(std::move(window));
    }
    bool tools_open() const override { return grabber_open; }
    void set_unqueue_enabled(bool enabled) override { unqueue_enabled = enabled; }
    bool save_list() override {
        ++saves;
        return save_succeeds;
    }
    void end() override { ended = true; }
    void download_ended(std::int32_t number, bool succeeded) override {
        told.push_back((succeeded ? L"ok " : L"failed ") + std::to_wstring(number));
    }
    void queue_finished() override { told.push_back(L"queue"); }

    // Handles every posted event, as the window's event loop would.
    void pump() {
        while (!events.empty()) {
            const auto event = events.front();
            events.pop_front();
            if (std::holds_alternative<std::int32_t>(event)) {
                control.start_queued(std::get<std::int32_t>(event));
            } else {
                control.window_closed(std::get<Download_window*>(event));
            }
        }
        released.clear();  // the top of the loop
    }
    // The download's window reports the end of its download and, as an
    // automatic one does, closes itself.
    void finish(std::int32_t number) {
        control.notify(UM_FINISHED, number, 0);
        if (Download_window* window = control.window_of(number); window && window->automatic()) {
            window->stop_quietly();
        }
        pump();
    }
    std::vector<std::int32_t> open_windows() {
        std::vector<std::int32_t> open;
        for (const Download_record& record : list.records()) {
            if (record.dlg_ptr != nullptr) {
                open.push_back(record.download_number);
            }
        }
        return open;
    }
    std::wstring auto_column() const {
        std::wstring marks;
        for (const auto& row : view.rows()) {
            marks += row.texts[col_auto].empty() ? L'.' : L'@';
        }
        return marks;
    }
    std::vector<std::int32_t> queued() const {
        return {control.queue().begin(), control.queue().end()};
    }

    Scripted_prompter prompter;
    Memory_profile profile;
    Download_list list{prompter, profile};
    Memory_list_view view;
    std::chrono::steady_clock::time_point now{};
    Download_control control{list, view, *this, [this] { return now; }};
    std::deque<std::variant<std::int32_t, Download_window*>> events;
    std::map<std::int32_t, Fake_window*> windows;
    std::set<Control_timer> armed;
    bool busy = false;
    bool closing = false;
    bool tools_closed = false;
    std::function<void()> close_tools_hook;
    std::vector<std::unique_ptr<Download_window>> released;
    bool grabber_open = false;
    bool unqueue_enabled = false;
    bool save_succeeds = true;
    int saves = 0;
    bool ended = false;
    std::vector<std::wstring> told;  // download_ended and queue_finished
};

void Fake_window::cancel() {
    // An automatic download cancelled by the user asks cancel_following_auto; Yes is sent to
    // the main window at once.
    if (automatic_ && test_.control.automatic_active() &&
        test_.prompter.ask_yes_no(load_string(texts::cancel_following_auto))) {
        test_.control.cancel_automatic();
    }
    test_.post_closed(this);
}

void Fake_window::stop_quietly() {
    test_.post_closed(this);
}

TEST_F(Control_test, TheQueueRunsOneAtATimeInOrderThenSwitchesOff) {
    control.queue_rows({1, 2, 4});
    EXPECT_EQ(auto_column(), L".@@.@");
    EXPECT_TRUE(unqueue_enabled);
    control.queue_rows({1, 2});
    EXPECT_EQ(queued(), (std::vector<std::int32_t>{1, 2, 4})) << "queuing twice queues once";
    pump();
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{1});
    EXPECT_TRUE(windows[1]->automatic());
    for (const std::int32_t number : {1, 2, 4}) {
        EXPECT_EQ(open_windows(), std::vector<std::int32_t>{number});
        EXPECT_EQ(control.current_auto_download(), number);
        finish(number);
    }
    EXPECT_TRUE(open_windows().empty());
    EXPECT_FALSE(control.automatic_active());
    EXPECT_FALSE(unqueue_enabled);
    EXPECT_EQ(control.current_auto_download(), -1);
    EXPECT_EQ(auto_column(), L".....");
    EXPECT_TRUE(list.modified()) << "a finished download changes the list";
}

// The host hears of each run's end once, and of the queue's end only when it
// ran to its end: not when it was cancelled, and nothing while closing.
TEST_F(Control_test, TheHostIsToldOfEachEndOnce) {
    struct Row {
        const char* name;
        std::function<void(Control_test&)> act;
        std::vector<std::wstring> told;
    } rows[] = {
        {"finished, then a second end of the same run",
         [](Control_test& t) {
             t.control.start_download(0);
             t.control.notify(UM_FINISHED, 0, 0);
             t.control.notify(UM_ERROR, 0, NT_ATTEMPTS_USED_UP);
         },
         {L"ok 0"}},
        {"an error that ends the download, one that leads to a retry, a cancel",
         [](Control_test& t) {
             t.control.start_download(1);
             t.control.notify(UM_ERROR, 1, NT_CONNECT_FAILED);
             t.control.start_download(2);
             t.control.notify(UM_ERROR, 2, NT_CANCELLED);
             t.control.notify(UM_ERROR, 1, NT_ATTEMPTS_USED_UP);
         },
         {L"failed 1"}},
        {"a run started again ends again",
         [](Control_test& t) {
             t.control.start_download(3);
             t.finish(3);
             t.control.stop_download(3);
             t.pump();
             t.control.start_download(3);
             t.finish(3);
         },
         {L"ok 3", L"ok 3"}},
        {"the queue runs to its end",
         [](Control_test& t) {
             t.control.queue_rows({0, 1});
             t.pump();
             t.finish(0);
             t.finish(1);
         },
         {L"ok 0", L"ok 1", L"queue"}},
        {"the queue is cancelled",
         [](Control_test& t) {
             t.control.queue_rows({0, 1});
             t.pump();
             t.control.cancel_automatic();
             t.finish(0);
         },
         {L"ok 0"}},
        {"closing",
         [](Control_test& t) {
             t.control.queue_rows({0});
             t.pump();
             t.list.set_modified(false);
             t.prompter.answer(true);
             t.control.close();
             t.control.notify(UM_FINISHED, 0, 0);
             t.pump();
         },
         {}},
    };
    for (const Row& row : rows) {
        Control_test& t = *this;
        row.act(t);
        EXPECT_EQ(told, row.told) << row.name;
        told.clear();
        control.cancel_automatic();
        control.stop_all();
        pump();
    }
}

TEST_F(Control_test, QueuingNothingSaysSoAndRunningRowsAreNotQueued) {
    control.start_download(3);
    control.queue_rows({3});
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text, load_string(texts::select_to_queue));
    EXPECT_FALSE(control.automatic_active());
    control.set_scheduler_waiting(true);
    control.queue_rows({0});
    pump();
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{3}) << "the scheduler waits: queued only";
    EXPECT_EQ(auto_column(), L"@....");
}

TEST_F(Control_test, UnqueueAsksOnlyWhenEveryQueuedRowIsSelected) {
    struct Row {
        std::vector<int> selected;
        std::deque<bool> answers;
        std::vector<std::int32_t> left;
        bool asked;
        const char* why;
    } rows[] = {
        {{0, 1, 2, 3}, {true}, {}, true, "all queued rows: confirm_cancel_queue, Yes cancels"},
        {{0, 1, 2},
         {false},
         {0, 1, 2},
         true,
         "all queued rows: confirm_cancel_queue, No keeps the queue"},
        {{1, 2}, {}, {0}, false, "some rows: the idle ones go without a question"},
        {{0, 2}, {}, {0, 1}, false, "the running front entry stays queued"},
    };
    for (const Row& row : rows) {
        control.cancel_automatic();
        control.stop_all();
        pump();
        prompter.clear();
        control.queue_rows({0, 1, 2});
        pump();
        for (bool answer : row.answers) {
            prompter.answer(answer);
        }
        control.unqueue_rows(row.selected);
        EXPECT_EQ(queued(), row.left) << row.why;
        EXPECT_EQ(!prompter.shown().empty(), row.asked) << row.why;
        if (row.asked) {
            EXPECT_EQ(prompter.shown()[0].text,
                      L"3 files are left to download.\n Are sure you want to cancel automatic "
                      L"downloading")
                << row.why;
        }
    }
}

TEST_F(Control_test, CancellingAnAutomaticDownloadAsksAboutTheRest) {
    struct Row {
        bool cancel_rest;
        std::vector<std::int32_t> next_open;
    } rows[] = {{true, {}}, {false, {1}}};
    for (const Row& row : rows) {
        control.cancel_automatic();
        control.stop_all();
        pump();
        control.queue_rows({0, 1});
        pump();
        prompter.answer(row.cancel_rest);
        windows[0]->cancel();
        pump();
        EXPECT_EQ(open_windows(), row.next_open);
        EXPECT_EQ(control.automatic_active(), !row.cancel_rest);
    }
}

TEST_F(Control_test, AQueuedDownloadStartedByHandIsAutomaticAndAdvancesTheQueue) {
    control.queue_rows({0, 2});
    pump();
    control.start_download(2);  // the Download command while the queue runs
    EXPECT_TRUE(windows[2]->automatic());
    finish(2);
    // The window that closed was automatic: the front entry (0) is removed
    // and the next one (2) is started again.
    EXPECT_EQ(queued(), std::vector<std::int32_t>{2});
    EXPECT_EQ(control.current_auto_download(), 2);
    EXPECT_EQ(open_windows(), (std::vector<std::int32_t>{0, 2}));
}

TEST_F(Control_test, StopLeavesTheQueueAndIsReleasedOnce) {
    control.queue_rows({0, 1});
    control.start_download(3);
    pump();
    control.stop_download(3);
    Download_window* stopped = control.window_of(3);
    control.window_closed(stopped);
    control.window_closed(stopped);  // a second close of the same window
    pump();
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{0});
    EXPECT_EQ(queued(), (std::vector<std::int32_t>{0, 1}));
}

// Hosts name the window to release by its download's number: only that
// download's window goes, and a late close, or one for a download without a
// window, changes nothing.
TEST_F(Control_test, ClosingByNumberReleasesThatDownloadsWindowOnly) {
    control.queue_rows({0, 1});
    control.start_download(3);
    pump();
    control.stop_download(3);
    control.window_closed(std::int32_t{3});
    control.window_closed(std::int32_t{3});
    control.window_closed(std::int32_t{5});
    pump();
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{0});
    EXPECT_EQ(queued(), (std::vector<std::int32_t>{0, 1}));
}

TEST_F(Control_test, DeleteAsksPerRunningRowAndWaitsForEveryWindow) {
    control.queue_rows({1});
    control.start_download(3);
    pump();
    // confirm_delete Yes; row 1 running and queued: confirm_cancel_running Yes, confirm_cancel_auto
    // No, then its window's own cancel_following_auto No; row 3 running: confirm_cancel_running No.
    for (bool answer : {true, true, false, false, false}) {
        prompter.answer(answer);
    }
    control.delete_rows({0, 1, 3});
    EXPECT_TRUE(busy);
    EXPECT_EQ(armed.count(Control_timer::delete_wait), 1u);
    const std::vector<std::wstring> asked = {
        load_string(texts::confirm_delete), load_string(texts::confirm_cancel_running),
        load_string(texts::confirm_cancel_auto), load_string(texts::cancel_following_auto),
        load_string(texts::confirm_cancel_running)};
    ASSERT_EQ(prompter.shown().size(), asked.size());
    for (std::size_t i = 0; i < asked.size(); ++i) {
        EXPECT_EQ(prompter.shown()[i].text, asked[i]);
    }
    control.close();
    EXPECT_FALSE(closing) << "a deletion in progress makes closing do nothing";
    control.tick(Control_timer::delete_wait);
    EXPECT_EQ(view.row_count(), 5) << "row 1's window is not gone yet";
    pump();
    control.tick(Control_timer::delete_wait);
    EXPECT_EQ(armed.count(Control_timer::delete_wait), 0u);
    EXPECT_FALSE(busy);
    std::vector<std::wstring> names;
    for (const auto& row : view.rows()) {
        names.push_back(row.texts[col_file_name]);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"f2.zip", L"f3.zip", L"f4.zip"}))
        << "row 3 declined: it stays, running";
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{3});
}

// While confirm_cancel_running is open the automatic download ends and its window is freed
// (the questions's own loop runs); the deletion goes on by download number.
TEST_F(Control_test, DeleteGoesOnWhenTheDownloadEndsUnderItsQuestion) {
    control.queue_rows({1});
    pump();
    prompter.while_open = [this](const std::wstring& text) {
        if (text == load_string(texts::confirm_cancel_running)) {
            finish(1);
        }
    };
    prompter.answer(true);  // confirm_delete
    prompter.answer(true);  // confirm_cancel_running
    control.delete_rows({1});
    EXPECT_EQ(prompter.unscripted_questions(), 0) << "the idle download asks nothing more";
    control.tick(Control_timer::delete_wait);
    EXPECT_EQ(view.row_count(), 4);
    EXPECT_EQ(list.find(1), nullptr);
    EXPECT_FALSE(control.automatic_active());
}

// A queued row deleted before its turn leaves the queue; the queue goes on
// with the others and switches off after the last.
TEST_F(Control_test, AQueuedRowDeletedBeforeItsTurnLeavesTheQueue) {
    control.queue_rows({0, 1, 2});
    pump();
    prompter.answer(true);  // confirm_delete
    control.delete_rows({1});
    control.tick(Control_timer::delete_wait);
    EXPECT_EQ(queued(), (std::vector<std::int32_t>{0, 2}));
    finish(0);
    EXPECT_EQ(open_windows(), std::vector<std::int32_t>{2});
    finish(2);
    EXPECT_TRUE(open_windows().empty());
    EXPECT_FALSE(control.automatic_active()) << "the queue does not wait for a deleted row";
}

// Steps of the queue that were posted before the queue was cancelled (Ctrl-C
// in corvale-cli queue, the scheduler's stop) start nothing.
TEST_F(Control_test, AStepPostedBeforeTheQueueWasCancelledIsDropped) {
    control.queue_rows({0, 1});
    pump();
    control.notify(UM_FINISHED, 0, 0);
    windows[0]->stop_quietly();
    control.window_closed(windows[0]);  // posts the start of 1
    control.cancel_automatic();
    control.stop_all();
    pump();
    EXPECT_TRUE(open_windows().empty());
    EXPECT_TRUE(control.queue().empty());
}

// A download started again shows nothing of its last run until new values
// come; one that was sent without a length ends at its received size.
TEST_F(Control_test, ARestartClearsTheRowAndAnEndWithoutALengthShowsTheBytes) {
    control.start_download(2);
    windows[2]->stop_quietly();
    pump();
    for (const int column : {col_progress, col_time_left, col_speed, col_retries}) {
        view.set_text(2, column, L"old");
    }
    list.find(2)->downloaded = 5000;
    control.start_download(2);
    const Row_texts& row = view.rows()[2].texts;
    EXPECT_EQ(row[col_progress], L"???");
    EXPECT_EQ(row[col_time_left], L"");
    EXPECT_EQ(row[col_speed], L"");
    EXPECT_EQ(row[col_retries], L"");
    list.find(2)->downloaded = 1048576;  // what the last progress said
    list.find(2)->file_size = 0;
    control.notify(UM_FINISHED, 2, 0);
    EXPECT_EQ(windows[2]->title, 100);
    EXPECT_EQ(list.find(2)->file_size, 0u + static_cast<std::uint64_t>(list.find(2)->downloaded));
}

// A download that ends while "downloads are running, stop them?" is open
// changes the list: closing then asks to save it, though the list was saved
// when closing began.
TEST_F(Control_test, CloseAsksToSaveWhatEndedUnderTheStopQuestion) {
    control.start_download(2);
    list.set_modified(false);
    prompter.while_open = [this](const std::wstring& text) {
        if (text.find(L"downloads are running") != std::wstring::npos) {
            control.notify(UM_FINISHED, 2, 0);
        }
    };
    prompter.answer(true);         // confirm_stop_running: stop them
    prompter.answer_cancel(true);  // confirm_save_list now: Cancel keeps the window
    control.close();
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[1].text, load_string(texts::confirm_save_list));
    EXPECT_FALSE(closing);
}

// Closing cancels the queue and stops every download before the tool
// windows are asked to close (the grabber may ask a question).
TEST_F(Control_test, CloseAsksTheToolsLast) {
    control.queue_rows({0, 1});
    pump();
    close_tools_hook = [this] {
        EXPECT_FALSE(control.automatic_active());
        EXPECT_EQ(events.size(), 1u) << "the running window was told to stop";
    };
    list.set_modified(false);
    prompter.answer(true);  // confirm_stop_running
    control.close();
    EXPECT_TRUE(tools_closed);
}

TEST_F(Control_test, DeleteWithoutSelectionOrConfirmationChangesNothing) {
    control.delete_rows({});
    EXPECT_EQ(prompter.shown().back().text, load_string(texts::select_to_delete));
    prompter.answer(false);
    control.delete_rows({0});
    EXPECT_EQ(prompter.shown().back().text, load_string(texts::confirm_delete));
    EXPECT_FALSE(busy);
    EXPECT_TRUE(armed.empty());
    EXPECT_EQ(view.row_count(), 5);
}

TEST_F(Control_test, CloseAsksThenStopsEverythingAndWaits) {
    control.queue_rows({0});
    control.start_download(3);
    pump();
    list.set_modified(true);
    struct Step {
        std::deque<bool> cancels;  // answers Cancel to the three-way question
        std::deque<bool> answers;
        bool save_ok;
        const char* why;
    } steps[] = {
        {{true}, {}, true, "Cancel to confirm_save_list keeps the window"},
        {{false}, {true}, false, "Yes to confirm_save_list with a failed save keeps the window"},
        {{false}, {false, false}, true, "No to confirm_save_list, then No to confirm_stop_running"},
    };
    for (const Step& step : steps) {
        for (bool cancel : step.cancels) {
            prompter.answer_cancel(cancel);
        }
        for (bool answer : step.answers) {
            prompter.answer(answer);
        }
        save_succeeds = step.save_ok;
        control.close();
        EXPECT_FALSE(closing) << step.why;
    }
    EXPECT_EQ(saves, 1);
    list.set_modified(false);
    prompter.clear();
    prompter.answer(true);
    control.close();
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text,
              L"2 downloads are running,\n are you sure you want to stop downloads?");
    EXPECT_TRUE(closing);
    EXPECT_FALSE(control.automatic_active());
    grabber_open = true;
    pump();
    control.tick(Control_timer::close_wait);
    EXPECT_FALSE(ended) << "the links grabber is still open";
    grabber_open = false;
    control.tick(Control_timer::close_wait);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(open_windows().empty());
}

TEST_F(Control_test, NotificationsFillTheRowTheRecordAndTheWindow) {
    control.start_download(2);
    Fake_window& window = *windows[2];
    EXPECT_TRUE(window.opened);
    EXPECT_EQ(window.info_url, L"http://rapidshare.com/files/2/f.zip");
    struct Row {
        std::uint32_t message;
        std::int64_t lparam;
        int column;  // -1: no column
        std::wstring text;
        std::uint32_t forwarded;  // 0: not passed on
        const char* why;
    } rows[] = {
        {UM_RETRY_COUNT, 3, col_retries, L"3", UM_RETRY_COUNT, "retries"},
        {UM_WAIT, 75, col_status, L" 1 minutes and 15 seconds to start downloading", UM_STATUS,
         "a wait of 75 seconds"},
        {UM_FILE_SIZE, 1048576, col_size, L"1.00 MB", 0, "the file size"},
        {UM_ESTIMATED_SIZE, 1024, col_size, L"1.0 KB (Estimated)", 0, "an estimate"},
        {UM_PROGRESS, 0, col_progress, L"0 Bytes", UM_PROGRESS, "progress without a change"},
        {UM_CONTENT_LENGTH, 99, -1, L"", UM_CONTENT_LENGTH, "only passed on"},
    };
    for (const Row& row : rows) {
        window.forwarded.clear();
        control.notify(row.message, 2, row.lparam);
        if (row.column >= 0) {
            EXPECT_EQ(view.rows()[2].texts[static_cast<std::size_t>(row.column)], row.text)
                << row.why;
        }
        EXPECT_EQ(window.forwarded.empty(), row.forwarded == 0) << row.why;
        if (row.forwarded != 0 && !window.forwarded.empty()) {
            EXPECT_EQ(window.forwarded[0].first, row.forwarded) << row.why;
        }
    }
    const Download_record& record = *list.find(2);
    EXPECT_EQ(record.retries, 3);
    EXPECT_EQ(record.file_size, 1048576u) << "the estimate leaves the record's size";
    EXPECT_EQ(window.window_texts().size, L"1.0 KB (Estimated)");
    EXPECT_EQ(window.window_texts().retries, L"3");
    control.notify(UM_FINISHED, 2, 0);
    EXPECT_FALSE(list.find(2)->running);
    EXPECT_TRUE(list.modified());
    control.notify(UM_PROGRESS, 4, 0);  // a download without a window: ignored
}

TEST_F(Control_test, ProgressIsTakenAtMostEveryHundredMilliseconds) {
    control.start_download(1);
    Fake_window& window = *windows[1];
    const auto progress_forwards = [&] {
        return std::count_if(window.forwarded.begin(), window.forwarded.end(),
                             [](const auto& f) { return f.first == UM_PROGRESS; });
    };
    now += std::chrono::seconds(1);
    control.notify(UM_PROGRESS, 1, 0);
    EXPECT_EQ(progress_forwards(), 1) << "the first one at once";
    now += std::chrono::milliseconds(40);
    control.notify(UM_PROGRESS, 1, 0);
    control.take_waiting_progress();
    EXPECT_EQ(progress_forwards(), 1) << "40 ms later it waits";
    now += std::chrono::milliseconds(60);
    control.take_waiting_progress();
    EXPECT_EQ(progress_forwards(), 2) << "taken once its turn comes";
    control.take_waiting_progress();
    EXPECT_EQ(progress_forwards(), 2) << "and only once";
    control.notify(UM_FINISHED, 1, 0);
    EXPECT_EQ(progress_forwards(), 3) << "the end takes the last values at once";
}

}  // namespace
}  // namespace corvale

namespace corvale {
namespace {

// The list file commands' host: a chooser that gives what the test says.
class Flow_host : public List_flow_host {
  public:
    std::optional<std::wstring> choose_list_file(int, bool saving) override {
        ++(saving ? save_choices : load_choices);
        return saving ? save_as : std::nullopt;
    }
    void list_file_changed() override { ++changes; }
    std::optional<std::wstring> save_as;
    int save_choices = 0;
    int load_choices = 0;
    int changes = 0;
};

// Replacing the list with a running download: what keeps the old list and
// its downloads, and what replaces them.
TEST_F(Control_test, ReplacingTheListStopsNothingUntilTheNewFileIsRead) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvale_flow_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::wstring good = (folder / "good.zrv").wstring();
    {
        Scripted_prompter quiet;
        Memory_profile other_profile;
        Download_list other(quiet, other_profile);
        Memory_list_view other_view;
        other.add_download(L"new.zip", L"", other_view, L"http://rapidshare.com/files/9/n.zip",
                           L"/tmp");
        ASSERT_TRUE(corvale::save_list(other, good));
    }
    struct Row {
        bool save_first;                   // Yes to confirm_save_list
        std::optional<std::wstring> file;  // what the load's choice gives
        bool replaced;
        const char* why;
    };
    const Row rows[] = {
        {true, good, false, "Yes to saving, Save As cancelled: the list is not given up"},
        {false, std::nullopt, false, "the load's choice cancelled"},
        {false, (folder / "missing.zrv").wstring(), false, "a file that cannot be read"},
        {false, good, true, "a list read: downloads stop and the rows show it"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        control.start_download(0);
        ASSERT_EQ(open_windows(), std::vector<std::int32_t>{0});
        list.set_modified(true);
        prompter.answer(row.save_first);
        Flow_host host;
        replace_list(list, view, control, host, [&] { return row.file; });
        pump();
        EXPECT_EQ(host.save_choices, row.save_first ? 1 : 0);
        if (row.replaced) {
            EXPECT_TRUE(open_windows().empty());
            ASSERT_EQ(view.row_count(), 1);
            EXPECT_EQ(list.records().front().file_name, L"new.zip");
        } else {
            EXPECT_EQ(open_windows(), std::vector<std::int32_t>{0}) << "the download still runs";
            EXPECT_EQ(view.row_count(), 5);
            control.stop_download(0);
            pump();
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvale
