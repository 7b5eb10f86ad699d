#include "platform/gated_thread.h"

#include <system_error>

namespace corvale {

bool Gated_thread::start(std::function<void()> body) {
    if (thread_.joinable()) {
        return false;
    }
    gate_open_ = false;
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            {
                std::unique_lock lock(mutex_);
                gate_changed_.wait(lock, [this] { return gate_open_; });
            }
            body();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool Gated_thread::resume() {
    if (!thread_.joinable()) {
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        gate_open_ = true;
    }
    gate_changed_.notify_all();
    return true;
}

void Gated_thread::join() {
    if (!thread_.joinable()) {
        return;
    }
    resume();
    thread_.join();
}

}  // namespace corvale
