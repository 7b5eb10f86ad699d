// While a question is open the program goes on: downloads end, timers fire,
// a second start hands over a list. Each case opens a question through the
// scripted prompter, runs what arrives meanwhile "inside" it, and checks what
// survives (run under AddressSanitizer in CI).

#include <QAccessible>
#include <QDateEdit>
#include <QDateTime>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>
#include <QToolBar>

#include "corvale/text_ids.h"
#include "engine/scheduler.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "support/event_loop.h"
#include "support/find_accessible.h"
#include "support/temporary_folder.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/dialogs/schedule_dlg.h"
#include "ui/window_fixture.h"

using namespace corvale::testing;

namespace {

const Reply k_slow{.pattern_size = 4000000, .pace = std::chrono::milliseconds(20)};

std::wstring text_of(int id) {
    return corvale::load_string(id);
}

// Whether the file is there and holds at least one byte.
bool has_data(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::file_size(file, error) > 0 && !error;
}

std::vector<std::wstring> texts(const Scripted_prompter& prompter) {
    std::vector<std::wstring> shown;
    for (const auto& item : prompter.shown()) {
        shown.push_back(item.text);
    }
    return shown;
}

}  // namespace

class Questions_test : public QObject, private Window_fixture {
    Q_OBJECT

    // Runs events for a while, as a question's own loop would.
    static void run_events(int ms = 150) { run_for(std::chrono::milliseconds(ms)); }

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

    // An automatic download ends while confirm_cancel_running asks whether to cancel it: its
    // window is let go of at once but freed only after the question; the
    // answer then finds the download idle, and the row goes.
    void a_download_that_ends_under_the_delete_question() {
        auto s =
            download_session(Reply{.pattern_size = 1000000, .pace = std::chrono::milliseconds(30)});
        QVERIFY(s);
        run_command(*s, corvale::cmd_add_to_auto, {0});
        QTRY_VERIFY_WITH_TIMEOUT(has_data(file("a.zip")), 20000);
        QPointer<corvale::CDownload_dlg> window = s->window().progress_window(0);
        QVERIFY(window);
        bool kept_under_question = false;
        s->prompter.while_open = [&](const std::wstring& text) {
            if (text != text_of(corvale::texts::confirm_cancel_running)) {
                return;
            }
            QVERIFY(run_until([&] { return s->window().progress_window(0) == nullptr; },
                              std::chrono::seconds(20)));
            run_events();
            kept_under_question = !window.isNull();
        };
        s->prompter.answer(true);  // confirm_delete
        s->prompter.answer(true);  // confirm_cancel_running
        run_command(*s, corvale::cmd_delete, {0});
        QTRY_COMPARE(s->window().list_view_widget().rowCount(), 1);
        QVERIFY2(kept_under_question, "no window is freed inside a question");
        QTRY_VERIFY(window.isNull());
        QCOMPARE(texts(s->prompter),
                 (std::vector<std::wstring>{text_of(corvale::texts::confirm_delete),
                                            text_of(corvale::texts::confirm_cancel_running)}));
        QVERIFY(!s->window().control().automatic_active());
        QVERIFY2(!s->window().action(corvale::cmd_remove_from_auto)->isEnabled(),
                 "the queue ended while the window was busy: its button is off after");
        QCOMPARE(cell(*s, 0, corvale::col_file_name), QString("b.zip"));
        QCOMPARE(s->prompter.unscripted_questions(), 0);
    }

    // The user cancels a download by hand; while keep_partial_file asks about the partial
    // file, a second start hands over another list. The window is not
    // released under its own question; the list is loaded once it closes.
    void a_list_handed_over_under_the_cancel_question() {
        auto s = download_session(k_slow);
        QVERIFY(s);
        const std::wstring other =
            write_list("other.zrv", {{L"c.zip", L"third", L"http://rapidshare.com/files/3/c.zip"}});
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(has_data(file("a.zip")), 20000);
        s->app.download_list()->set_modified(false);
        QPointer<corvale::CDownload_dlg> window = s->window().progress_window(0);
        bool untouched = false;
        s->prompter.while_open = [&](const std::wstring& text) {
            if (text != text_of(corvale::texts::keep_partial_file)) {
                return;
            }
            s->window().open_list_file(other);
            run_events();
            untouched = !window.isNull() && s->window().list_view_widget().rowCount() == 2;
        };
        s->prompter.answer(true);  // keep the partial file
        window->cancel_button().click();
        settle(s->window());
        QVERIFY2(untouched, "nothing is released or replaced under the question");
        QTRY_VERIFY(window.isNull());
        QCOMPARE(s->window().list_view_widget().rowCount(), 1);
        QCOMPARE(cell(*s, 0, corvale::col_file_name), QString("c.zip"));
        QVERIFY2(has_data(file("a.zip")), "the partial file was kept as answered");
        QCOMPARE(texts(s->prompter),
                 std::vector<std::wstring>{text_of(corvale::texts::keep_partial_file)});
    }

