#pragma once

// A window as the target of worker notifications: posts become queued events
// that the window handles on the GUI thread. Once the window is gone (or
// close() was called) posts are dropped.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <mutex>

#include "engine/notification_target.h"

namespace corvale {

class Notification_event : public QEvent {
  public:
    static const QEvent::Type type;
    explicit Notification_event(const Notification& notification)
        : QEvent(type), notification(notification) {}
    const Notification notification;
};

class Window_target : public Notification_target {
  public:
    explicit Window_target(QObject* window) : window_(window) {}
    // May be called from any thread.
    void post(const Notification& notification) override;
    void close();

  private:
    std::mutex mutex_;
    QPointer<QObject> window_;
};

}  // namespace corvale
