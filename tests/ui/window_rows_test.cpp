// The main window's commands on rows: the toolbar and menus, the context
// menu, Add, Edit and Delete, and the progress windows they open.

#include <unistd.h>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <ctime>
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
#include "ui/dialogs/speed_limit_dlg.h"
#include "ui/window_fixture.h"

using corvale::fakehost::Reply;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_rows_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

    // The controls below `root` that a screen reader would read without a
    // name (cells and headers read their texts; bars and panes only hold
    // the controls).
    static QStringList unnamed_controls(QAccessibleInterface* root) {
        QStringList unnamed;
        static const QSet<QAccessible::Role> wordless{
            QAccessible::Cell,      QAccessible::ColumnHeader, QAccessible::RowHeader,
            QAccessible::Separator, QAccessible::ScrollBar,    QAccessible::Client,
            QAccessible::Grip,      QAccessible::MenuBar,      QAccessible::StatusBar,
            QAccessible::Pane};
        if (root->text(QAccessible::Name).isEmpty() && !wordless.contains(root->role()) &&
            !root->state().invisible) {
            unnamed << QString("%1 (role %2)")
                           .arg(root->object() ? root->object()->metaObject()->className() : "?")
                           .arg(int(root->role()));
        }
        for (int i = 0; i < root->childCount(); ++i) {
            unnamed += unnamed_controls(root->child(i));
        }
        return unnamed;
    }

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

    void toolbar_menus_and_commands_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << k_english;
        QTest::newRow("Arabic") << 1;
    }
    void toolbar_menus_and_commands() {
        QFETCH(int, language);
        auto s = session(language, sample_list());
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        QStringList tips;
        for (QAction* action : window.toolbar().actions()) {
            if (!action->isSeparator()) {
                tips << action->toolTip();
            }
        }
        QCOMPARE(tips.size(), 13);
        QCOMPARE(tips.front(), text(texts::tooltip_save_list));
        QCOMPARE(tips.back(), text(texts::tooltip_links_grabber));
        QVERIFY(window.action(corvale::cmd_scheduler)->isCheckable());
        QVERIFY(!window.action(corvale::cmd_remove_from_auto)->isEnabled());
        // Every command works; only the toolbar's Remove From Auto Download
        // List waits for automatic downloading (the menus' items also take
        // rows off a queue that waits for the scheduler), and Open File for
        // a selected download that has finished.
        QList<QAction*> commands = window.context_menu().actions();
        for (QMenu* menu : window.menuBar()->findChildren<QMenu*>()) {
            commands += menu->actions();
        }
        for (QAction* action : window.toolbar().actions()) {
            QCOMPARE(action->isEnabled(), action->data().toInt() != corvale::cmd_remove_from_auto);
        }
        for (QAction* action : commands) {
            if (!action->isSeparator() && action->menu() == nullptr) {
                QCOMPARE(action->isEnabled(), action->data().toInt() != corvale::cmd_open_file);
            }
        }
        QCOMPARE(window.context_menu().actions().size(), 14);

        // Every toolbar command is in the menu bar too; English menus and
        // items have mnemonics of their own, Arabic ones none.
        const bool english = language == k_english;
        QSet<int> in_menus;
        QAction* menu_scheduler = nullptr;
        QSet<QChar> titles;
        for (QAction* title : window.menuBar()->actions()) {
            QSet<QChar> keys;
            QList<QAction*> items = title->menu()->actions();
            items << title;
            for (QAction* item : items) {
                const QString label = item->text();
                if (item->isSeparator()) {
                    continue;
                }
                in_menus << item->data().toInt();
                if (item->data().toInt() == corvale::cmd_scheduler) {
                    menu_scheduler = item;
                }
                const qsizetype amp = label.indexOf('&');
                if (!english || label.isRightToLeft()) {
                    QVERIFY2(amp < 0, qPrintable(label));
                    continue;
                }
                QVERIFY2(amp >= 0 && amp + 1 < label.size(), qPrintable(label));
                QSet<QChar>& unique = item == title ? titles : keys;
                const QChar key = label.at(amp + 1).toLower();
                QVERIFY2(!unique.contains(key), qPrintable(label));
                unique << key;
            }
        }
        for (QAction* button : window.toolbar().actions()) {
            int command = button->data().toInt();
            command = command == corvale::cmd_check_updates ? int(corvale::cmd_check_updates_menu)
                      : command == corvale::cmd_help_button ? int(corvale::cmd_help)
                                                            : command;
            QVERIFY2(button->isSeparator() || in_menus.contains(command),
                     qPrintable(button->toolTip()));
        }
        // The scheduler's menu item and button are one state.
        QVERIFY(menu_scheduler != nullptr && menu_scheduler->isCheckable());
        bool checked_meanwhile = false;
        when_dialog_opens<corvale::CSchedule_dlg>([&](corvale::CSchedule_dlg& d) {
            checked_meanwhile = window.action(corvale::cmd_scheduler)->isChecked();
            d.reject();
        });
        menu_scheduler->trigger();
        settle(window);
        QVERIFY(checked_meanwhile);
        QVERIFY(!menu_scheduler->isChecked() &&
                !window.action(corvale::cmd_scheduler)->isChecked());
        // While a schedule waits, the menu's Remove From Auto Download List
        // takes rows off its queue (the button waits for automatic
        // downloading).
        const std::int64_t now = std::time(nullptr);
        when_schedule_opens(now + 3600, now + 7200);
        menu_scheduler->trigger();
        settle(window);
        QVERIFY(menu_scheduler->isChecked() && window.action(corvale::cmd_scheduler)->isChecked());
        int removers = 0;  // the context menu's and the Downloads menu's
        for (QAction* item : commands) {
            if (item->data().toInt() == corvale::cmd_remove_from_auto) {
                run_command(*s, corvale::cmd_add_to_auto, {0});
                QCOMPARE(window.control().queue().size(), std::size_t(1));
                QVERIFY(!window.action(corvale::cmd_remove_from_auto)->isEnabled());
                s->prompter.answer(true);  // confirm_cancel_queue
                item->trigger();
                settle(window);
                QCOMPARE(window.control().queue().size(), std::size_t(0));
                ++removers;
            }
        }
        QCOMPARE(removers, 2);

        // Names: each button its tooltip (the scheduler's without the
        // pending start), the list its own; nothing unnamed.
        for (QAction* button : window.toolbar().actions()) {
            if (!button->isSeparator()) {
                const QString name =
                    QAccessible::queryAccessibleInterface(window.toolbar().widgetForAction(button))
                        ->text(QAccessible::Name);
                QCOMPARE(name, button->data().toInt() == corvale::cmd_scheduler
                                   ? text(texts::tooltip_scheduler)
                                   : button->toolTip());
                QVERIFY(button->toolTip().startsWith(name));
            }
        }
        QTableWidget& table = window.list_view_widget();
        QCOMPARE(QAccessible::queryAccessibleInterface(&table)->text(QAccessible::Name),
                 text(texts::download_list_name));
        const QStringList unnamed =
            unnamed_controls(QAccessible::queryAccessibleInterface(&window));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));

        // The Auto column's mark reads as a word.
        window.list_view().set_text(1, corvale::col_auto, L"@");
        const auto auto_cell = [&](int row) {
            return QAccessible::queryAccessibleInterface(&table)->tableInterface()->cellAt(
                row, corvale::col_auto);
        };
        QCOMPARE(auto_cell(1)->text(QAccessible::Name), text(texts::auto_queued));
        window.list_view().set_text(1, corvale::col_auto, L"");
        QCOMPARE(auto_cell(1)->text(QAccessible::Name), QString());
    }

    // Limit Speed in the context menu gives each selected download its own
    // limit (0 takes it away); a row's tooltip names the limit that applies
    // to it; loading another list forgets the own limits.
    void own_limits_reach_the_selected_downloads() {
        const std::wstring list =
            write_list("three.zrv", {{L"a.zip", L"", L"http://rapidshare.com/files/111/a.zip"},
                                     {L"b.zip", L"", L"http://rapidshare.com/files/222/b.zip"},
                                     {L"c.zip", L"", L"http://rapidshare.com/files/333/c.zip"}});
        auto s = session(k_english, list);
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        const auto limits = s->app.transfer_settings()->current().speed_limits;
        QAction* limit_item = nullptr;
        for (QAction* item : window.context_menu().actions()) {
            if (item->data().toInt() == corvale::cmd_limit_speed) {
                limit_item = item;
            }
        }
        QVERIFY(limit_item != nullptr);
        const auto number = [&](int row) { return window.list_view().item_data(row); };
        const auto tooltip = [&](int row) {
            return window.list_view_widget().item(row, corvale::col_status)->toolTip();
        };
        const auto limit_rows = [&](const std::vector<int>& rows, const QString& typed, int unit) {
            QTableWidget& table = window.list_view_widget();
            table.clearSelection();
            for (const int row : rows) {
                table.selectionModel()->select(
                    table.model()->index(row, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
            when_dialog_opens<corvale::CSpeed_limit_dlg>([=](corvale::CSpeed_limit_dlg& d) {
                d.rate_edit().setText(typed);
                d.rate_unit().setCurrentIndex(unit);
                d.ok_button().click();
            });
            limit_item->trigger();
            settle(window);
        };
        const struct {
            std::vector<int> rows;
            QString typed;
            int unit;  // 0: KB/s, 1: MB/s
            qulonglong own[3];
            QString tips[3];
        } steps[] = {
            {{0, 2},
             "300",
             0,
             {300 * 1024, 0, 300 * 1024},
             {"limit 300 KB/s", "", "limit 300 KB/s"}},
            {{1},
             "1",
             1,
             {300 * 1024, 1024 * 1024, 300 * 1024},
             {"limit 300 KB/s", "limit 1.0 MB/s", "limit 300 KB/s"}},
            {{2}, "0", 0, {300 * 1024, 1024 * 1024, 0}, {"limit 300 KB/s", "limit 1.0 MB/s", ""}},
        };
        for (const auto& step : steps) {
            limit_rows(step.rows, step.typed, step.unit);
            for (int row = 0; row < 3; ++row) {
                QCOMPARE(qulonglong(limits->own(number(row))), step.own[row]);
                QCOMPARE(tooltip(row), step.tips[row]);
            }
        }
        // The global limit holds too: the lower of the two applies.
        limits->set_global({512 * 1024, {}});
        QCOMPARE(tooltip(0), QString("limit 300 KB/s"));
        QCOMPARE(tooltip(1), QString("limit 512 KB/s"));
        QCOMPARE(tooltip(2), QString("limit 512 KB/s"));
        limits->set_global({});

        // Another list: the downloads that had own limits are gone.
        const std::vector<std::int32_t> before{number(0), number(1)};
        window.open_list_file(sample_list());
        settle(window);
        QCOMPARE(window.list_view().row_count(), 2);
        for (const std::int32_t gone : before) {
            QCOMPARE(limits->own(gone), std::uint64_t{0});
        }
        QCOMPARE(tooltip(0), QString());
    }

    void a_double_click_asks_to_start_that_download() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QSignalSpy started(&s->window(), &corvale::CTollwayDlg::start_download_requested);
        emit s->window().list_view_widget().cellDoubleClicked(1, 3);
        QTRY_COMPARE(started.size(), 1);
        QCOMPARE(started.front().front().toInt(), s->window().list_view().item_data(1));
    }

    // Tab goes from the list along the toolbar to the status line and back,
    // Shift+Tab the other way; the context menu opens from the keyboard at
    // the current row with its first item highlighted.
    void the_keyboard_moves_between_the_parts_and_opens_the_context_menu() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        QTableWidget& table = window.list_view_widget();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QList<QWidget*> expected{&table};
        for (QAction* button : window.toolbar().actions()) {
            if (!button->isSeparator() && button->isEnabled()) {
                expected << window.toolbar().widgetForAction(button);
            }
        }
        for (QLabel* label : window.findChildren<QLabel*>()) {
            if (label->text() == window.status_text()) {
                expected << label;  // the status line
            }
        }
        for (const bool backwards : {false, true}) {
            table.setFocus();
            QList<QWidget*> reached{QApplication::focusWidget()};
            for (int i = 0; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                                backwards ? Qt::ShiftModifier : Qt::NoModifier);
                reached << QApplication::focusWidget();
            }
            QList<QWidget*> cycle = expected;
            if (backwards) {
                std::reverse(cycle.begin() + 1, cycle.end());
            }
            QCOMPARE(reached, cycle << &table);
        }

        table.setCurrentCell(1, 2);
        const QRect row = table.visualRect(table.model()->index(1, 2));
        QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                                   table.viewport()->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(table.viewport(), &menu_key);
        QMenu& menu = window.context_menu();
        QTRY_VERIFY(menu.isVisible());
        QVERIFY2(table.viewport()->mapFromGlobal(menu.pos()).y() >= row.top(),
                 "at the current row, not at the top of the list");
        QCOMPARE(menu.activeAction(), menu.actions().front());
        menu.hide();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.activeAction(), menu.actions().front());
        menu.hide();
    }

    // The standard keys run their menu items' commands, whose menu items show
    // them, in both languages; Return and Delete only on the list.
    void keys_run_their_commands_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<int>("command");
        const std::pair<QKeySequence, int> keys[] = {
            {QKeySequence(Qt::CTRL | Qt::Key_O), corvale::cmd_load_list},
            {QKeySequence(Qt::CTRL | Qt::Key_S), corvale::cmd_save_list},
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), corvale::cmd_save_list_as},
            {QKeySequence(Qt::CTRL | Qt::Key_N), corvale::cmd_add_download},
            {QKeySequence(Qt::Key_Insert), corvale::cmd_add_download},
            {QKeySequence(Qt::Key_Return), corvale::cmd_download},
            {QKeySequence(Qt::Key_Enter), corvale::cmd_download},
            {QKeySequence(Qt::Key_Delete), corvale::cmd_delete},
            {QKeySequence(Qt::CTRL | Qt::Key_Q), corvale::cmd_exit},
            {QKeySequence(Qt::Key_F1), corvale::cmd_help},
        };
        for (const auto& [language, name] : {std::pair(k_english, "English"), {1, "Arabic"}}) {
            for (const auto& [sequence, command] : keys) {
                QTest::addRow("%s %s", name, qPrintable(sequence.toString()))
                    << language << sequence << int(command);
            }
        }
    }
    void keys_run_their_commands() {
        QFETCH(int, language);
        QFETCH(QKeySequence, keys);
        QFETCH(int, command);
        auto s = session(language, sample_list());
        s->app.set_list_file_chooser([](QWidget*, int, bool) { return std::nullopt; });
        s->app.set_url_opener([](const QUrl&) { return true; });
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        QList<QAction*> triggered;
        for (QAction* action : window.findChildren<QAction*>()) {
            connect(action, &QAction::triggered, this,
                    [&triggered, action] { triggered << action; });
        }
        QSignalSpy started(&window, &corvale::CTollwayDlg::start_download_requested);
        // What the command opens is closed again.
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->reject();
            }
        });
        closer.start();
        s->prompter.answer(false);  // confirm_delete: keep the rows
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTableWidget& table = window.list_view_widget();
        table.setFocus();
        select_rows(table, {0});
        QTest::keySequence(&table, keys);
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered.front()->data().toInt(), command);
        QVERIFY2(triggered.front()->shortcuts().contains(keys), "its menu item shows the key");
        QVERIFY(!window.context_menu().actions().contains(triggered.front()));
        settle(window);
        if (command == corvale::cmd_download) {
            QTRY_COMPARE(started.size(), 1);
        }
        if (command == corvale::cmd_exit) {
            QVERIFY(!window.isVisible());
        }
        if (command == corvale::cmd_download || command == corvale::cmd_delete) {
            // Elsewhere in the window the keys do not act on the rows: not on
            // a button, not on the menu bar (reached with Alt).
            triggered.clear();
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.toolbar().widgetForAction(window.action(corvale::cmd_edit))->setFocus();
            QTest::keySequence(QApplication::focusWidget(), keys);
            QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
            QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt, Qt::NoModifier);
            QCOMPARE(QApplication::focusWidget(), window.menuBar());
            QTest::keySequence(window.menuBar(), keys);
            QVERIFY(triggered.isEmpty());
            if (QApplication::activePopupWidget() != nullptr) {
                QApplication::activePopupWidget()->close();
            }
        }
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
        s->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s->window()));
        table.setFocus();
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
        QVERIFY2(table.hasFocus(), "the keyboard is back in the list");
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
