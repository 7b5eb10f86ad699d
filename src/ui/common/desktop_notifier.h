#pragma once

// Desktop notifications through the freedesktop.org notification service
// (org.freedesktop.Notifications on the session bus). Every call is
// asynchronous with a one-second timeout: without a bus, without the
// service, or with a service that does not answer, nothing is shown and
// nothing waits. The rules of what to say are the core's (Notice_merger).

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>
#include <map>

namespace corvale {

class Desktop_notifier : public QObject {
    Q_OBJECT

  public:
    // A key ("open", "default" for a click on the notification itself) and
    // its label.
    using Actions = QList<QPair<QString, QString>>;
    using On_action = std::function<void(const QString& key)>;
    static constexpr int k_timeout_ms = 1000;

    // Asks the service on `bus` once, at once and without waiting, whether
    // it shows actions.
    explicit Desktop_notifier(const QDBusConnection& bus, QObject* parent = nullptr);
    ~Desktop_notifier() override;

    // Whether the service has said that it shows actions.
    bool actions_supported() const { return actions_; }
    // Sends a notification and returns at once. The actions are left out
    // unless the service shows them; `on_action` hears the key of the one
    // the user invokes.
    void show(const QString& title, const QString& body, const Actions& actions,
              On_action on_action);

  signals:
    // The service answered GetCapabilities.
    void capabilities_known();
    // The service showed a notification, or failed to (no service, no
    // answer in time).
    void shown(uint id);
    void not_shown(const QString& error);

  private slots:
    void action_invoked(uint id, const QString& key);
    void notification_closed(uint id, uint reason);

  private:
    QDBusConnection bus_;
    bool actions_ = false;
    bool markup_ = false;
    // Our notifications on the screen, with what their actions do.
    std::map<uint, On_action> on_screen_;
};

}  // namespace corvale
