// The application's start-up and its main window, under the offscreen
// platform, with a scripted prompter and a profile of the test's own.

#include <unistd.h>
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
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
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "support/find_accessible.h"
#include "support/other_program.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/settings_profile.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/load_or_merge_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/dialogs/schedule_dlg.h"
#include "ui/tools/links_parser_dlg.h"
#include "ui/tools/update_check_dlg.h"
#include "ui/window_fixture.h"

using corvale::CTollwayApp;
using corvale::Language;
using corvale::fakehost::Fake_host;
using corvale::fakehost::Reply;
using corvale::testing::k_bundle_dir;
using corvale::testing::k_english;
using corvale::testing::press;
using corvale::testing::Scripted_prompter;
using corvale::testing::Session;
using corvale::testing::settle;
using corvale::testing::when_dialog_opens;
namespace texts = corvale::texts;

namespace {

QList<int> column_widths(QTableWidget& table) {
    QList<int> widths;
    for (int column = 0; column < table.columnCount(); ++column) {
        widths << table.columnWidth(column);
    }
    return widths;
}

QStringList headers(QTableWidget& table) {
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column) {
        texts << table.horizontalHeaderItem(column)->text();
    }
    return texts;
}

QString text(int id) {
    return QString::fromStdWString(corvale::load_string(id));
}

}  // namespace

class Main_window_test : public QObject, private corvale::testing::Window_fixture {
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
        auto s = session(language);
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        QCOMPARE(column_widths(table), widths);
        QStringList expected;
        for (int id = texts::column_title_first; id <= texts::column_title_url; ++id) {
            expected << QString::fromStdWString(corvale::load_string(id));
        }
        QCOMPARE(headers(table), expected);
        QVERIFY(table.horizontalHeader()->sectionsMovable());
        QVERIFY(table.showGrid());
        QCOMPARE(table.selectionMode(), QAbstractItemView::ExtendedSelection);
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

    void toolbar_menus_and_commands() {
        auto s = session(k_english);
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        QStringList tips;
        for (QAction* action : window.toolbar().actions()) {
            if (!action->isSeparator()) {
                tips << action->toolTip();
            }
        }
        QCOMPARE(tips.size(), 13);
        QCOMPARE(tips.front(), QString("Save downloads list"));
        QCOMPARE(tips.back(), QString("Start Links Grabber and Verifier"));
        QVERIFY(window.action(corvale::cmd_scheduler)->isCheckable());
        QVERIFY(!window.action(corvale::cmd_remove_from_auto)->isEnabled());
        // Every command works; only the toolbar's Remove From Auto Download
        // List waits for automatic downloading (the context menu's item also
        // takes rows off a queue that waits for the scheduler).
        QList<QAction*> commands = window.context_menu().actions();
        for (QMenu* menu : window.menuBar()->findChildren<QMenu*>()) {
            commands += menu->actions();
        }
        for (QAction* action : window.toolbar().actions()) {
            QCOMPARE(action->isEnabled(), action->data().toInt() != corvale::cmd_remove_from_auto);
        }
        for (QAction* action : commands) {
            if (!action->isSeparator() && action->menu() == nullptr) {
                QVERIFY(action->isEnabled());
            }
        }
        QVERIFY(window.action(corvale::cmd_download)->isEnabled());
        QVERIFY(window.action(corvale::cmd_about)->isEnabled());
        QCOMPARE(window.context_menu().actions().size(), 12);
    }

