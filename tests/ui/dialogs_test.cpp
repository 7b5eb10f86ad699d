// The Add, Edit, Load-or-merge and schedule dialogs and the tool windows
// under the offscreen platform, with a scripted prompter: what OK accepts,
// what it refuses with which message, where the choosers open, and that
// everything can be reached through the accessibility interface.

#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <algorithm>

#include "app/about_dlg.h"
#include "corvale/text_ids.h"
#include "corvale/version.h"
#include "engine/preferences.h"
#include "engine/scheduler.h"
#include "engine/start_folder.h"
#include "model/list_file.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "support/find_accessible.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/paced_progress_bar.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/load_or_merge_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/dialogs/preferences_dlg.h"
#include "ui/dialogs/schedule_dlg.h"
#include "ui/dialogs/speed_limit_dlg.h"
#include "ui/tools/links_parser_dlg.h"
#include "ui/tools/update_check_dlg.h"

using corvale::Memory_profile;
using corvale::testing::find_accessible;
using corvale::testing::labelled_by;
using corvale::testing::read_aloud;
using corvale::testing::Scripted_prompter;
namespace texts = corvale::texts;

namespace {

QString shown(const Scripted_prompter& prompter) {
    return prompter.shown().empty() ? QString()
                                    : QString::fromStdWString(prompter.shown().back().text);
}

QString last_folder(const corvale::Profile& profile) {
    return QString::fromStdWString(
        profile.read_string(corvale::k_settings_section, corvale::k_last_folder_key, L""));
}

}  // namespace

class Dialogs_test : public QObject {
    Q_OBJECT

  public slots:
    // Where the desktop would open a page: the test keeps the address.
    void open_url(const QUrl& url) { opened_ << url.toString(); }

  private:
    QTemporaryDir dir_;
    QStringList opened_;
    QByteArray saved_home_ = qgetenv("HOME");
    QByteArray saved_config_ = qgetenv("XDG_CONFIG_HOME");

    // A folder under the test's folder, made when `exists`; "" stays empty.
    QString folder(const QString& name, bool exists = true) const {
        if (name.isEmpty()) {
            return {};
        }
        if (exists) {
            QDir().mkpath(dir_.filePath(name));
        } else {
            QDir(dir_.filePath(name)).removeRecursively();
        }
        return dir_.filePath(name);
    }

    // Browse opens in the folder of the field when it names one, else where
    // downloads start; the folder chosen is where they start next time.
    template <class Window>
    void check_browse(Window& window, corvale::Profile& profile) {
        profile.write_string(corvale::k_settings_section, corvale::k_last_folder_key,
                             folder("last").toStdWString());
        window.folder_edit().setText(folder("field"));
        QCOMPARE(QString::fromStdWString(window.browse_start()), folder("field"));
        window.folder_edit().setText(folder("missing", false));
        QCOMPARE(QString::fromStdWString(window.browse_start()), folder("last"));
        const std::wstring chosen = folder("chosen").toStdWString();
        window.set_folder_chooser([&](QWidget*) { return std::optional(chosen); });
        window.browse_button().click();
        QCOMPARE(window.folder_edit().text(), folder("chosen"));
        QCOMPARE(last_folder(profile), folder("chosen"));
    }

  private slots:
    // The user's standard folders are under a home of the test's own.
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("HOME", folder("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", folder("config").toUtf8());
    }
    void cleanupTestCase() {
        qputenv("HOME", saved_home_);
        if (saved_config_.isNull()) {
            qunsetenv("XDG_CONFIG_HOME");
        } else {
            qputenv("XDG_CONFIG_HOME", saved_config_);
        }
    }

    void add_accepts_or_refuses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("good_folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("message");  // 0: accepted
        QTest::addColumn<QString>("stored_url");
        QTest::newRow("no scheme") << "rapidshare.com/files/1/a.zip" << true << "a.zip" << 0
                                   << "http://rapidshare.com/files/1/a.zip";
        QTest::newRow("empty link") << "" << true << "a.zip" << texts::invalid_url << "";
        QTest::newRow("no folder") << "host/x" << false << "a.zip" << texts::invalid_folder << "";
        QTest::newRow("question mark")
            << "host/x" << true << "a?.zip" << texts::invalid_file_name << "";
        QTest::newRow("a way up") << "host/x" << true << "../escape.bin" << texts::invalid_file_name
                                  << "";
        QTest::newRow("256 bytes")
            << "host/x" << true << QString(128, QChar(0xE9)) << texts::invalid_file_name << "";
    }
    void add_accepts_or_refuses() {
        QFETCH(QString, url);
        QFETCH(bool, good_folder);
        QFETCH(QString, name);
        QFETCH(int, message);
        QFETCH(QString, stored_url);
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Add_new_download_dlg dialog(prompter, profile);
        dialog.url_edit().setText(url);
        dialog.folder_edit().setText(good_folder ? dir_.path() : dir_.filePath("none"));
        dialog.name_edit().setText(name);
        dialog.description_edit().setText("holiday");
        dialog.show();
        QTest::keyClick(&dialog.name_edit(), Qt::Key_Return);  // Enter presses OK
        QCOMPARE(dialog.result() == QDialog::Accepted, message == 0);
        if (message == 0) {
            QCOMPARE(QString::fromStdWString(dialog.fields().url), stored_url);
            QCOMPARE(QString::fromStdWString(dialog.fields().description), QString("holiday"));
            QVERIFY(prompter.shown().empty());
        } else {
            QCOMPARE(shown(prompter), QString::fromStdWString(corvale::load_string(message)));
            QVERIFY2(dialog.isVisible(), "the dialog stays open");
            QCOMPARE(dialog.name_edit().text(), name);
        }
    }

