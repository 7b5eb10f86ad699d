#include "ui/dialogs/load_or_merge_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/ui_text.h"

namespace corvale {

CLoad_or_merge_dlg::CLoad_or_merge_dlg(QWidget* parent) : QDialog(parent) {
    setObjectName("load_or_merge");
    setWindowTitle(text(texts::load_or_merge_title));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(text(texts::load_or_merge_text), this);
    explanation->setAlignment(Qt::AlignCenter);
    layout->addWidget(explanation);
    auto* buttons = new QDialogButtonBox(this);
    merge_ = buttons->addButton(text(texts::merge_with_current), QDialogButtonBox::ActionRole);
    load_ = buttons->addButton(text(texts::load_new_list), QDialogButtonBox::ActionRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(merge_, &QPushButton::clicked, this, [this] {
        choice_ = merge;
        done(merge);
    });
    connect(load_, &QPushButton::clicked, this, [this] {
        choice_ = load;
        done(load);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace corvale
