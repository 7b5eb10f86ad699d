#pragma once

// Asks for the instants at which downloading starts and stops. The editors
// open with a start at the next whole minute and a stop an hour later, and
// are limited to the years 1970 to 3000, so every choice is an instant the
// program can use.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "platform/prompter.h"

class QDateEdit;
class QTimeEdit;
class QPushButton;

namespace corvale {

class CSchedule_dlg : public QDialog {
    Q_OBJECT

  public:
    // Seconds since 1970 now; tests give their own time.
    using Clock = std::function<std::int64_t()>;

    // Without a clock: the system's.
    explicit CSchedule_dlg(Prompter& prompter, QWidget* parent = nullptr, Clock clock = {});

    // Seconds since 1970, valid after OK.
    std::int64_t start() const { return start_; }
    std::int64_t stop() const { return stop_; }
    QDateEdit& start_date() { return *start_date_; }
    QTimeEdit& start_time() { return *start_time_; }
    QDateEdit& stop_date() { return *stop_date_; }
    QTimeEdit& stop_time() { return *stop_time_; }
    QPushButton& ok_button() { return *ok_; }

  private:
    void ok();

    Prompter& prompter_;
    Clock clock_;
    std::int64_t start_ = 0;
    std::int64_t stop_ = 0;
    QDateEdit* start_date_ = nullptr;
    QTimeEdit* start_time_ = nullptr;
    QDateEdit* stop_date_ = nullptr;
    QTimeEdit* stop_time_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvale
