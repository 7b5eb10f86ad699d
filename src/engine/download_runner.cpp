#include "engine/download_runner.h"

#include <filesystem>
#include <system_error>

#include "corvale/text_ids.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "platform/url.h"

namespace corvale {

Download_runner::Download_runner(Prompter& prompter, Settings_source settings)
    : prompter_(prompter), worker_(std::move(settings)) {}

Download_runner::~Download_runner() {
    worker_.stop();
}

std::wstring Download_runner::usable_url(const std::wstring& url) {
    std::wstring usable = usable_link(url);
    return parse_url(usable) ? usable : std::wstring();
}

std::wstring Download_runner::file_name_of(const std::wstring& url) {
    const auto parsed = parse_url(url);
    const std::wstring object = parsed ? parsed->object : url;
    std::size_t last = object.rfind(L'/');
    if (last == std::wstring::npos) {
        last = object.rfind(L'\\');
    }
    if (last == std::wstring::npos || object.size() < 2) {
        return object;
    }
    return object.substr(last + 1);
}

Download_runner::Start Download_runner::start(std::int32_t download_number, const std::wstring& url,
                                              const std::wstring& folder,
                                              const std::wstring& file_name,
                                              std::shared_ptr<Notification_target> target) {
    url_ = usable_url(url);
    path_ = full_local_path(folder, file_name);
    refusal_.clear();
    if (url_.empty()) {
        return Start::url_unusable;
    }
    // The last check before a file is made: whatever the name came through
    // (a dialog, a list file, the command line), nothing is written outside
    // the folder.
    if (!valid_file_name(file_name)) {
        return Start::name_refused;
    }
    const auto target_path = to_path(path_);
    const auto tell = [&](std::wstring text) {
        refusal_ = std::move(text);
        prompter_.show_message(refusal_);
    };
    const auto refuse = [&] {
        tell(format_printf(load_string(texts::file_save_error), {path_}));
        return Start::open_failed;
    };
    // A link, device, FIFO or socket under the name is never asked about,
    // opened or deleted; nor is a file that another download is writing.
    if (Output_file::check_target(target_path) != 0 || file_.open_for_writing(target_path) != 0) {
        return refuse();
    }
    if (file_.length() > 0 &&
        !prompter_.ask_yes_no(format_message(texts::confirm_replace_file, {path_}))) {
        file_.close();
        refusal_ = format_message(texts::confirm_replace_file, {path_});
        return Start::declined;
    }
    if (file_.restart() != 0) {
        file_.close();
        return refuse();
    }
    file_name_ = file_name_of(url_);
    if (worker_.start() != 0) {
        tell(load_string(texts::resume_failed));
        return Start::resume_failed;
    }
    worker_.set_job(download_number, &file_, url_, std::move(target));
    if (!worker_.resume()) {
        worker_.stop();
        tell(load_string(texts::resume_failed));
        return Start::resume_failed;
    }
    running_ = true;
    return Start::started;
}

void Download_runner::finished(bool succeeded) {
    running_ = false;
    succeeded_ = succeeded;
}

std::uint64_t Download_runner::stop_and_drop_empty() {
    // The length counts only once the thread has ended: until then it may
    // still write. The worker's stop closes the file, so the thread is ended
    // first with the file still open and looked at, then the worker stopped.
    worker_.end_thread();
    const bool open = file_.is_open();
    const std::uint64_t length = file_.length();
    // Only the file this download opened, and only while it is still the
    // download's own: once closed it may be anybody's. A download that
    // succeeded keeps its file even when the file is empty.
    if (open && length == 0 && !succeeded_) {
        file_.remove();
    }
    worker_.stop();
    file_.close();
    return length;
}

bool Download_runner::cancel(bool ask_cancel_all) {
    const std::uint64_t length = stop_and_drop_empty();
    bool cancel_all = false;
    if (running_) {
        if (length > 0) {
            const bool keep = keep_partial_
                                  ? *keep_partial_
                                  : prompter_.ask_yes_no(load_string(texts::keep_partial_file));
            if (!keep) {
                file_.remove();
            }
        }
        cancel_all =
            ask_cancel_all && prompter_.ask_yes_no(load_string(texts::cancel_following_auto));
    }
    running_ = false;
    return cancel_all;
}

void Download_runner::stop_quietly() {
    stop_and_drop_empty();
}

}  // namespace corvale
