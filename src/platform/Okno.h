#pragma once
// The one narrow interface through which the core reaches the main window: the status texts
// and gauge, the busy lamp, message boxes and "let the window process its messages".
// The Qt window implements it; headless runs and tests use the window-less status display.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tolvak {

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

/// How one production run of a kind ended, as the operator is shown it.
struct WynikAkcji {
    std::string rodzaj;        // "News", "Sport", "Ekonomia", "Pogoda"
    std::string godzina;       // the coming-hour stamp of the hour it was for, "yyyy-MM-dd HH"
    bool dostarczony = false;  // the bulletin went into the output folder
    bool powtorzony = false;   // it was the kind's last delivery again (delivered or refused)
    std::string powod;         // why it failed or warns, as logged without the operation prefix

    bool Nieudany() const { return !dostarczony && !powtorzony; }
};

class Okno {
public:
    virtual ~Okno() = default;

    // LAkcja, the action label.
    virtual void setAction(std::string_view text) = 0;
    // Gauge1, the progress bar: lower limit 0. Setting the maximum below the position moves
    // the position down to it; positions stop at the maximum and at 0.
    virtual void setGaugeMax(int64_t maximum) = 0;
    virtual void setGaugePosition(int64_t position) = 0;
    virtual void advanceGauge(int64_t delta) = 0;
    // StatusBar1, panel 0.
    virtual void setStatusBar(std::string_view text) = 0;
    // LOstPobrany, the last delivered bulletin.
    virtual void setLastDelivered(std::string_view text) = 0;
    // The missed hour ("Brak serwisu na godzinę 14."), shown in the status bar beside panel 0
    // until general news is delivered again; the empty text clears it. A window without that
    // panel ignores it.
    virtual void setMissedHour(std::string_view text) { (void)text; }
    // The end of a production run: a failure stays shown until the kind's next delivery, a
    // repeated bulletin as a warning until a different one is delivered.
    virtual void setRunOutcome(const WynikAkcji& wynik) { (void)wynik; }
    // The next check cycle is due in `sekundy`: the countdown counts down from there, and back
    // from there after the busy display.
    virtual void setNextCheck(int sekundy) { (void)sekundy; }
    // The busy display: true starts the lamp blinking, false returns to the countdown.
    virtual void Migotanie(bool tryb) = 0;
    // A message box in reaction to the operator or at start-up.
    virtual MsgResult messageBox(std::string_view text, std::string_view caption,
                                 MsgButtons buttons = MsgButtons::Ok,
                                 MsgIcon icon = MsgIcon::None) = 0;
    // Let the window process its pending messages (paint, timers, input, calls posted to the
    // user-interface thread), then return at once.
    virtual void processMessages() = 0;
    // Let the window process its messages until done() holds; the caller sleeps while nothing
    // is pending and wakes when a call is posted to the user-interface thread (or, in a window,
    // an event arrives); done is tested after every wake-up.
    virtual void waitUntil(const std::function<bool()>& done) = 0;
};

}  // namespace tolvak
