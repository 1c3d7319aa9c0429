#pragma once
// The unattended scheduler: the check cycle of the check timer Timer1 (every five minutes), the
// intervention download of Timer4 at second 0 of minute 59, the manual fetch of the button
// BitBtn1 ("Pobierz ostatni"), the presence test of the output folder and the busy flag.
//
// Everything runs on the user-interface thread. Long steps let the window process its messages,
// so a handler can run inside another one's production; the busy flag (the enabled state of
// BitBtn1, switched by LockElements) is the only guard against overlapping work.
//
// Near the hour (from minute `KoncowkaOd` while a kind is still due for the coming hour) the
// check cycle runs every `KoncowkaCo` seconds up to minute 59, second 40, so that a late
// bulletin still goes out; the first cycle after start runs at once. The intervention refuses a
// bulletin that its source shows to be another hour's ("Interwencyjne pobranie przerwane -
// serwis nieaktualny: " + why) and, dropped because a cycle was busy, runs when that cycle
// ends, while its hour has not begun.
//
// An error escaping an operation called from a handler never leaves the scheduler stuck: it is
// logged as "Timer1: ", "Timer4: " or "BitBtn1: " + its message. Inside the check cycle and the
// manual fetch it only ends that kind's step (the next kind is still tried); anywhere else it
// ends the handler. Either way the handler that holds the busy flag ends with the flag clear,
// the controls enabled, Timer1 and Timer4 running and the busy display off.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Okno.h"
#include "platform/Timer.h"
#include "production/Odcisk.h"
#include "schedule/BrakSerwisu.h"

namespace tolvak {

struct Ustawienia;
class Log;
class StanPobran;
class ZrodlaSerwisow;

/// The texts of the window's fields that the presence test reads: the bed and the ending of the
/// kind selected in the kind selector (LEPodklad, LEZakonczenie) and the output folder
/// (LEFolderZapisu).
struct PolaObecnosci {
    std::string LEPodklad;
    std::string LEZakonczenie;
    std::string LEFolderZapisu;
};

/// The fields as the window shows them with the kind selector on "Newsy" (its state at start):
/// the general news bed and ending and the output folder of the settings record.
PolaObecnosci PolaPoczatkowe(const Ustawienia& ustawienia);

/// One production run (fetch, process, deliver, record) of `rodzaj` with the package service's
/// link, or an empty link, started by `tryb`. True when it delivered.
using AkcjaSerwisFn =
    std::function<bool(const std::string& rodzaj, const std::string& FileNameLink, TrybAkcji tryb)>;

/// What the scheduler works with: the live settings record, the download decision, the
/// sources' availability checks, the production run, the log, the clock and the window.
struct KontekstHarmonogramu {
    const Ustawienia& ustawienia;
    const StanPobran& stan;
    ZrodlaSerwisow& zrodla;
    AkcjaSerwisFn AkcjaSerwis;
    Log& log;
    const Clock& clock;
    Okno& okno;
};

class Harmonogram {
public:
    static constexpr int kInterwalTimer1 = 300000;
    static constexpr int kInterwalTimer4 = 900;
    static constexpr int kPierwszySprawdzenie = 1000;
    /// The controls that LockElements disables (false) and enables (true), in this order. The
    /// kind selector RadioGroup2 and the compression group GroupBox6 stay usable.
    static constexpr std::array<std::string_view, 5> ElementyBlokowane{
        "BitBtn1", "GroupBox5", "GroupBox3", "RadioGroup1", "GroupBox4"};

    /// Sets the check timer to 300000 ms and the intervention timer to 900 ms (precise), binds
    /// their handlers and switches both on. The timers must outlive the scheduler.
    Harmonogram(KontekstHarmonogramu kontekst, Timer& timer1, Timer& timer4);
    Harmonogram(const Harmonogram&) = delete;
    Harmonogram& operator=(const Harmonogram&) = delete;

    /// The check cycle.
    void Timer1Timer();
    /// The intervention download at minute 59, second 0; at minute 0 the missed hour
    /// (BrakSerwisu) is looked at first.
    void Timer4Timer();
    /// The check timer's next period from now: KoncowkaCo seconds near the hour while a kind is
    /// due, up to 59:40; the start of that window when it comes sooner than the five minutes;
    /// while `zajety`, no later than the next full hour, since the check timer then carries the
    /// missed-hour alarm for the intervention that holds Timer4.
    int NastepnyOdstep(bool zajety) const;
    /// The manual fetch.
    void BitBtn1Click();
    /// The presence test: status bar "Test: " + date and time + "."; warns of a missing bed or
    /// ending; false when the output folder is not set or does not exist.
    bool TestObecnosci();
    /// stan false sets the busy flag and disables ElementyBlokowane, true clears and enables.
    void LockElements(bool stan);

    /// The busy flag as the window shows it: BitBtn1 enabled means idle.
    bool BitBtn1Enabled() const { return bitBtn1Enabled_; }

    /// The end of the program is near: the work under way finishes (a cycle or a manual fetch
    /// without starting its next kind), and no handler starts new work any more.
    void ZatrzymajPoBiezacej() { zatrzymanie_ = true; }
    bool Zatrzymany() const { return zatrzymanie_; }

    /// The window enables or disables ElementyBlokowane here.
    std::function<void(bool stan)> OnLockElements;
    /// The window's fields for the presence test; unset, PolaPoczatkowe of the settings.
    std::function<PolaObecnosci()> PolaOkna;
    /// Called after a cycle, an intervention or a manual fetch that held the busy flag has
    /// ended, with the flag clear again.
    std::function<void()> OnKoniecPracy;

    Timer& Timer1() { return timer1_; }
    Timer& Timer4() { return timer4_; }
    /// The missed-hour alarm that Timer4 drives.
    BrakSerwisu& Brak() { return brak_; }

private:
    // Steps 5 to 8 of the check cycle; each one kind.
    void Sport(TrybAkcji tryb);
    void Ekonomia(TrybAkcji tryb);
    void Pogoda(TrybAkcji tryb);
    void Akcja(std::string_view rodzaj, const std::string& link, TrybAkcji tryb);
    /// Steps 2 to 5 of the intervention; `wlasny` is Timer4 when its tick runs it.
    void Interwencja(Timer* wlasny);
    /// The intervention that a busy cycle dropped, when the hour it was for has not begun.
    void OdlozonaInterwencja();
    /// Some kind still to be produced for the coming hour (no log lines).
    bool CosNalezne() const;
    /// Sets the check timer's period from now, when it runs.
    void UstawTimer1(bool zajety = false);
    /// Runs one kind's step; an escaping error is logged with `nadawca` and the busy display
    /// is switched off, and the caller goes on with the next kind.
    void Krok(std::string_view nadawca, const std::function<void()>& krok);
    /// After an error ended a handler: logs it and brings back the idle state when this handler
    /// held the busy flag (or nobody holds it); else re-enables only the handler's own timer,
    /// leaving the rest to the work under way that it interrupted.
    void Zabezpiecz(std::string_view nadawca, bool wlasciciel, Timer* wlasny);
    void Zglos(std::string_view nadawca);

    KontekstHarmonogramu k_;
    Timer& timer1_;
    Timer& timer4_;
    bool bitBtn1Enabled_ = true;
    bool zatrzymanie_ = false;
    int64_t odlozona_ = -1;  // the hour (serial / 3600) of a dropped intervention
    BrakSerwisu brak_;
};

}  // namespace tolvak
