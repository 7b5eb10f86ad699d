#include "engine/runner_window.h"

#include "corvale/text_ids.h"
#include "engine/notifications.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/string_table.h"

namespace corvale {

Runner_window::Runner_window(Progress_window_host& host, Prompter& prompter,
                             std::int32_t download_number, Settings_source settings)
    : host_(host), download_number_(download_number), runner_(prompter, std::move(settings)) {}

void Runner_window::set_download_info(const std::wstring& url, const std::wstring& folder,
                                      const std::wstring& file_name, const std::wstring& size,
                                      const std::wstring& resume) {
    url_ = url;
    folder_ = folder;
    file_name_ = file_name;
    path_ = full_local_path(folder, file_name);
    texts_.size = size;
    show_download_info(size, resume);
}

void Runner_window::show_download_info(const std::wstring&, const std::wstring&) {}

Download_runner::Start Runner_window::start() {
    asking_ = true;  // the replace question, or why the file was not opened
    std::shared_ptr<Notification_target> opened = opening_target();
    const Download_runner::Start outcome =
        opened ? runner_.begin(download_number_, url_, folder_, file_name_, host_.worker_target(),
                               std::move(opened))
               : runner_.start(download_number_, url_, folder_, file_name_, host_.worker_target());
    asking_ = false;
    started(outcome);
    return outcome;
}

std::optional<Download_runner::Start> Runner_window::file_opened(const Notification& report) {
    asking_ = true;  // the replace question, or why the file was not opened
    const std::optional<Download_runner::Start> outcome = runner_.file_opened(report);
    asking_ = false;
    if (outcome) {
        started(*outcome);
    } else if (stop_waiting_) {
        stop_quietly();
    }
    return outcome;
}

void Runner_window::started(Download_runner::Start outcome) {
    if (outcome == Download_runner::Start::url_unusable ||
        outcome == Download_runner::Start::name_refused) {
        // A link that no request can be made of (another scheme, no server),
        // or a name that would put the file elsewhere than in its folder, is
        // refused as the Add dialog refuses it; the window ends there.
        refused_ = true;
        texts_.status =
            load_string(outcome == Download_runner::Start::url_unusable ? texts::invalid_url
                                                                        : texts::invalid_file_name);
        show_refused();
        if (automatic_ && host_.automatic_downloading_active()) {
            ask_to_close();
        }
    } else if (outcome != Download_runner::Start::started &&
               outcome != Download_runner::Start::opening) {
        ask_to_close();
    }
    if (stop_waiting_) {
        stop_quietly();
    }
}

void Runner_window::ask_to_close() {
    if (!close_asked_) {
        close_asked_ = true;
        host_.post_window_closed(download_number_);
    }
}

void Runner_window::cancel() {
    if (close_asked_ || asking_) {
        return;
    }
    disable_cancel();
    asking_ = true;  // keep the partial file? cancel the following ones?
    const bool cancel_all = runner_.cancel(automatic_ && host_.automatic_downloading_active());
    asking_ = false;
    if (cancel_all) {
        host_.cancel_automatic_downloads();
    }
    ask_to_close();
}

void Runner_window::stop_quietly() {
    if (close_asked_) {
        return;
    }
    if (asking_) {
        stop_waiting_ = true;
        return;
    }
    disable_cancel();
    runner_.stop_quietly();
    ask_to_close();
}

bool Runner_window::handle_end(std::uint32_t message, std::int64_t lparam) {
    const bool ends =
        message == UM_FINISHED || (message == UM_ERROR && error_ends_download(lparam));
    if (!ends) {
        return false;
    }
    runner_.finished(message == UM_FINISHED && lparam == 0);
    show_ended();
    if (automatic_ && host_.automatic_downloading_active()) {
        stop_quietly();
    }
    return true;
}

}  // namespace corvale
