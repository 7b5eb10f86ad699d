// Makes the README's screenshots: the main window with a sample list, in
// English and in Arabic, under the offscreen platform.
//   ui_screenshots OUTPUT_DIR

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <iostream>
#include <thread>

#include "app/tollway_app.h"
#include "corvale/text_ids.h"
#include "engine/preferences.h"
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "platform/wide_text.h"
#include "support/event_loop.h"
#include "support/scripted_prompter.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/settings_profile.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/preferences_dlg.h"
#include "ui/dialogs/schedule_dlg.h"
#include "ui/tools/links_parser_dlg.h"
#include "ui/tools/update_check_dlg.h"

namespace {

using corvale::testing::run_for;
using corvale::testing::run_until;
namespace texts = corvale::texts;

std::wstring write_sample_list(const QString& dir) {
    corvale::testing::Scripted_prompter prompter;
    corvale::Memory_profile profile;
    corvale::Download_list list(prompter, profile);
    corvale::Memory_list_view view;
    struct Sample {
        const wchar_t* name;
        const wchar_t* description;
        const wchar_t* status;
        std::uint64_t size;
        std::int64_t downloaded;
    } samples[] = {
        {L"holiday_photos.part1.rar", L"Holiday photos", L"Finished Downloading File", 16777216,
         16777216},
        {L"holiday_photos.part2.rar", L"Holiday photos", L"Downloading file from direct link",
         4194304, 1572864},
        {L"holiday_photos.part3.rar", L"Holiday photos", L"", 0, 0},
        {L"lecture_notes.pdf", L"Course material",
         L"Download retries have been exceeded: failed to get file. Try again later.", 0, 0},
    };
    int id = 204851;
    for (const Sample& sample : samples) {
        list.add_download(
            sample.name, sample.description, view,
            L"http://rapidshare.com/files/" + std::to_wstring(id++) + L"/" + sample.name,
            L"/home/user/Downloads");
        corvale::Download_record& record = list.records().back();
        record.status_text = sample.status;
        record.file_size = sample.size;
        record.downloaded = sample.downloaded;
        record.info_known = sample.size != 0;
        record.added_at = L"07-12-2026, 09:15:" + std::to_wstring(10 + id % 40);
    }
    const std::wstring path = (dir + "/holiday.zrv").toStdWString();
    corvale::save_list(list, path);
    return path;
}

bool save_grab(QWidget& widget, const QString& dir, const QString& file) {
    const QString path = QDir(dir).filePath(file);
    if (!widget.grab().save(path)) {
        std::cerr << "cannot write " << path.toStdString() << '\n';
        return false;
    }
    std::cout << path.toStdString() << '\n';
    return true;
}

// Shows the widget, lets it lay out, and saves its picture.
bool save(QWidget& widget, const QString& dir, const char* file) {
    widget.show();
    QApplication::processEvents();
    return save_grab(widget, dir, file);
}

// The Save As dialog and the replace question, where paths meet Arabic text.
bool arabic_dialogs(QWidget& window, const QString& work, const QString& out) {
    QFileDialog dialog(&window, corvale::text(texts::save_list_as_title), work,
                       corvale::text(corvale::texts::list_filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile("holiday.zrv");
    corvale::prepare_file_dialog(dialog);
    dialog.resize(720, 420);
    if (!save(dialog, out, "save_as_ar.png")) {
        return false;
    }
    QMessageBox question(QMessageBox::Question, corvale::text(texts::application_title),
                         corvale::qt(corvale::format_message(
                             130, {L"/home/user/Downloads/holiday_photos.part1.rar"})),
                         QMessageBox::NoButton, &window);
    question.addButton(corvale::text(corvale::texts::yes), QMessageBox::YesRole);
    question.addButton(corvale::text(corvale::texts::no), QMessageBox::NoRole);
    return save(question, out, "replace_question_ar.png");
}

// The Add dialog filled in, the scheduler and the preferences, in the current
// language.
bool dialog_shots(QWidget& window, const QString& out, const QString& suffix) {
    corvale::testing::Scripted_prompter prompter;
    corvale::Memory_profile profile;
    corvale::Add_new_download_dlg add(prompter, profile, &window);
    add.url_edit().setText("http://rapidshare.com/files/204851/holiday_photos.part1.rar");
    add.folder_edit().setText("/home/user/Downloads");
    add.name_edit().setText("holiday_photos.part1.rar");
    add.description_edit().setText("Holiday photos");
    add.url_edit().setCursorPosition(0);
    corvale::CSchedule_dlg schedule(prompter, &window);
    corvale::Preferences preferences;
    preferences.default_folder = L"/home/user/Downloads";
    preferences.keep_in_tray = true;
    corvale::write_preferences(profile, preferences);
    profile.write_int(
        corvale::k_settings_section, L"language",
        suffix == "_ar.png" ? corvale::k_language_arabic : corvale::k_language_english);
    const corvale::Global_limits limits{512 * 1024, {true, 2 * 1024 * 1024, 8 * 60, 18 * 60}};
    corvale::CPreferences_dlg preferences_dlg(prompter, profile, &limits, &window);
    return save(add, out, ("add_download" + suffix).toUtf8().constData()) &&
           save(schedule, out, ("scheduler" + suffix).toUtf8().constData()) &&
           save(preferences_dlg, out, ("preferences" + suffix).toUtf8().constData());
}

// The main window with two downloads running from the local file host, and
// the progress window of the first.
bool live_shots(int language, const QString& work, const QString& out) {
    const QString folder = QDir(work).filePath("Downloads");
    QDir().mkpath(folder);
    const std::wstring path = QDir(work).filePath("live.zrv").toStdWString();
    {
        // The list that writes the file lets go of it before the window opens it.
        corvale::testing::Scripted_prompter list_prompter;
        corvale::Memory_profile list_profile;
        corvale::Download_list list(list_prompter, list_profile);
        corvale::Memory_list_view view;
        int id = 310001;
        for (const wchar_t* name :
             {L"lecture_recordings.part1.rar", L"lecture_recordings.part2.rar",
              L"lecture_recordings.part3.rar"}) {
            list.add_download(name, L"Lectures", view,
                              L"http://rapidshare.com/files/" + std::to_wstring(id++) + L"/" + name,
                              folder.toStdWString());
        }
        corvale::save_list(list, path);
    }
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile::remove(QDir(folder).filePath(name));
    }

    corvale::Settings_profile profile(QDir(work).filePath("live-profile.ini"));
    profile.write_int(corvale::k_settings_section, L"language", language);
    profile.write_string(corvale::k_settings_section, L"last_list", path);
    corvale::testing::Scripted_prompter prompter;
    corvale::CTollwayApp app(QString("corvale-screenshots-live-%1").arg(language), profile,
                             prompter);
    if (!app.start(CORVALE_BUNDLE_DIR)) {
        return false;
    }
    corvale::CTollwayDlg& window = *app.main_window();
    window.resize(1100, 360);
    QTableWidget& table = window.list_view_widget();
    table.setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, table.columnCount() - 1), true);
    window.action(corvale::cmd_download)->trigger();
    run_for(std::chrono::milliseconds(2600));
    const QString suffix = language == 1 ? "_ar.png" : "_en.png";
    corvale::CDownload_dlg* progress = window.progress_window(0);
    return progress != nullptr && save_grab(window, out, "live_rows" + suffix) &&
           save_grab(*progress, out, "progress_window" + suffix);
}

