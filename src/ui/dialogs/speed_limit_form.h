#pragma once

// The fields of speed limits, as the Speed Limit dialogs and the Preferences
// dialog show them: a rate with its unit (KB/s, MB/s), and for the global
// limits a second rate for hours of the day. A rate is a number; empty or 0
// is no limit.

#include <QWidget>
#include <cstdint>
#include <optional>

#include "engine/speed_limits.h"
#include "platform/prompter.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QTimeEdit;

namespace corvale {

class Speed_limit_form : public QWidget {
    Q_OBJECT

  public:
    // The global limits, showing `shown`.
    explicit Speed_limit_form(const Global_limits& shown, QWidget* parent = nullptr);
    // An own limit, showing `shown` (0: none), with the captions' string ids.
    Speed_limit_form(std::uint64_t shown, int field, int unit_name, QWidget* parent = nullptr);

    // What the fields hold over `shown`: each rate that counts is checked
    // (the hours' only while they are on). A bad one is refused with
    // bad_rate through `prompter` and gets the keyboard; no value then.
    std::optional<Global_limits> read(Prompter& prompter) const;

    QLineEdit& rate_edit() { return *rate_; }
    QComboBox& rate_unit() { return *unit_; }
    // The hours' fields; nullptr in the form for an own limit.
    QCheckBox* hours_check() { return hours_on_; }
    QLineEdit* hours_edit() { return hours_rate_; }
    QComboBox* hours_unit() { return hours_unit_; }
    QTimeEdit* from_edit() { return from_; }
    QTimeEdit* until_edit() { return until_; }
    // The first and last fields in Tab order, for the window's own order.
    QWidget* first_field() const;
    QWidget* last_field() const;

  private:
    void build(int field, int unit_name);
    void add_hours(const Hours_limit& shown);

    Global_limits shown_;
    QGridLayout* grid_ = nullptr;
    QLineEdit* rate_ = nullptr;
    QComboBox* unit_ = nullptr;
    QCheckBox* hours_on_ = nullptr;
    QLineEdit* hours_rate_ = nullptr;
    QComboBox* hours_unit_ = nullptr;
    QTimeEdit* from_ = nullptr;
    QTimeEdit* until_ = nullptr;
};

}  // namespace corvale
