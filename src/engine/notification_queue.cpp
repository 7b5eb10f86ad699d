#include "engine/notification_queue.h"

namespace corvale {

void Notification_queue::post(std::uint32_t message, std::int64_t wparam, std::int64_t lparam) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        queue_.push_back({message, wparam, lparam});
    }
    posted_.notify_one();
}

void Notification_queue::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.clear();
}

std::optional<Notification> Notification_queue::pop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) {
        return std::nullopt;
    }
    const Notification next = queue_.front();
    queue_.pop_front();
    return next;
}

}  // namespace corvale
