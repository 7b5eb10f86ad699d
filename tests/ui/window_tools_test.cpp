// The tools the main window opens: the links grabber and the update check,
// against the local file host.

#include <unistd.h>
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/language.h"
#include "app/tollway_app.h"
#include "corvale/text_ids.h"
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
#include "ui/tools/links_parser_dlg.h"
#include "ui/tools/update_check_dlg.h"
#include "ui/window_fixture.h"

using corvale::fakehost::Reply;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_tools_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

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
        QCOMPARE(grabbed(grabber, 1, corvale::gcol_size), QString("10.00 MB"));
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
        // The fetch is stopped: what it had posted is dropped, not shown.
        run_posted_events();
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
        run_posted_events();
        QCOMPARE(s->window().update_window(), &update);
        update.exit_button().click();
        QTRY_VERIFY(s->window().update_window() == nullptr);
        QVERIFY(s->window().action(corvale::cmd_check_updates_menu)->isEnabled());
    }
};

QTEST_MAIN(Window_tools_test)
#include "window_tools_test.moc"