    void a_double_click_asks_to_start_that_download() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QSignalSpy started(&s->window(), &corvale::CTollwayDlg::start_download_requested);
        emit s->window().list_view_widget().cellDoubleClicked(1, 3);
        QTRY_COMPARE(started.size(), 1);
        QCOMPARE(started.front().front().toInt(), s->window().list_view().item_data(1));
    }

    void the_context_menu_opens_from_the_keyboard_at_the_current_row() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        table.setCurrentCell(1, 2);
        const QRect row = table.visualRect(table.model()->index(1, 2));
        QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                                   table.viewport()->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(table.viewport(), &menu_key);
        QMenu& menu = s->window().context_menu();
        QTRY_VERIFY(menu.isVisible());
        QVERIFY2(table.viewport()->mapFromGlobal(menu.pos()).y() >= row.top(),
                 "at the current row, not at the top of the list");
        menu.hide();
        s->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s->window()));
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu.isVisible());
        menu.hide();
    }

    void a_download_can_be_driven_through_accessibility_alone() {
        auto s = download_session(Reply{200, "accessible"});
        QVERIFY(s);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&s->window());
        QVERIFY(window != nullptr);
        QAccessibleInterface* row =
            corvale::testing::find_accessible(window, QAccessible::Cell, "a.zip");
        QVERIFY2(row != nullptr, "the file name's cell");
        QVERIFY(row->actionInterface() != nullptr);
        row->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QAccessibleInterface* start = corvale::testing::find_accessible(
            window, QAccessible::Button, "Start selected download(s)");
        QVERIFY2(start != nullptr, "the toolbar button, named by its tooltip");
        start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QAccessibleTableCellInterface* cell = row->tableCellInterface();
        QVERIFY(cell != nullptr);
        QAccessibleInterface* status =
            cell->table()->tableInterface()->cellAt(cell->rowIndex(), corvale::col_status);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(QAccessible::Name),
                                  QString("Finished Downloading File"), 20000);
        // The progress window's values are named by their labels.
        QAccessibleInterface* progress =
            QAccessible::queryAccessibleInterface(s->window().progress_window(0));
        QVERIFY(corvale::testing::find_accessible(progress, QAccessible::StaticText, "Status:") !=
                nullptr);
        QCOMPARE(corvale::testing::file_bytes(file("a.zip")), std::string("accessible"));
    }

    void the_delete_key_deletes_the_selected_downloads() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        table.selectionModel()->select(
            table.model()->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        s->prompter.answer(true);  // confirm_delete
        QTest::keyClick(&table, Qt::Key_Delete);
        QTRY_COMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(QString::fromStdWString(s->prompter.shown().back().text),
                 QString::fromStdWString(corvale::load_string(texts::confirm_delete)));
        QVERIFY2(!table.isEnabled(), "busy until the deletion's wait ends");
        QTRY_COMPARE(table.rowCount(), 1);
        QVERIFY(table.isEnabled());
        QCOMPARE(table.item(0, corvale::col_file_name)->text(), QString("b.zip"));
        QCOMPARE(table.item(0, corvale::col_number)->text(), QString("2"));  // its own number
    }

    // A link of a loaded list that no request can be made of (another
    // scheme, a bad port), or a name that would leave the folder, is refused
    // in its window as the Add dialog refuses it; the window then closes
    // with nothing created.
    void a_link_or_name_that_cannot_be_used_is_refused_in_its_window() {
        std::filesystem::create_directory(file("sub"));
        auto s =
            session(k_english, write_list("bad.zrv", {{L"x.zip", L"", L"http://host:99999/x.zip"},
                                                      {L"y.zip", L"", L"ftp://host/y.zip"},
                                                      {L"sub/e.bin", L"", L"http://host/e.bin"}}));
        QVERIFY(s->start());
        QCOMPARE(cell(*s, 2, corvale::col_status), text(texts::invalid_file_name));
        run_command(*s, corvale::cmd_download, {0, 1, 2});
        const std::pair<std::int32_t, int> refusals[] = {
            {0, texts::invalid_url}, {1, texts::invalid_url}, {2, texts::invalid_file_name}};
        for (const auto& [number, message] : refusals) {
            QTRY_VERIFY(s->window().progress_window(number) != nullptr);
            corvale::CDownload_dlg* window = s->window().progress_window(number);
            QVERIFY2(window->isEnabled() && !window->running(), "no file, no worker");
            QCOMPARE(window->value_text(corvale::texts::label_status), text(message));
            QCOMPARE(window->cancel_button().text(), text(texts::close_caption));
            window->cancel_button().click();
            QTRY_VERIFY(s->window().progress_window(number) == nullptr);
        }
        QVERIFY2(!std::filesystem::exists(file("x.zip")) &&
                     !std::filesystem::exists(file("y.zip")) &&
                     std::filesystem::is_empty(file("sub")),
                 "nothing was created");
        QVERIFY(s->prompter.shown().empty());
    }

    void add_puts_a_checked_download_into_the_list() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        const QString folder_text = dir_.path();
        when_dialog_opens<corvale::Add_new_download_dlg>([&](corvale::Add_new_download_dlg& d) {
            d.url_edit().setText("rapidshare.com/files/333/c.zip");
            d.folder_edit().setText(folder_text);
            d.same_as_url_button().click();
            d.description_edit().setText("third");
            d.ok_button().click();
        });
        press(s->window(), corvale::cmd_add_download);
        QTableWidget& table = s->window().list_view_widget();
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(cell(*s, 2, corvale::col_file_name), QString("c.zip"));
        QCOMPARE(cell(*s, 2, corvale::col_url), QString("http://rapidshare.com/files/333/c.zip"));
        QVERIFY(s->app.download_list()->modified());
    }

    void edit_of_several_rows_skips_a_running_one() {
        auto s =
            download_session(Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(s->window().progress_window(0) != nullptr, 20000);
        QString first_description;
        when_dialog_opens<corvale::Modify_download_properties>(
            [&](corvale::Modify_download_properties& d) {
                first_description = d.description_edit().text();
                d.description_edit().setText("changed");
                d.ok_button().click();
            });
        run_command(*s, corvale::cmd_edit, {0, 1});
        QCOMPARE(first_description, QString("first"));
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown()[0].text, corvale::load_string(texts::running_not_editable));
        QCOMPARE(cell(*s, 0, corvale::col_description), QString("first"));
        QCOMPARE(cell(*s, 1, corvale::col_description), QString("changed"));
        s->window().progress_window(0)->stop_quietly();
    }

    // Several rows: the fields start with the first row's folder and
    // description, and only a field the user changed goes to every row.
    void edit_of_several_rows_applies_only_changed_fields() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        const QString other_folder = dir_.filePath("sub");
        QVERIFY(QDir().mkpath(other_folder));
        when_dialog_opens<corvale::Modify_download_properties>(
            [](corvale::Modify_download_properties& d) { d.ok_button().click(); });
        run_command(*s, corvale::cmd_edit, {0, 1});
        QCOMPARE(cell(*s, 0, corvale::col_description), QString("first"));
        QCOMPARE(cell(*s, 1, corvale::col_description), QString("second"));
        when_dialog_opens<corvale::Modify_download_properties>(
            [&](corvale::Modify_download_properties& d) {
                d.folder_edit().setText(other_folder);
                d.ok_button().click();
            });
        run_command(*s, corvale::cmd_edit, {0, 1});
        QCOMPARE(cell(*s, 0, corvale::col_save_in), other_folder);
        QCOMPARE(cell(*s, 1, corvale::col_save_in), other_folder);
        QCOMPARE(cell(*s, 1, corvale::col_description), QString("second"));
    }

    // Progress windows open in a cascade; a double-click on a row whose
    // download has its window brings that window up instead of starting.
    void progress_windows_cascade_and_come_up_on_a_double_click() {
        const Reply slow{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)};
        auto s = download_session(slow, slow);
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0, 1});
        QTRY_VERIFY_WITH_TIMEOUT(s->window().control().open_windows() == 2, 20000);
        corvale::CDownload_dlg* first = s->window().progress_window(0);
        corvale::CDownload_dlg* second = s->window().progress_window(1);
        QVERIFY(first->pos() != second->pos());
        first->showMinimized();
        QSignalSpy started(&s->window(), &corvale::CTollwayDlg::start_download_requested);
        emit s->window().list_view_widget().cellDoubleClicked(0, 2);
        settle(s->window());
        QVERIFY(!(first->windowState() & Qt::WindowMinimized));
        QVERIFY(first->isVisible());
        QCOMPARE(started.size(), 0);
        s->window().control().stop_all();
        QTRY_COMPARE(s->window().control().open_windows(), std::size_t(0));
    }

    // Load List answered Yes to confirm_save_list goes on only when the list was saved:
    // a cancelled Save As keeps the list and asks for no file to load.
    void load_stops_when_the_list_was_not_saved() {
        std::vector<int> titles;
        auto s = session(k_english, sample_list());
        s->app.set_list_file_chooser([&](QWidget*, int title, bool) {
            titles.push_back(title);
            return std::optional<std::wstring>();
        });
        QVERIFY(s->start());
        s->app.download_list()->set_list_path(L"");
        s->app.download_list()->set_modified(true);
        s->prompter.answer(true);  // confirm_save_list: save it
        when_dialog_opens<corvale::CLoad_or_merge_dlg>(
            [](corvale::CLoad_or_merge_dlg& d) { d.load_button().click(); });
        press(s->window(), corvale::cmd_load_list);
        QCOMPARE(titles, std::vector<int>{texts::save_list_as_title});
        QCOMPARE(s->window().list_view_widget().rowCount(), 2);
        QVERIFY(s->app.download_list()->modified());
    }

    // A file that holds no list (given on the command line, or too big) is
    // said to be refused, and Save then asks where instead of writing over it.
    void a_file_that_holds_no_list_is_never_saved_over() {
        std::vector<int> titles;
        auto s = session(k_english);
        s->app.set_list_file_chooser([&](QWidget*, int title, bool) {
            titles.push_back(title);
            return std::optional<std::wstring>();
        });
        const std::filesystem::path thesis = file("thesis.txt");
        std::ofstream(thesis) << "Chapter one\n";
        QVERIFY(s->start(k_bundle_dir, thesis));
        settle(s->window());
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QVERIFY(s->prompter.shown()[0].text.find(L"holds no download list") != std::wstring::npos);
        QCOMPARE(s->window().windowTitle(), QString("Corvale"));
        press(s->window(), corvale::cmd_save_list);
        QCOMPARE(titles, std::vector<int>{texts::save_list_as_title});
        QCOMPARE(corvale::testing::file_bytes(thesis), std::string("Chapter one\n"));
    }

    // A second list file of one download, c.zip.
    std::wstring other_list() {
        return write_list("other.zrv",
                          {{L"c.zip", L"third", L"http://rapidshare.com/files/333/c.zip"}});
    }

    void load_merge_and_save_as_through_the_file_chooser() {
        const std::wstring other = other_list();
        std::optional<std::wstring> chosen;
        std::vector<int> titles;
        script_downloads(Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
        auto s = fast_session();
        s->app.set_list_file_chooser([&](QWidget*, int title, bool) {
            titles.push_back(title);
            return chosen;
        });
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();

        // Merge: the other list's record comes after the last old one.
        chosen = other;
        when_dialog_opens<corvale::CLoad_or_merge_dlg>(
            [](corvale::CLoad_or_merge_dlg& d) { d.merge_button().click(); });
        press(s->window(), corvale::cmd_load_list);
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(cell(*s, 2, corvale::col_file_name), QString("c.zip"));
        QCOMPARE(titles.back(), texts::merge_list_title);

        // Load with a modified list and a running download: confirm_save_list (No), then
        // the download stops without confirm_stop_running, and the new list shows.
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(s->app.download_list()->count_running() == 1, 20000);
        s->prompter.clear();
        s->prompter.answer(false);
        when_dialog_opens<corvale::CLoad_or_merge_dlg>(
            [](corvale::CLoad_or_merge_dlg& d) { d.load_button().click(); });
        press(s->window(), corvale::cmd_load_list);
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown()[0].text, corvale::load_string(texts::confirm_save_list));
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(cell(*s, 0, corvale::col_file_name), QString("c.zip"));
        QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(other));
        QTRY_VERIFY(s->window().control().open_windows() == 0);

        // A cancelled Load or Merge leaves the list, its path and its title.
        chosen.reset();
        for (const bool merge : {false, true}) {
            when_dialog_opens<corvale::CLoad_or_merge_dlg>([merge](corvale::CLoad_or_merge_dlg& d) {
                (merge ? d.merge_button() : d.load_button()).click();
            });
            press(s->window(), corvale::cmd_load_list);
            QCOMPARE(table.rowCount(), 1);
            QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(other));
            QCOMPARE(s->app.download_list()->list_path(), other);
        }

        // Save As into a folder that does not exist keeps the title.
        chosen = dir_.filePath("none/x.zrv").toStdWString();
        press(s->window(), corvale::cmd_save_list_as);
        QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(other));
        QCOMPARE(titles.back(), texts::save_list_as_title);
    }

    // Save As through Qt's own file dialog: a name without ".zrv" gets it,
    // and an existing file is replaced only after the dialog's question.
    void save_as_asks_before_replacing_a_file() {
        const std::wstring list_path = sample_list();
        auto s = session(k_english, list_path);
        QVERIFY(s->start());
        const QString existing = dir_.filePath("kept.zrv");
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        const QString title = s->window().windowTitle();
        for (const bool replace : {false, true}) {
            bool asked = false;
            when_dialog_opens<QFileDialog>([&](QFileDialog& d) {
                QCOMPARE(d.windowTitle(),
                         QString::fromStdWString(corvale::load_string(texts::save_list_as_title)));
                d.setDirectory(dir_.path());
                d.findChild<QLineEdit*>("fileNameEdit")->setText("kept");
                QTimer::singleShot(0, [&] {
                    auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    QVERIFY(question != nullptr);
                    asked = true;
                    question->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                });
                static_cast<QDialog&>(d).accept();  // as the Save button does
                if (d.isVisible()) {
                    d.reject();
                }
            });
            press(s->window(), corvale::cmd_save_list_as);
            QVERIFY(asked);
            QFile after(existing);
            QVERIFY(after.open(QIODevice::ReadOnly));
            if (replace) {
                QVERIFY(after.readAll() != "old");
                QCOMPARE(s->window().windowTitle(), "Corvale    " + existing);
            } else {
                QCOMPARE(after.readAll(), QByteArray("old"));
                QCOMPARE(s->window().windowTitle(), title);
            }
        }
    }

    // A list file that another program holds, as the last list at start-up
    // or loaded over an open list: Yes opens it read-only (Save then asks
    // where), No leaves the list that was there, with its file still held.
    void a_list_another_program_holds_opens_read_only() {
        QFETCH(bool, at_start);
        QFETCH(bool, yes);
        const std::wstring held = sample_list();
        const std::wstring mine = other_list();
        corvale::testing::Lock_holder other_program(corvale::to_path(held));
        QVERIFY(other_program.locked());
        const auto held_here = [](const std::wstring& path) {
            return !corvale::testing::Lock_holder(corvale::to_path(path)).locked();
        };
        std::vector<int> titles;
        const std::wstring elsewhere = dir_.filePath("elsewhere.zrv").toStdWString();
        auto s = session(k_english, at_start ? held : mine);
        s->app.set_list_file_chooser([&](QWidget*, int title, bool) {
            titles.push_back(title);
            return std::optional<std::wstring>(elsewhere);
        });
        s->prompter.answer(yes);
        QVERIFY(s->start());
        if (!at_start) {
            s->window().open_list_file(held);
        }
        settle(s->window());
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown()[0].text,
                 corvale::format_message(texts::open_read_only, {corvale::embed_data(held)}));
        const std::wstring shown = yes ? held : at_start ? L"" : mine;
        QCOMPARE(s->window().list_view_widget().rowCount(), yes ? 2 : at_start ? 0 : 1);
        QCOMPARE(s->window().windowTitle(), shown.empty()
                                                ? QString("Corvale")
                                                : "Corvale    " + QString::fromStdWString(shown));
        if (!at_start) {
            QCOMPARE(held_here(mine), !yes);
        }
        if (!yes) {
            return;
        }
        const std::string bytes = corvale::testing::file_bytes(corvale::to_path(held));
        press(s->window(), corvale::cmd_save_list);
        QCOMPARE(titles, std::vector<int>{texts::save_list_as_title});
        QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(elsewhere));
        QVERIFY(held_here(elsewhere));
        QVERIFY(corvale::testing::file_bytes(corvale::to_path(held)) == bytes);
    }
    void a_list_another_program_holds_opens_read_only_data() {
        QTest::addColumn<bool>("at_start");
        QTest::addColumn<bool>("yes");
        QTest::newRow("start-up, Yes") << true << true;
        QTest::newRow("start-up, No") << true << false;
        QTest::newRow("over another list, Yes") << false << true;
        QTest::newRow("over another list, No") << false << false;
    }

    // Save into a list file the user may not write: save_delete_failed, then Save As is
    // offered; the file stays as it was, mode and all.
    void saving_over_a_read_only_list_file_offers_save_as() {
        QFETCH(bool, yes);
        const std::wstring list = sample_list();
        const std::filesystem::path list_file = corvale::to_path(list);
        auto s = session(k_english, list);
        std::vector<int> titles;
        const std::wstring elsewhere = dir_.filePath("elsewhere.zrv").toStdWString();
        s->app.set_list_file_chooser([&](QWidget*, int title, bool) {
            titles.push_back(title);
            return std::optional<std::wstring>(elsewhere);
        });
        QVERIFY(s->start());
        const auto read_only = std::filesystem::perms::owner_read |
                               std::filesystem::perms::group_read |
                               std::filesystem::perms::others_read;
        std::filesystem::permissions(list_file, read_only);
        const std::string bytes = corvale::testing::file_bytes(list_file);
        s->app.download_list()->set_modified(true);
        s->prompter.answer(yes);
        const corvale::testing::Without_override as_a_user;
        press(s->window(), corvale::cmd_save_list);
        const std::vector<Scripted_prompter::Shown> expected = {
            {false, corvale::load_string(texts::save_delete_failed)},
            {true, corvale::load_string(texts::save_elsewhere)}};
        QVERIFY(s->prompter.shown() == expected);
        QCOMPARE(titles, yes ? std::vector<int>{texts::save_list_as_title} : std::vector<int>{});
        QVERIFY(corvale::testing::file_bytes(list_file) == bytes);
        QCOMPARE(std::filesystem::status(list_file).permissions(), read_only);
        QCOMPARE(s->window().windowTitle(),
                 "Corvale    " + QString::fromStdWString(yes ? elsewhere : list));
        QCOMPARE(s->app.download_list()->modified(), !yes);
    }
    void saving_over_a_read_only_list_file_offers_save_as_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes: saved elsewhere") << true;
        QTest::newRow("No: nothing more") << false;
    }

    void the_scheduler_button_arms_and_cancels_a_schedule() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QAction& button = *s->window().action(corvale::cmd_scheduler);
        // A start in the past is refused (start_passed) and the dialog stays; Cancel
        // then unchecks the button.
        bool stayed_open = false;
        when_dialog_opens<corvale::CSchedule_dlg>([&](corvale::CSchedule_dlg& d) {
            d.start_date().setDate(QDate(2001, 1, 1));
            d.ok_button().click();
            stayed_open = d.isVisible();
            d.reject();
        });
        button.trigger();
        settle(s->window());
        QVERIFY(stayed_open);
        QCOMPARE(s->prompter.shown().back().text, corvale::load_string(texts::start_passed));
        QVERIFY(!button.isChecked());
        // A valid schedule: the button stays checked, queued rows wait.
        when_dialog_opens<corvale::CSchedule_dlg>([&](corvale::CSchedule_dlg& d) {
            d.start_date().setDate(QDate::currentDate().addDays(1));
            d.stop_date().setDate(QDate::currentDate().addDays(2));
            d.ok_button().click();
        });
        button.trigger();
        settle(s->window());
        QVERIFY(button.isChecked());
        // The pending start is said in the button's tooltip and the status line.
        QVERIFY(s->window().status_text().startsWith("Downloads start at "));
        QVERIFY(button.toolTip().endsWith(s->window().status_text()));
        s->window().show_next_tip();
        QVERIFY2(s->window().status_text().startsWith("Downloads start at "), "no tip over it");
        run_command(*s, corvale::cmd_add_to_auto, {0});
        QCOMPARE(s->window().control().queue().size(), std::size_t(1));
        QVERIFY2(!s->window().control().automatic_active(), "queued only while the start waits");
        button.trigger();
        settle(s->window());  // switched off
        QVERIFY(!button.isChecked());
        QCOMPARE(button.toolTip(), text(texts::tooltip_scheduler));
        QVERIFY(!s->window().status_text().startsWith("Downloads start at "));
        run_command(*s, corvale::cmd_add_to_auto, {1});
        QVERIFY2(s->window().control().automatic_active(), "no schedule waits any more");
        s->window().control().cancel_automatic();
    }

    // Against the clock: the queue starts at the start instant with the rows
    // selected then, and at the stop instant automatic downloading is
    // cancelled and every download stops, with message stopped_by_timer once.
    void a_schedule_starts_and_stops_downloads_on_time() {
        const Reply slow{.pattern_size = 80000000, .pace = std::chrono::milliseconds(20)};
        auto s = download_session(slow, slow);
        QVERIFY(s);
        s->window().start_poll_timer().setInterval(50);
        QAction& button = *s->window().action(corvale::cmd_scheduler);
        const QDateTime start = QDateTime::currentDateTime().addSecs(2);
        const QDateTime stop = start.addSecs(2);
        when_dialog_opens<corvale::CSchedule_dlg>([&](corvale::CSchedule_dlg& d) {
            d.start_date().setDate(start.date());
            d.start_time().setTime(start.time());
            d.stop_date().setDate(stop.date());
            d.stop_time().setTime(stop.time());
            d.ok_button().click();
        });
        button.trigger();
        settle(s->window());
        QVERIFY(button.isChecked());
        select_rows(s->window().list_view_widget(), {0, 1});
        QVERIFY(!s->window().control().automatic_active());

        QTRY_VERIFY_WITH_TIMEOUT(s->window().control().automatic_active(), 5000);
        QVERIFY(QDateTime::currentDateTime() >= start.addMSecs(-1000));
        QVERIFY2(!button.isChecked(), "nothing waits for a start any more");
        QCOMPARE(cell(*s, 0, corvale::col_auto), QString("@"));
        QCOMPARE(cell(*s, 1, corvale::col_auto), QString("@"));
        QTRY_VERIFY(s->window().control().open_windows() == 1);

        const auto stopped = QString::fromStdWString(corvale::load_string(texts::stopped_by_timer));
        const auto shown_249 = [&] {
            return std::count_if(
                s->prompter.shown().begin(), s->prompter.shown().end(),
                [&](const auto& m) { return QString::fromStdWString(m.text) == stopped; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(shown_249(), 1, 6000);
        QVERIFY(QDateTime::currentDateTime() >= stop.addMSecs(-1000));
        QTRY_COMPARE(s->window().control().open_windows(), std::size_t(0));
        QVERIFY(!s->window().control().automatic_active());
        QCOMPARE(cell(*s, 0, corvale::col_auto), QString(""));
        QCOMPARE(cell(*s, 1, corvale::col_auto), QString(""));
        QTest::qWait(200);
        QCOMPARE(shown_249(), 1);
    }

    void a_manual_download_runs_end_to_end() {
        auto s = download_session(Reply{.pattern_size = 300000});
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_COMPARE_WITH_TIMEOUT(cell(*s, 0, corvale::col_status),
                                  QString("Finished Downloading File"), 20000);
        corvale::CDownload_dlg* window = s->window().progress_window(0);
        QVERIFY(window != nullptr);
        QVERIFY2(window->isVisible() && window->parent() == nullptr, "a top-level window");
        QCOMPARE(window->cancel_button().text(), QString("Close"));
        QCOMPARE(window->windowTitle(), QString("100% of a.zip"));
        QCOMPARE(window->progress_bar().value(), 1000);
        QCOMPARE(window->value_text(corvale::texts::label_status),
                 QString("Finished Downloading File"));
        QCOMPARE(window->value_text(corvale::texts::label_file_size), QString("293.0 KB"));
        QCOMPARE(window->value_text(corvale::texts::label_saved_in),
                 QString::fromStdString(file("a.zip").string()));
        QCOMPARE(cell(*s, 0, corvale::col_size), QString("293.0 KB"));
        QCOMPARE(cell(*s, 0, corvale::col_retries), QString("0"));
        QVERIFY(corvale::testing::file_bytes(file("a.zip")) ==
                corvale::fakehost::pattern_bytes(0, 300000));
        QVERIFY(s->app.download_list()->modified());
        // Resizing: the height is fixed, the width never below the first one.
        QCOMPARE(window->minimumHeight(), window->maximumHeight());
        QCOMPARE(window->minimumWidth(), window->width());
        window->cancel_button().click();
        QTRY_VERIFY(s->window().progress_window(0) == nullptr);
        QVERIFY2(std::filesystem::exists(file("a.zip")), "Close keeps a finished file");
        QVERIFY(s->prompter.shown().empty());
    }

    // Sent without a length: the row and the window show the bytes received,
    // and the end is 100 %, not the 0 % that no length would give.
    void a_download_without_a_length_ends_at_its_size() {
        auto s = download_session(Reply{.pattern_size = 300000, .content_length = false});
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_COMPARE_WITH_TIMEOUT(cell(*s, 0, corvale::col_status),
                                  QString("Finished Downloading File"), 20000);
        corvale::CDownload_dlg* window = s->window().progress_window(0);
        QCOMPARE(window->windowTitle(), QString("100% of a.zip"));
        QCOMPARE(window->progress_bar().maximum(), 1000);
        QCOMPARE(window->progress_bar().value(), 1000);
        QCOMPARE(window->value_text(corvale::texts::label_file_size), QString("293.0 KB"));
        QCOMPARE(cell(*s, 0, corvale::col_progress), QString("293.0 KB"));
        QCOMPARE(cell(*s, 0, corvale::col_size), QString("293.0 KB"));
        window->cancel_button().click();
        QTRY_VERIFY(s->window().progress_window(0) == nullptr);
    }

    void cancel_asks_whether_to_keep_the_partial_file_data() {
        QTest::addColumn<bool>("keep");
        QTest::newRow("Yes keeps it") << true;
        QTest::newRow("No deletes it") << false;
    }
    void cancel_asks_whether_to_keep_the_partial_file() {
        QFETCH(bool, keep);
        auto s =
            download_session(Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(
            std::filesystem::exists(file("a.zip")) && std::filesystem::file_size(file("a.zip")) > 0,
            20000);
        corvale::CDownload_dlg* window = s->window().progress_window(0);
        QVERIFY(window != nullptr && window->running());
        s->prompter.answer(keep);
        window->cancel_button().click();
        QTRY_VERIFY(s->window().progress_window(0) == nullptr);
        QCOMPARE(s->prompter.shown().back().text, corvale::load_string(texts::keep_partial_file));
        QCOMPARE(std::filesystem::exists(file("a.zip")), keep);
        if (keep) {
            // The kept file holds every byte the row counted.
            QCOMPARE(static_cast<std::uintmax_t>(s->app.download_list()->find(0)->downloaded),
                     std::filesystem::file_size(file("a.zip")));
        }
        QCOMPARE(cell(*s, 0, corvale::col_speed), QString());
        QCOMPARE(cell(*s, 0, corvale::col_time_left), QString());
        QVERIFY(!s->app.download_list()->find(0)->running);
        std::filesystem::remove(file("a.zip"));
    }

    void closing_stops_running_downloads_and_waits() {
        const Reply slow{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)};
        auto s = download_session(slow, slow);
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0, 1});
        QTRY_VERIFY_WITH_TIMEOUT(s->app.download_list()->count_running() == 2 &&
                                     std::filesystem::exists(file("b.zip")) &&
                                     std::filesystem::file_size(file("b.zip")) > 0,
                                 20000);
        s->app.download_list()->set_modified(false);
        s->prompter.answer(true);
        QVERIFY2(!s->window().close(), "the window waits for the downloads");
        QCOMPARE(QString::fromStdWString(s->prompter.shown().back().text),
                 QString("2 downloads are running,\n are you sure you want to stop downloads?"));
        QVERIFY(!s->window().list_view_widget().isEnabled());
        QTRY_VERIFY(!s->window().isVisible());
        QVERIFY(s->window().progress_window(0) == nullptr);
        QVERIFY2(std::filesystem::exists(file("b.zip")), "a stopped download keeps its data");
    }

    void closing_asks_to_save_a_modified_list() {
        auto s = session(k_english);
        QVERIFY(s->start());
        s->app.download_list()->set_modified(true);
        s->prompter.answer_cancel(true);
        QVERIFY2(!s->window().close(), "Cancel keeps the window");
        s->prompter.answer_cancel(false);
        s->prompter.answer(false);
        QVERIFY2(s->window().close(), "No closes without saving");
        QCOMPARE(s->prompter.shown().size(), std::size_t(2));
        QCOMPARE(QString::fromStdWString(s->prompter.shown()[0].text),
                 QString("Download list has not beed saved. Do you want to save it?"));
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

    // A started session on an empty list whose page fetches wait 1 ms
    // between attempts, with the links grabber open.
    std::unique_ptr<Session> grabber_session() {
        auto s = session(k_english);
        s->app.set_worker_timing(corvale::Worker_timing{std::chrono::milliseconds(1), {}});
        if (!s->start()) {
            return nullptr;
        }
        press(s->window(), corvale::cmd_links_grabber);
        return s;
    }
    static QString grabbed(corvale::Links_parser_dlg& grabber, int row, int column) {
        return grabber.links_list().item(row, column)->text();
    }
    void serve_grab_pages() {
        scenario_.page("/grab.html",
                       Reply{200,
                             "<a href='http://rapidshare.com/files/1/a.zip'>a</a>\n"
                             "<A HREF=\"http://RapidShare.com/files/2/b.zip\">b</A>\n"
                             "rapidshare.com/files/3/c.zip rapidshare.com/files/4/d.zip"});
        scenario_.page("/files/1/a.zip", Reply{200, "x=\"#!download|s|1|a.zip|10 MB\";"});
        scenario_.page("/files/2/b.zip", Reply{200, "ERROR: File not found"});
        scenario_.page("/files/3/c.zip", Reply{200, "Premium x=\"#!download|s|3|c.zip|1 KB\";"});
        scenario_.page("/files/4/d.zip", Reply{500, "broken"});
    }

    // Grab a page, verify every link, and add the verified one: the whole
    // round through the grabber against the local file host.
    void the_links_grabber_grabs_verifies_and_adds() {
        serve_grab_pages();
        auto s = grabber_session();
        QVERIFY(s);
        QTRY_VERIFY(s->window().links_grabber() != nullptr);
        corvale::Links_parser_dlg& grabber = *s->window().links_grabber();
        QVERIFY(!s->window().action(corvale::cmd_links_grabber)->isEnabled());
        QVERIFY(grabber.isVisible());
        QCOMPARE(grabber.parentWidget(), nullptr);

        grabber.page_url_edit().setText("somewhere.example/grab.html");
        grabber.get_links_button().click();
        QCOMPARE(grabber.get_links_button().text(), text(texts::cancel_get_links));
        QVERIFY(!grabber.verify_button().isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(grabber.status_text(), text(texts::links_grabbed), 20000);
        QCOMPARE(grabber.get_links_button().text(), text(texts::get_links));
        QTableWidget& links = grabber.links_list();
        QCOMPARE(links.rowCount(), 4);
        // The anchors first, then the plain links (the single-quoted anchor's
        // link among them).
        QCOMPARE(grabbed(grabber, 0, corvale::gcol_link),
                 QString("http://rapidshare.com/files/2/b.zip"));
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_link),
                 QString("http://rapidshare.com/files/1/a.zip"));
        QCOMPARE(grabbed(grabber, 3, corvale::gcol_number), QString("4"));

        select_rows(links, {0, 1, 2, 3});
        grabber.verify_button().click();
        QCOMPARE(grabber.verify_button().text(), text(texts::cancel_verify));
        // The list refuses selection changes while verifying.
        links.selectRow(0);
        QCOMPARE(links.selectionModel()->selectedRows().size(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(grabber.verify_button().text(), text(texts::verify), 20000);
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_status), text(texts::verified_link));
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_file_name), QString("a.zip"));
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_size), QString("10 MB"));
        QCOMPARE(grabbed(grabber, 0, corvale::gcol_status), text(texts::file_not_found));
        QCOMPARE(grabbed(grabber, 2, corvale::gcol_status), text(texts::premium_required));
        QVERIFY2(!grabbed(grabber, 3, corvale::gcol_status).isEmpty() &&
                     grabbed(grabber, 3, corvale::gcol_status) != text(texts::verified_link),
                 "a failed fetch keeps its failure text");
        QCOMPARE(grabbed(grabber, 3, corvale::gcol_retries), QString("2"));
        QCOMPARE(links.selectionModel()->selectedRows().size(), 1);
        QVERIFY(links.selectionModel()->isRowSelected(1, QModelIndex()));

        // Add: a missing folder is refused (invalid_save_folder), then the verified link
        // arrives with the chosen folder and description.
        grabber.folder_edit().setText(dir_.filePath("missing"));
        grabber.add_button().click();
        QCOMPARE(s->prompter.shown().back().text, corvale::load_string(texts::invalid_save_folder));
        QCOMPARE(s->window().list_view_widget().rowCount(), 0);
        // Browse puts the chosen folder in; a cancelled choice changes nothing.
        grabber.set_folder_chooser([this](QWidget*) { return std::optional(folder()); });
        grabber.browse_button().click();
        QCOMPARE(grabber.folder_edit().text(), dir_.path());
        grabber.set_folder_chooser([](QWidget*) { return std::optional<std::wstring>(); });
        grabber.browse_button().click();
        QCOMPARE(grabber.folder_edit().text(), dir_.path());
        grabber.description_edit().setText("grabbed");
        grabber.add_button().click();
        QCOMPARE(s->window().list_view_widget().rowCount(), 1);
        QCOMPARE(cell(*s, 0, corvale::col_file_name), QString("a.zip"));
        QCOMPARE(cell(*s, 0, corvale::col_description), QString("grabbed"));
        QCOMPARE(cell(*s, 0, corvale::col_url), QString("http://rapidshare.com/files/1/a.zip"));
        QVERIFY(links.selectionModel()->selectedRows().isEmpty());
        // The same link again: the duplicate rules answer (add_same_download), nothing added.
        select_rows(links, {1});
        s->prompter.clear();
        grabber.add_button().click();
        QCOMPARE(s->window().list_view_widget().rowCount(), 1);
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));

        // Closing (Escape): the grabber goes and its button comes back.
        QTest::keyClick(&grabber, Qt::Key_Escape);
        QTRY_VERIFY(s->window().links_grabber() == nullptr);
        QVERIFY(s->window().action(corvale::cmd_links_grabber)->isEnabled());
    }

    void the_links_grabber_pastes_cancels_and_asks_before_closing() {
        scenario_.page("/slow.html", Reply{.pace = std::chrono::milliseconds(50), .endless = true});
        scenario_.page("/files/9/slow.zip",
                       Reply{.pace = std::chrono::milliseconds(50), .endless = true});
        auto s = grabber_session();
        QVERIFY(s);
        QTRY_VERIFY(s->window().links_grabber() != nullptr);
        corvale::Links_parser_dlg& grabber = *s->window().links_grabber();

        // Paste: two links back to back are two items.
        QGuiApplication::clipboard()->setText(
            "see HTTP://rapidshare.com/files/9/slow.ziphttp://rapidshare.com/files/8/x.zip");
        grabber.paste_button().click();
        QCOMPARE(grabber.links_list().rowCount(), 2);
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_link),
                 QString("http://rapidshare.com/files/8/x.zip"));

        // Get Links pressed again cancels the fetch.
        grabber.page_url_edit().setText("http://somewhere.example/slow.html");
        grabber.get_links_button().click();
        QTRY_VERIFY(!grabber.status_text().startsWith("."));
        grabber.get_links_button().click();
        QCOMPARE(grabber.status_text(), text(texts::get_links_cancelled));
        QCOMPARE(grabber.retries_text(), QString("0"));
        QCOMPARE(grabber.get_links_button().text(), text(texts::get_links));
        QTest::qWait(100);
        QCOMPARE(grabber.status_text(), text(texts::get_links_cancelled));
        QCOMPARE(grabber.links_list().rowCount(), 2);

        // Closing while verifying asks confirm_cancel_verification: No stays, Yes cancels and
        // closes.
        select_rows(grabber.links_list(), {0});
        grabber.verify_button().click();
        s->prompter.answer(false);
        grabber.close_button().click();
        QCOMPARE(s->prompter.shown().back().text,
                 corvale::load_string(texts::confirm_cancel_verification));
        QVERIFY(grabber.isVisible());
        QVERIFY(s->window().links_grabber() != nullptr);
        s->prompter.answer(true);
        grabber.close_button().click();
        QTRY_VERIFY(s->window().links_grabber() == nullptr);
    }

    void the_update_window_reports_each_outcome_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("latest");
        const QByteArray mark("\xFF\xFE", 2);
        const auto utf16 = [&](const QString& text) {
            return mark + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        QTest::newRow("available") << utf16("1.2.0.3\r\nMay\r\nNew things") << 200
                                   << text(texts::update_available) << "1.2.0.3";
        QTest::newRow("none") << utf16("1.2.0.2\r\nMay") << 200 << text(texts::no_update)
                              << "1.2.0.2";
        QTest::newRow("HTTP error") << QByteArray("no") << 404 << QString() << "....";
        QTest::newRow("too large") << QByteArray(10240, 'x') << 200 << QString() << "....";
    }
    void the_update_window_reports_each_outcome() {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, verdict);
        QFETCH(QString, latest);
        scenario_.page("/corvale/version_a.txt", Reply{.status = status,
                                                       .body = body.toStdString(),
                                                       .delay = std::chrono::milliseconds(300)});
        auto s = session(k_english);
        QVERIFY(s->start());
        press(s->window(), corvale::cmd_check_updates_menu);
        QTRY_VERIFY(s->window().update_window() != nullptr);
        corvale::Update_check_dlg& update = *s->window().update_window();
        QVERIFY(!s->window().action(corvale::cmd_check_updates_menu)->isEnabled());
        QCOMPARE(update.current_version(), QString("1.2.0.2"));
        QCOMPARE(update.latest_version(), QString("...."));

        QSignalSpy ended(&update, &corvale::Update_check_dlg::check_ended);
        update.check_button().click();
        QCOMPARE(update.status_text(), text(texts::connecting_for_update));
        QVERIFY(!update.exit_button().isEnabled());
        // Closing is refused while the check runs; the window keeps painting.
        update.close();
        QTest::keyClick(&update, Qt::Key_Escape);
        QVERIFY(update.isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
        QCOMPARE(update.latest_version(), latest);
        if (verdict.isEmpty()) {
            QCOMPARE(s->prompter.shown().back().text,
                     corvale::load_string(texts::update_check_failed));
        } else {
            QCOMPARE(update.status_text(), verdict);
            QVERIFY(s->prompter.shown().empty());
        }
        QVERIFY(update.exit_button().isEnabled());

        // A second request brings the open window forward, never a second one.
        press(s->window(), corvale::cmd_check_updates);
        QTest::qWait(20);
        QCOMPARE(s->window().update_window(), &update);
        update.exit_button().click();
        QTRY_VERIFY(s->window().update_window() == nullptr);
        QVERIFY(s->window().action(corvale::cmd_check_updates_menu)->isEnabled());
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
};

QTEST_MAIN(Main_window_test)
#include "main_window_test.moc"
