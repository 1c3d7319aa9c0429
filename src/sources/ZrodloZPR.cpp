// The ZPR FTP server: one folder per weekday, one MP3 file per hour.

#include <exception>

#include "sources/GodzinaSerwisu.h"
#include "sources/Zrodla.h"

namespace tolvak {

bool Zrodla::CzyJestZPR(const LocalTime& teraz, int godzina) {
    try {
        const LocalTime zmiana = LocalTime::fromTimeT(IdFTP1().CzasModyfikacji(SciezkaZPR(teraz, godzina)));
        return zmiana.year == teraz.year && zmiana.month == teraz.month && zmiana.day == teraz.day;
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestZPR", e);
        return false;
    }
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
