#include "engine/transfer_worker.h"

#include <gtest/gtest.h>

#include <limits>

namespace corvale {
namespace {

constexpr std::uint64_t k_gib = 1ull << 30;
constexpr std::uint64_t k_max64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t k_max32 = std::numeric_limits<std::uint32_t>::max();

// A worker without a thread whose clock the test sets: it measures the
// progress of one reply read at the ticks the test gives.
class Measured_worker : public Transfer_worker {
  public:
    Measured_worker()
        : Transfer_worker(Sender::download_worker,
                          make_transfer_settings({}, Worker_timing{std::chrono::milliseconds(1000),
                                                                   [this] { return now; }})) {}
    using Transfer_worker::begin_reply;
    using Transfer_worker::Reply_progress;
    using Transfer_worker::update_progress;
    void run_attempts(Http_session&) override {}

    std::uint32_t now = 0;
};

// Speed is measured over samples of more than a second, in bytes per
// millisecond; the time left from the average since the reply began, or
// from the speed limit's rate when that is lower.
TEST(TransferWorker, SpeedAndTimeLeftOverTicks) {
    struct Step {
        std::uint32_t tick;
        std::uint64_t received;
    };
    struct Row {
        std::optional<std::uint64_t> size;
        std::uint32_t start_tick;
        std::vector<Step> steps;
        // What the block says after the last step.
        std::optional<double> speed;             // none: not changed by the last step
        std::optional<std::uint32_t> time_left;  // none: not changed by the last step
        int percentage;
        const char* why;
        std::uint64_t limit = 0;  // bytes per second the reading is held to
    } rows[] = {
        {10000, 500, {{500, 2000}}, {}, {}, 20, "no time has passed: nothing measured"},
        {10000, 0, {{1000, 2000}}, {}, {}, 20, "a second exactly is not yet a sample"},
        {10000, 0, {{1001, 2002}}, 2.0, 3, 20, "7998 bytes left at 0.5 ms each: 3.999 s"},
        {std::nullopt, 0, {{1001, 2002}}, 2.0, {}, 0, "unknown size: no time left"},
        {10000, 0, {{1001, 0}}, 0.0, {}, 0, "nothing received yet: no time left"},
        // The speed of the last sample only; nothing left.
        {10000, 0, {{1001, 2002}, {1500, 4000}, {3003, 10000}}, 7998.0 / 2002, 0, 100, ""},
        // Beyond 4 GiB counts do not wrap: 3 GiB left, 5 GiB took 2600 ms.
        {8 * k_gib, 0, {{1500, 3 * k_gib}, {2600, 5 * k_gib}}, 2.0 * k_gib / 1100, 1, 62, ""},
        {10000, 0xFFFFFF00u, {{0x300, 2048}}, 2.0, 3, 20, "the tick wraps: 1024 ms passed"},
        {k_max64, 0, {{1001, 1}}, 1.0 / 1001, k_max32, 0, "an estimate past the counter"},
        {0, 0, {{1001, 0}}, 0.0, {}, 100, "an empty reply is complete"},
        {10000, 0, {{1001, 2002}}, 2.0, 7, 20, "7998 bytes left at the limit: 7.998 s", 1000},
        {10000, 0, {{1001, 2002}}, 2.0, 3, 20, "a limit above the speed changes nothing", 8000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &row - rows << ": " << row.why);
        Measured_worker worker;
        worker.now = row.start_tick;
        Measured_worker::Reply_progress reply = worker.begin_reply(row.size);
        const auto limits = Speed_limits::make();
        limits->set_global({row.limit, {}});
        const auto running = limits->join(1);
        reply.limit = running.get();
        Progress_block block;
        for (const Step& step : row.steps) {
            worker.now = step.tick;
            worker.update_progress(reply, step.received, true);
            block = worker.take_progress();
        }
        EXPECT_EQ(block.speed_changed, row.speed.has_value());
        EXPECT_DOUBLE_EQ(block.speed, row.speed.value_or(0.0));
        EXPECT_EQ(block.time_left_changed, row.time_left.has_value());
        EXPECT_EQ(block.time_left, row.time_left.value_or(0));
        EXPECT_EQ(block.percentage, row.percentage);
        EXPECT_EQ(block.downloaded, row.steps.back().received);
        EXPECT_EQ(block.rate_limit, row.limit);
    }
}

}  // namespace
}  // namespace corvale
