#include "engine/download_control.h"

#include <algorithm>

#include "corvale/text_ids.h"
#include "engine/notifications.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace corvale {

namespace {

constexpr const wchar_t* k_auto_mark = L"@";

}  // namespace

Download_control::Download_control(Download_list& list, List_view& view, Control_host& host,
                                   Clock clock)
    : list_(list), view_(view), host_(host), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return std::chrono::steady_clock::now(); };
    }
}

Download_control::~Download_control() {
    // Windows go before the list they point into; each stops its worker.
    for (auto& [window, owned] : windows_) {
        if (Download_record* record = list_.find(window->download_number())) {
            record->dlg_ptr = nullptr;
        }
    }
    windows_.clear();
}

Download_window* Download_control::window_of(std::int32_t download_number) {
    const Download_record* record = list_.find(download_number);
    if (record == nullptr || record->dlg_ptr == nullptr) {
        return nullptr;
    }
    auto* window = dynamic_cast<Download_window*>(record->dlg_ptr);
    return windows_.count(window) != 0 ? window : nullptr;
}

int Download_control::find_row(std::int32_t download_number) const {
    const int rows = view_.row_count();
    if (download_number >= 0 && download_number < rows &&
        view_.item_data(download_number) == download_number) {
        return download_number;
    }
    for (int row = 0; row < rows; ++row) {
        if (view_.item_data(row) == download_number) {
            return row;
        }
    }
    return -1;
}

bool Download_control::is_queued(std::int32_t download_number) const {
    return std::find(queue_.begin(), queue_.end(), download_number) != queue_.end();
}

void Download_control::set_auto_mark(std::int32_t download_number, bool queued) {
    const int row = find_row(download_number);
    if (row >= 0) {
        view_.set_text(row, col_auto, queued ? k_auto_mark : L"");
    }
}

void Download_control::start_download(std::int32_t download_number) {
    Download_record* record = list_.find(download_number);
    if (record == nullptr || record->dlg_ptr != nullptr || record->marked_for_deletion ||
        closing_) {
        return;
    }
    record->running = true;
    // A new run writes the file from its start: nothing of the last run's
    // progress, speed, time left or retries is shown any more. A name that
    // fails the file-name rule is refused in the window before any file is
    // opened: no run, and the record stays as the list file holds it.
    if (valid_file_name(record->file_name)) {
        record->downloaded = 0;
        view_.set_text(record->list_row, col_progress, row_texts(*record)[col_progress]);
        for (const int column : {col_time_left, col_speed, col_retries}) {
            view_.set_text(record->list_row, column, L"");
        }
    }
    ended_runs_.erase(download_number);
    std::unique_ptr<Download_window> owned = host_.make_window(download_number);
    Download_window* window = owned.get();
    if (automatic_active_ && is_queued(download_number)) {
        window->set_automatic(true);
    }
    windows_.emplace(window, std::move(owned));
    list_.set_progress_window(download_number, window);
    list_.update_download_dlg_info(download_number);
    window->open();
}

void Download_control::start_queued(std::int32_t download_number) {
    if (!automatic_active_ || download_number != current_auto_) {
        return;  // the queue was cancelled, or moved on, since the step was posted
    }
    const Download_record* record = list_.find(download_number);
    if (record == nullptr || record->marked_for_deletion || !is_queued(download_number)) {
        advance_queue();
        return;
    }
    if (Download_window* window = window_of(download_number)) {
        // Started by hand before its turn: its closing moves the queue on,
        // or, when it has ended already, its turn is over.
        if (record->running) {
            window->set_automatic(true);
        } else {
            advance_queue();
        }
        return;
    }
    start_download(download_number);
}

void Download_control::stop_download(std::int32_t download_number) {
    if (Download_window* window = window_of(download_number)) {
        window->stop_quietly();
    }
}

void Download_control::stop_all() {
    std::vector<Download_window*> open;
    for (const auto& [window, owned] : windows_) {
        open.push_back(window);
    }
    for (Download_window* window : open) {
        window->stop_quietly();
    }
}

Download_window* Download_control::held_window(std::int32_t download_number) const {
    for (const auto& [window, owned] : windows_) {
        if (window->download_number() == download_number) {
            return window;
        }
    }
    return nullptr;
}

