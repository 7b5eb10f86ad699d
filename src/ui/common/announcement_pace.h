#pragma once

// How often a value that changes many times a second (a progress bar, a
// speed) tells screen readers of its change: at most once a second. A
// change that comes too soon is held back, and taken by a catch-up when its
// second is over.

#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace corvale {

class Announcement_pace {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds period{1000};

    // `catch_up` takes the change held back; it runs on the owner's thread.
    explicit Announcement_pace(std::function<void()> catch_up);

    // A change at `now`: true when it may be announced now (the caller then
    // calls `taken`); otherwise the catch-up is due at the end of the second.
    bool let_through(Clock::time_point now);
    // The value was announced at `now`: no catch-up is due.
    void taken(Clock::time_point now);

  private:
    QTimer catch_up_;
    std::optional<Clock::time_point> last_taken_;
};

}  // namespace corvale
