// Start-up, languages and their layout, the single instance, tips, About
// and Help: the main window under the offscreen platform, with a scripted
// prompter and a profile of the test's own.

#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "app/about_dlg.h"
#include "app/language.h"
#include "app/tollway_app.h"
#include "corvale/text_ids.h"
#include "engine/limit_profile.h"
#include "engine/preferences.h"
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/settings_profile.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/preferences_dlg.h"
#include "ui/dialogs/speed_limit_dlg.h"
#include "ui/main/tray_icon.h"
#include "ui/window_fixture.h"

using corvale::Language;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_start_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

    void starts_with_an_empty_list_without_a_last_list() {
        auto s = session(k_english);
        QVERIFY(s->start());
        QCOMPARE(s->window().windowTitle(), QString("Corvale"));
        QCOMPARE(s->window().list_view_widget().rowCount(), 0);
        QCOMPARE(s->window().status_text(),
                 QString("  Check About window for important information"));
        QVERIFY(s->prompter.shown().empty());
    }

    void starts_with_the_last_list() {
        const std::wstring list = sample_list();
        auto s = session(k_english, list);
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.item(1, 2)->text(), QString("b.zip"));
        QCOMPARE(table.item(0, 0)->text(), QString("1"));
        QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(list));
    }

    void a_failing_last_list_is_reported_and_leaves_the_list_empty() {
        auto s = session(k_english, dir_.filePath("gone.zrv").toStdWString());
        bool window_shown = false;
        s->prompter.while_open = [&](const std::wstring&) {
            window_shown = s->window().isVisible();
        };
        QVERIFY(s->start());
        QVERIFY2(window_shown, "the failure is shown over the window");
        QCOMPARE(s->window().list_view_widget().rowCount(), 0);
        QCOMPARE(s->window().windowTitle(), QString("Corvale"));
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(QString::fromStdWString(s->prompter.shown()[0].text),
                 QString("Error Opening Download list"));
    }

    void chooses_the_language_from_the_profile_data() {
        QTest::addColumn<int>("stored");  // -1: no value stored
        QTest::addColumn<bool>("bundle");
        QTest::addColumn<bool>("arabic");
        QTest::addColumn<bool>("error_shown");
        QTest::newRow("no value: Arabic") << -1 << true << true << false;
        QTest::newRow("1: Arabic") << 1 << true << true << false;
        QTest::newRow("2: English") << 2 << true << false << false;
        QTest::newRow("0: English") << 0 << true << false << false;
        QTest::newRow("1 without the bundle") << 1 << false << false << true;
        QTest::newRow("2 without the bundle: no attempt") << 2 << false << false << false;
    }
    void chooses_the_language_from_the_profile() {
        QFETCH(int, stored);
        QFETCH(bool, bundle);
        QFETCH(bool, arabic);
        QFETCH(bool, error_shown);
        auto s = session(stored);
        QVERIFY(s->start(bundle ? k_bundle_dir : std::filesystem::path(dir_.path().toStdString())));
        QCOMPARE(s->app.language() == Language::arabic, arabic);
        QCOMPARE(QApplication::layoutDirection(), arabic ? Qt::RightToLeft : Qt::LeftToRight);
        QCOMPARE(headers(s->window().list_view_widget()).front(),
                 arabic ? QString::fromUtf8("رقم") : QString("No."));
        QCOMPARE(!s->prompter.shown().empty(), error_shown);
        if (error_shown) {
            QCOMPARE(QString::fromStdWString(s->prompter.shown()[0].text),
                     QString("Error loading Arabic language"));
            QCOMPARE(s->profile.read_int(corvale::k_settings_section, L"language", 0), 1);
        }
    }

    // Each column is at least as wide as the rule says (11 pixels a
    // character of the header for some, fixed for the others), wider where
    // its header or a usual value would be cut.
    void headers_and_widths_follow_the_language_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("English") << 2 << QList<int>{33, 44, 250, 160, 140, 88,  90,
                                                    99, 55, 77,  66,  88,  190, 390};
        // Arabic headers: رقم تلقائي التقدم الوقت المتبقي السرعة المحاولات الاستئناف أضيف في
        QTest::newRow("Arabic") << 1 << QList<int>{33,  66, 250, 160, 140, 66,  90,
                                                   143, 66, 99,  99,  77,  190, 390};
    }
    void headers_and_widths_follow_the_language() {
        QFETCH(int, language);
        QFETCH(QList<int>, widths);
        auto s = session(language, sample_list());
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        QStringList expected;
        for (int id = texts::column_title_first; id <= texts::column_title_url; ++id) {
            expected << QString::fromStdWString(corvale::load_string(id));
        }
        QCOMPARE(headers(table), expected);
        QVERIFY(table.horizontalHeader()->sectionsMovable());
        QVERIFY(table.showGrid());
        QCOMPARE(table.selectionMode(), QAbstractItemView::ExtendedSelection);
        for (int column = 0; column < table.columnCount(); ++column) {
            QVERIFY2(table.columnWidth(column) >= widths[column], qPrintable(expected[column]));
            QVERIFY2(table.columnWidth(column) >= table.horizontalHeader()->sectionSizeHint(column),
                     qPrintable(expected[column]));
        }
        // Values a running download shows are not cut.
        constexpr std::uint64_t mib = 1024 * 1024;
        const std::pair<int, std::wstring> values[] = {
            {corvale::col_status, corvale::countdown_text(texts::retry_countdown, 103)},
            {corvale::col_status, corvale::load_string(texts::finished_downloading)},
            {corvale::col_progress, corvale::size_text(16 * mib)},
            {corvale::col_size, corvale::size_text(700 * mib)},
            {corvale::col_speed, corvale::speed_text(6183.0)},
            {corvale::col_time_left, corvale::time_left_text(43 * 60 + 59)},
            {corvale::col_added_at, corvale::time_stamp(std::time(nullptr))},
        };
        auto* delegate = dynamic_cast<corvale::Data_cell_delegate*>(table.itemDelegate());
        for (const auto& [column, value] : values) {
            s->window().list_view().set_text(0, column, value);
            QVERIFY2(!delegate->elided(table, table.model()->index(0, column)),
                     qPrintable(QString::fromStdWString(value)));
        }
    }

    // The window's geometry, the columns' widths and their order are kept
    // at close and come back at the next start; a value that is missing or
    // broken leaves that part as a first start has it.
    void the_layout_is_kept_between_runs_data() {
        QTest::addColumn<QString>("geometry");  // stored instead of what close kept
        QTest::addColumn<QString>("widths");
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("geometry_kept");
        QTest::addColumn<bool>("widths_kept");
        QTest::addColumn<bool>("order_kept");
        QTest::addColumn<int>("language");  // of the second start
        const QString kept;                 // what close kept
        const QString thirteen = "50,50,50,50,50,50,50,50,50,50,50,50,50";
        const QString twice = "0,1,2,3,4,5,6,7,8,9,10,11,12,12";
        const QString no_such = "0,1,2,3,4,5,6,7,8,9,10,11,12,14";
        QTest::newRow("as kept") << kept << kept << kept << true << true << true << k_english;
        // Arabic texts need other widths than the English ones kept.
        QTest::newRow("the other language") << kept << kept << kept << true << false << true << 1;
        QTest::newRow("geometry not base64")
            << QString("%%%") << kept << kept << false << true << true << k_english;
        QTest::newRow("geometry not a geometry")
            << QString("AAAA") << kept << kept << false << true << true << k_english;
        QTest::newRow("a width missing")
            << kept << thirteen << kept << true << false << true << k_english;
        QTest::newRow("a width too many")
            << kept << thirteen + ",50,50" << kept << true << false << true << k_english;
        QTest::newRow("a width not a number")
            << kept << thirteen + ",x" << kept << true << false << true << k_english;
        QTest::newRow("a width of nothing")
            << kept << thirteen + ",0" << kept << true << false << true << k_english;
        QTest::newRow("a column twice in the order")
            << kept << kept << twice << true << true << false << k_english;
        QTest::newRow("no such column in the order")
            << kept << kept << no_such << true << true << false << k_english;
        QTest::newRow("all of it broken") << QString("AAAA") << QString("1,2") << QString("x")
                                          << false << false << false << k_english;
    }
    void the_layout_is_kept_between_runs() {
        QFETCH(QString, geometry);
        QFETCH(QString, widths);
        QFETCH(QString, order);
        QFETCH(bool, geometry_kept);
        QFETCH(bool, widths_kept);
        QFETCH(bool, order_kept);
        QFETCH(int, language);
        struct Layout {
            QSize size;
            QList<int> widths;
            QList<int> order;  // the column at each place
        };
        const auto layout_of = [](corvale::CTollwayDlg& window) {
            QTableWidget& table = window.list_view_widget();
            Layout layout{window.size(), column_widths(table), {}};
            for (int place = 0; place < table.columnCount(); ++place) {
                layout.order << table.horizontalHeader()->logicalIndex(place);
            }
            return layout;
        };
        auto fresh = session(language);  // the widths of the second start's language
        QVERIFY(fresh->start());
        const QList<int> default_widths = column_widths(fresh->window().list_view_widget());
        fresh.reset();
        auto first = session(k_english);
        QVERIFY(first->start());
        const Layout defaults = layout_of(first->window());
        // The user's own layout, kept at close.
        first->window().resize(defaults.size - QSize(100, 80));
        QTableWidget& table = first->window().list_view_widget();
        table.setColumnWidth(corvale::col_description, 123);
        table.horizontalHeader()->moveSection(
            table.horizontalHeader()->visualIndex(corvale::col_speed), 2);
        const Layout chosen = layout_of(first->window());
        press(first->window(), corvale::cmd_exit);
        QVERIFY(!first->window().isVisible());
        first.reset();

        const std::pair<const wchar_t*, QString> broken[] = {
            {L"window_geometry", geometry}, {L"column_widths", widths}, {L"column_order", order}};
        for (const auto& [key, value] : broken) {
            if (!value.isEmpty()) {
                corvale::Settings_profile(profile_path())
                    .write_string(corvale::k_settings_section, key, value.toStdWString());
            }
        }
        auto second = session(language);
        QVERIFY(second->start());
        const Layout restored = layout_of(second->window());
        QCOMPARE(restored.size, (geometry_kept ? chosen : defaults).size);
        QCOMPARE(restored.widths, widths_kept ? chosen.widths : default_widths);
        QCOMPARE(restored.order, (order_kept ? chosen : defaults).order);
        QVERIFY(chosen.size != defaults.size && chosen.widths != defaults.widths &&
                chosen.order != defaults.order);
    }

    void data_reads_left_to_right_in_arabic_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("direction");
        QTest::newRow("a path") << "/tmp" << int(Qt::LeftToRight);
        QTest::newRow("a longer path") << "/home/user/Downloads" << int(Qt::LeftToRight);
        QTest::newRow("a link") << "http://rapidshare.com/files/1/a.zip" << int(Qt::LeftToRight);
        QTest::newRow("a size") << "12 KB" << int(Qt::LeftToRight);
        QTest::newRow("a number alone") << "1234" << int(Qt::LeftToRight);
        QTest::newRow("an English status") << "Finished Downloading File" << int(Qt::LeftToRight);
        QTest::newRow("Arabic") << QString::fromUtf8("تم التحميل") << int(Qt::RightToLeft);
        QTest::newRow("Arabic first") << QString::fromUtf8("ملف a.zip") << int(Qt::RightToLeft);
    }
    void data_reads_left_to_right_in_arabic() {
        QFETCH(QString, text);
        QFETCH(int, direction);
        QCOMPARE(int(corvale::Data_cell_delegate::direction_of(text)), direction);
    }

    void the_arabic_window_keeps_paths_in_their_own_direction() {
        const std::wstring list = sample_list();
        auto s = session(1, list);
        QVERIFY(s->start());
        QCOMPARE(QApplication::layoutDirection(), Qt::RightToLeft);
        QTableWidget& table = s->window().list_view_widget();
        auto* delegate = dynamic_cast<corvale::Data_cell_delegate*>(table.itemDelegate());
        QVERIFY2(delegate != nullptr, "every cell is laid out in its own direction");
        QVERIFY(s->window().windowTitle().endsWith(QChar(0x2068) + QString::fromStdWString(list) +
                                                   QChar(0x2069)));
        // Whether a cell is elided decides its tooltip: a long text in a
        // narrow column is, a short one in a wide column is not.
        table.item(0, 4)->setText(QString(40, 'x'));
        table.setColumnWidth(4, 12);
        table.item(0, 0)->setText("1");
        table.setColumnWidth(0, 390);
        QVERIFY(delegate->elided(table, table.model()->index(0, 4)));
        QVERIFY(!delegate->elided(table, table.model()->index(0, 0)));
        QVERIFY2(table.horizontalHeader()->minimumSectionSize() <= 33,
                 "the narrowest computed width is not overridden by the style's minimum");
        const bool installed =
            QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ar.qm");
        QCOMPARE(s->app.qt_translated(), installed);
    }

    void file_dialogs_keep_paths_left_to_right_in_arabic() {
        QApplication::setLayoutDirection(Qt::RightToLeft);
        QFileDialog dialog(nullptr, "x", dir_.path(), QString::fromUtf8("قوائم التحميل (*.zrv)"));
        corvale::prepare_file_dialog(dialog);
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dialog.layoutDirection(), Qt::RightToLeft);
        const auto edits = dialog.findChildren<QLineEdit*>();
        const auto combos = dialog.findChildren<QComboBox*>();
        QVERIFY(!edits.isEmpty() && !combos.isEmpty());
        for (QWidget* data : edits) {
            QCOMPARE(data->layoutDirection(), Qt::LeftToRight);
        }
        for (QWidget* data : combos) {
            QCOMPARE(data->layoutDirection(), Qt::LeftToRight);
        }
        QApplication::setLayoutDirection(Qt::LeftToRight);
    }

    void a_second_instance_raises_the_first_and_ends() {
        const QString name = instance_name();
        Session first(profile_path(), name, k_english);
        QVERIFY(first.start());
        first.window().hide();
        Session second(profile_path(), name, k_english);
        QVERIFY(!second.start());
        QVERIFY(second.app.main_window() == nullptr);
        QTRY_VERIFY(first.window().isVisible());
    }

    // A list file given at start is loaded as a new list; given to a second
    // start, it goes to the running program, which asks confirm_save_list about its own
    // modified list first and then loads it.
    void list_files_from_the_command_line_and_a_second_start() {
        const std::wstring sample = sample_list();
        const QString name = instance_name();
        Session first(profile_path(), name, k_english);
        QVERIFY(first.start(k_bundle_dir, std::filesystem::path(corvale::to_path(sample))));
        settle(first.window());
        QCOMPARE(first.window().list_view_widget().rowCount(), 2);
        QCOMPARE(first.window().windowTitle(), "Corvale    " + QString::fromStdWString(sample));
        QVERIFY(first.prompter.shown().empty());

        const std::wstring other = write_list(
            "other list é.zrv", {{L"c.zip", L"third", L"http://rapidshare.com/files/333/c.zip"}});
        first.window().list_view_widget().selectRow(0);
        first.prompter.answer(true);  // confirm_delete: delete it; the list is modified
        press(first.window(), corvale::cmd_delete);
        QTRY_COMPARE(first.window().list_view_widget().rowCount(), 1);
        first.prompter.clear();
        first.prompter.answer(false);
        Session second(profile_path(), name, k_english);
        QVERIFY(!second.start(k_bundle_dir, std::filesystem::path(corvale::to_path(other))));
        QTRY_COMPARE(first.window().windowTitle(), "Corvale    " + QString::fromStdWString(other));
        QCOMPARE(first.window().list_view_widget().rowCount(), 1);
        QCOMPARE(cell(first, 0, corvale::col_file_name), QString("c.zip"));
        QCOMPARE(first.prompter.shown().size(), std::size_t(1));
        QCOMPARE(first.prompter.shown()[0].text, corvale::load_string(texts::confirm_save_list));
    }

    // The global limits set in the Speed Limit dialog apply at once, show in
    // the status line, and are there again at the next start. A stored value
    // that cannot be read is no limit for its part only.
    void speed_limits_are_kept_between_runs_data() {
        QTest::addColumn<QString>("key");  // broken after the first run; empty: none
        QTest::addColumn<QString>("value");
        QTest::addColumn<qulonglong>("rate");  // after the second start
        QTest::addColumn<bool>("hours_on");
        QTest::newRow("kept") << ""
                              << "" << 2ull * 1024 * 1024 << true;
        QTest::newRow("rate not a number") << "speed_limit"
                                           << "2MB" << 0ull << true;
        QTest::newRow("rate too large") << "speed_limit"
                                        << "18446744073709551616" << 0ull << true;
        QTest::newRow("hours' rate negative") << "hours_limit"
                                              << "-1" << 2ull * 1024 * 1024 << false;
        QTest::newRow("hours past the day") << "hours_limit_until"
                                            << "1440" << 2ull * 1024 * 1024 << false;
    }
    void speed_limits_are_kept_between_runs() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(qulonglong, rate);
        QFETCH(bool, hours_on);
        auto first = session(k_english);
        QVERIFY(first->start());
        const auto limits_of = [](Session& s) {
            return s.app.transfer_settings()->current().speed_limits;
        };
        QCOMPARE(limits_of(*first)->global(), corvale::Global_limits{});
        QCOMPARE(first->window().limit_status_text(), QString());
        when_dialog_opens<corvale::CSpeed_limit_dlg>([](corvale::CSpeed_limit_dlg& d) {
            d.rate_edit().setText("2");
            d.rate_unit().setCurrentIndex(1);  // MB/s
            d.hours_check()->setChecked(true);
            d.hours_edit()->setText("300");
            d.from_edit()->setTime(QTime(0, 0));
            d.until_edit()->setTime(QTime(0, 1));
            d.ok_button().click();
        });
        press(first->window(), corvale::cmd_speed_limit);
        const corvale::Global_limits set{2 * 1024 * 1024, {true, 300 * 1024, 0, 1}};
        QCOMPARE(limits_of(*first)->global(), set);
        // Outside the minute of the hours the status line names the limit
        // for all downloads (the test stays clear of that minute).
        if (corvale::local_minute_of_day() != 0) {
            QCOMPARE(first->window().limit_status_text(), QString("limit 2.0 MB/s"));
        }
        press(first->window(), corvale::cmd_exit);
        first.reset();

        if (!key.isEmpty()) {
            corvale::Settings_profile(profile_path())
                .write_string(corvale::k_settings_section, key.toStdWString(),
                              value.toStdWString());
        }
        auto second = session(k_english);
        QVERIFY(second->start());
        const corvale::Global_limits read = limits_of(*second)->global();
        QCOMPARE(read.rate, rate);
        QCOMPARE(read.hours.on, hours_on);
        if (hours_on) {
            QCOMPARE(read.hours, set.hours);
        }
    }

    // The status line shows the global limit that applies now, and follows
    // the hours of the second limit as they begin and end.
    void the_status_line_follows_the_hours_of_the_limit() {
        auto s = session(k_english);
        corvale::write_global_limits(s->profile, {512 * 1024, {true, 64 * 1024, 8 * 60, 18 * 60}});
        int minute = 8 * 60 - 1;
        s->app.transfer_settings()->change([&](corvale::Transfer_values& values) {
            values.speed_limits = corvale::Speed_limits::make([&minute] { return minute; });
        });
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        QCOMPARE(window.limit_status_text(), QString("limit 512 KB/s"));
        QVERIFY(window.limit_clock().isActive());
        QVERIFY(window.limit_clock().interval() <= 60000);
        const std::pair<int, QString> steps[] = {
            {8 * 60, "limit 64 KB/s"},
            {18 * 60 - 1, "limit 64 KB/s"},
            {18 * 60, "limit 512 KB/s"},
        };
        for (const auto& [now, shown] : steps) {
            minute = now;
            fire(window.limit_clock());
            QCOMPARE(window.limit_status_text(), shown);
        }
        // No limit at all: nothing in the status line.
        when_dialog_opens<corvale::CSpeed_limit_dlg>([](corvale::CSpeed_limit_dlg& d) {
            d.rate_edit().clear();
            d.hours_check()->setChecked(false);
            d.ok_button().click();
        });
        press(window, corvale::cmd_speed_limit);
        QCOMPARE(window.limit_status_text(), QString());
    }

    void tips_rotate_in_order() {
        auto s = session(k_english);
        QVERIFY(s->start());
        QStringList seen{s->window().status_text()};
        for (int i = 0; i < 5; ++i) {
            s->window().show_next_tip();
            seen << s->window().status_text();
        }
        QStringList expected;
        for (int id : {texts::tip_initial, texts::tip_first, texts::tip_double_click,
                       texts::tip_links_grabber, texts::tip_last, texts::tip_first}) {
            expected << QString::fromStdWString(corvale::load_string(id));
        }
        QCOMPARE(seen, expected);
    }

    void about_window_shows_the_version() {
        corvale::CAboutDlg about;
        QCOMPARE(about.version_text(), QString("Corvale Version: 1.2.0.2 (BETA)"));
        QCOMPARE(about.info_text(),
                 QString::fromStdWString(corvale::load_string(texts::about_notice)));
    }

    // Help opens the help file of the profile's language from the program's
    // folder, Arabic when no language is stored; a missing file is said.
    void help_opens_the_file_of_the_profile_language_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unset, menu") << -1 << int(corvale::cmd_help) << "help_arabic.pdf";
        QTest::newRow("Arabic, toolbar") << 1 << int(corvale::cmd_help_button) << "help_arabic.pdf";
        QTest::newRow("English, menu") << k_english << int(corvale::cmd_help) << "help_english.pdf";
        QTest::newRow("other value") << 7 << int(corvale::cmd_help_button) << "help_english.pdf";
    }
    void help_opens_the_file_of_the_profile_language() {
        QFETCH(int, language);
        QFETCH(int, command);
        QFETCH(QString, expected);
        QTemporaryDir temporary;
        const std::filesystem::path program = temporary.path().toStdString();
        std::filesystem::copy_file(k_bundle_dir / corvale::k_arabic_bundle,
                                   program / corvale::k_arabic_bundle);
        for (const char* name : {"help_arabic.pdf", "help_english.pdf"}) {
            std::ofstream(program / name) << "%PDF-1.4";
        }
        QFile(profile_path()).remove();
        auto s = session(language);
        QList<QUrl> opened;
        bool can_open = true;
        s->app.set_url_opener([&](const QUrl& url) {
            opened << url;
            return can_open;
        });
        QVERIFY(s->start(program));
        const std::filesystem::path help = program / expected.toStdString();
        const QString message = QString::fromStdWString(
            corvale::format_message(corvale::texts::help_not_opened, {corvale::from_path(help)}));
        press(s->window(), command);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(help.string()))});
        QVERIFY(s->prompter.shown().empty());

        // When nothing can open the file, or when it is missing, the user is told.
        can_open = false;
        press(s->window(), command);
        QCOMPARE(opened.size(), 2);
        std::filesystem::remove(help);
        press(s->window(), command);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(s->prompter.shown().size(), std::size_t{2});
        for (const auto& shown : s->prompter.shown()) {
            QCOMPARE(QString::fromStdWString(shown.text), message);
        }
    }

    // The data (bundle, help files) is beside the program in the build tree,
    // and in share/corvale beside bin when installed.
    void the_data_folder_is_found_built_or_installed() {
        QTemporaryDir temporary;
        const std::filesystem::path root = temporary.path().toStdString();
        std::filesystem::create_directories(root / "usr/bin");
        QCOMPARE(corvale::find_data_directory(root / "usr/bin"), root / "usr/bin");
        std::filesystem::create_directories(root / "usr/share/corvale");
        QCOMPARE(corvale::find_data_directory(root / "usr/bin"), root / "usr/share/corvale");
        std::ofstream(root / "usr/bin" / corvale::k_arabic_bundle) << "1\tx\n";
        QCOMPARE(corvale::find_data_directory(root / "usr/bin"), root / "usr/bin");
    }

    // The build puts both help files beside the program: PDF documents of
    // several pages.
    void the_built_help_files_are_documents() {
        for (const char* name : {"help_arabic.pdf", "help_english.pdf"}) {
            QFile help(QString::fromStdString((k_bundle_dir / name).string()));
            QVERIFY2(help.open(QIODevice::ReadOnly), name);
            const QByteArray bytes = help.readAll();
            QVERIFY(bytes.startsWith("%PDF-"));
            QVERIFY(bytes.trimmed().endsWith("%%EOF"));
            const auto pages = bytes.count("/Type /Page") - bytes.count("/Type /Pages");
            QVERIFY2(pages >= 2, name);
        }
    }

    void language_commands_store_the_choice() {
        auto s = session(k_english);
        QVERIFY(s->start());
        press(s->window(), corvale::cmd_arabic);
        QCOMPARE(s->profile.read_int(corvale::k_settings_section, L"language", 0), 1);
        QCOMPARE(s->prompter.shown().back().text,
                 corvale::load_string(texts::language_restart_arabic));
        press(s->window(), corvale::cmd_english);
        QCOMPARE(s->profile.read_int(corvale::k_settings_section, L"language", 0), 2);
        // The language takes effect at the next start.
        QCOMPARE(QApplication::layoutDirection(), Qt::LeftToRight);
    }
    // OK in Preferences applies the global limits to the running downloads
    // and stores them, as Speed Limit does, stores the preferences, and a
    // new language as its menu command does; a refused value stores nothing
    // and Cancel changes nothing.
    void preferences_apply_the_limits_and_the_language() {
        auto s = session(k_english);
        QVERIFY(s->start());
        const auto limits = s->app.transfer_settings()->current().speed_limits;
        when_dialog_opens<corvale::CPreferences_dlg>([&s](corvale::CPreferences_dlg& d) {
            corvale::Speed_limit_form& form = *d.limits_form();
            form.rate_edit().setText("2");
            form.rate_unit().setCurrentIndex(1);  // MB/s
            form.hours_check()->setChecked(true);
            form.hours_edit()->setText("fast");
            d.notifications_check().setChecked(false);
            d.ok_button().click();
            QVERIFY2(d.isVisible(), "a bad hours' rate is refused");
            QCOMPARE(corvale::read_preferences(s->profile), corvale::Preferences{});
            form.hours_edit()->setText("300");
            form.from_edit()->setTime(QTime(0, 0));
            form.until_edit()->setTime(QTime(0, 1));
            d.language_box().setCurrentIndex(1);  // Arabic
            d.ok_button().click();
        });
        press(s->window(), corvale::cmd_preferences);
        const corvale::Global_limits set{2 * 1024 * 1024, {true, 300 * 1024, 0, 1}};
        QCOMPARE(limits->global(), set);
        QCOMPARE(corvale::read_global_limits(s->profile), set);
        if (corvale::local_minute_of_day() != 0) {
            QCOMPARE(s->window().limit_status_text(), QString("limit 2.0 MB/s"));
        }
        corvale::Preferences stored;
        stored.notifications = false;
        QCOMPARE(corvale::read_preferences(s->profile), stored);
        QCOMPARE(s->profile.read_int(corvale::k_settings_section, L"language", 0), 1);
        QCOMPARE(s->prompter.shown().back().text,
                 corvale::load_string(texts::language_restart_arabic));
        QCOMPARE(QApplication::layoutDirection(), Qt::LeftToRight);  // at the next start

        const std::size_t told = s->prompter.shown().size();
        when_dialog_opens<corvale::CPreferences_dlg>([](corvale::CPreferences_dlg& d) {
            QCOMPARE(d.language_box().currentIndex(), 1);
            QVERIFY(!d.notifications_check().isChecked());
            d.limits_form()->rate_edit().setText("5");
            d.tray_check().setChecked(true);
            d.language_box().setCurrentIndex(0);
            d.reject();
        });
        press(s->window(), corvale::cmd_preferences);
        QCOMPARE(limits->global(), set);
        QCOMPARE(corvale::read_global_limits(s->profile), set);
        QCOMPARE(corvale::read_preferences(s->profile), stored);
        QCOMPARE(s->profile.read_int(corvale::k_settings_section, L"language", 0), 1);
        QCOMPARE(s->prompter.shown().size(), told);
    }

    // Closing the window hides it in the tray only when there is a tray and
    // the preferences ask for it; otherwise it runs the close sequence as
    // always. Exit from the tray's menu ends the program either way.
    void closing_goes_to_the_tray_only_when_asked_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("keep_in_tray");
        QTest::newRow("no tray") << false << true;
        QTest::newRow("tray, not kept") << true << false;
        QTest::newRow("tray, kept") << true << true;
    }
    void closing_goes_to_the_tray_only_when_asked() {
        QFETCH(bool, tray);
        QFETCH(bool, keep_in_tray);
        auto s = session(k_english, sample_list());
        corvale::Preferences preferences;
        preferences.keep_in_tray = keep_in_tray;
        corvale::write_preferences(s->profile, preferences);
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QVERIFY2(window.tray() == nullptr, "no tray, no icon");
        }
        window.set_tray_check([tray] { return tray; });
        QCOMPARE(window.tray() != nullptr, tray);
        window.close();
        settle(window);
        QVERIFY(!window.isVisible());
        const bool kept = tray && keep_in_tray;
        QCOMPARE(window.control().closing(), !kept);
        if (!kept) {
            return;
        }
        // Hidden, the window keeps the program from ending when a download's
        // window closes; shown or closed for good, it no longer does.
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        corvale::Tray_icon& icon = *window.tray();
        QCOMPARE(icon.tooltip(), QString("Corvale — no downloads running"));
        icon.update_menu();
        QCOMPARE(icon.window_item().text(), QString("&Show Window"));
        QCOMPARE(icon.queue_item().text(), QString("&Start Auto Download"));
        icon.window_item().trigger();
        run_posted_events();
        QVERIFY(window.isVisible());
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        icon.update_menu();
        QCOMPARE(icon.window_item().text(), QString("&Hide Window"));
        icon.window_item().trigger();
        run_posted_events();
        QVERIFY(!window.isVisible());
        icon.exit_item().trigger();
        run_posted_events();
        settle(window);
        QVERIFY(window.control().closing());
        QVERIFY(!window.isVisible());
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    }

    // The tray's tooltip: the running downloads and, when every one knows
    // its size, the share of all their bytes that has arrived.
    void the_tray_tooltip_sums_the_running_downloads_data() {
        QTest::addColumn<QList<qlonglong>>("sizes");  // of running downloads; 0: unknown
        QTest::addColumn<QList<qlonglong>>("arrived");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QList<qlonglong>{} << QList<qlonglong>{}
                              << "Corvale — no downloads running";
        QTest::newRow("one") << QList<qlonglong>{200} << QList<qlonglong>{90}
                             << "Corvale — 1 download, 45%";
        QTest::newRow("bytes, not downloads, are summed")
            << QList<qlonglong>{100, 300} << QList<qlonglong>{100, 80}
            << "Corvale — 2 downloads, 45%";
        QTest::newRow("rounded down until every byte is there")
            << QList<qlonglong>{1000} << QList<qlonglong>{999} << "Corvale — 1 download, 99%";
        QTest::newRow("an unknown size: no percentage")
            << QList<qlonglong>{100, 0} << QList<qlonglong>{50, 7} << "Corvale — 2 downloads";
        QTest::newRow("more than announced counts as whole")
            << QList<qlonglong>{100, 100} << QList<qlonglong>{150, 0}
            << "Corvale — 2 downloads, 50%";
        QTest::newRow("files of 4 GiB and more")
            << QList<qlonglong>{6LL << 30} << QList<qlonglong>{3LL << 30}
            << "Corvale — 1 download, 50%";
    }
    void the_tray_tooltip_sums_the_running_downloads() {
        QFETCH(QList<qlonglong>, sizes);
        QFETCH(QList<qlonglong>, arrived);
        QFETCH(QString, expected);
        struct Open_window : corvale::Progress_window {
            void set_download_info(const std::wstring&, const std::wstring&, const std::wstring&,
                                   const std::wstring&, const std::wstring&) override {}
        } window;
        Scripted_prompter prompter;
        corvale::Memory_profile profile;
        corvale::Download_list list(prompter, profile);
        corvale::Download_record idle;  // not running: not counted
        idle.file_size = 10;
        list.records().push_back(idle);
        for (qsizetype i = 0; i < sizes.size(); ++i) {
            corvale::Download_record record;
            record.file_size = static_cast<std::uint64_t>(sizes[i]);
            record.downloaded = arrived[i];
            record.running = true;
            record.dlg_ptr = &window;
            list.records().push_back(record);
        }
        QCOMPARE(QString::fromStdWString(corvale::tray_tooltip(list)), expected);
    }
};

QTEST_MAIN(Window_start_test)
#include "window_start_test.moc"