void Download_control::window_closed(std::int32_t download_number) {
    if (Download_window* window = held_window(download_number)) {
        window_closed(window);
    }
}

void Download_control::window_closed(Download_window* window) {
    const auto it = windows_.find(window);
    if (it == windows_.end()) {
        return;  // released already
    }
    const std::int32_t number = window->download_number();
    if (Download_record* record = list_.find(number)) {
        // The last progress, if it waited for its turn, is what the file
        // holds now; speed and time left mean nothing once the window is gone.
        if (pace_[number].waiting()) {
            progress(*record, *window);
        }
        record->dlg_ptr = nullptr;
        record->running = false;
        view_.set_text(record->list_row, col_status, status_column_text(*record));
        view_.set_text(record->list_row, col_time_left, L"");
        view_.set_text(record->list_row, col_speed, L"");
    }
    const bool automatic = window->automatic();
    std::unique_ptr<Download_window> owned = std::move(it->second);
    windows_.erase(it);
    pace_.erase(number);
    ended_runs_.erase(number);
    host_.release_window(std::move(owned));
    if (automatic_active_ && automatic) {
        advance_queue();
    }
}

void Download_control::advance_queue() {
    // The entry of the download that ran leaves the queue; one taken off
    // while it ran (deleted) is gone already, and no other entry goes for it.
    set_auto_mark(current_auto_, false);
    const auto done = std::find(queue_.begin(), queue_.end(), current_auto_);
    if (done != queue_.end()) {
        queue_.erase(done);
    }
    if (queue_.empty()) {
        cancel_automatic();
        if (!closing_) {
            host_.queue_finished();
        }
        return;
    }
    current_auto_ = queue_.front();
    host_.post_start(current_auto_);
}

void Download_control::drop_from_queue(std::int32_t download_number) {
    if (!is_queued(download_number)) {
        return;
    }
    queue_.erase(std::remove(queue_.begin(), queue_.end(), download_number), queue_.end());
    set_auto_mark(download_number, false);
    // The current download's closing (or its posted start) moves the queue
    // on; any other entry just goes.
}

void Download_control::queue_rows(const std::vector<int>& rows) {
    for (const int row : rows) {
        const std::int32_t number = number_at(row);
        const Download_record* record = list_.find(number);
        if (record == nullptr || record->dlg_ptr != nullptr || is_queued(number)) {
            continue;
        }
        queue_.push_back(number);
        set_auto_mark(number, true);
    }
    if (queue_.empty()) {
        list_.prompter().show_message(load_string(texts::select_to_queue));
        return;
    }
    if (!automatic_active_ && !scheduler_waiting_) {
        automatic_active_ = true;
        current_auto_ = queue_.front();
        host_.post_start(current_auto_);
        host_.set_unqueue_enabled(true);
    }
}

void Download_control::unqueue_rows(const std::vector<int>& rows) {
    const auto selected_queued = std::count_if(
        rows.begin(), rows.end(), [this](int row) { return is_queued(number_at(row)); });
    if (static_cast<std::size_t>(selected_queued) == queue_.size()) {
        if (queue_.empty() ||
            list_.prompter().ask_yes_no(format_printf(load_string(texts::confirm_cancel_queue),
                                                      {std::to_wstring(queue_.size())}))) {
            cancel_automatic();
        }
        return;
    }
    for (const int row : rows) {
        const std::int32_t number = number_at(row);
        const Download_record* record = list_.find(number);
        if (!is_queued(number) || record == nullptr || record->dlg_ptr != nullptr) {
            continue;  // a queued download that runs stays queued
        }
        queue_.erase(std::remove(queue_.begin(), queue_.end(), number), queue_.end());
        set_auto_mark(number, false);
    }
}

void Download_control::cancel_automatic() {
    automatic_active_ = false;
    for (const std::int32_t number : queue_) {
        set_auto_mark(number, false);
    }
    queue_.clear();
    current_auto_ = -1;
    host_.set_unqueue_enabled(false);
}

void Download_control::enter_busy() {
    busy_ = true;
    host_.enter_busy();
}

void Download_control::leave_busy() {
    busy_ = false;
    host_.leave_busy();
}

