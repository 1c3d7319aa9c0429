#pragma once
// The missed hour: at minute 0 of every hour, when general news is produced automatically, the
// matrix wanted it for the hour that has just begun and no delivery was recorded for that hour,
// the station is told: the log line "Brak serwisu na godzinę " + HH + ".", the window's status
// bar (until general news is delivered again) and, when `PolecenieAlarmu` is set, that shell
// command with TOLVAK_GODZINA (HH), TOLVAK_RODZAJ ("News") and TOLVAK_KOMUNIKAT (the log line
// just written, with its timestamp) in its environment. The command's end is logged as
// "PolecenieAlarmu: " + how it ended.
//
// Driven by a timer tick of the scheduler; the command runs beside the program (PolecenieWTle).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Okno.h"
#include "platform/PolecenieWTle.h"

namespace tolvak {

struct Ustawienia;
class Log;
class StanPobran;

class BrakSerwisu {
public:
    BrakSerwisu(const Ustawienia& ustawienia, const StanPobran& stan, Log& log, const Clock& clock,
                Okno& okno);

    /// One tick. An hour is looked at once, at the first tick within it (its minute 0 while the
    /// timer runs); while `zajety` (a production is under way, which may still deliver it) the
    /// look waits for the first idle tick.
    void Tick(bool zajety);

    /// After a production of general news: clears the window's missed hour once the coming
    /// hour is delivered.
    void PoProdukcjiNews();

    /// The alarm command runner (its limit: 30 s unless set).
    PolecenieWTle& Polecenie() { return polecenie_; }

private:
    void Zglos(const LocalTime& godzina);
    void ZalogujKoniec(const WynikPolecenia& w);

    const Ustawienia& u_;
    const StanPobran& stan_;
    Log& log_;
    const Clock& clock_;
    Okno& okno_;
    int64_t obejrzana_;                    // the hour (serial / 3600) last looked at
    std::optional<LocalTime> oczekujaca_;  // an hour whose look waits for the idle state
    bool pokazany_ = false;
    PolecenieWTle polecenie_;  // last: its workers are stopped before the rest goes
};

/// "Brak serwisu na godzinę " + HH + ".".
std::string TekstBrakuSerwisu(int godzina);

}  // namespace tolvak