    // The schedule's stop instant passes while an automatic download's
    // Cancel asks keep_partial_file and then cancel_following_auto: the stop waits for both, then
    // stops everything and says so once.
    void the_schedule_stop_under_the_cancel_questions() {
        auto s = download_session(k_slow, k_slow);
        QVERIFY(s);
        std::int64_t now = 1900000000;
        s->window().set_clock([&now] { return now; });
        const std::int64_t start = now + 1;
        const std::int64_t stop = start + 2;
        when_schedule_opens(start, stop);
        select_rows(s->window().list_view_widget(), {0, 1});
        s->window().action(corvale::cmd_scheduler)->trigger();
        settle(s->window());
        now = start;
        fire(s->window().start_poll_timer());
        settle(s->window());
        QTRY_VERIFY_WITH_TIMEOUT(has_data(file("a.zip")), 20000);
        QPointer<corvale::CDownload_dlg> window = s->window().progress_window(0);
        QVERIFY(window && window->automatic());
        s->prompter.while_open = [&](const std::wstring& text) {
            if (text == text_of(corvale::texts::keep_partial_file)) {
                // The stop comes while the question is open.
                now = stop;
                fire(s->window().stop_timer());
            }
            QVERIFY2(!window.isNull(), "the window outlives its own questions");
        };
        s->prompter.answer(true);   // keep_partial_file: keep it
        s->prompter.answer(false);  // cancel_following_auto: the next one may start
        window->cancel_button().click();
        QTRY_COMPARE(s->window().control().open_windows(), std::size_t(0));
        QTRY_COMPARE(s->prompter.shown().size(), std::size_t(3));
        QCOMPARE(texts(s->prompter),
                 (std::vector<std::wstring>{text_of(corvale::texts::keep_partial_file),
                                            text_of(corvale::texts::cancel_following_auto),
                                            text_of(corvale::texts::stopped_by_timer)}));
        QVERIFY(!s->window().control().automatic_active());
        run_posted_events();
        QVERIFY(!s->window().stop_timer().isActive());
        QCOMPARE(s->prompter.shown().size(), std::size_t(3));
        QVERIFY2(!has_data(file("b.zip")) || s->window().control().open_windows() == 0,
                 "nothing runs after the stop");
    }

    // Exit pressed while confirm_cancel_running is open waits for the question; the deletion
    // that follows keeps the program busy, so the Exit is refused, and the
    // program lives on with the row gone.
    void exit_under_the_delete_question() {
        auto s = download_session(k_slow);
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(has_data(file("a.zip")), 20000);
        s->app.download_list()->set_modified(false);
        bool open_under_question = false;
        s->prompter.while_open = [&](const std::wstring& text) {
            if (text == text_of(corvale::texts::confirm_cancel_running)) {
                // Busy: the greyed menus' items are greyed too.
                for (QAction* title : s->window().menuBar()->actions()) {
                    for (QAction* item : title->menu()->actions()) {
                        QVERIFY(title->isEnabled() || item->isSeparator() || !item->isEnabled());
                    }
                }
                QVERIFY(!s->window().menuBar()->actions().front()->isEnabled());
                s->window().action(corvale::cmd_exit)->trigger();
                run_events();
                open_under_question = s->window().isVisible() && !s->window().control().closing();
            }
        };
        s->prompter.answer(true);   // confirm_delete
        s->prompter.answer(true);   // confirm_cancel_running
        s->prompter.answer(false);  // keep_partial_file: drop the partial file
        run_command(*s, corvale::cmd_delete, {0});
        QTRY_COMPARE(s->window().list_view_widget().rowCount(), 1);
        settle(s->window());
        QVERIFY(open_under_question);
        QVERIFY(s->window().isVisible());
        QVERIFY(!s->window().control().closing());
        QVERIFY(!std::filesystem::exists(file("a.zip")));
        QCOMPARE(texts(s->prompter),
                 (std::vector<std::wstring>{text_of(corvale::texts::confirm_delete),
                                            text_of(corvale::texts::confirm_cancel_running),
                                            text_of(corvale::texts::keep_partial_file)}));
    }

