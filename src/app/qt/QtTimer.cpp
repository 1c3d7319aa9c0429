#include "app/qt/QtTimer.h"

namespace tolvak {

QtTimer::QtTimer() {
    timer_.setTimerType(Qt::CoarseTimer);
    // Qt never re-enters the handler of a timer that is still running it.
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (handler_) {
            const std::function<void()> handler = handler_;  // the handler may replace itself
            handler();
        }
    });
}

void QtTimer::setInterval(int milliseconds) { timer_.setInterval(milliseconds); }

void QtTimer::setEnabled(bool enabled) {
    // QTimer::start restarts a running timer; a switch that is already on changes nothing.
    if (enabled && !timer_.isActive()) timer_.start();
    if (!enabled) timer_.stop();
}

void QtTimer::setPrecise(bool precise) {
    const Qt::TimerType type = precise ? Qt::PreciseTimer : Qt::CoarseTimer;
    if (timer_.timerType() == type) return;
    timer_.setTimerType(type);
    // The type applies from the next start.
    if (timer_.isActive()) timer_.start();
}

}  // namespace tolvak
