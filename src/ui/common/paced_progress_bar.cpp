#include "ui/common/paced_progress_bar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <QTimer>

namespace corvale {

Paced_progress_bar::Paced_progress_bar(QWidget* parent)
    : QProgressBar(parent), catch_up_(new QTimer(this)) {
    catch_up_->setSingleShot(true);
    connect(catch_up_, &QTimer::timeout, this, [this] { show_value(drawn_); });
}

void Paced_progress_bar::show_value(int shown, Clock::time_point now) {
    if (shown != drawn_) {
        drawn_ = shown;
        update();
    }
    if (!holds_back()) {
        return;
    }
    if (!last_taken_ || now - *last_taken_ >= period) {
        last_taken_ = now;
        catch_up_->stop();
        setValue(drawn_);
        return;
    }
    if (!catch_up_->isActive()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(period - (now - *last_taken_));
        catch_up_->start(left);
    }
}

void Paced_progress_bar::settle(Clock::time_point now) {
    catch_up_->stop();
    setValue(drawn_);
    drawn_ = value();  // a value outside the range is not taken
    last_taken_ = now;
}

void Paced_progress_bar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.progress = drawn_;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

}  // namespace corvale
