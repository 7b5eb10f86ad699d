#include "platform/stop_event.h"

namespace corvale {

void Stop_event::set() {
    {
        const std::lock_guard lock(mutex_);
        set_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
}

void Stop_event::reset() {
    const std::lock_guard lock(mutex_);
    set_.store(false, std::memory_order_release);
}

bool Stop_event::wait_for(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return is_set(); });
}

}  // namespace corvale
