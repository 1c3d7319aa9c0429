#pragma once
// A window timer as the core drives it: an interval, a switch and a handler that runs on the
// user-interface thread. The shells implement it with their event loop's timers; tests use
// ManualTimer and tick it by hand.
//
// The semantics the core relies on:
//  - switching a stopped timer on starts a full period from that moment; switching on a running
//    timer, or off a stopped one, changes nothing;
//  - changing the interval of a running timer starts a new period;
//  - a tick never re-enters the handler of the timer that is still running it, but other timers
//    tick while a handler lets the window process its messages;
//  - a precise timer ticks on time to the millisecond; another may drift by a few percent so
//    that the system can bundle wake-ups.

#include <functional>
#include <utility>

namespace tolvak {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setPrecise(bool precise) = 0;
    virtual void setHandler(std::function<void()> onTimer) = 0;
};

/// A timer that ticks only when told to (tests, and the window-less status display when no
/// shell gives it timers).
class ManualTimer final : public Timer {
public:
    void setInterval(int milliseconds) override { interval_ = milliseconds; }
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }
    void setPrecise(bool precise) override { precise_ = precise; }
    bool isPrecise() const { return precise_; }
    void setHandler(std::function<void()> onTimer) override { handler_ = std::move(onTimer); }

    /// One tick: runs the handler when the timer is on. Returns whether it ran.
    bool tick() {
        if (!enabled_ || !handler_) return false;
        const std::function<void()> handler = handler_;  // the handler may replace itself
        handler();
        return true;
    }

private:
    int interval_ = 1000;
    bool enabled_ = false;
    bool precise_ = false;
    std::function<void()> handler_;
};

}  // namespace tolvak
