#include "platform/stop_event.h"

#include <gtest/gtest.h>

#include <thread>

namespace corvale {
namespace {

// A wait that a set fails to end hangs the test, and the test runner fails it.
constexpr auto k_guard = std::chrono::hours(1);

TEST(StopEvent, StaysSetUntilReset) {
    Stop_event event;
    EXPECT_FALSE(event.is_set());
    EXPECT_FALSE(event.wait_for(std::chrono::milliseconds(0)));
    for (int round = 0; round < 3; ++round) {
        event.set();
        event.set();
        EXPECT_TRUE(event.is_set());
        EXPECT_TRUE(event.wait_for(k_guard)) << "a set event ends a wait at once";
        EXPECT_TRUE(event.wait_for(k_guard)) << "and every wait after it";
        event.reset();
        EXPECT_FALSE(event.is_set());
        EXPECT_FALSE(event.wait_for(std::chrono::milliseconds(1)));
    }
}

// A wait that has begun ends when another thread sets the event, however
// the set falls against the start of the wait; none is lost.
TEST(StopEvent, ASetEndsAWaitOnAnotherThread) {
    Stop_event event;
    for (int round = 0; round < 200; ++round) {
        bool woken = false;
        std::thread waiter([&] { woken = event.wait_for(k_guard); });
        event.set();
        waiter.join();
        EXPECT_TRUE(woken) << "round " << round;
        event.reset();
    }
}

}  // namespace
}  // namespace corvale
