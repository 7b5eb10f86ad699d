#pragma once

#include <QProgressBar>
#include <chrono>

#include "ui/common/announcement_pace.h"

namespace corvale {

// A progress bar whose value changes are announced at most once a second:
// it draws every value it is shown, but its value (what the accessibility
// interface reads and announces) follows at that pace. A value held back is
// taken when its second is over, or at once by `settle`.
class Paced_progress_bar : public QProgressBar {
  public:
    using Clock = Announcement_pace::Clock;

    explicit Paced_progress_bar(QWidget* parent);

    void show_value(int value, Clock::time_point now = Clock::now());
    // Takes the value drawn now (a new range, the end of a download).
    void settle(Clock::time_point now = Clock::now());
    int drawn_value() const { return drawn_; }
    bool holds_back() const { return drawn_ != value(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int drawn_ = 0;
    Announcement_pace pace_;
};

}  // namespace corvale
