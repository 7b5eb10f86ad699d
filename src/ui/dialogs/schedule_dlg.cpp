#include "ui/dialogs/schedule_dlg.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
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

}  // namespace

CSchedule_dlg::CSchedule_dlg(Prompter& prompter, QWidget* parent, Clock clock)
    : QDialog(parent), prompter_(prompter), clock_(clock ? std::move(clock) : system_now) {
    setObjectName("schedule");
    setWindowTitle(text(texts::schedule_title));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text(texts::schedule_text), this));
    const Schedule_times first = first_schedule(clock_());
    const auto add_group = [&](int title, const Local_time& at, QDateEdit*& date,
                               QTimeEdit*& time) {
        auto* group = new QGroupBox(text(title), this);
        auto* row = new QHBoxLayout(group);
        time = new QTimeEdit(QTime(at.hour, at.minute, at.second), group);
        time->setDisplayFormat("HH:mm:ss");
        date = new QDateEdit(QDate(at.year, at.month, at.day), group);
        date->setDateRange(QDate(1970, 1, 2), QDate(3000, 12, 31));
        date->setCalendarPopup(true);
        for (QWidget* editor : {static_cast<QWidget*>(time), static_cast<QWidget*>(date)}) {
            editor->setAccessibleName(text(title));
            editor->setLayoutDirection(Qt::LeftToRight);
            row->addWidget(editor);
        }
        layout->addWidget(group);
    };
    add_group(texts::schedule_start, first.start, start_date_, start_time_);
    add_group(texts::schedule_stop, first.stop, stop_date_, stop_time_);
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
