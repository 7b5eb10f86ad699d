// The main window's list file commands: Load, Merge, Save and Save As, with
// files that hold no list, that another program holds or that are read-only.

#include <unistd.h>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
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
#include "support/other_program.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/settings_profile.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/load_or_merge_dlg.h"
#include "ui/window_fixture.h"

using corvale::fakehost::Reply;
using namespace corvale::testing;
namespace texts = corvale::texts;

class Window_list_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

  private slots:
    void initTestCase() { start_file_host(); }

    void cleanup() { forget_test(); }

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
    // Drops on the list: a list file loads as Load List does (the modified
    // list's question first), one link opens the Add dialog with it (and its
    // duplicate question), several open the grabber with them; anything else
    // is refused, and nothing is taken while a question is open.
    void drops_on_the_list() {
        auto s = session(k_english, sample_list());
        QVERIFY(s->start());
        QTableWidget& table = s->window().list_view_widget();
        QWidget* viewport = table.viewport();
        const auto mime = [](const QList<QUrl>& urls, const QString& text) {
            auto data = std::make_unique<QMimeData>();
            data->setUrls(urls);
            if (!text.isEmpty()) {
                data->setText(text);
            }
            return data;
        };
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        const auto accepted = [&](const QMimeData& data) {
            QDragEnterEvent enter(QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            return enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
        };
        // As a drag does: the drop goes where the entering was taken.
        const auto drop = [&](const QMimeData& data) {
            QVERIFY(accepted(data));
            QDragMoveEvent move(QPoint(6, 6), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            QVERIFY(move.isAccepted());
            QDropEvent dropped(QPointF(5, 5), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &dropped);
            QVERIFY(dropped.isAccepted());
            QCOMPARE(dropped.dropAction(), Qt::CopyAction);  // never a move
            settle(s->window());
        };
        const std::wstring a_link = L"http://rapidshare.com/files/111/a.zip";
        const std::wstring other = other_list();
        std::ofstream(file("notes.txt")) << "x";
        const QUrl txt = QUrl::fromLocalFile(dir_.filePath("notes.txt"));
        const QUrl zrv = QUrl::fromLocalFile(QString::fromStdWString(other));
        struct Refused {
            QList<QUrl> urls;
            QString text;
        };
        for (const Refused& refused :
             {Refused{{txt}, {}}, Refused{{}, "no links"}, Refused{{zrv, txt}, {}},
              Refused{{QUrl("http://example.com/f.zip")}, {}}}) {
            QVERIFY(!accepted(*mime(refused.urls, refused.text)));
        }

        // One link: the Add dialog with it; Same As URL and OK add it.
        const auto one = mime({QUrl("http://rapidshare.com/files/999/New.zip")}, {});
        QString offered_link;
        when_dialog_opens<corvale::Add_new_download_dlg>([&](corvale::Add_new_download_dlg& d) {
            offered_link = d.url_edit().text();
            d.folder_edit().setText(dir_.path());
            d.same_as_url_button().click();
            d.ok_button().click();
        });
        drop(*one);
        QCOMPARE(offered_link, QString("http://rapidshare.com/files/999/New.zip"));
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(cell(*s, 2, corvale::col_file_name), QString("New.zip"));

        // A link of the list, in text: the duplicate question, answered No.
        s->prompter.clear();
        s->prompter.answer(false);
        when_dialog_opens<corvale::Add_new_download_dlg>([&](corvale::Add_new_download_dlg& d) {
            d.folder_edit().setText(dir_.path());
            d.name_edit().setText("again.zip");
            d.ok_button().click();
        });
        drop(*mime({}, "see " + QString::fromStdWString(a_link)));
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QVERIFY(s->prompter.shown()[0].question);
        QCOMPARE(table.rowCount(), 3);

        // Several links: the grabber with them, ready to verify.
        drop(*mime({}, QString::fromStdWString(a_link) + " http://rapidshare.com/files/2/b.rar"));
        QVERIFY(s->window().links_grabber() != nullptr);
        QCOMPARE(s->window().links_grabber()->links_list().rowCount(), 2);
        QVERIFY(s->window().links_grabber()->try_close());
        settle(s->window());
        QTRY_VERIFY(s->window().links_grabber() == nullptr);

        // A list file: the modified list's question first (No), then the list.
        s->app.download_list()->set_modified(true);
        s->prompter.clear();
        s->prompter.answer(false);
        bool taken_while_asked = true;
        s->prompter.while_open = [&](const std::wstring&) {
            taken_while_asked = accepted(*mime({zrv}, {}));
        };
        drop(*mime({zrv}, {}));
        s->prompter.while_open = nullptr;
        QVERIFY(!taken_while_asked);
        QCOMPARE(s->prompter.shown().size(), std::size_t(1));
        QCOMPARE(s->prompter.shown()[0].text, corvale::load_string(texts::confirm_save_list));
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(s->window().windowTitle(), "Corvale    " + QString::fromStdWString(other));
    }
};

QTEST_MAIN(Window_list_test)
#include "window_list_test.moc"
