#pragma once

// Asks for speed limits: the global ones (a limit for all downloads and a
// second one for hours of the day), or the own limit of one or several
// downloads. A rate is a number and a unit (KB/s, MB/s); empty or 0 is no
// limit. OK refuses a rate that is not a number, is negative or too large,
// says why and changes nothing.

#include <QDialog>
#include <cstdint>

#include "engine/speed_limits.h"
#include "platform/prompter.h"
#include "ui/dialogs/speed_limit_form.h"

class QPushButton;

namespace corvale {

class CSpeed_limit_dlg : public QDialog {
    Q_OBJECT

  public:
    // The global limits, showing `shown`.
    CSpeed_limit_dlg(Prompter& prompter, const Global_limits& shown, QWidget* parent = nullptr);
    // An own limit, showing `shown` (0: none).
    CSpeed_limit_dlg(Prompter& prompter, std::uint64_t shown, QWidget* parent = nullptr);

    // What was accepted.
    const Global_limits& global() const { return global_; }
    std::uint64_t own() const { return global_.rate; }

    QLineEdit& rate_edit() { return form_->rate_edit(); }
    QComboBox& rate_unit() { return form_->rate_unit(); }
    // The hours' fields; nullptr in the dialog for an own limit.
    QCheckBox* hours_check() { return form_->hours_check(); }
    QLineEdit* hours_edit() { return form_->hours_edit(); }
    QComboBox* hours_unit() { return form_->hours_unit(); }
    QTimeEdit* from_edit() { return form_->from_edit(); }
    QTimeEdit* until_edit() { return form_->until_edit(); }
    QPushButton& ok_button() { return *ok_; }

  private:
    void build(int title, int note);
    void ok();

    Prompter& prompter_;
    Global_limits global_;
    Speed_limit_form* form_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvale
