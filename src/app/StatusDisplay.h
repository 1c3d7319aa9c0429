#pragma once
// The window-less status display: the state of the main window's status elements (action label,
// progress bar, status bar, last delivery label, the lamp with its label and the countdown) and
// their rules, with the blink timer Timer2 and the countdown timer Timer3 that drive them. The
// headless mode and the tests keep it as the window; the Qt window paints what it holds.

#include <cstdint>
#include <functional>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Okno.h"
#include "platform/Timer.h"

namespace tolvak {

class StatusDisplay : public Okno {
public:
    static constexpr uint32_t kZielony = 0x008000;  // RGB (0, 128, 0)
    static constexpr uint32_t kCzerwony = 0xFF0000;  // RGB (255, 0, 0)
    /// Interval of the check timer Timer1 in milliseconds.
    static constexpr int kInterwalTimer1 = 300000;

    static constexpr int kInterwalTimer2 = 500;
    static constexpr int kInterwalTimer3 = 1000;

    /// With timers of its own that never tick by themselves: the caller runs Timer2Timer and
    /// Timer3Timer.
    explicit StatusDisplay(const Clock& clock);
    /// With the shell's timers: sets their intervals (500 and 1000 ms), switches Timer2 off and
    /// Timer3 on and binds their handlers. The timers must outlive the display.
    StatusDisplay(const Clock& clock, Timer& timer2, Timer& timer3);
    StatusDisplay(const StatusDisplay&) = delete;
    StatusDisplay& operator=(const StatusDisplay&) = delete;

    // Okno
    void setAction(std::string_view text) override;
    void setGaugeMax(int64_t maximum) override;
    void setGaugePosition(int64_t position) override;
    void advanceGauge(int64_t delta) override;
    void setStatusBar(std::string_view text) override;
    void setLastDelivered(std::string_view text) override;
    void setMissedHour(std::string_view text) override;
    /// A failure: LAkcja "Nieudane: " + reason, Gauge1 at 0, and the kind's failure line until
    /// its next delivery. A repeated bulletin: a warning line until a different one is delivered
    /// (LAkcja "Uwaga: " + reason when it was refused). A delivery clears the kind's lines.
    void setRunOutcome(const WynikAkcji& wynik) override;
    void setNextCheck(int sekundy) override;
    void Migotanie(bool tryb) override;
    MsgResult messageBox(std::string_view text, std::string_view caption,
                         MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None) override;
    /// Runs the calls posted to the user-interface thread (the writers' events among them) and
    /// returns at once.
    void processMessages() override;
    /// Runs them until done() holds, sleeping while none is posted.
    void waitUntil(const std::function<bool()>& done) override;

    // The elements.
    const std::string& LAkcja() const { return lAkcja_; }
    int64_t Gauge1Max() const { return gaugeMax_; }
    int64_t Gauge1Position() const { return gaugePosition_; }
    const std::string& StatusBar1() const { return statusBar_; }
    const std::string& LOstPobrany() const { return lOstPobrany_; }
    /// The status bar's second panel: the missed hour, empty while none is raised.
    const std::string& StatusBar1BrakSerwisu() const { return brakSerwisu_; }
    /// The failures and warnings that stand, one per kind, oldest first.
    const std::vector<WynikAkcji>& Niepowodzenia() const { return niepowodzenia_; }
    /// Their lines for the status bar's second panel, after the missed hour: "Nieudane News
    /// 14:00: " + reason, or "Uwaga News 14:00: " + reason for a repeat; " | " between them.
    std::string StatusBar1Niepowodzenia() const;
    /// A failure or a missed hour stands: the panel is red and the tray shows its alarm icon.
    bool Alarm() const;
    /// The tray's tooltip: what stands (the missed hour and the lines above), else the last
    /// delivery ("Ostatnio: N_2026-12-10_15.mp3, 14:52"), else the program's name.
    std::string TekstZasobnika() const;
    /// After a restart: the last delivery recorded and what stood, without touching LAkcja.
    void PrzywrocOstatnie(std::string_view nazwa, const LocalTime& kiedy);
    void PrzywrocNiepowodzenia(const std::vector<WynikAkcji>& wyniki);
    uint32_t Shape1Color() const { return shapeColor_; }
    const std::string& LShapeInfo() const { return lShapeInfo_; }
    int32_t SekundyDoWlaczenia() const { return sekundyDoWlaczenia_; }
    bool Timer2Enabled() const { return timer2_->isEnabled(); }
    bool Timer3Enabled() const { return timer3_->isEnabled(); }
    Timer& Timer2() { return *timer2_; }
    Timer& Timer3() { return *timer3_; }

    /// Blink tick (Timer2, every 500 ms): toggles the lamp between green and red, then lets
    /// the window process its messages.
    void Timer2Timer();
    /// Countdown tick (Timer3, every second).
    void Timer3Timer();

    /// Seconds written as minutes and seconds: 300 gives "5:00", 65 gives "1:05".
    static std::string PozycjaNaCzas(int sekundy);

    /// The answer that a message box gives in a headless run.
    MsgResult MessageBoxAnswer() const { return messageBoxAnswer_; }
    void SetMessageBoxAnswer(MsgResult answer) { messageBoxAnswer_ = answer; }

    /// Called after every change of the action label (tests, a verbose console).
    std::function<void(std::string_view)> OnAction;
    /// Called after any element changed (the window repaints from the model).
    std::function<void()> OnChange;
    /// Called for every message box with its text and caption.
    std::function<void(std::string_view, std::string_view)> OnMessageBox;

private:
    void bindTimers();
    void changed() {
        if (OnChange) OnChange();
    }

    const Clock& clock_;
    ManualTimer ownTimer2_, ownTimer3_;
    Timer* timer2_;
    Timer* timer3_;
    std::string lAkcja_ = "Czekam...";
    int64_t gaugeMax_ = 100;
    int64_t gaugePosition_ = 0;
    std::string statusBar_ = "Gotowy";
    std::string lOstPobrany_ = "---";
    std::string brakSerwisu_;
    std::vector<WynikAkcji> niepowodzenia_;
    std::string ostatniaNazwa_;
    std::optional<LocalTime> ostatnioKiedy_;
    uint32_t shapeColor_ = kZielony;
    std::string lShapeInfo_ = "Pobieranie...";
    int32_t sekundyDoWlaczenia_ = kInterwalTimer1 / 1000;
    int32_t odstepSprawdzen_ = kInterwalTimer1 / 1000;  // where the countdown starts again
    MsgResult messageBoxAnswer_ = MsgResult::Ok;
};

}  // namespace tolvak
