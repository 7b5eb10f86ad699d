#include "engine/scheduler.h"

#include <algorithm>
#include <ctime>

#include "corvale/text_ids.h"

namespace corvale {

namespace {}  // namespace

// Midnight plus the seconds of the day would be an hour off on the days the
// clocks change: the wall-clock time is what the user chose.
std::int64_t local_instant(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

Local_time local_time(std::int64_t instant) {
    const auto seconds = static_cast<std::time_t>(instant);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

Schedule_times first_schedule(std::int64_t now) {
    const std::int64_t start = now - local_time(now).second + 60;
    // An hour later on the wall clock (mktime carries it into the next day,
    // month or year): an hour of seconds could show the same time when the
    // clocks go back.
    const Local_time at = local_time(start);
    const std::int64_t stop = local_instant(at.year, at.month, at.day, at.hour + 1, at.minute, 0);
    return {at, local_time(stop)};
}

int check_schedule(std::int64_t start, std::int64_t stop, std::int64_t now) {
    if (start < now) {
        return texts::start_passed;
    }
    if (stop <= start) {
        return texts::stop_not_after_start;
    }
    return 0;
}

void Scheduler::arm(std::int64_t start, std::int64_t stop) {
    waiting_for_start_ = true;
    start_ = start;
    stop_ = stop;
    host_.arm_start_poll();
    host_.set_button_armed(true);
}

void Scheduler::switch_off() {
    host_.set_button_armed(false);
    if (waiting_for_start_) {
        host_.kill_start_poll();
        waiting_for_start_ = false;
    } else {
        host_.kill_stop();
    }
}

void Scheduler::start_tick(std::int64_t now) {
    if (!waiting_for_start_ || now < start_) {
        return;
    }
    waiting_for_start_ = false;
    host_.kill_start_poll();
    host_.set_button_checked(false);
    host_.start_queue();
    arm_stop(now);
}

void Scheduler::arm_stop(std::int64_t now) {
    // A stop already due (the start was seen late) stops at once.
    const std::int64_t delay_ms = std::max<std::int64_t>(0, (stop_ - now) * 1000);
    host_.arm_stop(std::min(delay_ms, k_longest_stop_delay_ms));
}

void Scheduler::stop_tick(std::int64_t now) {
    if (now < stop_) {
        arm_stop(now);  // the delay was cut to the longest one, or the stop moved
        return;
    }
    host_.kill_stop();
    host_.stop_downloads();
    host_.tell_stopped();
}

void Scheduler::close() {
    host_.kill_start_poll();
    host_.kill_stop();
    waiting_for_start_ = false;
}

}  // namespace corvale
