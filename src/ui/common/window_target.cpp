#include "ui/common/window_target.h"

#include <QCoreApplication>

namespace corvale {

const QEvent::Type Notification_event::type =
    static_cast<QEvent::Type>(QEvent::registerEventType());

void Window_target::post(const Notification& notification) {
    const std::lock_guard lock(mutex_);
    if (window_) {
        QCoreApplication::postEvent(window_.data(), new Notification_event(notification));
    }
}

void Window_target::close() {
    const std::lock_guard lock(mutex_);
    window_.clear();
}

}  // namespace corvale
