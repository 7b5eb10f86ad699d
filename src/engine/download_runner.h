#pragma once

// One download as its progress window runs it, without the window: the link
// made usable, the output file opened (asking before replacing a non-empty
// one), the worker started, and cancel or a quiet stop with their rules for
// empty and partial files. The progress window and the CLI both use it; it
// lives on the thread that owns the window (or the CLI's main thread).
//
// The file is opened on a thread of the runner's own, never on the owner's:
// opening may wait for the disk, and a window that opens twenty files at once
// must not stall. That thread reports how it went (UM_FILE_OPENED) and, for
// a file that holds bytes, waits for the owner's answer to the replace
// question; the worker starts only once the file is the download's own.

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/download_worker.h"
#include "engine/notifications.h"
#include "platform/output_file.h"
#include "platform/prompter.h"

namespace corvale {

// How the opening thread found the file: the value of UM_FILE_OPENED, which
// goes only to the target that begin() was given (never among the worker's
// notifications); its sender is the opening's serial number. A negative
// value is the errno of the failure (the file was not opened, or not cut).
inline constexpr std::uint32_t UM_FILE_OPENED = k_kind_base + 120;
inline constexpr std::int64_t k_file_opened = 0;     // the download's own, empty
inline constexpr std::int64_t k_file_not_empty = 1;  // it holds bytes: replace them?

class Download_runner {
  public:
    explicit Download_runner(Prompter& prompter, Settings_source settings = {});
    ~Download_runner();
    Download_runner(const Download_runner&) = delete;
    Download_runner& operator=(const Download_runner&) = delete;

    enum class Start {
        started,
        opening,  // the file is being opened: its UM_FILE_OPENED follows
        url_unusable,
        name_refused,
        declined,
        open_failed,
        resume_failed
    };

    // Checks the link and the name, then opens `file_name` in `folder` on the runner's own
    // thread, which posts UM_FILE_OPENED to `opened`; the owner hands that to file_opened(),
    // which starts the worker on the usable form of `url`. A name that fails the file-name rule
    // is refused before anything is opened (name_refused, nothing shown: the caller says so).
    // Returns opening, or why nothing was begun.
    Start begin(std::int32_t download_number, const std::wstring& url, const std::wstring& folder,
                const std::wstring& file_name, std::shared_ptr<Notification_target> target,
                std::shared_ptr<Notification_target> opened);
    // The opening thread's report. A file that holds bytes is asked about here
    // (confirm_replace_file): No ends the download with the file untouched
    // (declined); Yes has the thread cut the file, and its next report follows
    // (opening). A file that cannot be opened or cut is refused
    // (file_save_error, open_failed); otherwise the worker starts (started, or
    // resume_failed, shown through the prompter). No value: the report is not
    // this opening's (a stop came first); nothing changed.
    std::optional<Start> file_opened(const Notification& report);
    // begin() and file_opened() in one, waiting here for the opening's reports.
    Start start(std::int32_t download_number, const std::wstring& url, const std::wstring& folder,
                const std::wstring& file_name, std::shared_ptr<Notification_target> target);
    // Whether an opening runs whose report is awaited.
    bool opening() const { return opener_.joinable(); }

    // Why the download did not start (declined, open_failed, resume_failed):
    // the question declined or the message shown; empty after a start.
    const std::wstring& refusal_text() const { return refusal_; }

    // The link as the worker got it, and the name the window's title shows.
    const std::wstring& url() const { return url_; }
    const std::wstring& file_name() const { return file_name_; }

    bool running() const { return running_; }
    // The download ended well (finished(true)).
    bool succeeded() const { return succeeded_; }
    // The download has ended: the worker reported UM_FINISHED (succeeded), or
    // an error after which it stops. A file that was completely downloaded is
    // kept even when it is empty.
    void finished(bool succeeded);

    // Answers keep_partial_file (keep the partial file?) without asking the user.
    void answer_keep_partial(bool keep) { keep_partial_ = keep; }

    // Stops the worker, or the opening. An empty file is deleted unless the
    // download succeeded; while running, a partial one is kept only if the
    // user says so (keep_partial_file); a file whose replacing was not agreed
    // to stays as it is. Only the regular file that this download opened is
    // ever deleted. `ask_cancel_all`: an automatic download while automatic
    // downloading is active, which asks cancel_following_auto; the result is
    // true when the user wants all following automatic downloads cancelled.
    bool cancel(bool ask_cancel_all = false);
    // Stops the worker without a question; an empty file is deleted.
    void stop_quietly();

    Download_worker& worker() { return worker_; }

    // The file name a link names: the part of its object after the last '/'
    // (or '\'); the whole object when it has neither or is under 2 characters.
    static std::wstring file_name_of(const std::wstring& url);
    // The usable link (usable_link) when it parses; empty when it does not.
    static std::wstring usable_url(const std::wstring& url);

  private:
    // The opening thread: opens the file, reports, and waits for the answer
    // about a file that holds bytes. Nothing but this thread touches file_
    // until it has been joined.
    void open_file(std::filesystem::path target, std::int32_t serial,
                   std::shared_ptr<Notification_target> opened);
    // Ends the opening (a thread waiting for its answer gives up) and joins it.
    void end_opening();
    Start start_worker();
    void tell(std::wstring text);
    // Stops the opening and the worker, and deletes the file when it was
    // empty once their threads had ended; that length.
    std::uint64_t stop_and_drop_empty();

    Prompter& prompter_;
    Download_worker worker_;
    Output_file file_;
    std::wstring url_;
    std::wstring path_;
    std::wstring file_name_;
    std::wstring refusal_;
    bool running_ = false;
    bool succeeded_ = false;
    std::optional<bool> keep_partial_;
    // What the worker is started with once the file is open.
    std::int32_t download_number_ = 0;
    std::shared_ptr<Notification_target> target_;
    // The opening.
    std::thread opener_;
    std::int32_t serial_ = 0;
    std::mutex mutex_;  // guards the answer
    std::condition_variable answered_;
    bool replace_ = false;    // Yes to the replace question
    bool withdrawn_ = false;  // the opening is given up
};

}  // namespace corvale
