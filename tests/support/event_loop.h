#pragma once

// Letting a Qt program run from a plain main(): events handled while the
// downloads and page fetches go on.

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

namespace corvale::testing {

inline void run_for(std::chrono::milliseconds duration) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs events until `done` or the time is up; false on time-out.
inline bool run_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit.count()) {
            return false;
        }
        run_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace corvale::testing
