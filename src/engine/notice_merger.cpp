#include "engine/notice_merger.h"

#include <algorithm>

#include "corvale/text_ids.h"
#include "platform/string_table.h"

namespace corvale {

Notice_merger::Notice_merger(Clock clock) : clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return std::chrono::steady_clock::now(); };
    }
}

void Notice_merger::add(Ended_download download) {
    if (!waiting()) {
        first_ = clock_();
    }
    downloads_.push_back(std::move(download));
}

void Notice_merger::add_queue_finished() {
    if (!waiting()) {
        first_ = clock_();
    }
    queue_finished_ = true;
}

std::optional<std::chrono::milliseconds> Notice_merger::due_in() const {
    if (!waiting()) {
        return std::nullopt;
    }
    const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - first_);
    return std::max(std::chrono::milliseconds(0), k_gather - passed);
}

std::optional<Notice> Notice_merger::take() {
    const auto left = due_in();
    if (!left || left->count() > 0) {
        return std::nullopt;
    }
    Notice notice = merged();
    clear();
    return notice;
}

void Notice_merger::clear() {
    downloads_.clear();
    queue_finished_ = false;
}

Notice Notice_merger::merged() const {
    Notice notice;
    const std::wstring queue_line = load_string(texts::notice_queue_finished);
    if (downloads_.empty()) {
        notice.title = queue_line;
        return notice;
    }
    std::vector<std::wstring> lines;
    if (downloads_.size() == 1) {
        const Ended_download& only = downloads_.front();
        notice.title = only.file_name;
        lines.push_back(only.status);
        // A file that failed holds only part of what was sent: its folder
        // is offered, not the file.
        if (only.succeeded) {
            notice.file = only.file;
        }
        notice.folder = only.folder;
    } else {
        const auto failed = static_cast<std::size_t>(
            std::count_if(downloads_.begin(), downloads_.end(),
                          [](const Ended_download& download) { return !download.succeeded; }));
        const std::wstring count = std::to_wstring(downloads_.size());
        if (failed == 0) {
            notice.title = format_message(texts::notice_many_finished, {count});
        } else if (failed == downloads_.size()) {
            notice.title = format_message(texts::notice_many_failed, {count});
        } else {
            notice.title =
                format_message(texts::notice_many_ended, {count, std::to_wstring(failed)});
        }
        for (std::size_t i = 0; i < downloads_.size() && i < k_listed_names; ++i) {
            lines.push_back(downloads_[i].file_name);
        }
        if (downloads_.size() > k_listed_names) {
            lines.push_back(format_message(texts::notice_more,
                                           {std::to_wstring(downloads_.size() - k_listed_names)}));
        }
        // One folder for all of them is offered; several are not.
        const std::wstring& folder = downloads_.front().folder;
        if (std::all_of(downloads_.begin(), downloads_.end(), [&](const Ended_download& download) {
                return download.folder == folder;
            })) {
            notice.folder = folder;
        }
    }
    if (queue_finished_) {
        lines.push_back(queue_line);
    }
    for (const std::wstring& line : lines) {
        if (!notice.body.empty()) {
            notice.body += L'\n';
        }
        notice.body += line;
    }
    return notice;
}

}  // namespace corvale
