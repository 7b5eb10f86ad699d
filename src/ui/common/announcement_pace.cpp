#include "ui/common/announcement_pace.h"

namespace corvale {

Announcement_pace::Announcement_pace(std::function<void()> catch_up) {
    catch_up_.setSingleShot(true);
    QObject::connect(&catch_up_, &QTimer::timeout, &catch_up_, std::move(catch_up));
}

bool Announcement_pace::let_through(Clock::time_point now) {
    if (!last_taken_ || now - *last_taken_ >= period) {
        return true;
    }
    if (!catch_up_.isActive()) {
        catch_up_.start(
            std::chrono::duration_cast<std::chrono::milliseconds>(period - (now - *last_taken_)));
    }
    return false;
}

void Announcement_pace::taken(Clock::time_point now) {
    catch_up_.stop();
    last_taken_ = now;
}

}  // namespace corvale