void Download_control::delete_rows(const std::vector<int>& rows) {
    if (busy_) {
        return;
    }
    Prompter& prompter = list_.prompter();
    enter_busy();
    if (rows.empty()) {
        prompter.show_message(load_string(texts::select_to_delete));
        leave_busy();
        return;
    }
    // Rows are named by download number from here on: while a question is
    // open, downloads end and their windows go.
    std::vector<std::int32_t> numbers;
    for (const int row : rows) {
        numbers.push_back(number_at(row));
    }
    if (!prompter.ask_yes_no(load_string(texts::confirm_delete))) {
        leave_busy();
        return;
    }
    for (const std::int32_t number : numbers) {
        if (list_.find(number) == nullptr) {
            continue;
        }
        if (window_of(number) != nullptr && list_.find(number)->running) {
            if (!prompter.ask_yes_no(load_string(texts::confirm_cancel_running))) {
                continue;  // this row stays, unmarked
            }
            if (is_queued(number) && prompter.ask_yes_no(load_string(texts::confirm_cancel_auto))) {
                cancel_automatic();
            }
        }
        // Looked up again: the download may have ended, and its window gone,
        // while a question was open.
        if (Download_window* window = window_of(number)) {
            window->cancel();
        }
        if (Download_record* record = list_.find(number)) {
            record->marked_for_deletion = true;
            drop_from_queue(number);
        }
    }
    // Every marked record's window must be gone before any record is
    // removed, not only the last selected one's.
    deletion_pending_ = true;
    host_.arm_timer(Control_timer::delete_wait);
}

bool Download_control::deletion_waits() const {
    return std::any_of(list_.records().begin(), list_.records().end(),
                       [](const Download_record& record) {
                           return record.marked_for_deletion && record.dlg_ptr != nullptr;
                       });
}

bool Download_control::settle_unsaved_list() {
    switch (list_.prompter().ask_yes_no_cancel(load_string(texts::confirm_save_list))) {
        case Prompter::Answer::cancel:
            return false;
        case Prompter::Answer::yes:
            // A list that could not be saved is not given up.
            return host_.save_list();
        case Prompter::Answer::no:
            break;
    }
    return true;
}

void Download_control::close() {
    if (deletion_pending_ || closing_) {
        return;
    }
    const bool save_asked = list_.modified();
    if (save_asked && !settle_unsaved_list()) {
        return;
    }
    const int running = list_.count_running();
    if (running > 0 && !list_.prompter().ask_yes_no(format_printf(
                           load_string(texts::confirm_stop_running), {std::to_wstring(running)}))) {
        return;
    }
    // A download that ended while the question was open has changed the
    // list: what it did is not given up without asking.
    if (!save_asked && list_.modified() && !settle_unsaved_list()) {
        return;
    }
    closing_ = true;
    busy_ = true;
    host_.enter_closing();
    // The queue goes before the downloads stop, so nothing starts after
    // them; the tool windows, which may ask a question, come last.
    if (automatic_active_) {
        cancel_automatic();
    }
    stop_all();
    host_.close_tools();
    host_.arm_timer(Control_timer::close_wait);
}

void Download_control::tick(Control_timer timer) {
    if (timer == Control_timer::delete_wait && deletion_pending_) {
        if (deletion_waits()) {
            host_.arm_timer(timer);
            return;
        }
        host_.kill_timer(timer);
        list_.remove_marked(view_);
        deletion_pending_ = false;
        leave_busy();
    } else if (timer == Control_timer::close_wait && closing_) {
        // Every window is gone, not only every running one: nothing may post
        // to a window after the program has ended.
        if (!windows_.empty() || host_.tools_open()) {
            host_.arm_timer(timer);
            return;
        }
        host_.kill_timer(timer);
        host_.end();
    }
}

void Download_control::show_status(Download_record& record, Download_window& window,
                                   const std::wstring& text) {
    view_.set_text(record.list_row, col_status, text);
    window.window_texts().status = text;
}

void Download_control::take_waiting_progress() {
    const auto now = clock_();
    for (auto& [number, pace] : pace_) {
        if (!pace.due(now)) {
            continue;
        }
        Download_record* record = list_.find(number);
        Download_window* window = window_of(number);
        if (record != nullptr && window != nullptr) {
            progress(*record, *window);
        }
    }
}

