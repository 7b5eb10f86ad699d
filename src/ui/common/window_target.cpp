#include "ui/common/window_target.h"

#include <QCoreApplication>

namespace corvale {

const QEvent::Type Notification_event::type =
    static_cast<QEvent::Type>(QEvent::registerEventType());

void Window_target::post(std::uint32_t message, std::int64_t wparam, std::int64_t lparam) {
    const std::lock_guard lock(mutex_);
    if (window_) {
        QCoreApplication::postEvent(window_.data(),
                                    new Notification_event(message, wparam, lparam));
    }
}

void Window_target::close() {
    const std::lock_guard lock(mutex_);
    window_.clear();
}

}  // namespace corvale
