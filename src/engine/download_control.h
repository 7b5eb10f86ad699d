#pragma once

// Where downloads are started, stopped, queued and deleted, and how the
// program winds down: the rules of the main window without the window. The
// main window and `corvale-cli queue` are thin hosts over it. Everything here
// runs on the thread that owns the download list (the GUI thread, or the
// CLI's main thread); workers reach it only through posted notifications.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/download_worker.h"
#include "engine/progress_texts.h"
#include "model/download_list.h"
#include "model/list_view.h"
#include "model/progress_window.h"

namespace corvale {

// A download's progress window as the control sees it.
class Download_window : public Progress_window {
  public:
    virtual std::int32_t download_number() const = 0;
    virtual bool automatic() const = 0;
    virtual void set_automatic(bool automatic) = 0;
    // Shows the window; its initialisation opens the output file and starts
    // the worker, or asks to be closed (declined, refused, not startable).
    virtual void open() = 0;
    // The window's own Cancel: may ask whether to keep a partial file and
    // whether to cancel the following automatic downloads; asks to be closed.
    virtual void cancel() = 0;
    // Stops the worker without a question (an empty file is deleted) and
    // asks to be closed.
    virtual void stop_quietly() = 0;

    // The control fills them and then passes the notification on, and the
    // window redraws.
    virtual Window_texts& window_texts() = 0;
    // The caption with the percentage ("%1% of %2").
    virtual void set_title(int percentage) = 0;
    // A notification passed on for the window to redraw.
    virtual void forward(std::uint32_t message, std::int64_t lparam) = 0;
    virtual Download_worker& worker() = 0;
};

// The timers the control waits with, 300 ms each, re-armed by the host's
// tick until the wait is over.
enum class Control_timer { close_wait = 1, delete_wait = 2 };

// What the control asks of the window (or program) that hosts it.
class Control_host {
  public:
    virtual ~Control_host() = default;

    // A new, not yet opened progress window for the download.
    virtual std::unique_ptr<Download_window> make_window(std::int32_t download_number) = 0;
    // A step of the automatic queue: start_queued(n) is to run later, from
    // the event loop, never inside the handler that asked for it.
    virtual void post_start(std::int32_t download_number) = 0;
    // A window the control has let go of: the host frees it later, from the
    // top of its event loop, never inside a question that may be open now.
    virtual void release_window(std::unique_ptr<Download_window> window) = 0;
    virtual void arm_timer(Control_timer timer) = 0;
    virtual void kill_timer(Control_timer timer) = 0;
    // The busy state: the toolbar buttons' enabled states are remembered and
    // the buttons, the list and the first three menus disabled; leaving it
    // gives back what was remembered.
    virtual void enter_busy() = 0;
    virtual void leave_busy() = 0;
    // Closing: everything disabled for good, the scheduler stopped.
    virtual void enter_closing() = 0;
    // Closing, once every download was told to stop: the links grabber and
    // the update window are asked to close.
    virtual void close_tools() = 0;
    // Whether a tool window that closing waits for is still open.
    virtual bool tools_open() const = 0;
    // Toolbar button "Remove From Auto Download List" (32784).
    virtual void set_unqueue_enabled(bool enabled) = 0;
    // Saves the list into its path (Save As when it has none); false when it
    // was not saved.
    virtual bool save_list() = 0;
    // The close wait is over: the program ends.
    virtual void end() = 0;
    // A download's run ended: it finished (succeeded) or failed for good.
    // Once per run; its status text is in the record and the row already.
    virtual void download_ended(std::int32_t /*download_number*/, bool /*succeeded*/) {}
    // The automatic queue ran to its end (not when it was cancelled).
    virtual void queue_finished() {}
};

class Download_control {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    Download_control(Download_list& list, List_view& view, Control_host& host, Clock clock = {});
    ~Download_control();
    Download_control(const Download_control&) = delete;
    Download_control& operator=(const Download_control&) = delete;

