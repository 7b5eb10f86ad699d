// Desktop notifications over D-Bus and the clipboard watch: a private bus
// (dbus-daemon started by the test) with a fake notification service, with
// nothing owning the service's name, with a service that never answers, and
// no bus at all. Nothing here may wait for the bus.

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "engine/preferences.h"
#include "model/row_texts.h"
#include "ui/common/desktop_notifier.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/window_fixture.h"

using namespace corvale::testing;
using corvale::Desktop_notifier;

namespace {

const QString k_name = QStringLiteral("org.freedesktop.Notifications");
const QString k_path = QStringLiteral("/org/freedesktop/Notifications");

// A bus of the test's own, without any service that it would start.
class Private_bus {
  public:
    explicit Private_bus(const QString& folder) {
        const QString config = folder + "/bus.conf";
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(
                "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                "<policy context=\"default\"><allow send_destination=\"*\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        }
        file.close();
        daemon_.start("dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
        if (daemon_.waitForStarted() && daemon_.waitForReadyRead(10000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~Private_bus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    const QString& address() const { return address_; }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    QProcess daemon_;
    QString address_;
};

struct Call {
    QString app_name;
    QString summary;
    QString body;
    QStringList actions;
};

// The notification service as the desktop's would answer: its
// capabilities, an id per notification, and never an answer when silent.
class Fake_service : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    Fake_service(QDBusConnection bus, QStringList capabilities, bool silent = false)
        : bus_(bus), capabilities_(std::move(capabilities)), silent_(silent) {
        bus_.registerObject(k_path, this, QDBusConnection::ExportAllSlots);
        registered = bus_.registerService(k_name);
    }
    ~Fake_service() override {
        bus_.unregisterService(k_name);
        bus_.unregisterObject(k_path);
    }
    void emit_signal(const QString& name, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createSignal(k_path, k_name, name);
        message.setArguments(arguments);
        bus_.send(message);
    }

    bool registered = false;
    std::vector<Call> calls;

  public slots:
    QStringList GetCapabilities() {
        if (silent_) {
            setDelayedReply(true);
        }
        return capabilities_;
    }
    uint Notify(const QString& app_name, uint, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int) {
        if (silent_) {
            setDelayedReply(true);
            return 0;
        }
        calls.push_back({app_name, summary, body, actions});
        return uint(40 + calls.size());
    }

  private:
    QDBusConnection bus_;
    QStringList capabilities_;
    bool silent_;
};

}  // namespace

class Notifier_test : public QObject, private Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QGuiApplication::setApplicationDisplayName("Corvale");
        bus_ = std::make_unique<Private_bus>(dir_.path());
        QVERIFY2(!bus_->address().isEmpty(), "dbus-daemon did not start");
        start_file_host();
    }
    void cleanupTestCase() { bus_.reset(); }
    void cleanup() { forget_test(); }

    // Without a bus, with nobody owning the name, and with a service that
    // never answers: nothing is shown, show() returns at once, and the
    // event loop keeps running until the call is given up.
    void nothing_is_shown_and_nothing_waits_without_a_service() {
        struct Row {
            const char* name;
            QString address;
            bool silent_service;
        } rows[] = {
            {"no bus", "unix:path=" + dir_.filePath("no-bus"), false},
            {"nobody owns the name", bus_->address(), false},
            {"a service that never answers", bus_->address(), true},
        };
        int row_number = 0;
        for (const Row& row : rows) {
            const QString connection = QString("absent-%1").arg(++row_number);
            std::unique_ptr<Fake_service> service;
            if (row.silent_service) {
                service = std::make_unique<Fake_service>(bus_->connect(connection + "-service"),
                                                         QStringList{"actions"}, true);
                QVERIFY(service->registered);
            }
            Desktop_notifier notifier(QDBusConnection::connectToBus(row.address, connection));
            QSignalSpy shown(&notifier, &Desktop_notifier::shown);
            QSignalSpy not_shown(&notifier, &Desktop_notifier::not_shown);
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker.start(5);
            bool acted = false;
            notifier.show("a.zip", "Finished Downloading File", {{"open", "Open"}},
                          [&](const QString&) { acted = true; });
            if (row.address == bus_->address()) {
                QVERIFY2(not_shown.isEmpty(), row.name);  // the answer comes later
            }
            QTRY_COMPARE_WITH_TIMEOUT(not_shown.size(), 1, 10000);
            QVERIFY2(shown.isEmpty() && !acted, row.name);
            QVERIFY2(!notifier.actions_supported(), row.name);
            if (row.silent_service) {
                // Events were handled while the service kept silent.
                QVERIFY2(ticks > 1, row.name);
            }
            QDBusConnection::disconnectFromBus(connection);
        }
    }

    // The service's capabilities decide whether actions are sent; an action
    // invoked on our notification reaches its handler, one on another
    // program's or on a closed notification does nothing.
    void a_notification_reaches_the_service_and_its_actions_come_back() {
        struct Row {
            QStringList capabilities;
            QString body_sent;
            QStringList actions_sent;
        } rows[] = {
            {{"body", "actions", "body-markup"},
             "Saved &lt;a&gt; &amp; b",
             {"default", "Open", "open", "Open"}},
            {{"body"}, "Saved <a> & b", {}},
        };
        int row_number = 0;
        for (const Row& row : rows) {
            const QString connection = QString("service-%1").arg(++row_number);
            Fake_service service(bus_->connect(connection + "-service"), row.capabilities);
            QVERIFY(service.registered);
            Desktop_notifier notifier(bus_->connect(connection));
            QSignalSpy known(&notifier, &Desktop_notifier::capabilities_known);
            QTRY_COMPARE(known.size(), 1);
            QSignalSpy shown(&notifier, &Desktop_notifier::shown);
            QStringList invoked;
            notifier.show("a.zip", "Saved <a> & b", {{"default", "Open"}, {"open", "Open"}},
                          [&](const QString& key) { invoked << key; });
            QTRY_COMPARE(shown.size(), 1);
            QCOMPARE(service.calls.size(), std::size_t(1));
            const Call& call = service.calls.front();
            QCOMPARE(call.app_name, QString("Corvale"));
            QCOMPARE(call.summary, QString("a.zip"));
            QCOMPARE(call.body, row.body_sent);
            QCOMPARE(call.actions, row.actions_sent);
            const uint id = shown.front().front().toUInt();
            service.emit_signal("ActionInvoked", {id + 1, QString("open")});
            service.emit_signal("ActionInvoked", {id, QString("default")});
            service.emit_signal("ActionInvoked", {id, QString("open")});
            service.emit_signal("NotificationClosed", {id, 2u});
            service.emit_signal("ActionInvoked", {id, QString("open")});
            // A last notification's answer: every signal before it was read.
            notifier.show("b", "", {}, {});
            QTRY_COMPARE(shown.size(), 2);
            QTest::qWait(50);
            const QStringList expected =
                row.actions_sent.isEmpty() ? QStringList{} : QStringList{"default", "open"};
            QCOMPARE(invoked, expected);
            QDBusConnection::disconnectFromBus(connection);
            QDBusConnection::disconnectFromBus(connection + "-service");
        }
    }

    // The main window: a finished download is one notification with the
    // file's name and the row's status; Open opens the file through the
    // window's opener. With notifications switched off nothing is sent.
    void a_finished_download_is_told_and_open_opens_the_file() {
        Fake_service service(bus_->connect("window-service"), {"actions"});
        QVERIFY(service.registered);
        for (const bool on : {false, true}) {
            service.calls.clear();
            script_downloads(Reply{200, "aaaa"});
            auto s = fast_session();
            corvale::Preferences preferences;
            preferences.notifications = on;
            corvale::write_preferences(s->profile, preferences);
            s->app.set_notification_bus(bus_->address());
            QList<QUrl> opened;
            s->app.set_url_opener([&](const QUrl& url) {
                opened << url;
                return true;
            });
            QVERIFY(s->start());
            QSignalSpy shown(&s->window().notifier(), &Desktop_notifier::shown);
            QSignalSpy known(&s->window().notifier(), &Desktop_notifier::capabilities_known);
            QTRY_COMPARE(known.size(), 1);
            run_command(*s, corvale::cmd_download, {0});
            QTRY_COMPARE_WITH_TIMEOUT(cell(*s, 0, corvale::col_status),
                                      QString("Finished Downloading File"), 20000);
            QTRY_VERIFY(!s->window().notice_timer().isActive());
            if (!on) {
                run_posted_events();
                QVERIFY(service.calls.empty());
                continue;
            }
            QTRY_COMPARE(shown.size(), 1);
            QCOMPARE(service.calls.size(), std::size_t(1));
            QCOMPARE(service.calls.front().summary, QString("a.zip"));
            QCOMPARE(service.calls.front().body, cell(*s, 0, corvale::col_status));
            QVERIFY(service.calls.front().actions.contains("open-folder"));
            service.emit_signal("ActionInvoked", {shown.front().front().toUInt(), "open"});
            QTRY_COMPARE(opened.size(), 1);
            QCOMPARE(opened.front(), QUrl::fromLocalFile(QString::fromStdString(file("a.zip"))));
            s->window().progress_window(0)->cancel_button().click();
            QTRY_VERIFY(s->window().progress_window(0) == nullptr);
        }
        QDBusConnection::disconnectFromBus("window-service");
    }

    // Watched only when switched on: a copied file link is offered in the
    // status line and in a notification; a link copied again, a link in the
    // list and a text that is no file link are not. The offer opens Add with
    // the link; nothing is added without it.
    void a_copied_file_link_is_offered_for_adding() {
        Fake_service service(bus_->connect("clipboard-service"), {"actions"});
        QVERIFY(service.registered);
        auto s = session(k_english, sample_list());
        corvale::Preferences preferences;
        preferences.watch_clipboard = false;
        corvale::write_preferences(s->profile, preferences);
        s->app.set_notification_bus(bus_->address());
        QVERIFY(s->start());
        QSignalSpy known(&s->window().notifier(), &Desktop_notifier::capabilities_known);
        QTRY_COMPARE(known.size(), 1);
        QPushButton& offer = s->window().clipboard_offer();
        QClipboard& clipboard = *QGuiApplication::clipboard();
        const QString link = "http://rapidshare.com/files/333/c.zip";
        clipboard.setText(link);
        run_posted_events();
        QVERIFY2(offer.isHidden(), "not watched unless switched on");
        preferences.watch_clipboard = true;
        corvale::write_preferences(s->profile, preferences);
        struct Step {
            QString copied;
            bool offered;
        } steps[] = {
            {"http://rapidshare.com/files/111/a.zip", false},  // in the list
            {"some text http://rapidshare.com/files/444/d.zip", false},
            {"http://example.com/files/444/d.zip", false},
            // Far longer than any link: not offered, nor sent to the service.
            {"http://rapidshare.com/files/555/" + QString(1 << 20, 'e') + ".zip", false},
            {"  " + link + "\n", true},
        };
        for (const Step& step : steps) {
            offer.hide();
            clipboard.setText(step.copied);
            run_posted_events();
            QCOMPARE(offer.isVisible(), step.offered);
        }
        QCOMPARE(offer.accessibleName(), "Add the copied link " + link);
        QVERIFY(offer.text().startsWith("Copied link: http://rapidshare.com/files/333/c.zip"));
        QCOMPARE(offer.focusPolicy(), Qt::TabFocus);
        QTRY_COMPARE(service.calls.size(), std::size_t(1));
        QCOMPARE(service.calls.front().summary, QString("File link copied"));
        QCOMPARE(service.calls.front().body, link);
        QVERIFY(service.calls.front().actions.contains("add"));
        clipboard.setText(link + " ");
        run_posted_events();
        QTest::qWait(50);
        QCOMPARE(service.calls.size(), std::size_t(1));  // the same link again
        QString filled;
        when_dialog_opens<corvale::Add_new_download_dlg>([&](corvale::Add_new_download_dlg& d) {
            filled = d.url_edit().text();
            d.reject();
        });
        offer.click();
        settle(s->window());
        QCOMPARE(filled, link);
        QVERIFY(offer.isHidden());
        QCOMPARE(s->window().list_view_widget().rowCount(), 2);
        QDBusConnection::disconnectFromBus("clipboard-service");
    }

  private:
    std::unique_ptr<Private_bus> bus_;
};

QTEST_MAIN(Notifier_test)
#include "notifier_test.moc"