    // What the speed limit dialog accepts, in bytes per second (KB/s and
    // MB/s are 1024-based), and what it refuses with bad_rate, changing
    // nothing. The hours' rate counts only while its check is on.
    void speed_limit_accepts_or_refuses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("in_mb");
        QTest::addColumn<bool>("hours_on");
        QTest::addColumn<QString>("hours_typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qulonglong>("rate");
        QTest::addColumn<qulonglong>("hours_rate");  // when accepted
        const qulonglong kb = 1024;
        const qulonglong mb = kb * kb;
        // The hours' rate the dialog opened with, kept when theirs is off and
        // not a number.
        const qulonglong old = 7 * kb;
        QTest::newRow("empty is no limit") << "" << false << false << "" << true << 0ull << 0ull;
        QTest::newRow("0 MB/s is no limit") << "0" << true << false << "" << true << 0ull << 0ull;
        QTest::newRow("whole KB/s") << "512" << false << false << "" << true << 512 * kb << 0ull;
        QTest::newRow("fraction of MB/s")
            << "1.5" << true << false << "" << true << 3 * mb / 2 << 0ull;
        QTest::newRow("blanks around") << " 64 " << false << false << "" << true << 64 * kb << 0ull;
        QTest::newRow("Arabic-Indic digits and point")
            << QString::fromUtf8("٢٫٥") << true << false << "" << true << 5 * mb / 2 << 0ull;
        QTest::newRow("tiny is still a limit")
            << "0.0001" << false << false << "" << true << 1ull << 0ull;
        QTest::newRow("the largest")
            << "1048576" << true << false << "" << true << 1024 * 1024 * mb << 0ull;
        QTest::newRow("above the largest")
            << "1048577" << true << false << "" << false << 0ull << 0ull;
        QTest::newRow("huge") << "99999999999999999999999" << false << false << "" << false << 0ull
                              << 0ull;
        QTest::newRow("negative") << "-5" << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("not a number") << "fast" << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("two points") << "1.2.3" << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("a point alone") << "." << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("unit typed in") << "2MB" << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("exponent") << "1e3" << false << false << "" << false << 0ull << 0ull;
        QTest::newRow("hours off: their rate is not looked at")
            << "1" << true << false << "junk" << true << mb << old;
        QTest::newRow("hours on: their rate counts")
            << "1" << true << true << "256" << true << mb << 256 * kb;
        QTest::newRow("hours on: a bad rate of theirs")
            << "1" << true << true << "-1" << false << 0ull << 0ull;
    }
    void speed_limit_accepts_or_refuses() {
        QFETCH(QString, typed);
        QFETCH(bool, in_mb);
        QFETCH(bool, hours_on);
        QFETCH(QString, hours_typed);
        QFETCH(bool, accepted);
        QFETCH(qulonglong, rate);
        QFETCH(qulonglong, hours_rate);
        Scripted_prompter prompter;
        const corvale::Global_limits before{3 * 1024, {false, 7 * 1024, 8 * 60, 18 * 60}};
        corvale::CSpeed_limit_dlg dialog(prompter, before);
        dialog.rate_edit().setText(typed);
        dialog.rate_unit().setCurrentIndex(in_mb ? 1 : 0);
        dialog.hours_check()->setChecked(hours_on);
        dialog.hours_edit()->setText(hours_typed);
        dialog.from_edit()->setTime(QTime(22, 30));
        dialog.until_edit()->setTime(QTime(6, 0));
        dialog.show();
        QTest::keyClick(&dialog.rate_edit(), Qt::Key_Return);  // Enter presses OK
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        if (accepted) {
            QVERIFY(prompter.shown().empty());
            QCOMPARE(dialog.global(),
                     (corvale::Global_limits{rate, {hours_on, hours_rate, 22 * 60 + 30, 6 * 60}}));
        } else {
            QCOMPARE(shown(prompter),
                     QString("Enter a speed from 0 (no limit) up to 1024.0 GB/s, as a number such "
                             "as 512 or 1.5."));
            QVERIFY2(dialog.isVisible(), "the dialog stays open");
            QCOMPARE(dialog.global(), before);
        }
        // The dialog for a download's own limit refuses and accepts alike.
        Scripted_prompter own_prompter;
        corvale::CSpeed_limit_dlg own(own_prompter, std::uint64_t{5});
        QVERIFY(own.hours_check() == nullptr);
        own.rate_edit().setText(typed);
        own.rate_unit().setCurrentIndex(in_mb ? 1 : 0);
        own.show();
        own.ok_button().click();
        if (hours_on && !accepted) {
            return;  // its own rate was good
        }
        QCOMPARE(own.result() == QDialog::Accepted, accepted);
        QCOMPARE(own.own(), accepted ? rate : 5ull);
    }

