// The ZPR FTP server: one folder per weekday, one MP3 file per hour.

#include <exception>

#include "platform/Regional.h"
#include "sources/GodzinaSerwisu.h"
#include "sources/Zrodla.h"

namespace tolvak {

Swiezosc Zrodla::SwiezoscZPR(const LocalTime& teraz, int godzina) {
    const std::string sciezka = SciezkaZPR(teraz, godzina);
    LocalTime zmiana;
    try {
        zmiana = LocalTime::fromTimeT(IdFTP1().CzasModyfikacji(sciezka));
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestZPR", e);
        return Swiezosc::Nieznany();  // no file, no server: the fetch fails on its own
    }
    if (zmiana.year == teraz.year && zmiana.month == teraz.month && zmiana.day == teraz.day)
        return Swiezosc::Aktualny();
    // The weekday folder keeps last week's file under the same name until the provider
    // replaces it.
    return Swiezosc::Nieaktualny("plik " + sciezka + " z dnia " + DateText(zmiana, Fs()));
}

std::string Zrodla::PobierzSerwisZPR() {
    try {
        const LocalTime teraz = k_.clock.now();
        const std::string sciezka = SciezkaZPR(teraz, GodzinaSerwisu(teraz));
        KlientFTP& ftp = IdFTP1();
        PobierzDoPliku("tvss.mp3", [&](std::FILE* f) { ftp.Pobierz(sciezka, f); });
        return "tvss.mp3";
    } catch (const std::exception& e) {
        ZalogujBlad("PobierzSerwisZPR", e);
        return {};
    }
}

}  // namespace tolvak
