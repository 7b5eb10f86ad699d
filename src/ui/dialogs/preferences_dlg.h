#pragma once

// The Preferences dialog: the default download folder, the global speed
// limits, desktop notifications, the tray, the clipboard watch and the
// language. OK checks every value, says what is wrong and stores nothing
// while one is; otherwise it stores the preferences in the profile. The
// limits and the language are the caller's to apply and store (as the
// Speed Limit and language commands do); Cancel changes nothing.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "engine/preferences.h"
#include "engine/speed_limits.h"
#include "platform/profile.h"
#include "platform/prompter.h"
#include "ui/dialogs/speed_limit_form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace corvale {

class CPreferences_dlg : public QDialog {
    Q_OBJECT

  public:
    using Folder_chooser = std::function<std::optional<std::wstring>(QWidget* parent)>;

    // Shows the preferences and the language that `profile` holds and the
    // global limits `limits` (nullptr: no limits to set, no fields for them).
    CPreferences_dlg(Prompter& prompter, Profile& profile, const Global_limits* limits,
                     QWidget* parent = nullptr);

    // What was accepted.
    const Preferences& preferences() const { return preferences_; }
    const Global_limits& limits() const { return limits_; }
    // k_language_arabic or k_language_english.
    int language() const { return language_; }

    QLineEdit& folder_edit() { return *folder_; }
    QPushButton& browse_button() { return *browse_; }
    // nullptr without limits.
    Speed_limit_form* limits_form() { return form_; }
    QCheckBox& notifications_check() { return *notifications_; }
    QCheckBox& tray_check() { return *tray_; }
    QCheckBox& clipboard_check() { return *clipboard_; }
    // English first, Arabic second.
    QComboBox& language_box() { return *language_box_; }
    QPushButton& ok_button() { return *ok_; }
    // Chooses a folder for Browse; no value when cancelled. The default is
    // Qt's folder chooser, opening in the field's folder or where downloads
    // start.
    void set_folder_chooser(Folder_chooser chooser) { choose_folder_ = std::move(chooser); }

  private:
    void ok();
    void browse();

    Prompter& prompter_;
    Profile& profile_;
    Preferences preferences_;
    Global_limits limits_;
    int language_;
    Folder_chooser choose_folder_;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    Speed_limit_form* form_ = nullptr;
    QCheckBox* notifications_ = nullptr;
    QCheckBox* tray_ = nullptr;
    QCheckBox* clipboard_ = nullptr;
    QComboBox* language_box_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvale
