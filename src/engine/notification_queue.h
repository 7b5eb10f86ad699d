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

class Notification_queue : public Notification_target {
  public:
    // May be called from any thread.
    void post(const Notification& notification) override;
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
