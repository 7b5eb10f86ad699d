#pragma once

// What the download worker and the page fetcher share: the thread behind a
// gate, the stop event, the lock that guards the progress block and the status
// text, the HTTP exchange with its status texts, progress, and counted waits.
// Methods marked "worker thread" run only on the worker's own thread.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "engine/notification_target.h"
#include "engine/notifications.h"
#include "engine/progress_block.h"
#include "engine/transfer_settings.h"
#include "platform/gated_thread.h"
#include "platform/http.h"
#include "platform/stop_event.h"

namespace corvale {

class Transfer_worker {
  public:
    virtual ~Transfer_worker();
    Transfer_worker(const Transfer_worker&) = delete;
    Transfer_worker& operator=(const Transfer_worker&) = delete;

    // Opens the gate of a started thread; false when there is none.
    bool resume() { return thread_.resume(); }
    // Whether a stop has been signalled that the thread has not yet ended on.
    // Any thread.
    bool stop_requested() const { return stop_.is_set(); }

    // A copy of the status text, taken under the lock. Any thread.
    std::wstring status_text() const;
    // Copies the progress block and clears its change flags; the next
    // UM_PROGRESS may then be posted. Any thread.
    Progress_block take_progress();

  protected:
    Transfer_worker(Sender sender, Settings_source settings);

    // Takes a snapshot of the current settings for what follows: the session
    // at the start of a run, then each attempt, whose requests `session`
    // then makes with the current user agent and proxy. Worker thread.
    void refresh_settings(Http_session* session = nullptr);
    // What this worker tells servers it is.
    virtual std::string user_agent(const Transfer_values& values) const {
        return values.user_agent;
    }

    // Posts to the target unless it is gone. Worker thread.
    void post(std::uint32_t message, std::int64_t lparam);
    void report_status(int message_id);
    // The status text becomes the type's message with %1 = number.
    void report_error(long long number, Notification_type type);
    void cancel() { report_error(0, NT_CANCELLED); }
    void set_status(const std::wstring& text);

    // One reply being read: what progress is measured against.
    struct Reply_progress {
        std::uint64_t size = 0;
        bool size_known = false;
        std::uint32_t start_tick = 0;
        std::uint32_t last_sample_tick = 0;
        std::uint64_t last_sample_bytes = 0;
        // The limit the reading runs under, when there is one: the time left
        // counts with no more than its rate.
        Speed_limits::Running* limit = nullptr;
    };
    Reply_progress begin_reply(std::optional<std::uint64_t> content_length) const;
    // Stores the progress of `reply` and, unless `notify` is false, posts
    // UM_PROGRESS (at most one unhandled).
    void update_progress(Reply_progress& reply, std::uint64_t received, bool file_phase,
                         bool notify = true);

    // Posts `message` with the seconds left after each second, w-1 down to 0,
    // and waits a second after each; true when a stop ended the wait.
    bool count_down(int seconds, std::uint32_t message);

    // How a step of an attempt ended: go on, try again, or the thread ends
    // (what ended it has been reported).
    enum class Step { go_on, next_attempt, ends };

    // Sends `request` and checks its status. With resend_on_auth a 401 or 407
    // is answered by draining the body and sending again, a few times at most.
    // A stop reports the cancel.
    Step exchange(Http_request& request, bool resend_on_auth);

    // The attempts of one run, on a session whose events set the status text.
    virtual void run_attempts(Http_session& session) = 0;

    // Creates the thread behind its gate; it opens the session, then runs the
    // attempts once resumed.
    bool start_thread() {
        return thread_.start([this] { run(); });
    }
    // Signals the stop event, lets the thread run to its end and joins it,
    // then resets the event. Idempotent.
    void stop_thread();

    std::int32_t id_ = 0;  // the sender of every notification
    std::shared_ptr<Notification_target> target_;
    Settings_source settings_;
    // The snapshot the worker thread works with (refresh_settings).
    Transfer_values current_;
    Stop_event stop_;
    std::wstring server_;  // the server being requested now (worker thread)
    mutable std::mutex lock_;

  private:
    void run();
    std::unique_ptr<Http_session> open_session();

    Sender sender_;
    Gated_thread thread_;
    Progress_block progress_;  // guarded by lock_
    std::wstring status_;      // guarded by lock_
    std::atomic<bool> progress_posted_{false};
};

}  // namespace corvale
