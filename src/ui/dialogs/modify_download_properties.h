#pragma once

// Edits the link, folder, file name and description of one download, or the
// folder and description of several (the link and the name are then locked
// and empty).

#include "ui/dialogs/download_fields_dlg.h"

namespace corvale {

class Modify_download_properties : public Download_fields_dlg {
    Q_OBJECT

  public:
    // `several`: the several-downloads mode.
    Modify_download_properties(Prompter& prompter, Profile& profile, const Download_fields& fields,
                               bool several, QWidget* parent = nullptr);

  protected:
    Checked_fields check(const Download_fields& typed) const override;

  private:
    bool several_;
};

}  // namespace corvale
