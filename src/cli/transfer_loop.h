#pragma once

// The CLI's main loop for one worker: takes its notifications one by one
// until the worker's thread ends or Ctrl-C is pressed.

#include <functional>
#include <memory>

#include "engine/notification_queue.h"

namespace corvale {

enum class Loop_end { finished, failed, interrupted };

// `handle` sees each notification; it returns true when the notification ends
// the worker (UM_FINISHED, or an error after which the worker stops). `idle`,
// if given, runs after every wait of at most `step`, with or without a
// notification: the place for work that is deferred to keep the loop light.
Loop_end run_transfer_loop(Notification_queue& queue,
                           const std::function<bool(const Notification&)>& handle,
                           const std::function<void()>& idle = {},
                           std::chrono::milliseconds step = std::chrono::milliseconds(100));

}  // namespace corvale
