#include "engine/notification_queue.h"

namespace corvale {

void Notification_queue::post(const Notification& notification) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        queue_.push_back(notification);
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
