#pragma once

// What every progress window does with its download, whatever shows it (a
// window of the desktop program, or nothing in corvale-cli queue): it opens
// the file and starts the worker through a Download_runner, ends the download
// as its notifications say, cancels or stops it, and asks its host to release
// it, once. Lives on the thread that owns the download list.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/download_control.h"
#include "engine/download_runner.h"

namespace corvale {

// What a progress window needs of the main window (or the CLI's queue).
class Progress_window_host {
  public:
    virtual ~Progress_window_host() = default;
    // UM_DOWNLOAD_WINDOW_CLOSED, posted with the download's number: the host
    // releases that download's window later.
    virtual void post_window_closed(std::int32_t download_number) = 0;
    // UM_CANCEL_AUTO_DOWNLOAD, sent: handled before this call returns.
    virtual void cancel_automatic_downloads() = 0;
    virtual bool automatic_downloading_active() const = 0;
    // Where the worker posts its notifications.
    virtual std::shared_ptr<Notification_target> worker_target() = 0;
};

class Runner_window : public Download_window {
  public:
    Runner_window(Progress_window_host& host, Prompter& prompter, std::int32_t download_number,
                  Settings_source settings);

    std::int32_t download_number() const override { return download_number_; }
    bool automatic() const override { return automatic_; }
    void set_automatic(bool automatic) override { automatic_ = automatic; }
    // The user's Cancel: may ask about the partial file (keep_partial_file)
    // and, for an automatic download, about the following ones
    // (cancel_following_auto).
    void cancel() override;
    // While the window asks its own question the stop waits for the answer:
    // the window is not released under its question.
    void stop_quietly() override;
    Window_texts& window_texts() override { return texts_; }
    Download_worker& worker() override { return runner_.worker(); }
    void set_download_info(const std::wstring& url, const std::wstring& folder,
                           const std::wstring& file_name, const std::wstring& size,
                           const std::wstring& resume) override;

    bool running() const { return runner_.running(); }
    // The link or the file name was refused in the window: nothing ran, and
    // the status text says why.
    bool refused() const { return refused_; }
    // The download ended well (UM_FINISHED without an error type).
    bool succeeded() const { return runner_.succeeded(); }

  protected:
    // Opens the output file and starts the worker. With an opening_target()
    // the file is opened on the runner's thread and this returns opening: the
    // window passes the UM_FILE_OPENED that follows to file_opened(), which
    // asks, refuses or starts. Without one it all happens here. A refusal
    // (the replace question declined, the file not opened, the thread not
    // started) has asked to be closed already; an unusable link or a file
    // name that fails the file-name rule is refused in the window (an
    // automatic one then closes), with no file and no worker.
    Download_runner::Start start();
    // The opening's report, as start() says; no value when it was not this
    // download's opening (it was stopped): nothing changed.
    std::optional<Download_runner::Start> file_opened(const Notification& report);
    // Where the opening thread posts its UM_FILE_OPENED, to reach the
    // window on its own thread; none: the file is opened in start().
    virtual std::shared_ptr<Notification_target> opening_target() { return nullptr; }
    // UM_FINISHED, or an UM_ERROR that the window takes as the end: the
    // download has ended (an automatic one then stops quietly). True when
    // `message` ended it.
    bool handle_end(std::uint32_t message, std::int64_t lparam);
    void ask_to_close();
    const std::wstring& url() const { return url_; }
    // The full local path, as the window shows it.
    const std::wstring& path() const { return path_; }
    const Download_runner& runner() const { return runner_; }

    // Hooks for what a window shows: the info handed to it, the Cancel
    // button given up before a stop, the end of the download.
    virtual void show_download_info(const std::wstring& size, const std::wstring& resume);
    virtual void disable_cancel() {}
    virtual void show_ended() {}
    // The link or the file name cannot be used: the status text says so;
    // nothing was opened.
    virtual void show_refused() {}

  private:
    // What start() and file_opened() do with the outcome.
    void started(Download_runner::Start outcome);

    Progress_window_host& host_;
    std::int32_t download_number_;
    bool automatic_ = false;
    bool close_asked_ = false;
    bool refused_ = false;
    bool asking_ = false;        // a question of this window's own is open
    bool stop_waiting_ = false;  // a stop came while it was
    Download_runner runner_;
    Window_texts texts_;
    std::wstring url_;
    std::wstring folder_;
    std::wstring file_name_;
    std::wstring path_;
};

}  // namespace corvale
