#pragma once

#include <cstdint>

namespace corvale {

// What a worker tells about the reply it is reading. The receiver copies it
// under the worker's lock and clears the change flags.
struct Progress_block {
    bool percent_changed = false;
    bool time_left_changed = false;
    bool speed_changed = false;
    std::uint32_t time_left = 0;  // seconds
    double speed = 0.0;           // bytes per millisecond
    int percentage = 0;           // 0..100
    std::uint64_t size = 0;
    std::uint64_t downloaded = 0;
};

}  // namespace corvale
