#pragma once

// A notification target for engine tests. It handles each notification the
// moment it is posted, on the worker's thread, the way a receiver that keeps
// up would: it reads the texts that go with it and takes the progress block.

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvale/text_ids.h"
#include "engine/download_worker.h"
#include "engine/notification_target.h"
#include "engine/notifications.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale::testing {

class Recording_target : public Notification_target {
  public:
    struct Entry {
        std::uint32_t message;
        std::int64_t wparam;
        std::int64_t lparam;
        std::wstring text;
    };

    void watch(Transfer_worker* worker, Download_worker* download = nullptr) {
        worker_ = worker;
        download_ = download;
    }

    void post(const Notification& notification) override {
        const std::uint32_t message = notification.kind;
        Entry entry{message, notification.sender, notification.value, {}};
        std::optional<Progress_block> progress;
        if (message == UM_STATUS || message == UM_ERROR || message == UM_FINISHED) {
            entry.text = worker_->status_text();
        }
        if (message == UM_FINISHED) {
            progress = worker_->take_progress();  // the last values, as receivers take them
        } else if (message == UM_LAST_ERROR && download_ != nullptr) {
            entry.text = download_->last_error_text();
        } else if (message == UM_PROGRESS) {
            progress = worker_->take_progress();
        }
        const std::lock_guard lock(mutex_);
        if (progress) {
            last_progress_ = *progress;
        }
        entries_.push_back(entry);
        changed_.notify_all();
    }

    // Waits (a hang guard only) until `done` holds for the entries so far.
    bool wait_for(const std::function<bool(const std::vector<Entry>&)>& done,
                  std::chrono::seconds guard = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, guard, [&] { return done(entries_); });
    }
    // Waits for a notification that ends the worker's thread.
    bool wait_for_end() {
        return wait_for([](const std::vector<Entry>& entries) {
            for (const Entry& e : entries) {
                if (e.message == UM_FINISHED ||
                    (e.message == UM_ERROR && error_ends_worker(e.lparam))) {
                    return true;
                }
            }
            return false;
        });
    }

    std::vector<Entry> entries() const {
        const std::lock_guard lock(mutex_);
        return entries_;
    }

    // One line per notification, without progress and without the status
    // texts of name resolution and connections: "UM_WAIT 4", "UM_STATUS 0
    // Retrieving the file".
    std::vector<std::string> trace() const {
        std::vector<std::string> lines;
        for (const Entry& e : entries()) {
            if (e.message == UM_PROGRESS ||
                (e.message == UM_STATUS && is_connection_text(e.text))) {
                continue;
            }
            std::string line =
                std::string(message_name(e.message)) + " " + std::to_string(e.lparam);
            if (!e.text.empty()) {
                line += ' ';
                line += encode_utf8(e.text);
            }
            lines.push_back(line);
        }
        return lines;
    }

    int count(std::uint32_t message) const {
        int n = 0;
        for (const Entry& e : entries()) {
            n += e.message == message ? 1 : 0;
        }
        return n;
    }

    Progress_block last_progress() const {
        const std::lock_guard lock(mutex_);
        return last_progress_;
    }

  private:
    static bool is_connection_text(const std::wstring& text) {
        for (int id : {texts::connected_to, texts::resolving_name, texts::name_resolved,
                       texts::connecting_to, texts::redirecting_to}) {
            const std::wstring format = load_string(id);
            if (text.starts_with(format.substr(0, format.find(L"%1")))) {
                return true;
            }
        }
        return false;
    }

    Transfer_worker* worker_ = nullptr;
    Download_worker* download_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Entry> entries_;
    Progress_block last_progress_;
};

// "UM_WAIT 9", "UM_WAIT 8", ... "UM_WAIT 0": the lines of a countdown of
// `message` from `from`.
inline std::vector<std::string> countdown(const std::string& message, int from) {
    std::vector<std::string> lines;
    for (int left = from; left >= 0; --left) {
        lines.push_back(message + " " + std::to_string(left));
    }
    return lines;
}

// Compares traces line by line and names the first line that differs.
inline ::testing::AssertionResult same_trace(const std::vector<std::string>& actual,
                                             const std::vector<std::string>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) {
            return ::testing::AssertionFailure() << "line " << i << " is \"" << actual[i]
                                                 << "\", expected \"" << expected[i] << "\"";
        }
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " lines, expected " << expected.size() << "; next: \""
               << (actual.size() > common ? actual[common] : expected[common]) << "\"";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace corvale::testing

namespace corvale {

// Traces joined: their lines one after the other.
inline std::vector<std::string> operator+(std::vector<std::string> a,
                                          const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace corvale
