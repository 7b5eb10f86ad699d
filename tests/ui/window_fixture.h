#pragma once

// What the window tests share: a started program with a profile and a
// scripted prompter of its own, the local file host that every download goes
// to, list files in a test folder, and commands run as the menu gives them.

#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/tollway_app.h"
#include "engine/scheduler.h"
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "platform/string_table.h"
#include "support/scripted_prompter.h"
#include "ui/common/settings_profile.h"
#include "ui/dialogs/schedule_dlg.h"

namespace corvale::testing {

using corvale::fakehost::Fake_host;
using corvale::fakehost::Reply;

inline const std::filesystem::path k_bundle_dir = CORVALE_BUNDLE_DIR;
inline constexpr int k_english = 2;

// A text of the string table in use.
inline QString text(int id) {
    return QString::fromStdWString(corvale::load_string(id));
}

inline QList<int> column_widths(QTableWidget& table) {
    QList<int> widths;
    for (int column = 0; column < table.columnCount(); ++column) {
        widths << table.columnWidth(column);
    }
    return widths;
}

inline QStringList headers(QTableWidget& table) {
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column) {
        texts << table.horizontalHeaderItem(column)->text();
    }
    return texts;
}

// Runs `fill` on the modal dialog that the command about to run opens (the
// command runs from a queued call, so the dialog opens a little later).
template <typename Dialog>
void when_dialog_opens(std::function<void(Dialog&)> fill) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, fill, tries] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && ++*tries < 2000) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        QVERIFY(dialog != nullptr);
        fill(*dialog);
    });
    poll->start();
}

// Fills the schedule dialog that the command about to run opens with a start
// and a stop (seconds since 1970), and presses OK.
inline void when_schedule_opens(std::int64_t start, std::int64_t stop) {
    when_dialog_opens<corvale::CSchedule_dlg>([start, stop](corvale::CSchedule_dlg& d) {
        const corvale::Local_time from = corvale::local_time(start);
        const corvale::Local_time to = corvale::local_time(stop);
        d.start_date().setDate(QDate(from.year, from.month, from.day));
        d.start_time().setTime(QTime(from.hour, from.minute, from.second));
        d.stop_date().setDate(QDate(to.year, to.month, to.day));
        d.stop_time().setTime(QTime(to.hour, to.minute, to.second));
        d.ok_button().click();
    });
}

// Runs the events already posted, and those that they post in turn, without
// waiting for time to pass.
inline void run_posted_events() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A timer's timeout now, whatever its interval, and the events it posts.
inline void fire(QTimer& timer) {
    QVERIFY(QMetaObject::invokeMethod(&timer, "timeout"));
    run_posted_events();
}

// Commands run from queued calls: runs events until none waits.
inline void settle(corvale::CTollwayDlg& window) {
    QTRY_VERIFY_WITH_TIMEOUT(!window.questions().pending(), 20000);
}

// A command as the menu or toolbar gives it, run to its end.
inline void press(corvale::CTollwayDlg& window, int command) {
    window.action(command)->trigger();
    settle(window);
}

// A started program with a profile and a prompter of its own.
struct Session {
    Session(const QString& profile_path, const QString& instance, int language,
            const std::wstring& last_list = {})
        : profile(profile_path), app(instance, profile, prompter) {
        if (language >= 0) {
            profile.write_int(corvale::k_settings_section, L"language", language);
        }
        if (!last_list.empty()) {
            profile.write_string(corvale::k_settings_section, L"last_list", last_list);
        }
    }
    bool start(const std::filesystem::path& directory = k_bundle_dir,
               const std::optional<std::filesystem::path>& file = std::nullopt) {
        return app.start(directory, file);
    }
    corvale::CTollwayDlg& window() { return *app.main_window(); }

    corvale::Settings_profile profile;
    Scripted_prompter prompter;
    CTollwayApp app;
};

