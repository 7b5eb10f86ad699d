#pragma once

// Speed limits for downloads: a global limit that the running downloads
// share, an optional second global limit for some hours of each day, and a
// limit of a download's own. Rates are bytes per second; 0 is no limit.
//
// Each running download joins with a Running ticket and asks it for its rate
// as often as it likes (cheap: an atomic read, and once a second a look at
// the clock for the hours). The global limit is shared so that the sum stays
// within it: a download whose own limit is below an equal share keeps its own
// limit and the others share the rest equally. The shares are worked out
// again whenever a download joins or leaves, a limit changes or the hours
// begin or end. Per-download limits live for the session only.
// Any thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace corvale {

inline constexpr int k_minutes_per_day = 24 * 60;

// A limit for some hours of every day: from `from` up to (not including)
// `until`, minutes of the local day. A span whose end comes before its start
// runs past midnight; equal ends cover the whole day.
struct Hours_limit {
    bool on = false;
    std::uint64_t rate = 0;
    int from = 8 * 60;
    int until = 18 * 60;

    bool covers(int minute) const;
    bool operator==(const Hours_limit&) const = default;
};

struct Global_limits {
    std::uint64_t rate = 0;  // outside the hours, or always when they are off
    Hours_limit hours;
    bool operator==(const Global_limits&) const = default;
};

// The global limit that applies at `minute` of the local day: the hours'
// limit within its hours when it is on, the other one otherwise.
std::uint64_t global_rate_at(const Global_limits& limits, int minute);

// Shares `total` (0: no global limit) among downloads whose own limits are
// `own` (0: none): the rate of each, in the same order. With a total, every
// rate is at least 1 and the rates add up to no more than the total (unless
// there are more downloads than bytes per second).
std::vector<std::uint64_t> share_rate(std::uint64_t total, const std::vector<std::uint64_t>& own);

// The minute of the local day now.
int local_minute_of_day();

class Speed_limits : public std::enable_shared_from_this<Speed_limits> {
  public:
    using Minute_clock = std::function<int()>;
    // `clock`: the minute of the local day now (local_minute_of_day unless given).
    static std::shared_ptr<Speed_limits> make(Minute_clock clock = {});

    // One running download's place in the sharing; it leaves when destroyed.
    class Running {
      public:
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
        // The download's rate now; 0: none.
        std::uint64_t rate();

      private:
        friend class Speed_limits;
        Running(std::shared_ptr<Speed_limits> owner, std::int32_t download)
            : owner_(std::move(owner)), download_(download) {}
        std::shared_ptr<Speed_limits> owner_;
        std::int32_t download_;
        std::atomic<std::uint64_t> rate_{0};
        std::atomic<std::int64_t> next_look_{0};  // steady nanoseconds
    };

    // A download starts running under the limits.
    std::unique_ptr<Running> join(std::int32_t download);

    void set_global(const Global_limits& limits);
    Global_limits global() const;
    // The global limit that applies now.
    std::uint64_t global_rate() const;

    // A download's own limit; 0 removes it.
    void set_own(std::int32_t download, std::uint64_t rate);
    std::uint64_t own(std::int32_t download) const;
    // Forgets every download's own limit (the list they belonged to is gone).
    void clear_own();

    // What limits `download` now: its share while it runs, otherwise the
    // lower of its own limit and the global one. 0: nothing does.
    std::uint64_t rate_of(std::int32_t download) const;

    // Looks at the clock: when the hours began or ended, the shares are
    // worked out again. Running::rate calls it about once a second.
    void look_at_clock();

  private:
    explicit Speed_limits(Minute_clock clock) : clock_(std::move(clock)) {}
    void leave(Running* running);
    // Works the shares out again; lock_ held.
    void rebalance();
    std::uint64_t global_rate_locked() const;

    Minute_clock clock_;
    mutable std::mutex lock_;
    Global_limits global_;
    std::uint64_t applied_global_ = 0;  // the global rate the shares were worked out for
    std::map<std::int32_t, std::uint64_t> own_;
    std::set<Running*> running_;
};

}  // namespace corvale
