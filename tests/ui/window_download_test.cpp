// The main window's download commands against the local file host: the
// scheduler, a manual download, a file that is there already, Cancel, and
// closing while downloads run.

#include <unistd.h>
#include <QAccessible>
#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/language.h"
#include "app/tollway_app.h"
#include "corvale/text_ids.h"
#include "engine/scheduler.h"
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
#include "ui/dialogs/schedule_dlg.h"
#include "ui/dialogs/speed_limit_dlg.h"
#include "ui/window_fixture.h"

using corvale::fakehost::Reply;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_download_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

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

    // Against a clock the test sets: the queue starts at the start instant
    // with the rows selected then, and at the stop instant automatic
    // downloading is cancelled and every download stops, with message
    // stopped_by_timer once. The test fires the timers itself.
    void a_schedule_starts_and_stops_downloads_on_time() {
        const Reply slow{.pattern_size = 80000000, .pace = std::chrono::milliseconds(20)};
        auto s = download_session(slow, slow);
        QVERIFY(s);
        corvale::CTollwayDlg& window = s->window();
        std::int64_t now = 1900000000;
        window.set_clock([&now] { return now; });
        const std::int64_t start = now + 60;
        const std::int64_t stop = start + 60;
        QAction& button = *window.action(corvale::cmd_scheduler);
        when_schedule_opens(start, stop);
        button.trigger();
        settle(window);
        QVERIFY(button.isChecked());
        QVERIFY(window.start_poll_timer().isActive());
        select_rows(window.list_view_widget(), {0, 1});
        QVERIFY(!window.control().automatic_active());

        // A second before the start the poll finds nothing to do.
        now = start - 1;
        fire(window.start_poll_timer());
        settle(window);
        QVERIFY(!window.control().automatic_active());
        QVERIFY(button.isChecked());
        now = start;
        fire(window.start_poll_timer());
        settle(window);
        QVERIFY(window.control().automatic_active());
        QVERIFY2(!button.isChecked(), "nothing waits for a start any more");
        QVERIFY(!window.start_poll_timer().isActive());
        QVERIFY(window.stop_timer().isActive());
        QCOMPARE(window.stop_timer().interval(), 60000);
        QCOMPARE(cell(*s, 0, corvale::col_auto), QString("@"));
        QCOMPARE(cell(*s, 1, corvale::col_auto), QString("@"));
        QTRY_VERIFY(window.control().open_windows() == 1);

        const auto stopped = QString::fromStdWString(corvale::load_string(texts::stopped_by_timer));
        const auto shown_249 = [&] {
            return std::count_if(
                s->prompter.shown().begin(), s->prompter.shown().end(),
                [&](const auto& m) { return QString::fromStdWString(m.text) == stopped; });
        };
        // Early by a second: the stop is armed again for that second.
        now = stop - 1;
        fire(window.stop_timer());
        settle(window);
        QCOMPARE(shown_249(), 0);
        QVERIFY(window.control().automatic_active());
        QCOMPARE(window.stop_timer().interval(), 1000);
        now = stop;
        fire(window.stop_timer());
        settle(window);
        QCOMPARE(shown_249(), 1);
        QTRY_COMPARE(window.control().open_windows(), std::size_t(0));
        QVERIFY(!window.control().automatic_active());
        QCOMPARE(cell(*s, 0, corvale::col_auto), QString(""));
        QCOMPARE(cell(*s, 1, corvale::col_auto), QString(""));
        // Nothing is left armed that could tell it a second time.
        run_posted_events();
        QVERIFY(!window.start_poll_timer().isActive());
        QVERIFY(!window.stop_timer().isActive());
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
        // Through the accessibility interface each value reads as its
        // caption and its value (the caption labels it), and is a tab stop;
        // the bar is at its end, the button reads Close.
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
        for (int label = texts::label_url; label <= texts::label_retries; ++label) {
            QAccessibleInterface* value = labelled_by(root, text(label));
            QVERIFY2(value != nullptr, qPrintable(text(label)));
            QCOMPARE(value->role(), QAccessible::StaticText);
            QCOMPARE(value->text(QAccessible::Name), window->value_text(label));
            QCOMPARE(value->textInterface()->text(0, value->textInterface()->characterCount()),
                     window->value_text(label));
            QCOMPARE(read_aloud(value), text(label) + " " + window->value_text(label));
            QVERIFY(value->state().focusable);
            // Nothing is cut: the value has room for its whole text.
            const auto* shown = qobject_cast<QLabel*>(value->object());
            QVERIFY2(shown->wordWrap() ||
                         shown->width() >= shown->fontMetrics().horizontalAdvance(shown->text()),
                     qPrintable(text(label)));
        }
        QCOMPARE(read_aloud(labelled_by(root, "Status:")),
                 QString("Status: Finished Downloading File"));
        QAccessibleInterface* bar = find_accessible(root, QAccessible::ProgressBar, "Download");
        QVERIFY(bar != nullptr);
        QCOMPARE(bar->valueInterface()->currentValue().toInt(), 1000);
        QVERIFY(find_accessible(root, QAccessible::Button, "Close") != nullptr);
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

    // A finished download's file opens from its window's Open and from the
    // list's Open File, both through the desktop's opener; a file that is
    // gone is named in a message. The Progress column gives its share.
    void a_finished_file_opens_from_the_window_and_the_list() {
        script_downloads(Reply{.pattern_size = 300000});
        auto s = fast_session();
        std::vector<QUrl> opened;
        s->app.set_url_opener([&](const QUrl& target) {
            opened.push_back(target);
            return true;
        });
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        QAction& open_file = *s->window().action(corvale::cmd_open_file);
        QVERIFY(s->window().context_menu().actions().contains(&open_file));
        const auto share = [&](int row) {
            return table.item(row, corvale::col_progress)
                ->data(corvale::Data_cell_delegate::fraction_role);
        };
        select_rows(table, {0});
        QVERIFY(!open_file.isEnabled());
        QVERIFY(!share(0).isValid());
        QVERIFY(!table.item(0, corvale::col_progress)->data(Qt::AccessibleTextRole).isValid());

        run_command(*s, corvale::cmd_download, {0});
        QTRY_COMPARE_WITH_TIMEOUT(cell(*s, 0, corvale::col_status),
                                  QString("Finished Downloading File"), 20000);
        corvale::CDownload_dlg* window = s->window().progress_window(0);
        QVERIFY(window != nullptr);
        QVERIFY(window->open_button().isVisible() && window->open_button().isEnabled());
        QVERIFY(find_accessible(QAccessible::queryAccessibleInterface(window), QAccessible::Button,
                                "Open File") != nullptr);
        window->open_button().click();
        settle(s->window());
        const QUrl a_zip = QUrl::fromLocalFile(QString::fromStdString(file("a.zip").string()));
        QCOMPARE(opened, std::vector<QUrl>{a_zip});

        // The row: its share, read after its text; Open File for it only.
        QCOMPARE(share(0).toDouble(), 1.0);
        QVERIFY(!share(1).isValid());
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&table);
        QCOMPARE(list->tableInterface()->cellAt(0, corvale::col_progress)->text(QAccessible::Name),
                 QString("293.0 KB, 100% done"));
        QCOMPARE(cell(*s, 0, corvale::col_progress), QString("293.0 KB"));
        select_rows(table, {1});
        QVERIFY(!open_file.isEnabled());
        select_rows(table, {0, 1});
        QVERIFY(open_file.isEnabled());
        press(s->window(), corvale::cmd_open_file);
        QCOMPARE(opened, (std::vector<QUrl>{a_zip, a_zip}));

        // Gone: the window says so, the menu item is off when next shown.
        std::filesystem::remove(file("a.zip"));
        window->open_button().click();
        settle(s->window());
        QCOMPARE(opened.size(), std::size_t(2));
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown()[0].text,
                 corvale::format_message(texts::file_gone, {file("a.zip").wstring()}));
        QMetaObject::invokeMethod(&s->window().context_menu(), "aboutToShow");
        QVERIFY(!open_file.isEnabled());
        window->cancel_button().click();
        QTRY_VERIFY(s->window().progress_window(0) == nullptr);
    }

    // The Progress column's bar grows from the leading edge: the left, or
    // the right in a right-to-left list; a cell without a share has none.
    void the_progress_bar_grows_from_the_leading_edge() {
        QStandardItemModel model(1, 2);
        model.setData(model.index(0, 0), 0.25, corvale::Data_cell_delegate::fraction_role);
        corvale::Data_cell_delegate delegate;
        for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            for (const int column : {0, 1}) {
                QImage image(100, 40, QImage::Format_ARGB32);
                image.fill(Qt::white);
                QStyleOptionViewItem option;
                option.rect = image.rect();
                option.direction = direction;
                option.palette.setColor(QPalette::Highlight, Qt::blue);
                QPainter painter(&image);
                delegate.paint(&painter, option, model.index(0, column));
                painter.end();
                const bool left = image.pixel(10, 20) != qRgb(255, 255, 255);
                const bool right = image.pixel(90, 20) != qRgb(255, 255, 255);
                QCOMPARE(left, column == 0 && direction == Qt::LeftToRight);
                QCOMPARE(right, column == 0 && direction == Qt::RightToLeft);
            }
        }
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

    // The file is opened beside the window, not by it: the question about a
    // file that holds bytes, or why the name cannot be written, comes once
    // the window is up, and the download runs only after a Yes.
    void a_file_already_there_is_asked_about_once_the_window_is_up_data() {
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("replace");
        QTest::newRow("No leaves the file untouched and runs nothing") << false << false;
        QTest::newRow("Yes replaces it") << false << true;
        QTest::newRow("a symlink is refused and not followed") << true << true;
    }
    void a_file_already_there_is_asked_about_once_the_window_is_up() {
        QFETCH(bool, link);
        QFETCH(bool, replace);
        script_downloads(Reply{200, "new"});
        std::ofstream(file("mine.txt")) << "mine";
        if (link) {
            std::filesystem::create_symlink(file("mine.txt"), file("a.zip"));
        } else {
            std::ofstream(file("a.zip")) << "old";
        }
        auto s = fast_session();
        QVERIFY(s->start());
        s->prompter.answer(replace);
        bool window_up = false;
        s->prompter.while_open = [&](const std::wstring&) {
            const corvale::CDownload_dlg* window = s->window().progress_window(0);
            window_up = window != nullptr && window->isVisible();
        };
        const std::size_t requests = host_->requests().size();
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(!s->prompter.shown().empty(), 20000);
        const std::wstring path = corvale::decode_native(file("a.zip").string());
        if (replace && !link) {
            QTRY_COMPARE_WITH_TIMEOUT(cell(*s, 0, corvale::col_status),
                                      QString("Finished Downloading File"), 20000);
            QCOMPARE(corvale::testing::file_bytes(file("a.zip")), std::string("new"));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(s->window().progress_window(0) == nullptr, 20000);
            QCOMPARE(host_->requests().size(), requests);
            QVERIFY(!s->app.download_list()->find(0)->running);
            QCOMPARE(std::filesystem::is_symlink(file("a.zip")), link);
            QCOMPARE(corvale::testing::file_bytes(file("a.zip")),
                     std::string(link ? "mine" : "old"));
        }
        QVERIFY2(window_up, "asked over the open window");
        const Scripted_prompter::Shown expected =
            link ? Scripted_prompter::Shown{false, corvale::format_printf(
                                                       corvale::load_string(texts::file_save_error),
                                                       {path})}
                 : Scripted_prompter::Shown{
                       true, corvale::format_message(texts::confirm_replace_file, {path})};
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QVERIFY(s->prompter.shown()[0] == expected);
        QCOMPARE(corvale::testing::file_bytes(file("mine.txt")), std::string("mine"));
        s->prompter.while_open = nullptr;
        std::filesystem::remove(file("a.zip"));
        std::filesystem::remove(file("mine.txt"));
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
        // A minimized window shows what the row shows once it is restored.
        window->setWindowState(Qt::WindowMinimized);
        const QString before = cell(*s, 0, corvale::col_progress);
        QTRY_VERIFY_WITH_TIMEOUT(cell(*s, 0, corvale::col_progress) != before, 20000);
        window->setWindowState(Qt::WindowNoState);
        QCOMPARE(window->value_text(texts::label_downloaded), cell(*s, 0, corvale::col_progress));
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

    // The progress window's Limit Speed gives its download an own limit at
    // once; the window shows it beside the speed, the row's tooltip names it.
    void a_progress_window_limits_its_download() {
        auto s =
            download_session(Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
        QVERIFY(s);
        run_command(*s, corvale::cmd_download, {0});
        QTRY_VERIFY_WITH_TIMEOUT(s->app.download_list()->count_running() == 1, 20000);
        corvale::CDownload_dlg* window = s->window().progress_window(0);
        QVERIFY(window != nullptr);
        QPushButton& button = window->limit_button();
        QVERIFY(button.isVisible());
        QCOMPARE(button.text(), QString("&Limit Speed…"));
        button.click();
        auto* dialog = window->findChild<corvale::CSpeed_limit_dlg*>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QVERIFY2(!s->window().questions().open(), "no loop of its own: the window may end");
        dialog->rate_edit().setText("64");
        dialog->ok_button().click();
        const auto limits = s->app.transfer_settings()->current().speed_limits;
        QCOMPARE(limits->own(0), std::uint64_t{64 * 1024});
        QTRY_VERIFY(window->value_text(corvale::texts::label_speed).endsWith("(limit 64 KB/s)"));
        QCOMPARE(s->window().list_view_widget().item(0, corvale::col_file_name)->toolTip(),
                 QString("limit 64 KB/s"));
        s->prompter.answer(false);  // the partial file goes
        window->cancel_button().click();
        QTRY_VERIFY(s->window().progress_window(0) == nullptr);
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
};

QTEST_MAIN(Window_download_test)
#include "window_download_test.moc"
