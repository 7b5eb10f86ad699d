#pragma once

// A download's progress as its window (or terminal line) shows it: the texts,
// and how often the worker's progress is taken. The download control and
// `corvale-cli download` both show progress through these.

#include <chrono>
#include <optional>
#include <string>

#include "engine/progress_block.h"

namespace corvale {

class Transfer_worker;

// The texts a progress window shows while its download runs.
struct Window_texts {
    std::wstring status;
    std::wstring last_error;
    std::wstring downloaded;
    std::wstring size;
    std::wstring speed;
    std::wstring time_left;
    std::wstring retries;
    std::wstring limit;  // "limit 2.0 MB/s" while a speed limit holds the reading; else empty

    // The speed with the limit beside it when one holds the reading.
    std::wstring speed_and_limit() const;
};

// Takes the worker's progress block: the speed and time left are written
// again when they changed, the size received every time.
Progress_block take_progress_texts(Transfer_worker& worker, Window_texts& texts);

// A download's UM_PROGRESS is taken at most every 100 ms; one that comes
// sooner waits. Until it is taken the worker posts no further UM_PROGRESS, so
// a fast download wakes its host about ten times a second, not once per read.
class Progress_pace {
  public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds period{100};

    // A UM_PROGRESS came: true when it is to be taken now; otherwise it waits.
    bool arrived(Time now) {
        waiting_ = true;
        return period_over(now);
    }
    // Whether a progress waits and its time has come.
    bool due(Time now) const { return waiting_ && period_over(now); }
    bool waiting() const { return waiting_; }
    void taken(Time now) {
        last_take_ = now;
        waiting_ = false;
    }

  private:
    bool period_over(Time now) const { return !last_take_ || now - *last_take_ >= period; }

    std::optional<Time> last_take_;
    bool waiting_ = false;
};

}  // namespace corvale
