#include "ui/dialogs/speed_limit_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimeEdit>

#include "engine/rate_entry.h"
#include "model/row_texts.h"
#include "ui/common/field_caption.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

enum Row { rate_row, hours_check_row, hours_rate_row, times_row };

// A rate's number and its unit, as the fields show them.
void show_rate(QLineEdit& number, QComboBox& unit, std::uint64_t rate) {
    const Rate_entry entry = entry_of_rate(rate);
    number.setText(qt(entry.number));
    unit.setCurrentIndex(entry.unit == Rate_unit::mb ? 1 : 0);
}

std::optional<std::uint64_t> typed_rate(const QLineEdit& number, const QComboBox& unit) {
    return rate_from_entry(number.text().toStdWString(),
                           unit.currentIndex() == 1 ? Rate_unit::mb : Rate_unit::kb);
}

QComboBox* unit_box(QWidget* parent) {
    auto* unit = new QComboBox(parent);
    unit->addItem(text(texts::unit_kb));
    unit->addItem(text(texts::unit_mb));
    return unit;
}

QLineEdit* number_edit(QWidget* parent) {
    auto* number = new QLineEdit(parent);
    // Numbers read left to right in either language.
    number->setLayoutDirection(Qt::LeftToRight);
    number->setMaxLength(32);
    return number;
}

QTimeEdit* time_edit(int minute, QWidget* parent) {
    auto* time = new QTimeEdit(QTime(minute / 60, minute % 60), parent);
    // A time is data: left to right in either language (the editor reverses
    // its fields when it is right to left as it takes its format).
    time->setLayoutDirection(Qt::LeftToRight);
    time->setDisplayFormat("HH:mm");
    return time;
}

int minute_of(const QTimeEdit& time) {
    return time.time().hour() * 60 + time.time().minute();
}

}  // namespace

Speed_limit_form::Speed_limit_form(const Global_limits& shown, QWidget* parent)
    : QWidget(parent), shown_(shown) {
    build(texts::global_limit_field, texts::global_limit_unit);
    add_hours(shown.hours);
}

Speed_limit_form::Speed_limit_form(std::uint64_t shown, int field, int unit_name, QWidget* parent)
    : QWidget(parent) {
    shown_.rate = shown;
    build(field, unit_name);
}

void Speed_limit_form::build(int field, int unit_name) {
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(0, 0, 0, 0);
    rate_ = number_edit(this);
    unit_ = unit_box(this);
    show_rate(*rate_, *unit_, shown_.rate);
    // Each unit has a caption of its own: a screen reader reads a list box
    // by its current item and the label that labels it.
    grid_->addWidget(field_caption(field, rate_, this), rate_row, 0);
    grid_->addWidget(rate_, rate_row, 1);
    grid_->addWidget(field_caption(unit_name, unit_, this), rate_row, 2);
    grid_->addWidget(unit_, rate_row, 3);
    grid_->setColumnStretch(1, 1);
    setTabOrder(rate_, unit_);
}

void Speed_limit_form::add_hours(const Hours_limit& shown) {
    hours_on_ = new QCheckBox(text(texts::hours_limit_check), this);
    hours_on_->setChecked(shown.on);
    grid_->addWidget(hours_on_, hours_check_row, 0, 1, 4);
    hours_rate_ = number_edit(this);
    hours_unit_ = unit_box(this);
    show_rate(*hours_rate_, *hours_unit_, shown.rate);
    grid_->addWidget(field_caption(texts::hours_limit_field, hours_rate_, this), hours_rate_row, 0);
    grid_->addWidget(hours_rate_, hours_rate_row, 1);
    QLabel* unit_caption = field_caption(texts::hours_limit_unit, hours_unit_, this);
    grid_->addWidget(unit_caption, hours_rate_row, 2);
    grid_->addWidget(hours_unit_, hours_rate_row, 3);
    from_ = time_edit(shown.from, this);
    until_ = time_edit(shown.until, this);
    auto* times = new QHBoxLayout;
    QLabel* until_caption = field_caption(texts::hours_until_field, until_, this);
    times->addWidget(from_);
    times->addWidget(until_caption);
    times->addWidget(until_);
    times->addStretch(1);
    grid_->addWidget(field_caption(texts::hours_from_field, from_, this), times_row, 0);
    grid_->addLayout(times, times_row, 1, 1, 3);
    const auto follow_check = [this, until_caption, unit_caption](bool on) {
        for (QWidget* part : std::initializer_list<QWidget*>{hours_rate_, hours_unit_, from_,
                                                             until_, until_caption, unit_caption}) {
            part->setEnabled(on);
        }
    };
    follow_check(shown.on);
    connect(hours_on_, &QCheckBox::toggled, this, follow_check);
    // The fields in the order they stand.
    setTabOrder(unit_, hours_on_);
    setTabOrder(hours_on_, hours_rate_);
    setTabOrder(hours_rate_, hours_unit_);
    setTabOrder(hours_unit_, from_);
    setTabOrder(from_, until_);
}

QWidget* Speed_limit_form::first_field() const {
    return rate_;
}

QWidget* Speed_limit_form::last_field() const {
    return until_ != nullptr ? static_cast<QWidget*>(until_) : unit_;
}

std::optional<Global_limits> Speed_limit_form::read(Prompter& prompter) const {
    const auto refuse = [&prompter](QLineEdit& field) {
        prompter.show_message(format_message(texts::bad_rate, {rate_text(k_largest_rate)}));
        field.setFocus(Qt::OtherFocusReason);
        field.selectAll();
        return std::nullopt;
    };
    const std::optional<std::uint64_t> rate = typed_rate(*rate_, *unit_);
    if (!rate) {
        return refuse(*rate_);
    }
    Global_limits accepted = shown_;
    accepted.rate = *rate;
    if (hours_on_ != nullptr) {
        const std::optional<std::uint64_t> hours_rate = typed_rate(*hours_rate_, *hours_unit_);
        if (!hours_rate && hours_on_->isChecked()) {
            return refuse(*hours_rate_);
        }
        accepted.hours = {hours_on_->isChecked(), hours_rate.value_or(shown_.hours.rate),
                          minute_of(*from_), minute_of(*until_)};
    }
    return accepted;
}

}  // namespace corvale
