#include "schedule/StanPobran.h"

#include <exception>

#include "app/Log.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "schedule/Matryca.h"

namespace tolvak {

namespace {
constexpr std::string_view kNewsKlucz = "News";
}  // namespace

std::string KluczOstPobrany(std::string_view rodzaj) { return "OstPobrany" + std::string(rodzaj); }
std::string KluczOstPlik(std::string_view rodzaj) { return "OstPlik" + std::string(rodzaj); }
std::string KluczOstTymczasowy(std::string_view rodzaj) { return "OstTymczasowy" + std::string(rodzaj); }

bool CzyOtwartaTymczasowo(const std::filesystem::path& dat, std::string_view rodzaj, const LocalTime& teraz) {
    // From 59:40 a provisional delivery stands: the last check has had its chance.
    if (teraz.minute == 59 && teraz.second >= 40) return false;
    const std::string stamp = ComingHourStamp(teraz);
    const IniFile f(dat);
    return f.ReadString(SekcjaPobrany, KluczOstTymczasowy(rodzaj), "") == stamp &&
           f.ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "") == stamp;
}

namespace {

bool chcianaNastepna(const Matryca& matryca, const LocalTime& now) {
    try {
        // The coming hour is not wrapped: from 23:00 it is 24, for which there is no cell.
        return matryca.CzyChciana(Matryca::NazwaKomorki(now.weekday(), now.hour + 1));
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

bool StanPobran::CzyNalezyNews() const {
    const LocalTime now = clock_.now();
    return CzyMaPobieracSE(kNewsKlucz) && chcianaNastepna(matryca_, now);
}

bool StanPobran::CzyTymczasowy(std::string_view rodzaj, const std::string& stempel) const {
    const IniFile f(dat_);
    return f.ReadString(SekcjaPobrany, KluczOstTymczasowy(rodzaj), "") == stempel &&
           f.ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "") == stempel;
}

void StanPobran::ZapiszSprawdzenie(const LocalTime& chwila) const {
    IniFile(dat_).WriteString(SekcjaPobrany, KluczOstSprawdzenie, FormatDateTime("yyyy-MM-dd HH:mm:ss", chwila));
}

void StanPobran::ZapiszBrakGodziny(const LocalTime& godzina) const {
    IniFile(dat_).WriteString(SekcjaPobrany, KluczBrakGodziny, FormatDateTime("yyyy-MM-dd HH", godzina));
}

void StanPobran::UsunBrakGodziny() const { IniFile(dat_).DeleteKey(SekcjaPobrany, KluczBrakGodziny); }

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
    const LocalTime now = clock.now();
    const std::string stamp = ComingHourStamp(now);
    return IniFile(dat).ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "") != stamp ||
           CzyOtwartaTymczasowo(dat, rodzaj, now);
}

bool CzyMaPobierac(const std::filesystem::path& dat, const Matryca& matryca, Log& log, const Clock& clock) {
    // One reading of the clock for the stamp, the day and the hour.
    const LocalTime now = clock.now();
    const std::string stamp = ComingHourStamp(now);
    if (IniFile(dat).ReadString(SekcjaPobrany, KluczOstPobrany(kNewsKlucz), "") == stamp &&
        !CzyOtwartaTymczasowo(dat, kNewsKlucz, now)) {
        log.DodajDoLoga("CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.");
        return false;
    }
    const bool wynik = chcianaNastepna(matryca, now);
    log.DodajDoLoga(wynik ? "CzyMaPobierac: Ma pobierać na najbliższą godzinę."
                          : "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.");
    return wynik;
}

}  // namespace tolvak
