#include "engine/speed_limits.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <numeric>

namespace corvale {

namespace {

constexpr std::chrono::nanoseconds k_clock_look_period = std::chrono::seconds(1);

std::int64_t steady_nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t lower_limit(std::uint64_t a, std::uint64_t b) {
    if (a == 0) {
        return b;
    }
    return b == 0 ? a : std::min(a, b);
}

}  // namespace

bool Hours_limit::covers(int minute) const {
    if (from == until) {
        return true;
    }
    if (from < until) {
        return minute >= from && minute < until;
    }
    return minute >= from || minute < until;  // past midnight
}

std::uint64_t global_rate_at(const Global_limits& limits, int minute) {
    if (limits.hours.on && limits.hours.covers(minute)) {
        return limits.hours.rate;
    }
    return limits.rate;
}

std::vector<std::uint64_t> share_rate(std::uint64_t total, const std::vector<std::uint64_t>& own) {
    std::vector<std::uint64_t> rates(own);
    if (total == 0) {
        return rates;
    }
    // The lowest own limits first: each that is below an equal share of what
    // is left keeps it, and the rest is shared equally by the others.
    std::vector<std::size_t> order(own.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto key = [&](std::size_t index) {
        return own[index] == 0 ? std::numeric_limits<std::uint64_t>::max() : own[index];
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    std::uint64_t left = total;
    std::size_t sharing = own.size();
    for (const std::size_t index : order) {
        const std::uint64_t equal = left / sharing;
        const std::uint64_t rate = own[index] != 0 && own[index] < equal ? own[index] : equal;
        rates[index] = std::max<std::uint64_t>(rate, 1);  // 0 would be no limit at all
        left -= std::min(left, rate);
        --sharing;
    }
    return rates;
}

int local_minute_of_day() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return 0;
    }
    return local.tm_hour * 60 + local.tm_min;
}

std::shared_ptr<Speed_limits> Speed_limits::make(Minute_clock clock) {
    if (!clock) {
        clock = local_minute_of_day;
    }
    return std::shared_ptr<Speed_limits>(new Speed_limits(std::move(clock)));
}

Speed_limits::Running::~Running() {
    owner_->leave(this);
}

std::uint64_t Speed_limits::Running::rate() {
    const std::int64_t now = steady_nanoseconds();
    if (now >= next_look_.load(std::memory_order_relaxed)) {
        next_look_.store(now + k_clock_look_period.count(), std::memory_order_relaxed);
        owner_->look_at_clock();
    }
    return rate_.load(std::memory_order_relaxed);
}

std::unique_ptr<Speed_limits::Running> Speed_limits::join(std::int32_t download) {
    std::unique_ptr<Running> running(new Running(shared_from_this(), download));
    running->next_look_.store(steady_nanoseconds() + k_clock_look_period.count());
    const std::lock_guard lock(lock_);
    running_.insert(running.get());
    rebalance();
    return running;
}

void Speed_limits::leave(Running* running) {
    const std::lock_guard lock(lock_);
    running_.erase(running);
    rebalance();
}

void Speed_limits::set_global(const Global_limits& limits) {
    const std::lock_guard lock(lock_);
    global_ = limits;
    rebalance();
}

Global_limits Speed_limits::global() const {
    const std::lock_guard lock(lock_);
    return global_;
}

std::uint64_t Speed_limits::global_rate() const {
    const std::lock_guard lock(lock_);
    return global_rate_locked();
}

std::uint64_t Speed_limits::global_rate_locked() const {
    return global_rate_at(global_, clock_());
}

void Speed_limits::set_own(std::int32_t download, std::uint64_t rate) {
    const std::lock_guard lock(lock_);
    if (rate == 0) {
        own_.erase(download);
    } else {
        own_[download] = rate;
    }
    rebalance();
}

std::uint64_t Speed_limits::own(std::int32_t download) const {
    const std::lock_guard lock(lock_);
    const auto it = own_.find(download);
    return it == own_.end() ? 0 : it->second;
}

void Speed_limits::clear_own() {
    const std::lock_guard lock(lock_);
    own_.clear();
    rebalance();
}

std::uint64_t Speed_limits::rate_of(std::int32_t download) const {
    const std::lock_guard lock(lock_);
    for (const Running* running : running_) {
        if (running->download_ == download) {
            return running->rate_.load(std::memory_order_relaxed);
        }
    }
    const auto it = own_.find(download);
    return lower_limit(it == own_.end() ? 0 : it->second, global_rate_locked());
}

void Speed_limits::look_at_clock() {
    const std::lock_guard lock(lock_);
    if (global_rate_locked() != applied_global_) {
        rebalance();
    }
}

void Speed_limits::rebalance() {
    applied_global_ = global_rate_locked();
    std::vector<std::uint64_t> own;
    own.reserve(running_.size());
    for (const Running* running : running_) {
        const auto it = own_.find(running->download_);
        own.push_back(it == own_.end() ? 0 : it->second);
    }
    const std::vector<std::uint64_t> rates = share_rate(applied_global_, own);
    std::size_t index = 0;
    for (Running* running : running_) {
        running->rate_.store(rates[index++], std::memory_order_relaxed);
    }
}

}  // namespace corvale