    // A limit shows in the fields as a number and unit that give it back
    // exactly: whole MB/s in MB/s, anything else in KB/s.
    void speed_limit_fields_show_the_limits_data() {
        QTest::addColumn<qulonglong>("rate");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("in_mb");
        QTest::newRow("none") << 0ull << "0" << false;
        QTest::newRow("a byte") << 1ull << "0.001" << false;
        QTest::newRow("1000 bytes") << 1000ull << "0.9766" << false;
        QTest::newRow("1.5 MB/s") << 1572864ull << "1536" << false;
        QTest::newRow("2 MB/s") << 2097152ull << "2" << true;
        QTest::newRow("the largest") << (1ull << 40) << "1048576" << true;
    }
    void speed_limit_fields_show_the_limits() {
        QFETCH(qulonglong, rate);
        QFETCH(QString, number);
        QFETCH(bool, in_mb);
        Scripted_prompter prompter;
        const corvale::Global_limits shown{rate, {true, rate, 0, 0}};
        corvale::CSpeed_limit_dlg dialog(prompter, shown);
        QCOMPARE(dialog.rate_edit().text(), number);
        QCOMPARE(dialog.rate_unit().currentIndex(), in_mb ? 1 : 0);
        QCOMPARE(dialog.hours_edit()->text(), number);
        QVERIFY(dialog.hours_edit()->isEnabled());
        // A unit is read with its caption (a list box's name is its item).
        const QString unit = in_mb ? "MB/s" : "KB/s";
        for (QWidget* box : {static_cast<QWidget*>(&dialog.rate_unit()),
                             static_cast<QWidget*>(dialog.hours_unit())}) {
            QCOMPARE(read_aloud(QAccessible::queryAccessibleInterface(box)), "Unit " + unit);
        }
        dialog.show();
        dialog.ok_button().click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.global(), shown);
    }

    void same_as_url_and_browse() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Add_new_download_dlg dialog(prompter, profile);
        dialog.name_edit().setText("kept");
        dialog.url_edit().setText("http://host/dir/");
        dialog.same_as_url_button().click();
        QCOMPARE(dialog.name_edit().text(), QString("kept"));
        QVERIFY(prompter.shown().empty());
        dialog.url_edit().setText("no slash");
        dialog.same_as_url_button().click();
        QCOMPARE(shown(prompter), QString("Can't extract file name from file URL"));
        dialog.url_edit().setText("http://host/files/1/a.zip");
        dialog.same_as_url_button().click();
        QCOMPARE(dialog.name_edit().text(), QString("a.zip"));
        dialog.set_folder_chooser([](QWidget*) { return std::optional<std::wstring>(L"/tmp"); });
        dialog.browse_button().click();
        QCOMPARE(dialog.folder_edit().text(), QString("/tmp"));
        dialog.set_folder_chooser([](QWidget*) { return std::optional<std::wstring>(); });
        dialog.browse_button().click();
        QCOMPARE(dialog.folder_edit().text(), QString("/tmp"));  // cancelled: unchanged
    }

    // The Add dialog's folder starts where the last download went, else in
    // Downloads, else at home; the list-file dialogs in the folder of the last
    // list, else in Documents, else at home.
    void choosers_start_where_the_user_was_data() {
        QTest::addColumn<bool>("lists");
        QTest::addColumn<QString>("remembered");  // the profile's last folder or list
        QTest::addColumn<bool>("standard");       // whether Downloads or Documents exists
        QTest::addColumn<QString>("expected");
        QTest::newRow("last download folder") << false << "last" << true << "last";
        QTest::newRow("Downloads") << false << "gone" << true << "home/Downloads";
        QTest::newRow("home") << false << "" << false << "home";
        QTest::newRow("last list's folder") << true << "lists/a.zrv" << true << "lists";
        QTest::newRow("Documents") << true << "" << true << "home/Documents";
    }
    void choosers_start_where_the_user_was() {
        QFETCH(bool, lists);
        QFETCH(QString, remembered);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        folder("last");
        folder("lists");
        folder("gone", false);
        folder(lists ? "home/Documents" : "home/Downloads", standard);
        Memory_profile profile;
        profile.write_string(corvale::k_settings_section,
                             lists ? corvale::k_last_list_key : corvale::k_last_folder_key,
                             remembered.isEmpty() ? L"" : dir_.filePath(remembered).toStdWString());
        if (lists) {
            QCOMPARE(
                corvale::to_qt_path(corvale::user_start_folder(corvale::Start_for::lists, profile)),
                dir_.filePath(expected));
        } else {
            Scripted_prompter prompter;
            corvale::Add_new_download_dlg dialog(prompter, profile);
            QCOMPARE(dialog.folder_edit().text(), dir_.filePath(expected));
        }
    }

    void browse_opens_in_the_field_or_where_downloads_start() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Add_new_download_dlg add(prompter, profile);
        check_browse(add, profile);
        corvale::Modify_download_properties edit(prompter, profile, {}, false);
        check_browse(edit, profile);
        corvale::Links_parser_dlg grabber(prompter, profile, {});
        check_browse(grabber, profile);
    }

    // The folder the grabber adds links to is where downloads start next
    // time; a refused one (invalid_save_folder) is not.
    void the_grabber_remembers_the_folder_it_adds_to() {
        Scripted_prompter prompter;
        Memory_profile profile;
        int adds = 0;
        corvale::Links_parser_dlg grabber(prompter, profile,
                                          {[&](corvale::Links_parser_dlg&) { ++adds; }, {}});
        QGuiApplication::clipboard()->setText("rapidshare.com/files/1/a.zip");
        grabber.paste_button().click();
        QCOMPARE(grabber.links_list().rowCount(), 1);
        grabber.links_list().selectRow(0);
        grabber.folder_edit().setText(folder("missing", false));
        grabber.add_button().click();
        QCOMPARE(shown(prompter),
                 QString::fromStdWString(corvale::load_string(texts::invalid_save_folder)));
        QCOMPARE(adds, 0);
        QVERIFY(last_folder(profile).isEmpty());
        grabber.folder_edit().setText(folder("grabbed"));
        grabber.add_button().click();
        QCOMPARE(adds, 1);
        QCOMPARE(last_folder(profile), folder("grabbed"));
    }

    // The editors open a whole minute ahead, so OK takes them as they stand;
    // OK asks the same clock whether the start has passed.
    void the_schedule_opens_on_the_next_minute() {
        std::int64_t now = corvale::local_instant(2025, 12, 31, 23, 59, 30);
        Scripted_prompter prompter;
        corvale::CSchedule_dlg dialog(prompter, nullptr, [&] { return now; });
        QCOMPARE(dialog.start_date().date(), QDate(2026, 1, 1));
        QCOMPARE(dialog.start_time().time(), QTime(0, 0, 0));
        QCOMPARE(dialog.stop_date().date(), QDate(2026, 1, 1));
        QCOMPARE(dialog.stop_time().time(), QTime(1, 0, 0));
        dialog.show();
        dialog.ok_button().click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(prompter.shown().empty());
        QCOMPARE(dialog.start(), now + 30);
        QCOMPARE(dialog.stop(), now + 30 + 3600);

        corvale::CSchedule_dlg late(prompter, nullptr, [&] { return now; });
        now += 31;  // the start went by while the dialog was open
        late.show();
        late.ok_button().click();
        QCOMPARE(shown(prompter),
                 QString::fromStdWString(corvale::load_string(texts::start_passed)));
        QVERIFY(late.isVisible());
    }

    // Dates and times are data: left to right in both languages, with the
    // language's month names, each field with its own name, and typing into
    // a field changes that field.
    void the_schedule_fields_read_in_order_and_by_name_data() {
        QTest::addColumn<bool>("arabic");
        QTest::newRow("English") << false;
        QTest::newRow("Arabic") << true;
    }
    void the_schedule_fields_read_in_order_and_by_name() {
        QFETCH(bool, arabic);
        if (arabic) {
            QFile bundle(CORVALE_BUNDLE_DIR "/resource_ara.strings");
            QVERIFY(bundle.open(QIODevice::ReadOnly));
            std::string error;
            auto table = corvale::parse_string_table(bundle.readAll().toStdString(), error);
            QVERIFY2(table.has_value(), error.c_str());
            corvale::install_string_table(std::make_shared<const corvale::String_table>(*table),
                                          true);
            QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        }
        const auto english_again = qScopeGuard([] {
            corvale::install_string_table(nullptr);
            QGuiApplication::setLayoutDirection(Qt::LeftToRight);
        });
        const std::int64_t now = corvale::local_instant(2026, 12, 7, 23, 52, 39);
        Scripted_prompter prompter;
        corvale::CSchedule_dlg dialog(prompter, nullptr, [&] { return now; });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        QCOMPARE(dialog.start_time().text(), QString("23:53:00"));
        QCOMPARE(dialog.stop_time().text(), QString("00:53:00"));
        if (arabic) {
            const QLocale locale(QLocale::Arabic, QLocale::UnitedArabEmirates);
            QCOMPARE(dialog.stop_date().text().remove(QChar(0x200E)),
                     QString("8 %1 2026").arg(locale.monthName(12, QLocale::ShortFormat)));
        }
        const std::pair<QWidget*, int> names[] = {
            {&dialog.start_time(), texts::start_time_field},
            {&dialog.start_date(), texts::start_date_field},
            {&dialog.stop_time(), texts::stop_time_field},
            {&dialog.stop_date(), texts::stop_date_field},
        };
        for (const auto& [field, name] : names) {
            QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name),
                     QString::fromStdWString(corvale::load_string(name)));
            QVERIFY(
                !QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name).isEmpty());
        }

        // Tab into a field selects its first part: the hour, the day.
        dialog.stop_time().setFocus(Qt::TabFocusReason);
        QTest::keyClicks(&dialog.stop_time(), "14");
        QCOMPARE(dialog.stop_time().time(), QTime(14, 53, 0));
        dialog.stop_date().setFocus(Qt::TabFocusReason);
        QTest::keyClicks(&dialog.stop_date(), "9");
        QCOMPARE(dialog.stop_date().date(), QDate(2026, 12, 9));
    }

    void edit_locks_the_link_and_name_for_several_downloads() {
        Scripted_prompter prompter;
        const corvale::Download_fields fields{L"http://h/a", dir_.path().toStdWString(), L"a",
                                              L"first"};
        Memory_profile profile;
        corvale::Modify_download_properties several(prompter, profile, fields, true);
        QVERIFY(!several.url_edit().isEnabled() && !several.name_edit().isEnabled());
        QVERIFY(several.url_edit().text().isEmpty());
        QCOMPARE(several.description_edit().text(), QString("first"));
        several.show();
        several.ok_button().click();
        QCOMPARE(several.result(), int(QDialog::Accepted));

        corvale::Modify_download_properties one(prompter, profile, fields, false);
        QCOMPARE(one.url_edit().text(), QString("http://h/a"));
        one.url_edit().clear();
        one.show();
        one.ok_button().click();
        QCOMPARE(shown(prompter), QString("URL is empty"));
        QVERIFY(one.isVisible());
        one.url_edit().setText("http://h/a");
        one.name_edit().setText("../escape.bin");
        one.ok_button().click();
        QCOMPARE(shown(prompter), QString("Invalid file name"));
        QVERIFY(one.isVisible());
    }

    void load_or_merge_reports_the_choice() {
        corvale::CLoad_or_merge_dlg load;
        load.load_button().click();
        QCOMPARE(load.choice(), corvale::CLoad_or_merge_dlg::load);
        corvale::CLoad_or_merge_dlg merge;
        merge.merge_button().click();
        QCOMPARE(merge.choice(), corvale::CLoad_or_merge_dlg::merge);
        corvale::CLoad_or_merge_dlg closed;
        closed.show();
        closed.reject();  // the close box and Esc
        QCOMPARE(closed.choice(), corvale::CLoad_or_merge_dlg::nothing);
    }

    // What OK in Preferences accepts and what it refuses, with which message,
    // storing nothing: the default folder is none or the full path of an
    // existing folder the user can write in; the limits as Speed Limit has
    // them.
    void preferences_accept_or_refuse_data() {
        QTest::addColumn<QString>("folder");  // "@name": that one under the test's folder
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("message");  // 0: accepted
        QTest::newRow("no default folder") << ""
                                           << "" << 0;
        QTest::newRow("a folder of the user's") << "@writable"
                                                << "512" << 0;
        QTest::newRow("a folder that is not there") << "@missing"
                                                    << "" << int(texts::preferences_folder_missing);
        QTest::newRow("a file") << "@file"
                                << "" << int(texts::preferences_folder_missing);
        QTest::newRow("a relative path") << "Downloads"
                                         << "" << int(texts::preferences_folder_not_full);
        QTest::newRow("blanks only") << "  "
                                     << "" << int(texts::preferences_folder_not_full);
        QTest::newRow("a folder the user cannot write")
            << "@read-only"
            << "" << int(texts::preferences_folder_not_writable);
        QTest::newRow("a bad rate") << "@writable"
                                    << "-1" << int(texts::bad_rate);
        QTest::newRow("a bad rate and a bad folder: the folder is named")
            << "@missing"
            << "fast" << int(texts::preferences_folder_missing);
    }
    void preferences_accept_or_refuse() {
        QFETCH(QString, folder);
        QFETCH(QString, rate);
        QFETCH(int, message);
        QString path = folder;
        std::optional<corvale::testing::Small_tmpfs> read_only;
        if (folder.startsWith('@')) {
            const QString name = folder.mid(1);
            path = this->folder(name, name != "missing" && name != "file");
            if (name == "file") {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
            } else if (name == "read-only" && ::geteuid() != 0) {
                ::chmod(path.toUtf8().constData(), 0500);
            } else if (name == "read-only") {
                // The superuser writes in every folder but on a read-only
                // file system.
                read_only.emplace(path.toStdString(), 4096, MS_RDONLY);
                if (!read_only->mounted()) {
                    QSKIP("the superuser writes in every folder, and may not mount one");
                }
            }
        }
        const auto restore = qScopeGuard([&] { ::chmod(path.toUtf8().constData(), 0700); });
        Scripted_prompter prompter;
        Memory_profile profile;
        const corvale::Global_limits before{3 * 1024, {false, 7 * 1024, 8 * 60, 18 * 60}};
        corvale::CPreferences_dlg dialog(prompter, profile, &before);
        dialog.folder_edit().setText(path);
        dialog.limits_form()->rate_edit().setText(rate);
        dialog.tray_check().setChecked(true);
        dialog.show();
        QTest::keyClick(&dialog.folder_edit(), Qt::Key_Return);  // Enter presses OK
        QCOMPARE(dialog.result() == QDialog::Accepted, message == 0);
        if (message == 0) {
            QVERIFY(prompter.shown().empty());
            const corvale::Preferences stored = corvale::read_preferences(profile);
            QCOMPARE(QString::fromStdWString(stored.default_folder), path);
            QVERIFY(stored.keep_in_tray);
            QCOMPARE(dialog.preferences(), stored);
            QCOMPARE(dialog.limits().rate, rate.isEmpty() ? 0ull : 512ull * 1024);
            return;
        }
        const QString expected =
            message == texts::bad_rate
                ? QString(
                      "Enter a speed from 0 (no limit) up to 1024.0 GB/s, as a number such "
                      "as 512 or 1.5.")
                : QString::fromStdWString(
                      corvale::format_message(message, {corvale::embed_data(path.toStdWString())}));
        QCOMPARE(shown(prompter), expected);
        QCOMPARE(prompter.shown().size(), std::size_t(1));
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
        QCOMPARE(corvale::read_preferences(profile), corvale::Preferences{});
        QCOMPARE(dialog.limits(), before);
    }

    // The preferences OK stores are what a new dialog shows, and where the
    // Add dialog starts; Cancel stores nothing; Browse fills the folder.
    void preferences_are_kept_in_the_profile() {
        Scripted_prompter prompter;
        Memory_profile profile;
        profile.write_int(corvale::k_settings_section, L"language", corvale::k_language_english);
        corvale::Preferences set;
        {
            corvale::CPreferences_dlg first(prompter, profile, nullptr);
            QVERIFY(first.limits_form() == nullptr);
            QCOMPARE(first.folder_edit().text(), QString());
            QVERIFY(first.notifications_check().isChecked());
            QVERIFY(!first.tray_check().isChecked());
            QVERIFY(!first.clipboard_check().isChecked());
            QCOMPARE(first.language_box().currentIndex(), 0);
            first.folder_edit().setText(folder("kept"));
            first.notifications_check().setChecked(false);
            first.tray_check().setChecked(true);
            first.clipboard_check().setChecked(true);
            first.show();
            first.ok_button().click();
            QCOMPARE(first.result(), int(QDialog::Accepted));
            set = first.preferences();
        }
        QCOMPARE(corvale::read_preferences(profile), set);
        corvale::CPreferences_dlg second(prompter, profile, nullptr);
        QCOMPARE(second.folder_edit().text(), folder("kept"));
        QVERIFY(!second.notifications_check().isChecked());
        QVERIFY(second.tray_check().isChecked());
        QVERIFY(second.clipboard_check().isChecked());
        corvale::Add_new_download_dlg add(prompter, profile);
        QCOMPARE(add.folder_edit().text(), folder("kept"));
        second.set_folder_chooser(
            [&](QWidget*) { return std::optional(folder("chosen").toStdWString()); });
        second.browse_button().click();
        QCOMPARE(second.folder_edit().text(), folder("chosen"));
        second.notifications_check().setChecked(true);
        second.show();
        second.reject();
        QCOMPARE(corvale::read_preferences(profile), set);
        QVERIFY(prompter.shown().empty());

        // Each caption, check box and button but OK and Cancel (Enter and
        // Escape) has a mnemonic of its own, the limits' too; Alt+B browses.
        const corvale::Global_limits hours_on{0, {true, 0, 0, 0}};
        corvale::CPreferences_dlg keys(prompter, profile, &hours_on);
        const QString cancel = QString::fromStdWString(corvale::load_string(texts::cancel));
        QList<QKeySequence> mnemonics;
        for (const QAbstractButton* button : keys.findChildren<QAbstractButton*>()) {
            if (button != &keys.ok_button() && button->text() != cancel) {
                QVERIFY2(!QKeySequence::mnemonic(button->text()).isEmpty(),
                         qPrintable(button->text()));
                mnemonics << QKeySequence::mnemonic(button->text());
            }
        }
        for (const QLabel* caption : keys.findChildren<QLabel*>()) {
            if (caption->buddy() != nullptr) {
                QVERIFY2(!QKeySequence::mnemonic(caption->text()).isEmpty(),
                         qPrintable(caption->text()));
                mnemonics << QKeySequence::mnemonic(caption->text());
            }
        }
        for (const QKeySequence& key : mnemonics) {
            QCOMPARE(mnemonics.count(key), 1);
        }
        keys.set_folder_chooser(
            [&](QWidget*) { return std::optional(folder("by key").toStdWString()); });
        keys.show();
        QApplication::setActiveWindow(&keys);
        QVERIFY(QTest::qWaitForWindowActive(&keys));
        QTest::keyClick(&keys, Qt::Key_B, Qt::AltModifier);
        QTRY_COMPARE(keys.folder_edit().text(), folder("by key"));
    }

    // A screen reader announces every field by its label and every button by
    // its text, and Tab walks the fields from top to bottom.
    void every_control_has_a_name_and_tab_follows_the_fields() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Add_new_download_dlg add(prompter, profile);
        corvale::Modify_download_properties edit_one(prompter, profile, {}, false);
        corvale::Modify_download_properties edit_several(prompter, profile, {}, true);
        corvale::CLoad_or_merge_dlg load;
        corvale::CSchedule_dlg schedule(prompter);
        corvale::CSpeed_limit_dlg limits(prompter, corvale::Global_limits{0, {true, 0, 0, 0}});
        corvale::CSpeed_limit_dlg own_limit(prompter, std::uint64_t{0});
        const corvale::Global_limits hours_on{0, {true, 0, 0, 0}};
        corvale::CPreferences_dlg preferences(prompter, profile, &hours_on);
        for (QDialog* dialog :
             std::initializer_list<QDialog*>{&add, &edit_one, &edit_several, &load, &schedule,
                                             &limits, &own_limit, &preferences}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QList<QWidget*> controls;
            for (QWidget* child : dialog->findChildren<QWidget*>()) {
                if (qobject_cast<QLineEdit*>(child) != nullptr &&
                    qobject_cast<QAbstractSpinBox*>(child->parentWidget()) != nullptr) {
                    continue;  // the text part of a date or time editor
                }
                if (qobject_cast<QLineEdit*>(child) || qobject_cast<QAbstractSpinBox*>(child) ||
                    qobject_cast<QAbstractButton*>(child) || qobject_cast<QComboBox*>(child)) {
                    controls << child;
                }
            }
            QVERIFY(!controls.isEmpty());
            for (QWidget* control : controls) {
                QAccessibleInterface* element = QAccessible::queryAccessibleInterface(control);
                QVERIFY(element != nullptr);
                QVERIFY2(
                    !element->text(QAccessible::Name).trimmed().isEmpty(),
                    qPrintable(dialog->windowTitle() + ": " + control->metaObject()->className()));
            }
            // Tab from the first field reaches the fields in the order they
            // stand from top to bottom, and along a row (fields of unlike
            // heights share a row when their middles are near).
            QList<QWidget*> fields;
            for (QWidget* control : controls) {
                if (control->isEnabled() && control->focusPolicy() & Qt::TabFocus &&
                    qobject_cast<QAbstractButton*>(control) == nullptr) {
                    fields << control;
                }
            }
            std::stable_sort(fields.begin(), fields.end(), [dialog](QWidget* a, QWidget* b) {
                const QPoint pa = a->mapTo(dialog, a->rect().center());
                const QPoint pb = b->mapTo(dialog, b->rect().center());
                const int apart = std::min(a->height(), b->height()) / 2;
                return std::abs(pa.y() - pb.y()) > apart ? pa.y() < pb.y() : pa.x() < pb.x();
            });
            if (fields.isEmpty()) {
                continue;
            }
            QWidget* at = fields.front();
            for (QWidget* next : fields.mid(1)) {
                at = at->nextInFocusChain();
                while (at->focusProxy() != nullptr || !(at->focusPolicy() & Qt::TabFocus) ||
                       !at->isEnabled() || !at->isVisible() ||
                       (qobject_cast<QLineEdit*>(at) != nullptr &&
                        qobject_cast<QAbstractSpinBox*>(at->parentWidget()) != nullptr) ||
                       (qobject_cast<QAbstractButton*>(at) != nullptr)) {
                    at = at->nextInFocusChain();
                }
                QVERIFY2(at == next, qPrintable(dialog->windowTitle()));
            }
            dialog->hide();
        }
    }

    // The values of the tool windows read as caption and value through the
    // accessibility interface alone; the caption labels the value, which
    // keeps its own text as its name (so a change is announced as a name
    // change) and can be reached by Tab.
    void values_read_as_caption_and_value() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Links_parser_dlg grabber(prompter, profile, {});
        corvale::Update_check_dlg update(prompter, {}, {});
        const struct {
            QWidget* window;
            QString caption;
            QString value;
        } rows[] = {
            {&grabber, "Status:", "....."},
            {&grabber, "Retries:", "....."},
            {&update, "Status:", ""},
            {&update, "Current Version:", "1.2.0.2"},
            {&update, "Latest Version:", "...."},
            {&update, "Date:", "...."},
        };
        for (const auto& row : rows) {
            QAccessibleInterface* value =
                labelled_by(QAccessible::queryAccessibleInterface(row.window), row.caption);
            QVERIFY2(value != nullptr, qPrintable(row.window->windowTitle() + ": " + row.caption));
            QCOMPARE(value->role(), QAccessible::StaticText);
            QCOMPARE(value->text(QAccessible::Name), row.value);
            QCOMPARE(value->textInterface()->text(0, value->textInterface()->characterCount()),
                     row.value);
            QCOMPARE(read_aloud(value), row.caption + " " + row.value);
            QVERIFY2(value->state().focusable, qPrintable(row.caption));
        }
        // The name follows the text.
        QGuiApplication::clipboard()->setText("rapidshare.com/files/1/a.zip");
        grabber.paste_button().click();
        QCOMPARE(labelled_by(QAccessible::queryAccessibleInterface(&grabber), "Status:")
                     ->text(QAccessible::Name),
                 QString::fromStdWString(corvale::load_string(texts::links_grabbed)));
    }

    // The website links of the About and update windows are links that a
    // screen reader's press follows, and no control that Tab reaches in the
    // tool windows is without a name or a caption.
    void links_are_links_and_every_control_is_named() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Links_parser_dlg grabber(prompter, profile, {});
        corvale::Update_check_dlg update(prompter, {}, {});
        corvale::CAboutDlg about;
        QDesktopServices::setUrlHandler("https", this, "open_url");
        QDesktopServices::setUrlHandler("http", this, "open_url");
        const struct {
            QDialog* window;
            QString link;  // "" when it has none
        } rows[] = {
            {&about, "Visit the Zrv website"},
            {&update, "Visit the Zrv website"},
            {&grabber, ""},
        };
        for (const auto& row : rows) {
            row.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(row.window));
            QAccessibleInterface* root = QAccessible::queryAccessibleInterface(row.window);
            if (!row.link.isEmpty()) {
                QAccessibleInterface* link = find_accessible(root, QAccessible::Link, row.link);
                QVERIFY2(link != nullptr, qPrintable(row.window->windowTitle()));
                QVERIFY(link->state().focusable);
                QVERIFY(link->actionInterface()->actionNames().contains(
                    QAccessibleActionInterface::pressAction()));
                opened_.clear();
                link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                QCOMPARE(opened_, QStringList(corvale::k_maker_website));
            }
            for (QWidget* control : row.window->findChildren<QWidget*>()) {
                if (!control->isVisible() || !(control->focusPolicy() & Qt::TabFocus) ||
                    control->focusProxy() != nullptr) {
                    continue;
                }
                QAccessibleInterface* element = QAccessible::queryAccessibleInterface(control);
                QVERIFY2(!element->text(QAccessible::Name).isEmpty() ||
                             !element->relations(QAccessible::Label).isEmpty(),
                         qPrintable(row.window->windowTitle() + ": " +
                                    control->metaObject()->className()));
            }
            row.window->hide();
        }
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
    }

    // Tab leaves the grabber's list for the field below it and Shift+Tab
    // comes back; the buttons and captions have mnemonics of their own, and
    // one presses its button.
    void the_grabber_is_walked_by_keyboard() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Links_parser_dlg grabber(prompter, profile, {});
        grabber.show();
        QApplication::setActiveWindow(&grabber);
        QVERIFY(QTest::qWaitForWindowActive(&grabber));
        QGuiApplication::clipboard()->setText(
            "rapidshare.com/files/1/a.zip rapidshare.com/files/2/b.zip");
        grabber.paste_button().click();
        QTableWidget& list = grabber.links_list();
        list.setFocus();
        list.setCurrentCell(0, 0);
        QTest::keyClick(&list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &grabber.folder_edit());
        QTest::keyClick(&grabber.folder_edit(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), &list);

        QList<QKeySequence> mnemonics;
        for (const QPushButton* button : grabber.findChildren<QPushButton*>()) {
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            QVERIFY2(!key.isEmpty(), qPrintable(button->text()));
            mnemonics << key;
        }
        for (const QLabel* caption : grabber.findChildren<QLabel*>()) {
            if (caption->buddy() != nullptr && caption->text().contains('&')) {
                mnemonics << QKeySequence::mnemonic(caption->text());
            }
        }
        for (const QKeySequence& key : mnemonics) {
            QCOMPARE(mnemonics.count(key), 1);
        }
        list.clearSelection();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(shown(prompter),  // a mnemonic clicks a moment later
                     QString::fromStdWString(corvale::load_string(texts::select_to_verify)));
    }

    // A progress value (the bar, a speed) shows every change but announces
    // one at most once a second: the bar through its value, a label through
    // its accessible name; settle announces what is shown at once.
    void progress_is_announced_at_most_once_a_second() {
        using Clock = corvale::Paced_progress_bar::Clock;
        corvale::Paced_progress_bar bar(nullptr);
        bar.setRange(0, 1000);
        corvale::Value_label speed(nullptr);
        speed.pace_announcements();
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(&speed);
        const Clock::time_point start{};
        const struct {
            int at_ms;
            int shown;  // -1: settle
            int taken;
        } steps[] = {
            {0, 10, 10},    {400, 20, 10},  {999, 30, 10},  {1000, 40, 40},
            {1500, 40, 40}, {1600, 50, 40}, {1999, 60, 40}, {2000, 70, 70},
            {2500, 80, 70}, {2600, -1, 80}, {3000, 90, 80}, {3600, 95, 95},
        };
        for (const auto& step : steps) {
            const Clock::time_point now = start + std::chrono::milliseconds(step.at_ms);
            if (step.shown < 0) {
                bar.settle(now);
                speed.settle(now);
            } else {
                bar.show_value(step.shown, now);
                speed.set_value(QString::number(step.shown), now);
                QCOMPARE(bar.drawn_value(), step.shown);
                QCOMPARE(speed.text(), QString::number(step.shown));
            }
            QCOMPARE(bar.value(), step.taken);
            QCOMPARE(spoken->text(QAccessible::Name), QString::number(step.taken));
            QCOMPARE(spoken->textInterface()->text(0, spoken->textInterface()->characterCount()),
                     QString::number(step.taken));
        }
    }

    void a_download_is_added_through_accessibility_alone() {
        Scripted_prompter prompter;
        Memory_profile profile;
        corvale::Add_new_download_dlg dialog(prompter, profile);
        dialog.show();
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&dialog);
        const std::pair<const char*, QString> typed[] = {
            {"File Link (URL)", "http://rapidshare.com/files/1/a.zip"},
            {"Local Folder", dir_.path()},
            {"Local File Name:", "a.zip"},
        };
        for (const auto& [label, value] : typed) {
            QAccessibleInterface* field = find_accessible(root, QAccessible::EditableText, label);
            QVERIFY2(field != nullptr, label);
            // The folder starts filled in: what is typed replaces it.
            field->editableTextInterface()->replaceText(0, field->textInterface()->characterCount(),
                                                        value);
        }
        QAccessibleInterface* ok = find_accessible(root, QAccessible::Button, "OK");
        QVERIFY(ok != nullptr);
        ok->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));  // a press clicks a moment later
        QVERIFY(prompter.shown().empty());
        QCOMPARE(QString::fromStdWString(dialog.fields().file_name), QString("a.zip"));
    }
};

QTEST_MAIN(Dialogs_test)
#include "dialogs_test.moc"