class Window_fixture {
  protected:
    // The single-instance channel lives in XDG_RUNTIME_DIR (for tests a
    // folder of the build tree), which is used only when it is private.
    Window_fixture() {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
            ::mkdir(runtime, 0700);
        }
    }

    QTemporaryDir dir_;
    int instances_ = 0;
    corvale::fakehost::File_host_scenario scenario_;
    std::unique_ptr<Fake_host> host_;

    QString instance_name() {
        return QString("corvale-test-%1-%2").arg(::getpid()).arg(++instances_);
    }
    QString profile_path() const { return dir_.filePath("profile.ini"); }
    std::unique_ptr<Session> session(int language, const std::wstring& last_list = {}) {
        return std::make_unique<Session>(profile_path(), instance_name(), language, last_list);
    }

    // A list file in the test's folder of downloads (name, description, link)
    // into that folder.
    struct Entry {
        const wchar_t* name;
        const wchar_t* description;
        const wchar_t* link;
    };
    std::wstring write_list(const char* file_name, std::initializer_list<Entry> entries) {
        Scripted_prompter prompter;
        corvale::Memory_profile profile;
        corvale::Download_list list(prompter, profile);
        corvale::Memory_list_view view;
        for (const Entry& entry : entries) {
            list.add_download(entry.name, entry.description, view, entry.link, folder());
        }
        const std::wstring path = dir_.filePath(file_name).toStdWString();
        corvale::save_list(list, path);
        return path;
    }
    // Two downloads, a.zip and b.zip.
    std::wstring sample_list() {
        return write_list("sample.zrv",
                          {{L"a.zip", L"first", L"http://rapidshare.com/files/111/a.zip"},
                           {L"b.zip", L"second", L"http://rapidshare.com/files/222/b.zip"}});
    }

    std::wstring folder() const { return dir_.path().toStdWString(); }
    std::filesystem::path file(const char* name) const {
        return std::filesystem::path(dir_.path().toStdString()) / name;
    }

    // A started session whose workers count seconds of 1 ms, on the sample
    // list, with the file host's replies for both downloads.
    // The file host's replies for both sample downloads, and no old files.
    void script_downloads(Reply file_a, Reply file_b = Reply{200, "b"}) {
        std::filesystem::remove(file("a.zip"));
        std::filesystem::remove(file("b.zip"));
        scenario_.api_replies("111", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario_.api_replies("222", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario_.file("111", std::move(file_a));
        scenario_.file("222", std::move(file_b));
    }
    // A session on the sample list whose workers count seconds of 1 ms.
    std::unique_ptr<Session> fast_session() {
        auto s = session(k_english, sample_list());
        s->app.set_worker_timing(corvale::Worker_timing{std::chrono::milliseconds(1), {}});
        return s;
    }
    // A started fast session, with the file host's replies for both downloads.
    std::unique_ptr<Session> download_session(Reply file_a, Reply file_b = Reply{200, "b"}) {
        script_downloads(std::move(file_a), std::move(file_b));
        auto s = fast_session();
        if (!s->start()) {
            return nullptr;
        }
        return s;
    }
    static QString cell(Session& s, int row, int column) {
        return s.window().list_view_widget().item(row, column)->text();
    }
    static void select_rows(QTableWidget& table, std::initializer_list<int> rows) {
        table.clearSelection();
        for (int row : rows) {
            table.selectionModel()->select(table.model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    static void run_command(Session& s, int command, std::initializer_list<int> rows) {
        select_rows(s.window().list_view_widget(), rows);
        press(s.window(), command);
    }

    // After each test: the built-in texts again, and no profile left.
    void forget_test() {
        corvale::install_string_table(nullptr);
        QFile::remove(profile_path());
    }

    void start_file_host() {
        // Every download goes to the local file host, whatever host it names.
        corvale::fakehost::clear_proxy_environment();
        scenario_.set_server("rs1.rapidshare.com");
        host_ = std::make_unique<Fake_host>(
            [this](const corvale::fakehost::Request& r) { return scenario_.handle(r); });
        qputenv("http_proxy", QByteArray("http://127.0.0.1:") + QByteArray::number(host_->port()));
    }
};

}  // namespace corvale::testing