    // A list handed over while the Edit dialog is open is loaded after the
    // edit, which applies to the download it was opened for.
    void a_list_handed_over_under_the_edit_dialog() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        const std::wstring sample = s->app.download_list()->list_path();
        const std::wstring other =
            write_list("other.zrv", {{L"c.zip", L"third", L"http://rapidshare.com/files/3/c.zip"}});
        bool untouched = false;
        when_dialog_opens<corvale::Modify_download_properties>(
            [&](corvale::Modify_download_properties& d) {
                s->window().open_list_file(other);
                run_events();
                untouched = s->window().list_view_widget().rowCount() == 2;
                d.description_edit().setText("edited");
                d.ok_button().click();
            });
        s->prompter.answer(true);  // confirm_save_list: save the edited list first
        run_command(*s, corvale::cmd_edit, {1});
        QVERIFY(untouched);
        QCOMPARE(texts(s->prompter),
                 std::vector<std::wstring>{text_of(corvale::texts::confirm_save_list)});
        QCOMPARE(cell(*s, 0, corvale::col_file_name), QString("c.zip"));
        corvale::Download_list reread(s->prompter, s->profile);
        corvale::load_list(reread, sample, false);
        QCOMPARE(reread.records().back().description, std::wstring(L"edited"));
        QCOMPARE(reread.records().front().description, std::wstring(L"first"));
    }

    // A second start names a list that does not exist: the running program
    // says so, and the channel's peer, long gone when the message is
    // answered, is not touched again.
    void a_missing_list_from_a_second_start() {
        script_downloads(k_slow);
        const QString name = instance_name();
        Session first(profile_path(), name, k_english, sample_list());
        first.app.set_worker_timing(corvale::Worker_timing{std::chrono::milliseconds(1), {}});
        QVERIFY(first.start());
        run_command(first, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(has_data(file("a.zip")), 20000);
        first.prompter.while_open = [](const std::wstring&) { run_events(300); };
        Session second(profile_path(), name, k_english);
        QVERIFY(!second.start(k_bundle_dir, file("missing.zrv")));
        QTRY_COMPARE(first.prompter.shown().size(), std::size_t(1));
        settle(first.window());
        QCOMPARE(first.prompter.shown().front().text, text_of(corvale::texts::list_open_failed));
        QCOMPARE(first.window().list_view_widget().rowCount(), 2);
        QVERIFY2(first.window().progress_window(0) != nullptr &&
                     first.window().progress_window(0)->running(),
                 "a list that cannot be loaded stops nothing");
        first.window().control().stop_all();
        QTRY_COMPARE(first.window().control().open_windows(), std::size_t(0));
    }

    // A screen reader's press on a toolbar button that opens a window, a
    // file dialog or a question returns at once; what it opens comes from a
    // queued call.
    void a_press_that_opens_a_window_returns_at_once_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("rows");  // the sample list, its first row selected
        QTest::newRow("Save List: the file dialog") << int(corvale::cmd_save_list) << false;
        QTest::newRow("Load List: load or merge") << int(corvale::cmd_load_list) << true;
        QTest::newRow("Load List: the file dialog") << int(corvale::cmd_load_list) << false;
        QTest::newRow("Add A New Download") << int(corvale::cmd_add_download) << false;
        QTest::newRow("Scheduler") << int(corvale::cmd_scheduler) << true;
        QTest::newRow("Edit") << int(corvale::cmd_edit) << true;
        QTest::newRow("Delete: the question") << int(corvale::cmd_delete) << true;
        QTest::newRow("Check for updates") << int(corvale::cmd_check_updates) << false;
        QTest::newRow("Help") << int(corvale::cmd_help_button) << false;
        QTest::newRow("Links Grabber") << int(corvale::cmd_links_grabber) << false;
    }
    void a_press_that_opens_a_window_returns_at_once() {
        QFETCH(int, command);
        QFETCH(bool, rows);
        auto s = session(k_english, rows ? sample_list() : std::wstring());
        int opened = 0;
        s->app.set_list_file_chooser([&](QWidget*, int, bool) {
            ++opened;
            return std::nullopt;
        });
        s->app.set_url_opener([&](const QUrl&) {
            ++opened;
            return true;
        });
        s->prompter.while_open = [&](const std::wstring&) { ++opened; };
        QVERIFY(s->start());
        corvale::CTollwayDlg& window = s->window();
        if (rows) {
            select_rows(window.list_view_widget(), {0});
        }
        QTimer closer;  // every modal window is counted and closed
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++opened;
                dialog->reject();
            }
        });
        closer.start();
        const auto tool_open = [&] {
            return window.links_grabber() != nullptr || window.update_window() != nullptr;
        };
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(
            window.toolbar().widgetForAction(window.action(command)));
        QVERIFY(button != nullptr && button->actionInterface() != nullptr);
        // A screen reader presses with the first action: a check button's is
        // Toggle.
        const QStringList actions = button->actionInterface()->actionNames();
        QVERIFY(!actions.isEmpty());
        button->actionInterface()->doAction(actions.front());
        QVERIFY2(opened == 0 && QApplication::activeModalWidget() == nullptr && !tool_open(),
                 "the press has returned before anything opened");
        QTRY_VERIFY(opened > 0 || tool_open());
        settle(window);
        if (window.links_grabber() != nullptr) {
            window.links_grabber()->close();
        }
    }
};

QTEST_MAIN(Questions_test)
#include "questions_test.moc"