// The links grabber after grabbing the demo page and verifying its links,
// and the update window after a check, from the local file host.
bool tool_shots(int language, const QString& work, const QString& out) {
    corvale::Settings_profile profile(QDir(work).filePath("tools-profile.ini"));
    profile.write_int(corvale::k_settings_section, L"language", language);
    corvale::testing::Scripted_prompter prompter;
    corvale::CTollwayApp app(QString("corvale-screenshots-tools-%1").arg(language), profile,
                             prompter);
    app.set_worker_timing(corvale::Worker_timing{std::chrono::milliseconds(1), {}});
    if (!app.start(CORVALE_BUNDLE_DIR)) {
        return false;
    }
    corvale::CTollwayDlg& window = *app.main_window();
    const QString suffix = language == 1 ? "_ar.png" : "_en.png";

    window.action(corvale::cmd_links_grabber)->trigger();
    if (!run_until([&] { return window.links_grabber() != nullptr; }, std::chrono::seconds(5))) {
        return false;
    }
    corvale::Links_parser_dlg& grabber = *window.links_grabber();
    grabber.resize(960, 460);
    grabber.page_url_edit().setText("http://photos.example/holiday.html");
    grabber.get_links_button().click();
    const QString verify_done = QString::fromStdWString(corvale::load_string(texts::verify));
    if (!run_until([&] { return grabber.links_list().rowCount() == 5; },
                   std::chrono::seconds(10))) {
        return false;
    }
    grabber.links_list().selectAll();
    grabber.verify_button().click();
    if (!run_until([&] { return grabber.verify_button().text() == verify_done; },
                   std::chrono::seconds(20))) {
        return false;
    }
    grabber.folder_edit().setText("/home/user/Downloads");
    grabber.description_edit().setText("Holiday photos");
    if (!save_grab(grabber, out, "links_grabber" + suffix)) {
        return false;
    }

    window.action(corvale::cmd_check_updates)->trigger();
    if (!run_until([&] { return window.update_window() != nullptr; }, std::chrono::seconds(5))) {
        return false;
    }
    corvale::Update_check_dlg& update = *window.update_window();
    bool ended = false;
    QObject::connect(&update, &corvale::Update_check_dlg::check_ended, [&] { ended = true; });
    update.check_button().click();
    return run_until([&] { return ended; }, std::chrono::seconds(20)) &&
           save_grab(update, out, "update_check" + suffix);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: ui_screenshots OUTPUT_DIR\n";
        return 2;
    }
    QTemporaryDir work;
    const std::wstring list = write_sample_list(work.path());
    // Live downloads come from the local file host, reached as the proxy.
    corvale::fakehost::File_host_scenario scenario;
    scenario.set_server("rs1.rapidshare.com");
    for (int id = 310001; id <= 310003; ++id) {
        scenario.api_replies(std::to_string(id),
                             {corvale::fakehost::Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario.file(std::to_string(id),
                      corvale::fakehost::Reply{.pattern_size = 48u << 20,
                                               .pace = std::chrono::milliseconds(20)});
    }
    // The grabber's demo page and the link pages it verifies; the version file.
    scenario.page(
        "/holiday.html",
        corvale::fakehost::Reply{
            200,
            "<a href=\"http://rapidshare.com/files/204851/holiday_photos.part1.rar\">1</a>"
            "<a href=\"http://rapidshare.com/files/204852/holiday_photos.part2.rar\">2</a>"
            "<a href=\"http://rapidshare.com/files/204853/holiday_photos.part3.rar\">3</a>"
            " rapidshare.com/files/204854/holiday_photos.part4.rar"
            " rapidshare.com/files/999999/deleted.zip"});
    for (int part = 1; part <= 4; ++part) {
        const std::string id = std::to_string(204850 + part);
        const std::string name = "holiday_photos.part" + std::to_string(part) + ".rar";
        scenario.page(
            "/files/" + id + "/" + name,
            corvale::fakehost::Reply{200, (part == 4 ? "Premium only. " : "") +
                                              std::string("var d=\"#!download|rs42|") + id + "|" +
                                              name + "|" + std::to_string(4096 * part) + " KB\";"});
    }
    scenario.page("/files/999999/deleted.zip",
                  corvale::fakehost::Reply{200, "<p>ERROR: File not found</p>"});
    const std::wstring version = L"1.2.1.0\r\n2026-12-01\r\nFaster verification of links.";
    scenario.page("/corvale/version_a.txt",
                  corvale::fakehost::Reply{200, "\xFF\xFE" + corvale::to_utf16le(version)});
    corvale::fakehost::clear_proxy_environment();
    corvale::fakehost::Fake_host host(
        [&scenario](const corvale::fakehost::Request& r) { return scenario.handle(r); });
    qputenv("http_proxy", QByteArray("http://127.0.0.1:") + QByteArray::number(host.port()));
    const struct {
        int language;
        const char* file;
    } shots[] = {{2, "main_window_en.png"}, {1, "main_window_ar.png"}};
    for (const auto& shot : shots) {
        corvale::Settings_profile profile(work.filePath("profile.ini"));
        profile.write_int(corvale::k_settings_section, L"language", shot.language);
        profile.write_string(corvale::k_settings_section, L"last_list", list);
        corvale::testing::Scripted_prompter prompter;
        corvale::CTollwayApp app(QString("corvale-screenshots-%1").arg(shot.language), profile,
                                 prompter);
        if (!app.start(CORVALE_BUNDLE_DIR)) {
            return 1;
        }
        app.main_window()->resize(1100, 360);
        QApplication::processEvents();
        const QString path = QDir(argv[1]).filePath(shot.file);
        if (!app.main_window()->grab().save(path)) {
            std::cerr << "cannot write " << path.toStdString() << '\n';
            return 1;
        }
        std::cout << path.toStdString() << '\n';
        if (shot.language == 1 && !arabic_dialogs(*app.main_window(), work.path(), argv[1])) {
            return 1;
        }
        if (!dialog_shots(*app.main_window(), argv[1],
                          shot.language == 1 ? "_ar.png" : "_en.png")) {
            return 1;
        }
    }
    for (const int language : {2, 1}) {
        if (!live_shots(language, work.path(), argv[1]) ||
            !tool_shots(language, work.path(), argv[1])) {
            return 1;
        }
    }
    return 0;
}
