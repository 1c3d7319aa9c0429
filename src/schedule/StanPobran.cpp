#include "schedule/StanPobran.h"

#include <exception>

#include "app/Log.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "schedule/Matryca.h"

namespace tolvak {

std::string KluczOstPobrany(std::string_view rodzaj) { return "OstPobrany" + std::string(rodzaj); }
std::string KluczOstPlik(std::string_view rodzaj) { return "OstPlik" + std::string(rodzaj); }

void ZapiszPobranyInfo(const std::filesystem::path& dat, std::string_view rodzaj, const Clock& clock) {
    ZapiszPobranyInfo(dat, rodzaj, clock.now());
}

void ZapiszPobranyInfo(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& chwila) {
    IniFile(dat).WriteString(SekcjaPobrany, KluczOstPobrany(rodzaj), ComingHourStamp(chwila));
}

std::string StempelGodziny(const LocalTime& godzina) {
    return ComingHourStamp(godzina.plusSeconds(-3600));
}

bool CzyDostarczono(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& godzina) {
    return IniFile(dat).ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "") == StempelGodziny(godzina);
}

bool CzyMaPobieracSE(const std::filesystem::path& dat, std::string_view rodzaj, const Clock& clock) {
    const std::string stamp = ComingHourStamp(clock.now());
    return IniFile(dat).ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "") != stamp;
}

bool CzyMaPobierac(const std::filesystem::path& dat, const Matryca& matryca, Log& log, const Clock& clock) {
    // One reading of the clock for the stamp, the day and the hour.
    const LocalTime now = clock.now();
    const std::string stamp = ComingHourStamp(now);
    if (IniFile(dat).ReadString(SekcjaPobrany, KluczOstPobrany("News"), "") == stamp) {
        log.DodajDoLoga("CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.");
        return false;
    }
    bool wynik = false;
    try {
        // The coming hour is not wrapped: from 23:00 it is 24, for which there is no cell.
        wynik = matryca.CzyChciana(Matryca::NazwaKomorki(now.weekday(), now.hour + 1));
    } catch (const std::exception&) {
        wynik = false;
    }
    log.DodajDoLoga(wynik ? "CzyMaPobierac: Ma pobierać na najbliższą godzinę."
                          : "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.");
    return wynik;
}

}  // namespace tolvak
