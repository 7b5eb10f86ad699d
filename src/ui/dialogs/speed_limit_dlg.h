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

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QTimeEdit;

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

    QLineEdit& rate_edit() { return *rate_; }
    QComboBox& rate_unit() { return *unit_; }
    // The hours' fields; nullptr in the dialog for an own limit.
    QCheckBox* hours_check() { return hours_on_; }
    QLineEdit* hours_edit() { return hours_rate_; }
    QComboBox* hours_unit() { return hours_unit_; }
    QTimeEdit* from_edit() { return from_; }
    QTimeEdit* until_edit() { return until_; }
    QPushButton& ok_button() { return *ok_; }

  private:
    void build(int title, int note, int field, int unit_name);
    void add_hours(const Hours_limit& shown);
    void ok();

    Prompter& prompter_;
    Global_limits global_;
    QGridLayout* grid_ = nullptr;
    QLineEdit* rate_ = nullptr;
    QComboBox* unit_ = nullptr;
    QCheckBox* hours_on_ = nullptr;
    QLineEdit* hours_rate_ = nullptr;
    QComboBox* hours_unit_ = nullptr;
    QTimeEdit* from_ = nullptr;
    QTimeEdit* until_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvale
