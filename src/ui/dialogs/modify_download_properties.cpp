#include "ui/dialogs/modify_download_properties.h"

#include <QLineEdit>

#include "ui/common/ui_text.h"

namespace corvale {

Modify_download_properties::Modify_download_properties(Prompter& prompter, Profile& profile,
                                                       const Download_fields& fields, bool several,
                                                       QWidget* parent)
    : Download_fields_dlg(prompter, profile, texts::edit_title, texts::field_file_name_edit,
                          parent),
      several_(several) {
    setObjectName("modify_download_properties");
    set_fields(several ? Download_fields{L"", fields.folder, L"", fields.description} : fields);
    url_edit().setEnabled(!several);
    name_edit().setEnabled(!several);
}

Checked_fields Modify_download_properties::check(const Download_fields& typed) const {
    return check_edited_download(typed, several_, several_);
}

}  // namespace corvale
