#pragma once

// What the Add and Edit download dialogs share: the link, folder, file name
// and description fields with their labels (each label names its field for
// screen readers), Browse for the folder, OK and Cancel. The checks of OK are
// the core's; a failed one shows its message and the dialog stays open with
// what was typed. A folder chosen with Browse is remembered in the profile as
// where downloads start next time.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "model/download_fields.h"
#include "platform/profile.h"
#include "platform/prompter.h"

class QGridLayout;
class QLineEdit;
class QPushButton;

namespace corvale {

class Download_fields_dlg : public QDialog {
    Q_OBJECT

  public:
    // Chooses a folder; no value when the user cancels. The default is Qt's
    // folder chooser titled "Select folder", opening in browse_start().
    using Folder_chooser = std::function<std::optional<std::wstring>(QWidget* parent)>;

    const Download_fields& fields() const { return fields_; }
    QLineEdit& url_edit() { return *url_; }
    QLineEdit& folder_edit() { return *folder_; }
    QLineEdit& name_edit() { return *name_; }
    QLineEdit& description_edit() { return *description_; }
    QPushButton& ok_button() { return *ok_; }
    QPushButton& browse_button() { return *browse_; }
    void set_folder_chooser(Folder_chooser chooser) { choose_folder_ = std::move(chooser); }
    // Where Browse opens: the folder in the field when it exists, else where
    // downloads start.
    std::wstring browse_start() const;

  protected:
    Download_fields_dlg(Prompter& prompter, Profile& profile, int title, int name_label,
                        QWidget* parent);

    // Runs the dialog's checks on what was typed.
    virtual Checked_fields check(const Download_fields& typed) const = 0;
    Download_fields typed() const;
    QGridLayout& grid() { return *grid_; }
    Prompter& prompter() { return prompter_; }
    void set_fields(const Download_fields& fields);

  private:
    void ok();
    void browse();

    Prompter& prompter_;
    Profile& profile_;
    Download_fields fields_;
    Folder_chooser choose_folder_;
    QGridLayout* grid_ = nullptr;
    QLineEdit* url_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* description_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvale
