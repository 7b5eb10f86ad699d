#include "platform/gated_thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/stop_event.h"

namespace corvale {
namespace {

// The owner sets the worker's fields between start and resume: the body
// sees them, and runs only once the gate opens.
TEST(GatedThread, TheBodyRunsOnlyOnceTheGateOpens) {
    Gated_thread thread;
    EXPECT_FALSE(thread.resume()) << "no thread yet";
    std::atomic<bool> ran = false;
    int field = 0;  // not atomic: the gate orders it
    int seen = 0;
    Stop_event done;
    ASSERT_TRUE(thread.start([&] {
        ran = true;
        seen = field;
        done.set();
    }));
    EXPECT_FALSE(thread.start([] {})) << "one thread at a time";
    EXPECT_FALSE(done.wait_for(std::chrono::milliseconds(20)));
    EXPECT_FALSE(ran);
    field = 42;
    EXPECT_TRUE(thread.resume());
    EXPECT_TRUE(done.wait_for(std::chrono::seconds(60)));
    thread.join();
    EXPECT_EQ(seen, 42);
    EXPECT_FALSE(thread.exists());
    EXPECT_FALSE(thread.resume()) << "the thread has ended";
    EXPECT_TRUE(thread.start([] {})) << "a new run after the last one ended";
}

// A stop before the gate opened: join opens it, the body runs once, sees the
// stop and ends; a resume after the stop changes nothing.
TEST(GatedThread, AStopBeforeResumeRunsTheBodyToItsEndAndJoins) {
    for (const bool resume_after_stop : {false, true}) {
        Stop_event stop;
        std::atomic<int> runs = 0;
        std::atomic<bool> saw_stop = false;
        {
            Gated_thread thread;
            ASSERT_TRUE(thread.start([&] {
                ++runs;
                saw_stop = stop.is_set();
            }));
            stop.set();
            if (resume_after_stop) {
                EXPECT_TRUE(thread.resume());
                EXPECT_TRUE(thread.resume()) << "a second resume is harmless";
            }
            thread.join();
            EXPECT_FALSE(thread.exists());
        }
        EXPECT_EQ(runs, 1);
        EXPECT_TRUE(saw_stop);
    }
    Gated_thread never_resumed;
    ASSERT_TRUE(never_resumed.start([] {}));
    // Its destructor opens the gate and joins: the test ends.
}

}  // namespace
}  // namespace corvale
