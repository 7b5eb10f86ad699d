#include "engine/scheduler.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "support/time_zone.h"

namespace corvale {
namespace {

// Records what the scheduler asks for, one line per call.
class Recording_host : public Schedule_host {
  public:
    void arm_start_poll() override { calls.push_back("arm start poll"); }
    void kill_start_poll() override { calls.push_back("kill start poll"); }
    void arm_stop(std::int64_t delay_ms) override {
        calls.push_back("arm stop " + std::to_string(delay_ms));
    }
    void kill_stop() override { calls.push_back("kill stop"); }
    void set_button_checked(bool checked) override {
        calls.push_back(checked ? "check" : "uncheck");
    }
    void set_button_armed(bool armed) override { calls.push_back(armed ? "image 13" : "image 7"); }
    void start_queue() override { calls.push_back("start queue"); }
    void stop_downloads() override { calls.push_back("stop downloads"); }
    void tell_stopped() override { calls.push_back("249"); }

    std::vector<std::string> take() {
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(Scheduler, TheDialogRefusesAPassedStartAndAStopNotAfterIt) {
    struct Row {
        std::int64_t start, stop, now;
        int message;
        const char* why;
    } rows[] = {
        {1000, 2000, 1000, 0, "a start at the current second is accepted"},
        {999, 2000, 1000, texts::start_passed, "a start that has passed"},
        {1000, 1000, 1000, texts::stop_not_after_start, "a stop equal to the start"},
        {1000, 999, 900, texts::stop_not_after_start, "a stop before the start"},
        {999, 999, 1000, texts::start_passed, "the start is checked first"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(check_schedule(row.start, row.stop, row.now), row.message) << row.why;
    }
}

// Central European time: the clocks go forward at 02:00 on 29 March 2026 and
// back at 03:00 on 25 October 2026.
constexpr const char* k_central_europe = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(Scheduler, LocalInstantIsTheWallClockTime) {
    {
        const testing::Scoped_time_zone utc("UTC");
        EXPECT_EQ(local_instant(2026, 12, 7, 0, 0, 0), 1796601600);
        EXPECT_EQ(local_instant(2026, 12, 7, 1, 2, 3), 1796601600 + 3723);
        EXPECT_EQ(local_instant(2038, 1, 20, 0, 0, 0), 2147558400) << "past 2^31 seconds";
    }
    const testing::Scoped_time_zone zone(k_central_europe);
    // Midnight plus ten hours would be 11:00 on the wall.
    EXPECT_EQ(local_instant(2026, 3, 29, 10, 0, 0), 1774771200) << "08:00 UTC";
    EXPECT_EQ(local_time(1774771200), (Local_time{2026, 3, 29, 10, 0, 0}));
}

// The dialog opens with a start at the next whole minute and a stop an hour
// later on the wall clock, and OK takes them as they stand.
TEST(Scheduler, TheFirstScheduleIsTheNextMinuteAndAnHourLater) {
    const testing::Scoped_time_zone zone(k_central_europe);
    // `dst`: which of two equal wall-clock times, where the clocks go back.
    const auto at = [](int year, int month, int day, int hour, int minute, int second,
                       int dst = -1) {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = dst;
        return static_cast<std::int64_t>(std::mktime(&local));
    };
    struct Row {
        std::int64_t now;
        Local_time start, stop;
        const char* why;
    } rows[] = {
        {at(2025, 12, 31, 23, 59, 30),
         {2026, 1, 1, 0, 0, 0},
         {2026, 1, 1, 1, 0, 0},
         "the year rolls over"},
        {at(2026, 3, 31, 23, 10, 0),
         {2026, 3, 31, 23, 11, 0},
         {2026, 4, 1, 0, 11, 0},
         "the stop is on the next day of the next month"},
        {at(2024, 2, 28, 23, 59, 59), {2024, 2, 29, 0, 0, 0}, {2024, 2, 29, 1, 0, 0}, "leap day"},
        {at(2026, 6, 1, 12, 0, 0),
         {2026, 6, 1, 12, 1, 0},
         {2026, 6, 1, 13, 1, 0},
         "on a whole minute: the next one, or OK would come too late"},
        {at(2026, 3, 29, 1, 30, 0),
         {2026, 3, 29, 1, 31, 0},
         {2026, 3, 29, 3, 31, 0},
         "the hour from 02:00 does not exist"},
        {at(2026, 10, 25, 2, 30, 0, 1),
         {2026, 10, 25, 2, 31, 0},
         {2026, 10, 25, 3, 31, 0},
         "the hour from 02:00 comes twice: its first time"},
        {at(2026, 10, 25, 2, 30, 0, 0),
         {2026, 10, 25, 2, 31, 0},
         {2026, 10, 25, 3, 31, 0},
         "the hour from 02:00 comes twice: its second time"},
    };
    for (const Row& row : rows) {
        const Schedule_times first = first_schedule(row.now);
        EXPECT_EQ(first.start, row.start) << row.why;
        EXPECT_EQ(first.stop, row.stop) << row.why;
        const auto instant = [](const Local_time& t) {
            return local_instant(t.year, t.month, t.day, t.hour, t.minute, t.second);
        };
        EXPECT_EQ(check_schedule(instant(first.start), instant(first.stop), row.now), 0) << row.why;
    }
}

TEST(Scheduler, StartsTheQueueAtTheStartAndStopsAtTheStop) {
    Recording_host host;
    Scheduler scheduler(host);
    scheduler.arm(1000, 1600);
    EXPECT_EQ(host.take(), (Calls{"arm start poll", "image 13"}));
    scheduler.start_tick(990);
    EXPECT_TRUE(host.take().empty()) << "not yet";
    scheduler.start_tick(1005);  // seen up to ten seconds late
    EXPECT_EQ(host.take(), (Calls{"kill start poll", "uncheck", "start queue", "arm stop 595000"}));
    EXPECT_FALSE(scheduler.waiting_for_start());
    scheduler.stop_tick(1600);
    EXPECT_EQ(host.take(), (Calls{"kill stop", "stop downloads", "249"}))
        << "the queue is cancelled before the downloads stop; 249 once";
}

TEST(Scheduler, LongStopsAreReachedThroughRepeatedArming) {
    Recording_host host;
    Scheduler scheduler(host);
    const std::int64_t stop = 3'000'000;  // about 34.7 days after the start
    scheduler.arm(0, stop);
    scheduler.start_tick(0);
    EXPECT_EQ(host.take().back(), "arm stop 2147483646");
    scheduler.stop_tick(2'147'483);
    EXPECT_EQ(host.take(), (Calls{"arm stop " + std::to_string((stop - 2'147'483) * 1000)}));
    scheduler.stop_tick(stop);
    EXPECT_EQ(host.take().back(), "249");
}

TEST(Scheduler, AStopAlreadyDueStopsAtOnce) {
    Recording_host host;
    Scheduler scheduler(host);
    scheduler.arm(1000, 1005);
    scheduler.start_tick(1009);
    EXPECT_EQ(host.take().back(), "arm stop 0");
}

TEST(Scheduler, SwitchingOffCancelsAPendingStartOnly) {
    Recording_host host;
    Scheduler scheduler(host);
    scheduler.arm(1000, 2000);
    host.take();
    scheduler.switch_off();
    EXPECT_EQ(host.take(), (Calls{"image 7", "kill start poll"}));
    scheduler.start_tick(1500);
    EXPECT_TRUE(host.take().empty()) << "nothing starts after switching off";

    scheduler.arm(1000, 2000);
    scheduler.start_tick(1000);
    host.take();
    scheduler.switch_off();
    EXPECT_EQ(host.take(), (Calls{"image 7", "kill stop"}));
    scheduler.close();
    EXPECT_EQ(host.take(), (Calls{"kill start poll", "kill stop"}));
}

}  // namespace
}  // namespace corvale
