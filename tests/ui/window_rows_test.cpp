// The main window's commands on rows: the toolbar and menus, the context
// menu, Add, Edit and Delete, and the progress windows they open.

#include <unistd.h>
#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "app/language.h"
#include "app/tollway_app.h"
#include "corvale/text_ids.h"
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "support/find_accessible.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/settings_profile.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/window_fixture.h"

using corvale::fakehost::Reply;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_rows_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

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
};

QTEST_MAIN(Window_rows_test)
#include "window_rows_test.moc"
