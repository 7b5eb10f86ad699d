#include "engine/download_runner.h"

#include <filesystem>
#include <system_error>

#include "corvale/text_ids.h"
#include "engine/notification_queue.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "platform/url.h"

namespace corvale {

Download_runner::Download_runner(Prompter& prompter, Settings_source settings)
    : prompter_(prompter), worker_(std::move(settings)) {}

Download_runner::~Download_runner() {
    end_opening();
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

Download_runner::Start Download_runner::begin(std::int32_t download_number, const std::wstring& url,
                                              const std::wstring& folder,
                                              const std::wstring& file_name,
                                              std::shared_ptr<Notification_target> target,
                                              std::shared_ptr<Notification_target> opened) {
    end_opening();
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
    file_name_ = file_name_of(url_);
    download_number_ = download_number;
    target_ = std::move(target);
    replace_ = false;
    withdrawn_ = false;
    ++serial_;
    try {
        opener_ = std::thread(&Download_runner::open_file, this, to_path(path_), serial_,
                              std::move(opened));
    } catch (const std::system_error&) {
        tell(load_string(texts::resume_failed));
        return Start::resume_failed;
    }
    return Start::opening;
}

void Download_runner::open_file(std::filesystem::path target, std::int32_t serial,
                                std::shared_ptr<Notification_target> opened) {
    const auto report = [&](std::int64_t value) { opened->post({UM_FILE_OPENED, serial, value}); };
    // A link, device, FIFO or socket under the name is never asked about,
    // opened or deleted; nor is a file that another download is writing.
    int error = Output_file::check_target(target);
    if (error == 0) {
        error = file_.open_for_writing(target);
    }
    if (error == 0 && file_.length() > 0) {
        report(k_file_not_empty);
        {
            std::unique_lock lock(mutex_);
            answered_.wait(lock, [this] { return replace_ || withdrawn_; });
            if (withdrawn_) {
                return;  // the bytes stay: nobody agreed to replace them
            }
        }
        error = file_.restart();
    }
    report(error == 0 ? k_file_opened : -static_cast<std::int64_t>(error));
}

void Download_runner::end_opening() {
    if (!opener_.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        withdrawn_ = true;
    }
    answered_.notify_all();
    opener_.join();
}

void Download_runner::tell(std::wstring text) {
    refusal_ = std::move(text);
    prompter_.show_message(refusal_);
}

std::optional<Download_runner::Start> Download_runner::file_opened(const Notification& report) {
    if (report.kind != UM_FILE_OPENED || report.sender != serial_ || !opening()) {
        return std::nullopt;
    }
    if (report.value == k_file_not_empty) {
        const std::wstring question = format_message(texts::confirm_replace_file, {path_});
        const bool replace = prompter_.ask_yes_no(question);
        if (!opening()) {
            return std::nullopt;  // stopped while the question was open
        }
        if (!replace) {
            end_opening();
            file_.close();
            refusal_ = question;
            return Start::declined;
        }
        {
            const std::lock_guard lock(mutex_);
            replace_ = true;
        }
        answered_.notify_all();
        return Start::opening;  // the file is cut, then reported again
    }
    end_opening();  // it has reported its last
    if (report.value != k_file_opened) {
        file_.close();
        tell(format_printf(load_string(texts::file_save_error), {path_}));
        return Start::open_failed;
    }
    return start_worker();
}

Download_runner::Start Download_runner::start_worker() {
    if (worker_.start() != 0) {
        tell(load_string(texts::resume_failed));
        return Start::resume_failed;
    }
    worker_.set_job(download_number_, &file_, url_, target_);
    if (!worker_.resume()) {
        worker_.stop();
        tell(load_string(texts::resume_failed));
        return Start::resume_failed;
    }
    running_ = true;
    return Start::started;
}

Download_runner::Start Download_runner::start(std::int32_t download_number, const std::wstring& url,
                                              const std::wstring& folder,
                                              const std::wstring& file_name,
                                              std::shared_ptr<Notification_target> target) {
    const auto reports = std::make_shared<Notification_queue>();
    Start started = begin(download_number, url, folder, file_name, std::move(target), reports);
    while (started == Start::opening) {
        // The thread always reports: opened, not empty, or why not.
        if (const auto report = reports->pop(std::chrono::seconds(1))) {
            started = file_opened(*report).value_or(started);
        }
    }
    return started;
}

void Download_runner::finished(bool succeeded) {
    running_ = false;
    succeeded_ = succeeded;
}

std::uint64_t Download_runner::stop_and_drop_empty() {
    // The length counts only once the threads have ended: until then they may
    // still write. The worker's stop closes the file, so the thread is ended
    // first with the file still open and looked at, then the worker stopped.
    // An opening that waited for the replace question has left the file's
    // bytes alone, and it is not running: they stay.
    end_opening();
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
