#pragma once
// The core's timer on a QTimer of the calling thread's event loop.

#include <QTimer>
#include <functional>

#include "platform/Timer.h"

namespace tolvak {

class QtTimer final : public Timer {
public:
    QtTimer();
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void setInterval(int milliseconds) override;
    int interval() const override { return timer_.interval(); }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return timer_.isActive(); }
    /// Qt::PreciseTimer, else Qt::CoarseTimer (which may drift by 5%).
    void setPrecise(bool precise) override;
    void setHandler(std::function<void()> onTimer) override { handler_ = std::move(onTimer); }

    QTimer& qtimer() { return timer_; }

private:
    QTimer timer_;
    std::function<void()> handler_;
};

}  // namespace tolvak
