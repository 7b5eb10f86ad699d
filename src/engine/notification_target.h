#pragma once

// Where a worker's notifications go. The main window (or the CLI's main loop)
// implements it; a worker holds a shared pointer and posts from its own thread.

#include <cstdint>

namespace corvale {

class Notification_target {
  public:
    virtual ~Notification_target() = default;

    // May be called from a worker thread. Never blocks on the receiver; a
    // target that has been closed drops the post.
    virtual void post(std::uint32_t message, std::int64_t wparam, std::int64_t lparam) = 0;
};

}  // namespace corvale
