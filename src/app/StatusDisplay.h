#pragma once
// The window-less status display: the state of the main window's status elements (action label,
// progress bar, status bar, last delivery label, the lamp with its label and the countdown) and
// their rules, for headless runs and tests. The Qt window mirrors it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Okno.h"

namespace tolvak {

class StatusDisplay : public Okno {
public:
    static constexpr uint32_t kZielony = 0x008000;  // RGB (0, 128, 0)
    static constexpr uint32_t kCzerwony = 0xFF0000;  // RGB (255, 0, 0)
    /// Interval of the check timer Timer1 in milliseconds.
    static constexpr int kInterwalTimer1 = 300000;

    explicit StatusDisplay(const Clock& clock);

    // Okno
    void setAction(std::string_view text) override;
    void setGaugeMax(int64_t maximum) override;
    void setGaugePosition(int64_t position) override;
    void advanceGauge(int64_t delta) override;
    void setStatusBar(std::string_view text) override;
    void setLastDelivered(std::string_view text) override;
    void Migotanie(bool tryb) override;
    MsgResult messageBox(std::string_view text, std::string_view caption,
                         MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None) override;
    /// Runs the calls posted to the user-interface thread (the writers' events among them).
    void processMessages() override;

    // The elements.
    const std::string& LAkcja() const { return lAkcja_; }
    int64_t Gauge1Max() const { return gaugeMax_; }
    int64_t Gauge1Position() const { return gaugePosition_; }
    const std::string& StatusBar1() const { return statusBar_; }
    const std::string& LOstPobrany() const { return lOstPobrany_; }
    uint32_t Shape1Color() const { return shapeColor_; }
    const std::string& LShapeInfo() const { return lShapeInfo_; }
    int32_t SekundyDoWlaczenia() const { return sekundyDoWlaczenia_; }
    bool Timer2Enabled() const { return timer2Enabled_; }
    bool Timer3Enabled() const { return timer3Enabled_; }

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
    /// Called for every message box with its text and caption.
    std::function<void(std::string_view, std::string_view)> OnMessageBox;

private:
    const Clock& clock_;
    std::string lAkcja_ = "Czekam...";
    int64_t gaugeMax_ = 100;
    int64_t gaugePosition_ = 0;
    std::string statusBar_ = "Gotowy";
    std::string lOstPobrany_ = "---";
    uint32_t shapeColor_ = kZielony;
    std::string lShapeInfo_ = "Pobieranie...";
    int32_t sekundyDoWlaczenia_ = kInterwalTimer1 / 1000;
    bool timer2Enabled_ = false;
    bool timer3Enabled_ = true;
    MsgResult messageBoxAnswer_ = MsgResult::Ok;
};

}  // namespace tolvak
