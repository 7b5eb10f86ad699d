#pragma once

// Asks for a new download: link, local folder, local file name and
// description, with "Same As URL" to take the name from the link. The folder
// starts as where downloads start (the last one used, else Downloads, else
// home).

#include "ui/dialogs/download_fields_dlg.h"

namespace corvale {

class Add_new_download_dlg : public Download_fields_dlg {
    Q_OBJECT

  public:
    Add_new_download_dlg(Prompter& prompter, Profile& profile, QWidget* parent = nullptr);
    QPushButton& same_as_url_button() { return *same_as_url_; }

  protected:
    Checked_fields check(const Download_fields& typed) const override;

  private:
    void same_as_url();

    QPushButton* same_as_url_ = nullptr;
};

}  // namespace corvale
