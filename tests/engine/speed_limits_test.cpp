#include "engine/speed_limits.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace corvale {
namespace {

TEST(ShareRate, SharesTheGlobalLimitByWhatEachMayTake) {
    struct Row {
        std::uint64_t total;
        std::vector<std::uint64_t> own;
        std::vector<std::uint64_t> expected;
    };
    const Row rows[] = {
        {0, {0, 500, 0}, {0, 500, 0}},                 // no global limit: each its own
        {1000, {0, 0, 0, 0}, {250, 250, 250, 250}},    // equal shares
        {1000, {100, 0, 0}, {100, 450, 450}},          // a lower own limit frees the rest
        {1000, {0, 600}, {500, 500}},                  // a higher one takes an equal share
        {1000, {50, 0, 200, 0}, {50, 375, 200, 375}},  // lowest first, then again
        {900, {300, 300, 0}, {300, 300, 300}},
        {1000, {}, {}},
        {1001, {0, 0}, {500, 501}},  // all of the total, never more
        {2, {0, 0, 0}, {1, 1, 1}},   // never 0, which would be no limit at all
    };
    for (const Row& row : rows) {
        EXPECT_EQ(share_rate(row.total, row.own), row.expected) << "total " << row.total;
    }
}

TEST(ShareRate, NeverPassesTheTotalNorAnOwnLimit) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const std::uint64_t total = 1000 + random() % 100000;
        std::vector<std::uint64_t> own(1 + random() % 8);
        for (auto& limit : own) {
            limit = random() % 3 == 0 ? 0 : 1 + random() % 40000;
        }
        const auto rates = share_rate(total, own);
        EXPECT_LE(std::accumulate(rates.begin(), rates.end(), std::uint64_t{0}), total);
        for (std::size_t i = 0; i < own.size(); ++i) {
            EXPECT_GT(rates[i], 0u);
            if (own[i] != 0) {
                EXPECT_LE(rates[i], own[i]);
            }
        }
    }
}

TEST(HoursLimit, CoversItsMinutesOfTheDay) {
    struct Row {
        int from, until, minute;
        bool covered;
    };
    const Row rows[] = {
        {8 * 60, 18 * 60, 8 * 60, true},   {8 * 60, 18 * 60, 18 * 60 - 1, true},
        {8 * 60, 18 * 60, 18 * 60, false}, {8 * 60, 18 * 60, 7 * 60 + 59, false},
        {22 * 60, 6 * 60, 23 * 60, true},  {22 * 60, 6 * 60, 0, true},
        {22 * 60, 6 * 60, 6 * 60, false},  {22 * 60, 6 * 60, 12 * 60, false},
        {9 * 60, 9 * 60, 0, true},  // equal ends: the whole day
    };
    for (const Row& row : rows) {
        const Hours_limit hours{true, 100, row.from, row.until};
        EXPECT_EQ(hours.covers(row.minute), row.covered)
            << row.from << "-" << row.until << " at " << row.minute;
    }
}

class SpeedLimitsTest : public ::testing::Test {
  protected:
    int minute = 7 * 60;
    std::shared_ptr<Speed_limits> limits = Speed_limits::make([this] { return minute; });
};

TEST_F(SpeedLimitsTest, SharesAreWorkedOutAgainAsDownloadsComeAndGo) {
    limits->set_global({1200, {}});
    auto first = limits->join(1);
    EXPECT_EQ(first->rate(), 1200u);
    {
        auto second = limits->join(2);
        auto third = limits->join(3);
        EXPECT_EQ(first->rate(), 400u);
        EXPECT_EQ(limits->rate_of(3), 400u);
        limits->set_own(2, 100);  // a lower own limit while running
        EXPECT_EQ(second->rate(), 100u);
        EXPECT_EQ(first->rate(), 550u);
        EXPECT_EQ(third->rate(), 550u);
        limits->set_global({0, {}});  // the global limit taken away
        EXPECT_EQ(first->rate(), 0u);
        EXPECT_EQ(second->rate(), 100u);
        limits->set_global({600, {}});
        EXPECT_EQ(first->rate(), 250u);
    }
    EXPECT_EQ(first->rate(), 600u) << "alone again, it has the whole limit";
    EXPECT_EQ(limits->rate_of(2), 100u) << "not running: its own limit";
    EXPECT_EQ(limits->rate_of(9), 600u) << "not running, none of its own: the global one";
    limits->clear_own();
    EXPECT_EQ(limits->rate_of(2), 600u);
}

TEST_F(SpeedLimitsTest, TheHoursLimitAppliesWithinItsHours) {
    limits->set_global({5000, {true, 1000, 8 * 60, 18 * 60}});
    auto running = limits->join(1);
    auto other = limits->join(2);
    EXPECT_EQ(limits->global_rate(), 5000u);
    EXPECT_EQ(running->rate(), 2500u);
    minute = 8 * 60;  // the hours begin
    limits->look_at_clock();
    EXPECT_EQ(limits->global_rate(), 1000u);
    EXPECT_EQ(running->rate(), 500u);
    EXPECT_EQ(other->rate(), 500u);
    minute = 18 * 60;  // and end
    limits->look_at_clock();
    EXPECT_EQ(running->rate(), 2500u);

    limits->set_global({0, {true, 1000, 22 * 60, 6 * 60}});  // only at night
    EXPECT_EQ(running->rate(), 0u);
    minute = 23 * 60;
    limits->look_at_clock();
    EXPECT_EQ(running->rate(), 500u);
}

}  // namespace
}  // namespace corvale
