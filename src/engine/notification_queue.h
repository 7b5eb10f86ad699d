#pragma once

// A Notification_target that queues posts for a thread that reads them one by
// one: the CLI's main loop. Closing it drops later posts.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "engine/notification_target.h"

namespace corvale {

struct Notification {
    std::uint32_t message = 0;
    std::int64_t wparam = 0;
    std::int64_t lparam = 0;
};

class Notification_queue : public Notification_target {
  public:
    // May be called from any thread.
    void post(std::uint32_t message, std::int64_t wparam, std::int64_t lparam) override;
    void close();
    // The oldest notification, waiting up to `timeout` for one.
    std::optional<Notification> pop(std::chrono::milliseconds timeout);

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Notification> queue_;
    bool closed_ = false;
};

}  // namespace corvale
