#include "cli/transfer_loop.h"

#include "cli/interrupt.h"
#include "engine/notifications.h"

namespace corvale {

Loop_end run_transfer_loop(Notification_queue& queue,
                           const std::function<bool(const Notification&)>& handle,
                           const std::function<void()>& idle, std::chrono::milliseconds step) {
    for (;;) {
        if (Interrupt_guard::interrupted()) {
            return Loop_end::interrupted;
        }
        const auto next = queue.pop(step);
        if (next && handle(*next)) {
            return next->kind == UM_FINISHED ? Loop_end::finished : Loop_end::failed;
        }
        if (idle) {
            idle();
        }
    }
}

}  // namespace corvale
