#include "ui/dialogs/download_fields_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "corvale/text_ids.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {}  // namespace

Download_fields_dlg::Download_fields_dlg(Prompter& prompter, Profile& profile, int title,
                                         int name_label, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      profile_(profile),
      choose_folder_([this](QWidget* owner) {
          return choose_folder(owner, texts::select_folder, browse_start());
      }) {
    setWindowTitle(text(title));
    grid_ = new QGridLayout(this);
    const auto add_field = [&](int label, int row) {
        auto* edit = new QLineEdit(this);
        grid_->addWidget(field_caption(label, edit, this), row, 0);
        grid_->addWidget(edit, row, 1);
        return edit;
    };
    url_ = add_field(texts::field_url, 0);
    folder_ = add_field(texts::field_folder, 1);
    browse_ = new QPushButton(text(texts::browse), this);
    grid_->addWidget(browse_, 1, 2);
    name_ = add_field(name_label, 2);
    description_ = add_field(texts::field_description, 3);
    // Links, folders and names are written left to right in either language.
    for (QLineEdit* data : {url_, folder_, name_}) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);  // Enter presses OK
    grid_->addWidget(buttons, 5, 0, 1, 3);
    grid_->setColumnStretch(1, 1);
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
    connect(buttons, &QDialogButtonBox::accepted, this, &Download_fields_dlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &Download_fields_dlg::browse);
    setTabOrder(url_, folder_);
    setTabOrder(folder_, browse_);
    setTabOrder(browse_, name_);
    setTabOrder(name_, description_);
}

Download_fields Download_fields_dlg::typed() const {
    return {url_->text().toStdWString(), folder_->text().toStdWString(),
            name_->text().toStdWString(), description_->text().toStdWString()};
}

void Download_fields_dlg::set_fields(const Download_fields& fields) {
    url_->setText(qt(fields.url));
    folder_->setText(qt(fields.folder));
    name_->setText(qt(fields.file_name));
    description_->setText(qt(fields.description));
}

void Download_fields_dlg::ok() {
    const Checked_fields checked = check(typed());
    if (checked.message != 0) {
        prompter_.show_message(load_string(checked.message));
        return;
    }
    fields_ = checked.fields;
    accept();
}

std::wstring Download_fields_dlg::browse_start() const {
    return user_start_folder(Start_for::downloads, profile_, folder_->text().toStdWString());
}

void Download_fields_dlg::browse() {
    if (const auto folder = choose_folder_(this)) {
        folder_->setText(qt(*folder));
        remember_download_folder(profile_, *folder);
    }
}

}  // namespace corvale
