#include "sources/GodzinaSerwisu.h"

#include <array>

#include "platform/Regional.h"

namespace tolvak {

int PrzesuniecieSerwisu(int PrzesuniecieCzasowe) {
    return PrzesuniecieCzasowe < -5 || PrzesuniecieCzasowe > 5 ? 0 : PrzesuniecieCzasowe;
}

DzienZPR DzienZPRDla(int weekday) {
    static constexpr std::array<DzienZPR, 7> dni{{{"1_pon", "PON"},
                                                  {"2_wto", "WTO"},
                                                  {"3_sro", "SRO"},
                                                  {"4_czw", "CZW"},
                                                  {"5_pia", "PT"},
                                                  {"6_sob", "SOB"},
                                                  {"7_nie", "NIE"}}};
    return dni[static_cast<size_t>((weekday + 6) % 7)];
}

std::string SciezkaZPR(const LocalTime& teraz, int godzina) {
    const DzienZPR d = DzienZPRDla(teraz.weekday());
    return std::string(d.folder) + "/SERWIS_" + std::string(d.kod) + "_" + ZeroPaddedHour(godzina) +
           "00.mp3";
}

std::string FrazaZet(const LocalTime& teraz, std::string_view nazwa, int godzina) {
    return FormatDateTime("yyyy-MM-dd", teraz) + " " + std::string(nazwa) + " " +
           BlankPaddedHour(godzina) + ":00";
}

}  // namespace tolvak
