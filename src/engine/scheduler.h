#pragma once

// The download schedule: a start instant at which the automatic queue starts
// with the rows selected then, and a stop instant at which automatic
// downloading is cancelled and every download stopped. The rules without the
// window: the host supplies the timers, the button and the actions, and says
// what time it is. Not kept between runs.

#include <cstdint>

namespace corvale {

// The longest delay one arming of the stop timer may have.
inline constexpr std::int64_t k_longest_stop_delay_ms = 2147483646;
// How often the start instant is polled for.
inline constexpr int k_start_poll_ms = 10000;

// Seconds since 1970 of a local date and time of day, as a clock on the wall
// shows it (daylight saving left to the system).
std::int64_t local_instant(int year, int month, int day, int hour, int minute, int second);

// A date and time of day in local time, as the dialog's editors show it.
struct Local_time {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const Local_time&) const = default;
};

Local_time local_time(std::int64_t instant);

// What the dialog offers first: a start at the next whole minute after
// `now` and a stop an hour after it, so that OK is accepted as it stands.
struct Schedule_times {
    Local_time start;
    Local_time stop;
};
Schedule_times first_schedule(std::int64_t now);

// The dialog's OK: 0 when the schedule can be armed, else the message:
// start_passed (the start has passed; the current second is still accepted)
// or stop_not_after_start (the stop is not later than the start).
int check_schedule(std::int64_t start, std::int64_t stop, std::int64_t now);

class Schedule_host {
  public:
    virtual ~Schedule_host() = default;
    virtual void arm_start_poll() = 0;  // every k_start_poll_ms
    virtual void kill_start_poll() = 0;
    virtual void arm_stop(std::int64_t delay_ms) = 0;
    virtual void kill_stop() = 0;
    // The toolbar button: checked while a start is pending; its image shows
    // an armed schedule until it is switched off.
    virtual void set_button_checked(bool checked) = 0;
    virtual void set_button_armed(bool armed) = 0;
    // Queues the rows selected now and starts the queue.
    virtual void start_queue() = 0;
    // Cancels automatic downloading, then stops every download.
    virtual void stop_downloads() = 0;
    virtual void tell_stopped() = 0;  // stopped_by_timer
};

class Scheduler {
  public:
    explicit Scheduler(Schedule_host& host) : host_(host) {}

    // OK in the dialog, with checked instants.
    void arm(std::int64_t start, std::int64_t stop);
    // The button was un-checked: a pending start is cancelled.
    void switch_off();
    // The start poll's tick.
    void start_tick(std::int64_t now);
    // The stop timer's tick.
    void stop_tick(std::int64_t now);
    // The program closes: nothing is pending any more.
    void close();

    bool waiting_for_start() const { return waiting_for_start_; }
    std::int64_t start_instant() const { return start_; }

  private:
    void arm_stop(std::int64_t now);

    Schedule_host& host_;
    bool waiting_for_start_ = false;
    std::int64_t start_ = 0;
    std::int64_t stop_ = 0;
};

}  // namespace corvale
