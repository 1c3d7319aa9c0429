#pragma once
// The missed hour: at minute 0 of every hour, when general news is produced automatically, the
// matrix wanted it for the hour that has just begun and no delivery was recorded for that hour,
// the station is told: the log line "Brak serwisu na godzinę " + HH + ".", the window's status
// bar (until general news is delivered again) and, when `PolecenieAlarmu` is set, that shell
// command with TOLVAK_GODZINA (HH), TOLVAK_RODZAJ ("News") and TOLVAK_KOMUNIKAT (the log line
// just written, with its timestamp) in its environment. The command's end is logged as
// "PolecenieAlarmu: " + how it ended. The hour is written to "tolvak.dat" as BrakGodziny until
// general news is delivered again.
//
// A repeated bulletin delivered provisionally raises the same command once, with its own
// message ("Powtórzony serwis " + kind + " na godzinę " + HH + ".").
//
// Driven by a timer tick of the scheduler; the command runs beside the program (PolecenieWTle).

#include <chrono>
#include <cstdint>
#include <string_view>
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

    /// One tick. Every hour begun since the hour last judged is judged once, at the first tick
    /// within it, also while a production is under way (the playout has nothing at the top of
    /// the hour all the same). A clock set back never judges an hour again; one set forward
    /// judges each hour it skipped (at most a day of them).
    void Tick();

    /// After a production of `rodzaj` that started for the coming-hour stamp `stempel` (the hour
    /// `godzina`): delivered general news clears the missed hour; a provisional delivery of a
    /// repeated bulletin raises the alarm command, once per kind and hour.
    void PoProdukcji(std::string_view rodzaj, const std::string& stempel, int godzina, bool dostarczono);

    /// The alarm command runner (its limit: 30 s unless set).
    PolecenieWTle& Polecenie() { return polecenie_; }

private:
    void Osadz(int64_t godzina);
    void Zglos(const LocalTime& godzina);
    /// Logs `tekst` and runs the alarm command with it.
    void Alarm(const std::string& tekst, int godzina, std::string_view rodzaj);
    void ZalogujKoniec(const WynikPolecenia& w);

    const Ustawienia& u_;
    const StanPobran& stan_;
    Log& log_;
    const Clock& clock_;
    Okno& okno_;
    int64_t osadzona_;  // the latest hour (serial / 3600) judged
    bool pokazany_ = false;
    std::string zgloszonyPowtorzony_;  // kind + stamp of the repeat last raised
    PolecenieWTle polecenie_;  // last: its workers are stopped before the rest goes
};

/// "Brak serwisu na godzinę " + HH + ".".
std::string TekstBrakuSerwisu(int godzina);

}  // namespace tolvak
