#pragma once
// Simulated time for whole days of the scheduler: timers that fall due on a manual clock, run in
// the order of their times, including the ticks that fall due while a handler lets time pass (as
// the window processes its messages inside a production run).

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/Clock.h"
#include "platform/Timer.h"

namespace tolvak::test {

class CzasSymulowany {
public:
    explicit CzasSymulowany(ManualClock& clock) : clock_(clock) {
        const LocalTime t = clock.now();
        teraz_ = t.serial() * 1000 + t.millisecond;
    }

    class SymTimer final : public Timer {
    public:
        explicit SymTimer(CzasSymulowany& czas) : czas_(czas) {}
        void setInterval(int ms) override {
            interval_ = ms;
            if (enabled_) uzbroj();
        }
        int interval() const override { return interval_; }
        void setEnabled(bool e) override {
            if (e && !enabled_) uzbroj();
            enabled_ = e;
        }
        bool isEnabled() const override { return enabled_; }
        void setPrecise(bool) override {}
        void setHandler(std::function<void()> h) override { handler_ = std::move(h); }

    private:
        friend class CzasSymulowany;
        void uzbroj() {
            termin_ = czas_.teraz_ + interval_;
            ++uzbrojenia_;
        }
        CzasSymulowany& czas_;
        int interval_ = 1000;
        bool enabled_ = false, biegnie_ = false;
        int64_t termin_ = 0;
        uint64_t uzbrojenia_ = 0;
        std::function<void()> handler_;
    };

    SymTimer& NowyTimer() { return timers_.emplace_back(*this); }

    /// Lets `ms` milliseconds pass, running every tick that falls due meanwhile. A handler may
    /// call it again (its own timer does not tick inside it).
    void Uplyw(int64_t ms) {
        const int64_t cel = teraz_ + ms;
        for (;;) {
            SymTimer* nastepny = nullptr;
            for (SymTimer& t : timers_)
                if (t.enabled_ && !t.biegnie_ && t.termin_ <= cel &&
                    (!nastepny || t.termin_ < nastepny->termin_))
                    nastepny = &t;
            if (!nastepny) break;
            Ustaw(nastepny->termin_);
            const uint64_t uzbrojenia = nastepny->uzbrojenia_;
            nastepny->biegnie_ = true;
            if (nastepny->handler_) nastepny->handler_();
            nastepny->biegnie_ = false;
            ++tykniecia_;
            if (nastepny->uzbrojenia_ == uzbrojenia) {
                // A tick that came late is not repeated for the periods it missed.
                nastepny->termin_ += nastepny->interval_;
                if (nastepny->termin_ <= teraz_) nastepny->termin_ = teraz_ + nastepny->interval_;
            }
        }
        Ustaw(cel);
    }

    int64_t Teraz() const { return teraz_; }
    uint64_t Tykniecia() const { return tykniecia_; }

private:
    void Ustaw(int64_t ms) {
        teraz_ = std::max(teraz_, ms);
        clock_.set(LocalTime::fromSerial(teraz_ / 1000, static_cast<int>(teraz_ % 1000)));
    }

    ManualClock& clock_;
    int64_t teraz_ = 0;
    uint64_t tykniecia_ = 0;
    std::deque<SymTimer> timers_;
};

}  // namespace tolvak::test
