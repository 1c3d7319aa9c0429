#pragma once
// The download decision and the state file "tolvak.dat" (section "Pobrany").
//
// Keys: "OstPobrany" + kind (OstPobranyNews, OstPobranySport, OstPobranyEkonomia,
// OstPobranyPogoda) hold the coming-hour stamp (platform/Regional.h ComingHourStamp) of the
// last bulletin delivered; OstKopiowaniePliku the moment of the last copy of the local source
// file (written and read by the local file source); "OstPlik" + kind the path of the kind's last
// delivered file (for `tolvak --status`); "OstTymczasowy" + kind the stamp of an hour whose
// delivery was a repeated bulletin and which stays open until minute 59, second 40;
// OstSprawdzenie the start of the last check cycle and BrakGodziny the missed hour that the
// alarm raised (both for `tolvak --status`). A missing or unreadable file reads as
// empty: every kind counts as not yet delivered. A failed write throws to the caller.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tolvak {

class Log;
class Matryca;

/// Name of the state file in the program folder, its section and the local file key.
inline constexpr std::string_view NazwaPlikuStanu = "tolvak.dat";
inline constexpr std::string_view SekcjaPobrany = "Pobrany";
inline constexpr std::string_view KluczOstKopiowaniePliku = "OstKopiowaniePliku";

inline constexpr std::string_view KluczOstSprawdzenie = "OstSprawdzenie";
inline constexpr std::string_view KluczBrakGodziny = "BrakGodziny";

/// "OstTymczasowy" + rodzaj.
std::string KluczOstTymczasowy(std::string_view rodzaj);

/// True while the kind's delivery for the coming hour of `teraz` is a provisional one (a
/// repeated bulletin) and minute 59, second 40 has not come: a different bulletin may still
/// replace it.
bool CzyOtwartaTymczasowo(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& teraz);

/// "OstPobrany" + rodzaj.
std::string KluczOstPobrany(std::string_view rodzaj);
/// "OstPlik" + rodzaj: the path that the kind's last delivery was copied to.
std::string KluczOstPlik(std::string_view rodzaj);

/// Records the coming-hour stamp of the clock's present moment under "OstPobrany" + rodzaj.
void ZapiszPobranyInfo(const std::filesystem::path& dat, std::string_view rodzaj, const Clock& clock);
/// Records the coming-hour stamp of `chwila`. The production run passes the moment it started, so
/// that a run which began at 13:59 and delivered at 14:00:20 records the 14:00 bulletin it made.
void ZapiszPobranyInfo(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& chwila);

/// The stamp that a delivery for the hour of `godzina` carries: the stamp of the hour before it
/// (from 00:00 to 00:59 that of 23:00 of the day before).
std::string StempelGodziny(const LocalTime& godzina);

/// True when the kind's record holds the delivery for the hour of `godzina`. No log line.
bool CzyDostarczono(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& godzina);

/// True when no bulletin of this kind has been delivered for the coming hour. No log line.
bool CzyMaPobieracSE(const std::filesystem::path& dat, std::string_view rodzaj, const Clock& clock);

/// General news: not yet delivered for the coming hour and the matrix cell of today and the
/// coming hour (current hour + 1, unwrapped) is wanted. Logs one of
/// "CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.",
/// "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
/// "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.".
bool CzyMaPobierac(const std::filesystem::path& dat, const Matryca& matryca, Log& log,
                   const Clock& clock);

/// The three operations bound to one state file, matrix, log and clock.
class StanPobran {
public:
    StanPobran(std::filesystem::path dat, const Matryca& matryca, Log& log, const Clock& clock)
        : dat_(std::move(dat)), matryca_(matryca), log_(log), clock_(clock) {}

    bool CzyMaPobierac() const { return tolvak::CzyMaPobierac(dat_, matryca_, log_, clock_); }
    bool CzyMaPobieracSE(std::string_view rodzaj) const {
        return tolvak::CzyMaPobieracSE(dat_, rodzaj, clock_);
    }
    void ZapiszPobranyInfo(std::string_view rodzaj) const {
        tolvak::ZapiszPobranyInfo(dat_, rodzaj, clock_);
    }
    bool CzyDostarczono(std::string_view rodzaj, const LocalTime& godzina) const {
        return tolvak::CzyDostarczono(dat_, rodzaj, godzina);
    }
    /// General news still due for the coming hour (as CzyMaPobierac, without its log line).
    bool CzyNalezyNews() const;
    /// The coming hour's delivery of the kind is the provisional one of `stempel`.
    bool CzyTymczasowy(std::string_view rodzaj, const std::string& stempel) const;
    /// OstSprawdzenie: "yyyy-MM-dd HH:mm:ss" of `chwila`.
    void ZapiszSprawdzenie(const LocalTime& chwila) const;
    /// BrakGodziny: "yyyy-MM-dd HH" of the missed hour `godzina`; removed by UsunBrakGodziny.
    void ZapiszBrakGodziny(const LocalTime& godzina) const;
    void UsunBrakGodziny() const;
    const std::filesystem::path& FileName() const { return dat_; }
    const Matryca& MatrycaGodzin() const { return matryca_; }

private:
    std::filesystem::path dat_;
    const Matryca& matryca_;
    Log& log_;
    const Clock& clock_;
};

}  // namespace tolvak
