#include "ui/dialogs/speed_limit_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <optional>

#include "engine/rate_entry.h"
#include "model/row_texts.h"
#include "ui/common/field_caption.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

enum Row { note_row, rate_row, hours_check_row, hours_rate_row, times_row, buttons_row };

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

CSpeed_limit_dlg::CSpeed_limit_dlg(Prompter& prompter, const Global_limits& shown, QWidget* parent)
    : QDialog(parent), prompter_(prompter), global_(shown) {
    setObjectName("speed_limit");
    build(texts::speed_limit_title, texts::speed_limit_text, texts::global_limit_field,
          texts::global_limit_unit);
    show_rate(*rate_, *unit_, shown.rate);
    add_hours(shown.hours);
}

CSpeed_limit_dlg::CSpeed_limit_dlg(Prompter& prompter, std::uint64_t shown, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName("own_speed_limit");
    global_.rate = shown;
    build(texts::own_limit_title, texts::own_limit_text, texts::own_limit_field,
          texts::own_limit_unit);
    show_rate(*rate_, *unit_, shown);
}

void CSpeed_limit_dlg::build(int title, int note, int field, int unit_name) {
    setWindowTitle(text(title));
    grid_ = new QGridLayout(this);
    auto* explanation = new QLabel(text(note), this);
    explanation->setWordWrap(true);
    grid_->addWidget(explanation, note_row, 0, 1, 4);
    rate_ = number_edit(this);
    unit_ = unit_box(this);
    // Each unit has a caption of its own: a screen reader reads a list box
    // by its current item and the label that labels it.
    grid_->addWidget(field_caption(field, rate_, this), rate_row, 0);
    grid_->addWidget(rate_, rate_row, 1);
    grid_->addWidget(field_caption(unit_name, unit_, this), rate_row, 2);
    grid_->addWidget(unit_, rate_row, 3);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);  // Enter presses OK
    grid_->addWidget(buttons, buttons_row, 0, 1, 4);
    grid_->setColumnStretch(1, 1);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSpeed_limit_dlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CSpeed_limit_dlg::add_hours(const Hours_limit& shown) {
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
    // The fields in the order they stand, the OK and Cancel buttons last.
    setTabOrder(rate_, unit_);
    setTabOrder(unit_, hours_on_);
    setTabOrder(hours_on_, hours_rate_);
    setTabOrder(hours_rate_, hours_unit_);
    setTabOrder(hours_unit_, from_);
    setTabOrder(from_, until_);
}

void CSpeed_limit_dlg::ok() {
    // Each rate is checked that counts: the hours' only while they are on.
    const auto refuse = [this](QLineEdit& field) {
        prompter_.show_message(format_message(texts::bad_rate, {rate_text(k_largest_rate)}));
        field.setFocus(Qt::OtherFocusReason);
        field.selectAll();
    };
    const std::optional<std::uint64_t> rate = typed_rate(*rate_, *unit_);
    if (!rate) {
        refuse(*rate_);
        return;
    }
    Global_limits accepted = global_;
    accepted.rate = *rate;
    if (hours_on_ != nullptr) {
        const std::optional<std::uint64_t> hours_rate = typed_rate(*hours_rate_, *hours_unit_);
        if (!hours_rate && hours_on_->isChecked()) {
            refuse(*hours_rate_);
            return;
        }
        accepted.hours = {hours_on_->isChecked(), hours_rate.value_or(global_.hours.rate),
                          minute_of(*from_), minute_of(*until_)};
    }
    global_ = accepted;
    accept();
}

}  // namespace corvale
