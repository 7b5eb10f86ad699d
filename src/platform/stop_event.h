#pragma once

// A manual-reset event: once set it stays set until reset. Waiting on it is
// how a worker sleeps, so a stop ends any wait at once.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace corvale {

class Stop_event {
  public:
    // May be called from any thread.
    void set();
    void reset();
    bool is_set() const { return set_.load(std::memory_order_acquire); }
    // Waits up to `timeout`; true when the event is or becomes set.
    bool wait_for(std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::atomic<bool> set_{false};
};

}  // namespace corvale
