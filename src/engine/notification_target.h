#pragma once

// Where a worker's notifications go. The main window (or the CLI's main loop)
// implements it; a worker holds a shared pointer and posts from its own thread.

#include <cstdint>

namespace corvale {

// One notification and its data.
struct Notification {
    // Which one: a UM_ name of engine/notifications.h (message_name gives it).
    std::uint32_t kind = 0;
    // Who sent it: the download's number, or the page fetcher's identifier;
    // 0 when the main window posts to itself (for UM_START_DOWNLOAD: 1 when
    // the automatic queue asks for the start).
    std::int32_t sender = 0;
    // What it says: a count, seconds left, an error type, a download number.
    std::int64_t value = 0;
};

class Notification_target {
  public:
    virtual ~Notification_target() = default;

    // May be called from a worker thread. Never blocks on the receiver; a
    // target that has been closed drops the post.
    virtual void post(const Notification& notification) = 0;
};

}  // namespace corvale