    // UM_START_DOWNLOAD: a download started by hand (also a queued one).
    void start_download(std::int32_t download_number);
    // A step of the queue posted earlier: dropped when the queue was
    // cancelled or has moved on since; a download that can no longer start
    // (deleted, taken off the queue) moves the queue on.
    void start_queued(std::int32_t download_number);
    // Stop quietly: the window asks to be closed once its worker has ended.
    void stop_download(std::int32_t download_number);
    void stop_all();
    // UM_DOWNLOAD_WINDOW_CLOSED: lets go of the window (once; the host frees
    // it later) and advances the queue when it was automatic.
    void window_closed(Download_window* window);
    // The same for the window the control holds for `download_number`, if any:
    // a late or second request finds none and does nothing.
    void window_closed(std::int32_t download_number);

    // Rows are visited in ascending order.
    void queue_rows(const std::vector<int>& rows);
    void unqueue_rows(const std::vector<int>& rows);
    // Also UM_CANCEL_AUTO_DOWNLOAD.
    void cancel_automatic();
    void delete_rows(const std::vector<int>& rows);
    // WM_CLOSE: asks, then stops everything and waits; host.end() follows.
    void close();
    void tick(Control_timer timer);

    // The worker notifications UM_PROGRESS..UM_LAST_ERROR of download `download_number`.
    // Each download's UM_PROGRESS is paced by a Progress_pace of its own; one
    // that comes too soon waits for take_waiting_progress().
    void notify(std::uint32_t message, std::int32_t download_number, std::int64_t lparam);
    // Takes the progress that waits; the host calls it at least every 100 ms
    // while downloads run.
    void take_waiting_progress();

    // While the scheduler waits for its start time, queued rows only wait.
    void set_scheduler_waiting(bool waiting) { scheduler_waiting_ = waiting; }

    bool automatic_active() const { return automatic_active_; }
    std::int32_t current_auto_download() const { return current_auto_; }
    const std::deque<std::int32_t>& queue() const { return queue_; }
    bool is_queued(std::int32_t download_number) const;
    bool busy() const { return busy_; }
    bool closing() const { return closing_; }
    // Whether the window is one the control holds (not yet released); the
    // pointer is only compared, never followed.
    // The window the control holds for `download_number`; null when none.
    Download_window* held_window(std::int32_t download_number) const;
    bool holds(const Download_window* window) const {
        return windows_.count(const_cast<Download_window*>(window)) != 0;
    }
    std::size_t open_windows() const { return windows_.size(); }
    // The window of a running or ended download; nullptr when idle.
    Download_window* window_of(std::int32_t download_number);
    // The row whose item data is the number, or -1.
    int find_row(std::int32_t download_number) const;

  private:
    std::int32_t number_at(int row) const { return view_.item_data(row); }
    void set_auto_mark(std::int32_t download_number, bool queued);
    // The current automatic download is done: the next queued one starts.
    void advance_queue();
    // A download that will not run any more leaves the queue.
    void drop_from_queue(std::int32_t download_number);
    void enter_busy();
    void leave_busy();
    bool deletion_waits() const;
    // Asks whether to save the list (confirm_save_list): false when the user
    // cancels or the list was not saved.
    bool settle_unsaved_list();
    void progress(Download_record& record, Download_window& window);
    void finished_whole(Download_record& record, Download_window& window);
    void show_status(Download_record& record, Download_window& window, const std::wstring& text);

    Download_list& list_;
    List_view& view_;
    Control_host& host_;
    Clock clock_;
    std::map<Download_window*, std::unique_ptr<Download_window>> windows_;
    std::map<std::int32_t, Progress_pace> pace_;
    // The downloads whose run has ended and was told to the host.
    std::set<std::int32_t> ended_runs_;
    std::deque<std::int32_t> queue_;
    bool automatic_active_ = false;
    std::int32_t current_auto_ = -1;
    bool deletion_pending_ = false;
    bool busy_ = false;
    bool closing_ = false;
    bool scheduler_waiting_ = false;
};

}  // namespace corvale
