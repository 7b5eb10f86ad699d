#pragma once

// The program's start-up: one instance per user, the profile, the language
// and its layout direction, the program directory, then the main window.

#include <QString>
#include <QTranslator>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/language.h"
#include "app/single_instance.h"
#include "model/download_list.h"
#include "ui/common/qt_prompter.h"
#include "ui/common/question_tracker.h"
#include "ui/main/tollway_dlg.h"

namespace corvale {

class CTollwayApp {
  public:
    // `instance_name` names the single-instance socket; `profile` is the
    // user's profile (tests pass one of their own).
    CTollwayApp(QString instance_name, Profile& profile, Prompter& prompter);
    ~CTollwayApp();

    // The transfer settings the windows and their workers share.
    const std::shared_ptr<Transfer_settings>& transfer_settings() const { return settings_; }
    // The workers' second (tests shorten it); running workers see it from
    // their next attempt.
    void set_worker_timing(Worker_timing timing) {
        settings_->change([&](Transfer_values& values) { values.timing = std::move(timing); });
    }
    // How list files are chosen (tests answer without a dialog); before start().
    void set_list_file_chooser(decltype(CTollwayDlg::Services::choose_list_file) chooser) {
        choose_list_file_ = std::move(chooser);
    }
    // Tests see what would be opened with the desktop's handler.
    void set_url_opener(decltype(CTollwayDlg::Services::open_url) opener) {
        open_url_ = std::move(opener);
    }

    // The D-Bus address desktop notifications go to instead of the session
    // bus (tests run a bus of their own); before start().
    void set_notification_bus(QString address) { notification_bus_ = std::move(address); }

    // The single-instance socket's folder instead of the user's private one;
    // before start().
    void set_channel_folder(std::filesystem::path folder) {
        instance_.set_folder(std::move(folder));
    }

    // Start-up up to the shown main window. False when another instance of
    // the user's runs (it was asked to show itself) and nothing else was
    // done. When this start can neither reach nor become that instance, it
    // says why and runs anyway.
    // `file`: a list file given on the command line, loaded once the window
    // is up, or handed to the instance that runs already.
    bool start(const std::filesystem::path& program_directory,
               const std::optional<std::filesystem::path>& file = std::nullopt);

    const std::filesystem::path& program_directory() const { return program_directory_; }
    Language language() const { return language_; }
    CTollwayDlg* main_window() { return window_.get(); }
    Download_list* download_list() { return list_.get(); }

    // Qt's own texts (standard dialogs, buttons) in the program's language.
    bool qt_translated() const { return qt_translator_ != nullptr; }

  private:
    static Transfer_values with_speed_limits();
    void load_qt_translations();
    void report_no_channel();

    Single_instance instance_;
    Profile& profile_;
    // Every question of the program goes through it (and on to the prompter
    // given), so that the windows know when one is open.
    Question_tracker prompter_;
    std::filesystem::path program_directory_;
    Language language_ = Language::english;
    // With the speed limits of the session: the global ones from the profile
    // once start() reads it, the downloads' own ones as the user gives them.
    std::shared_ptr<Transfer_settings> settings_ = make_transfer_settings(with_speed_limits());
    decltype(CTollwayDlg::Services::choose_list_file) choose_list_file_;
    decltype(CTollwayDlg::Services::open_url) open_url_;
    QString notification_bus_;
    std::unique_ptr<Download_list> list_;
    std::unique_ptr<CTollwayDlg> window_;
    std::unique_ptr<QTranslator> qt_translator_;
};

}  // namespace corvale
