#include "ui/common/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

namespace corvale {

namespace {

const QString k_service = QStringLiteral("org.freedesktop.Notifications");
const QString k_path = QStringLiteral("/org/freedesktop/Notifications");
const QString k_interface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage method_call(const QString& method) {
    return QDBusMessage::createMethodCall(k_service, k_path, k_interface, method);
}

}  // namespace

Desktop_notifier::Desktop_notifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) {
        return;
    }
    // The signals are taken from any sender, so that connecting asks the bus
    // nothing; only the ids of our own notifications are acted on.
    bus_.connect(QString(), k_path, k_interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(action_invoked(uint, QString)));
    bus_.connect(QString(), k_path, k_interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notification_closed(uint, uint)));
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(method_call(QStringLiteral("GetCapabilities")), k_timeout_ms), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QStringList> reply = *call;
                if (reply.isError()) {
                    return;
                }
                actions_ = reply.value().contains(QStringLiteral("actions"));
                markup_ = reply.value().contains(QStringLiteral("body-markup"));
                emit capabilities_known();
            });
}

Desktop_notifier::~Desktop_notifier() {
    if (bus_.isConnected()) {
        bus_.disconnect(QString(), k_path, k_interface, QStringLiteral("ActionInvoked"), this,
                        SLOT(action_invoked(uint, QString)));
        bus_.disconnect(QString(), k_path, k_interface, QStringLiteral("NotificationClosed"), this,
                        SLOT(notification_closed(uint, uint)));
    }
}

void Desktop_notifier::show(const QString& title, const QString& body, const Actions& actions,
                            On_action on_action) {
    if (!bus_.isConnected()) {
        emit not_shown(QStringLiteral("no bus"));
        return;
    }
    QStringList listed;
    if (actions_) {
        for (const auto& [key, label] : actions) {
            listed << key << label;
        }
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName());
    QDBusMessage call = method_call(QStringLiteral("Notify"));
    // A service that reads markup would take "<" or "&" in a file name for
    // markup: the body is escaped for it.
    call << QGuiApplication::applicationDisplayName() << uint(0)
         << QGuiApplication::desktopFileName() << title << (markup_ ? body.toHtmlEscaped() : body)
         << listed << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, k_timeout_ms), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, on_action = std::move(on_action),
             with_actions = !listed.isEmpty()](QDBusPendingCallWatcher* answer) {
                answer->deleteLater();
                const QDBusPendingReply<uint> reply = *answer;
                if (reply.isError()) {
                    emit not_shown(reply.error().message());
                    return;
                }
                if (with_actions && on_action) {
                    on_screen_[reply.value()] = on_action;
                }
                emit shown(reply.value());
            });
}

void Desktop_notifier::action_invoked(uint id, const QString& key) {
    const auto found = on_screen_.find(id);
    if (found == on_screen_.end()) {
        return;  // another program's, or one that is gone
    }
    // A copy: the action may show a question, while which this notifier
    // hears of more.
    const On_action action = found->second;
    action(key);
}

void Desktop_notifier::notification_closed(uint id, uint) {
    on_screen_.erase(id);
}

}  // namespace corvale
