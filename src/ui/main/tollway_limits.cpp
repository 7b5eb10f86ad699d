#include "ui/main/tollway_dlg.h"

// The main window's speed limits: the global ones in their dialog and in the
// status line, the own limits of the selected downloads and the rows'
// tooltips that name the limit of each.
#include <QStatusBar>
#include <QTableWidget>

#include "engine/limit_profile.h"
#include "model/row_texts.h"
#include "ui/common/field_caption.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/speed_limit_dlg.h"

namespace corvale {

namespace {

// The hours of a second limit begin and end on whole minutes.
constexpr int k_limit_clock_ms = 20 * 1000;

}  // namespace

void CTollwayDlg::build_limits() {
    limit_status_ = new Value_label(this);
    statusBar()->addPermanentWidget(limit_status_);
    if (!limits_) {
        limit_status_->hide();
        return;
    }
    view_.set_tooltip([limits = limits_](std::int32_t download) {
        return limit_text(limits->rate_of(download));
    });
    limit_clock_.setInterval(k_limit_clock_ms);
    connect(&limit_clock_, &QTimer::timeout, this, &CTollwayDlg::show_limit);
    limit_clock_.start();
    show_limit();
}

void CTollwayDlg::show_limit() {
    const QString shown = limits_ ? qt(limit_text(limits_->global_rate())) : QString();
    limit_status_->set_value(shown);
    limit_status_->setVisible(!shown.isEmpty());
}

QString CTollwayDlg::limit_status_text() const {
    return limit_status_->isVisibleTo(statusBar()) ? limit_status_->text() : QString();
}

void CTollwayDlg::speed_limit_command() {
    CSpeed_limit_dlg dialog(services_.prompter, limits_->global(), this);
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    apply_global_limits(dialog.global());
}

void CTollwayDlg::apply_global_limits(const Global_limits& limits) {
    limits_->set_global(limits);
    write_global_limits(services_.profile, limits);
    show_limit();
}

void CTollwayDlg::limit_rows_command() {
    std::vector<std::int32_t> numbers;
    for (const int row : selected_rows()) {
        numbers.push_back(view_.item_data(row));
    }
    if (numbers.empty()) {
        return;
    }
    CSpeed_limit_dlg dialog(services_.prompter, limits_->own(numbers.front()), this);
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    // The rows may have gone while the dialog was open; a number that has
    // no record now is left alone (numbers are never given out twice).
    for (const std::int32_t number : numbers) {
        if (services_.list.find(number) != nullptr) {
            limits_->set_own(number, dialog.own());
        }
    }
}

}  // namespace corvale