void Download_control::finished_whole(Download_record& record, Download_window& window) {
    // A file sent without a length is as long as what was received; the
    // title no longer counts from 0 %.
    if (record.file_size == 0 && record.downloaded > 0) {
        record.file_size = static_cast<std::uint64_t>(record.downloaded);
        window.window_texts().size = size_text(record.file_size);
        view_.set_text(record.list_row, col_size, window.window_texts().size);
    }
    window.set_title(100);
}

void Download_control::progress(Download_record& record, Download_window& window) {
    pace_[record.download_number].taken(clock_());
    Window_texts& texts = window.window_texts();
    const Progress_block block = take_progress_texts(window.worker(), texts);
    if (block.percent_changed) {
        window.set_title(block.percentage);
    }
    if (block.speed_changed) {
        view_.set_text(record.list_row, col_speed, texts.speed);
    }
    if (block.time_left_changed) {
        view_.set_text(record.list_row, col_time_left, texts.time_left);
    }
    record.downloaded = static_cast<std::int64_t>(block.downloaded);
    view_.set_text(record.list_row, col_progress, texts.downloaded);
    window.forward(UM_PROGRESS, static_cast<std::int64_t>(block.downloaded));
}

void Download_control::notify(std::uint32_t message, std::int32_t download_number,
                              std::int64_t lparam) {
    Download_record* record = list_.find(download_number);
    Download_window* window = window_of(download_number);
    if (record == nullptr || window == nullptr) {
        return;  // released already: nothing is left to show it
    }
    Download_worker& worker = window->worker();
    const auto status = [&] {
        record->status_text = worker.status_text();
        show_status(*record, *window, record->status_text);
    };
    switch (message) {
        case UM_PROGRESS: {
            if (pace_[download_number].arrived(clock_())) {
                progress(*record, *window);
            }
            return;
        }
        case UM_FINISHED:
            // The last values: the UM_PROGRESS in flight may have been handled
            // before the worker's last reads, and no other one follows.
            progress(*record, *window);
            if (lparam == 0) {
                finished_whole(*record, *window);
            }
            list_.set_modified(true);
            record->running = false;
            status();
            break;
        case UM_ERROR:
        case UM_STATUS:
            status();
            break;
        case UM_CONTENT_LENGTH:
            break;
        case UM_RETRY_COUNT:
            record->retries = static_cast<std::int32_t>(lparam);
            window->window_texts().retries = std::to_wstring(record->retries);
            view_.set_text(record->list_row, col_retries, window->window_texts().retries);
            break;
        case UM_WAIT:
            show_status(*record, *window, countdown_text(texts::wait_countdown, lparam));
            window->forward(UM_STATUS, lparam);
            return;
        case UM_FILE_SIZE:
            record->file_size = static_cast<std::uint64_t>(lparam);
            window->window_texts().size = size_text(record->file_size);
            view_.set_text(record->list_row, col_size, window->window_texts().size);
            return;
        case UM_ESTIMATED_SIZE:
            window->window_texts().size =
                size_text(static_cast<std::uint64_t>(lparam)) + load_string(texts::estimated);
            view_.set_text(record->list_row, col_size, window->window_texts().size);
            return;
        case UM_RETRY_WAIT:
            record->status_text = worker.status_text();
            show_status(*record, *window,
                        countdown_text(texts::retry_countdown, lparam) + record->status_text);
            window->forward(UM_STATUS, lparam);
            return;
        case UM_LAST_ERROR:
            record->last_error_text = worker.last_error_text();
            window->window_texts().last_error = record->last_error_text;
            view_.set_text(record->list_row, col_status, record->last_error_text);
            break;
        default:
            return;
    }
    // The end of the run, told once, before the window takes it (an
    // automatic window asks to be closed then).
    const bool ends =
        message == UM_FINISHED || (message == UM_ERROR && error_ends_download(lparam));
    if (ends && !closing_ && ended_runs_.insert(download_number).second) {
        host_.download_ended(download_number, message == UM_FINISHED && lparam == 0);
    }
    window->forward(message, lparam);
}

}  // namespace corvale
