#include "ui/dialogs/schedule_dlg.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <ctime>

#include "engine/scheduler.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

std::int64_t instant(const QDateEdit& date, const QTimeEdit& time) {
    const QDate day = date.date();
    const QTime clock = time.time();
    return local_instant(day.year(), day.month(), day.day(), clock.hour(), clock.minute(),
                         clock.second());
}

std::int64_t system_now() {
    return std::time(nullptr);
}

// Dates and times are data: they read left to right in an Arabic window too,
// with the Arabic month names and the digits the rest of the data uses.
// An editor reverses the order of its fields when it is right to left at the
// moment it takes its format, so the direction is set first. A field starts
// with a left-to-right mark, so that its text is not taken for Arabic, and
// another follows the month, so that the year stays to its right.
void lay_out_left_to_right(QDateTimeEdit& editor, const QString& format) {
    editor.setLayoutDirection(Qt::LeftToRight);
    if (texts_right_to_left()) {
        editor.setLocale(QLocale(QLocale::Arabic, QLocale::UnitedArabEmirates));
    }
    editor.setDisplayFormat(format);
}

QString date_format() {
    if (texts_right_to_left()) {
        return QString::fromUtf8("\u200Ed MMM\u200E yyyy");
    }
    return QLocale().dateFormat(QLocale::ShortFormat);
}

}  // namespace

CSchedule_dlg::CSchedule_dlg(Prompter& prompter, QWidget* parent, Clock clock)
    : QDialog(parent), prompter_(prompter), clock_(clock ? std::move(clock) : system_now) {
    setObjectName("schedule");
    setWindowTitle(text(texts::schedule_title));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text(texts::schedule_text), this));
    const Schedule_times first = first_schedule(clock_());
    const auto add_group = [&](int title, int time_name, int date_name, const Local_time& at,
                               QDateEdit*& date, QTimeEdit*& time) {
        auto* group = new QGroupBox(text(title), this);
        auto* row = new QHBoxLayout(group);
        time = new QTimeEdit(QTime(at.hour, at.minute, at.second), group);
        lay_out_left_to_right(*time, "HH:mm:ss");
        time->setAccessibleName(text(time_name));
        date = new QDateEdit(QDate(at.year, at.month, at.day), group);
        lay_out_left_to_right(*date, date_format());
        date->setAccessibleName(text(date_name));
        date->setDateRange(QDate(1970, 1, 2), QDate(3000, 12, 31));
        date->setCalendarPopup(true);
        row->addWidget(time);
        row->addWidget(date);
        layout->addWidget(group);
    };
    add_group(texts::schedule_start, texts::start_time_field, texts::start_date_field, first.start,
              start_date_, start_time_);
    add_group(texts::schedule_stop, texts::stop_time_field, texts::stop_date_field, first.stop,
              stop_date_, stop_time_);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSchedule_dlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CSchedule_dlg::ok() {
    start_ = instant(*start_date_, *start_time_);
    stop_ = instant(*stop_date_, *stop_time_);
    const int message = check_schedule(start_, stop_, clock_());
    if (message != 0) {
        prompter_.show_message(load_string(message));
        return;
    }
    accept();
}

}  // namespace corvale
