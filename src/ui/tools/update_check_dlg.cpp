#include "ui/tools/update_check_dlg.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "corvale/text_ids.h"
#include "corvale/version.h"
#include "platform/string_table.h"
#include "platform/version_info.h"
#include "ui/common/field_caption.h"
#include "ui/common/link_label.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

const QString k_placeholder = "....";

}  // namespace

Update_check_dlg::Update_check_dlg(Prompter& prompter, Update_source source,
                                   std::function<void()> closed, QWidget* owner)
    : QDialog(owner), prompter_(prompter), source_(std::move(source)), closed_(std::move(closed)) {
    setObjectName("update_check");
    setWindowTitle(text(texts::update_title));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    int row = 0;
    const auto add_row = [&](QLabel* caption, QWidget* value) {
        grid->addWidget(caption, row, 0, Qt::AlignTop);
        grid->addWidget(value, row, 1);
        ++row;
    };
    status_ = new Value_label(this);  // emptied on opening
    status_->setWordWrap(true);
    current_ = new Value_label(this, qt(version_string(L"FileVersion")));
    latest_ = new Value_label(this, k_placeholder);
    date_ = new Value_label(this, k_placeholder);
    information_ = new QPlainTextEdit(k_placeholder, this);
    information_->setReadOnly(true);
    add_row(value_caption(texts::update_status, status_, this), status_);
    add_row(value_caption(texts::current_version, current_, this), current_);
    add_row(value_caption(texts::latest_version, latest_, this), latest_);
    add_row(value_caption(texts::version_date, date_, this), date_);
    add_row(field_caption(texts::update_information, information_, this), information_);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    layout->addWidget(new Link_label(k_maker_website, text(texts::website_link), this));

    auto* buttons = new QDialogButtonBox(this);
    check_ = buttons->addButton(text(texts::check_for_updates), QDialogButtonBox::ActionRole);
    exit_ = buttons->addButton(text(texts::update_exit), QDialogButtonBox::RejectRole);
    check_->setDefault(true);
    layout->addWidget(buttons);
    connect(check_, &QPushButton::clicked, this, &Update_check_dlg::check);
    connect(exit_, &QPushButton::clicked, this, &Update_check_dlg::try_close);
    resize(460, 360);
}

Update_check_dlg::~Update_check_dlg() {
    stop_.set();  // a check still running ends within moments
    if (worker_.joinable()) {
        worker_.join();
    }
}

QString Update_check_dlg::status_text() const {
    return status_->text();
}
QString Update_check_dlg::current_version() const {
    return current_->text();
}
QString Update_check_dlg::latest_version() const {
    return latest_->text();
}
QString Update_check_dlg::version_date() const {
    return date_->text();
}
QString Update_check_dlg::information() const {
    return information_->toPlainText();
}

void Update_check_dlg::check() {
    if (worker_.joinable()) {
        return;
    }
    check_->setEnabled(false);
    exit_->setEnabled(false);
    status_->set_value(text(texts::connecting_for_update));
    stop_.reset();
    // The thread owns copies of what it needs; its outcome comes back as a
    // queued call, which Qt drops if the window is gone by then.
    worker_ = std::thread([this, source = source_] {
        Version_fetch fetch = fetch_version_file(source, stop_);
        QMetaObject::invokeMethod(
            this, [this, fetch = std::move(fetch)] { show_outcome(fetch); }, Qt::QueuedConnection);
    });
}

void Update_check_dlg::show_outcome(const Version_fetch& fetch) {
    if (worker_.joinable()) {
        worker_.join();
    }
    if (!fetch.error.empty()) {
        status_->set_value(qt(fetch.error));
    }
    if (fetch.has_reply()) {
        const Version_file file = parse_version_file(fetch.reply);
        if (!file.latest.empty()) {
            latest_->set_value(qt(file.latest));
        }
        if (file.date) {
            date_->set_value(qt(*file.date));
        }
        if (file.information) {
            information_->setPlainText(qt(*file.information));
        }
        const bool available = update_available(current_->text().toStdWString(), file.latest);
        status_->set_value(text(update_verdict_message(available)));
    } else {
        prompter_.show_message(load_string(texts::update_check_failed));
    }
    check_->setEnabled(true);
    exit_->setEnabled(true);
    emit check_ended();
}

void Update_check_dlg::try_close() {
    // While a check runs closing is refused; the main window's shutdown
    // destroys the window, which ends the check.
    if (!exit_->isEnabled() || close_requested_) {
        return;
    }
    close_requested_ = true;
    status_->set_value(text(texts::cancelling_update));
    hide();
    if (closed_) {
        closed_();
    }
}

void Update_check_dlg::reject() {
    try_close();
}

void Update_check_dlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    try_close();
}

}  // namespace corvale
