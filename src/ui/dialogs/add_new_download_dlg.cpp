#include "ui/dialogs/add_new_download_dlg.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include "corvale/text_ids.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {}  // namespace

Add_new_download_dlg::Add_new_download_dlg(Prompter& prompter, Profile& profile, QWidget* parent)
    : Download_fields_dlg(prompter, profile, texts::add_title, texts::field_file_name, parent) {
    setObjectName("add_new_download");
    folder_edit().setText(qt(user_start_folder(Start_for::downloads, profile)));
    same_as_url_ = new QPushButton(text(texts::same_as_url), this);
    same_as_url_->setAutoDefault(false);
    grid().addWidget(same_as_url_, 2, 2);
    setTabOrder(&name_edit(), same_as_url_);
    setTabOrder(same_as_url_, &description_edit());
    connect(same_as_url_, &QPushButton::clicked, this, &Add_new_download_dlg::same_as_url);
}

Checked_fields Add_new_download_dlg::check(const Download_fields& typed) const {
    return check_new_download(typed);
}

void Add_new_download_dlg::same_as_url() {
    const auto name = name_from_link(url_edit().text().toStdWString());
    if (!name) {
        prompter().show_message(load_string(texts::no_name_in_link));
    } else if (!name->empty()) {
        name_edit().setText(qt(*name));
    }
}

}  // namespace corvale
