#include "ui/dialogs/speed_limit_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/ui_text.h"

namespace corvale {

CSpeed_limit_dlg::CSpeed_limit_dlg(Prompter& prompter, const Global_limits& shown, QWidget* parent)
    : QDialog(parent), prompter_(prompter), global_(shown) {
    setObjectName("speed_limit");
    form_ = new Speed_limit_form(shown, this);
    build(texts::speed_limit_title, texts::speed_limit_text);
}

CSpeed_limit_dlg::CSpeed_limit_dlg(Prompter& prompter, std::uint64_t shown, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName("own_speed_limit");
    global_.rate = shown;
    form_ = new Speed_limit_form(shown, texts::own_limit_field, texts::own_limit_unit, this);
    build(texts::own_limit_title, texts::own_limit_text);
}

void CSpeed_limit_dlg::build(int title, int note) {
    setWindowTitle(text(title));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(text(note), this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);
    layout->addWidget(form_);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);  // Enter presses OK
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSpeed_limit_dlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CSpeed_limit_dlg::ok() {
    if (const std::optional<Global_limits> accepted = form_->read(prompter_)) {
        global_ = *accepted;
        accept();
    }
}

}  // namespace corvale
