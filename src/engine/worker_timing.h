#pragma once

// How long a worker's "second" lasts and where its millisecond ticks come
// from. Tests shorten the second so that waits of minutes run in moments.

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvale {

// Milliseconds since some start, wrapping at 2^32 like a tick counter.
std::uint32_t steady_tick();

struct Worker_timing {
    std::chrono::milliseconds second{1000};
    std::function<std::uint32_t()> tick = steady_tick;
};

}  // namespace corvale
