#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "corvale/version.h"
#include "platform/string_table.h"
#include "platform/version_info.h"
#include "ui/common/icons.h"
#include "ui/common/link_label.h"
#include "ui/common/ui_text.h"

namespace corvale {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(text(texts::about_title));
    auto* icon = new QLabel(this);
    icon->setPixmap(program_icon("corvale").pixmap(48, 48));
    icon->setAccessibleName(text(texts::about_product));  // the program's icon
    auto* product = new QLabel("<b>" + text(texts::about_product).toHtmlEscaped() + "</b>", this);
    auto* maker = new QLabel(text(texts::about_maker), this);
    version_ = new QLabel(
        qt(format_printf(load_string(texts::about_version), {version_string(L"FileVersion")})),
        this);
    info_ = new QLabel(text(texts::about_notice), this);
    info_->setWordWrap(true);
    auto* link = new Link_label(k_maker_website, text(texts::about_link), this);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    auto* names = new QVBoxLayout;
    names->addWidget(product);
    names->addWidget(maker);
    names->addWidget(version_);
    heading->addLayout(names, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(info_);
    layout->addWidget(link);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QString CAboutDlg::info_text() const {
    return info_->text();
}
QString CAboutDlg::version_text() const {
    return version_->text();
}

}  // namespace corvale
