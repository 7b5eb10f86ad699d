#pragma once

// One download as its progress window runs it, without the window: the link
// made usable, the output file opened (asking before replacing a non-empty
// one), the worker started, and cancel or a quiet stop with their rules for
// empty and partial files. The progress window and the CLI both use it; it
// lives on the thread that owns the window (or the CLI's main thread).

#include <memory>
#include <optional>
#include <string>

#include "engine/download_worker.h"
#include "platform/output_file.h"
#include "platform/prompter.h"

namespace corvale {

class Download_runner {
  public:
    explicit Download_runner(Prompter& prompter, Settings_source settings = {});
    ~Download_runner();

    enum class Start { started, url_unusable, name_refused, declined, open_failed, resume_failed };

    // Opens `file_name` in `folder` and starts the worker on the usable form of `url`. A name
    // that fails the file-name rule is refused before anything is opened (name_refused, nothing
    // shown: the caller says so). The question whether to replace the file
    // (confirm_replace_file), a file that cannot be opened (file_save_error) and the resume
    // failure are shown through the prompter.
    Start start(std::int32_t download_number, const std::wstring& url, const std::wstring& folder,
                const std::wstring& file_name, std::shared_ptr<Notification_target> target);

    // Why the last start() refused (declined, open_failed, resume_failed):
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

    // Stops the worker. An empty file is deleted unless the download
    // succeeded; while running, a partial one is kept only if the user says so
    // (keep_partial_file). Only the regular file that this download opened is
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
    // Stops the worker and deletes the file when it was empty once the
    // worker's thread had ended; that length.
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
};

}  // namespace corvale
