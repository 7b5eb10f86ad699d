#include "ui/common/paced_progress_bar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace corvale {

Paced_progress_bar::Paced_progress_bar(QWidget* parent)
    : QProgressBar(parent), pace_([this] { show_value(drawn_); }) {}

void Paced_progress_bar::show_value(int shown, Clock::time_point now) {
    if (shown != drawn_) {
        drawn_ = shown;
        update();
    }
    if (!holds_back()) {
        return;
    }
    if (pace_.let_through(now)) {
        pace_.taken(now);
        setValue(drawn_);
    }
}

void Paced_progress_bar::settle(Clock::time_point now) {
    pace_.taken(now);
    setValue(drawn_);
    drawn_ = value();  // a value outside the range is not taken
}

void Paced_progress_bar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.progress = drawn_;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

}  // namespace corvale
