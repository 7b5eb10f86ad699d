#pragma once

#include <cstdint>

namespace corvale {

// What a worker tells about the reply it is reading. The receiver copies it
// under the worker's lock and clears the change flags.
struct Progress_block {
    bool percent_changed = false;
    bool time_left_changed = false;
    bool speed_changed = false;
    std::uint32_t time_left = 0;   // seconds
    double speed = 0.0;            // bytes per millisecond
    int percentage = 0;            // 0..100; 0 while the size is unknown
    std::uint64_t size = 0;        // the reply's length; 0 also while it is unknown
    std::uint64_t downloaded = 0;  // bytes of the reply received so far
    std::uint64_t rate_limit = 0;  // bytes per second the reading is held to; 0: none
};

}  // namespace corvale
