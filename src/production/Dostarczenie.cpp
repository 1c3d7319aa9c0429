#include "production/Dostarczenie.h"

#include <algorithm>
#include <cstdio>

namespace tolvak {

std::string DataTekst(const LocalTime& t) {
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", t.year, t.month, t.day);
    return b;
}

std::string CzasTekst(const LocalTime& t) {
    char b[32];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return b;
}

std::string NazwaWynikowaSerwisu(std::string_view prefiks, int trybNazwy,
                                 std::string_view nazwaStala, int formatZapisu,
                                 const LocalTime& teraz) {
    const int h = teraz.hour + 1;  // 24 between 23:00 and 23:59, the date stays
    std::string baza;
    switch (trybNazwy) {
        case NazwaStala:
            baza.assign(nazwaStala);
            break;
        case NazwaGodzina:
            baza = (h < 10 ? "0" : "") + std::to_string(h) + "_00";
            break;
        default:
            baza = DataTekst(teraz) + (h < 10 ? "_0" : "_") + std::to_string(h);
            break;
    }
    return std::string(prefiks) + baza + (formatZapisu == 1 ? ".mp3" : ".wav");
}

bool CzyDozwolonaNazwaWynikowa(std::string_view nazwa) {
    if (nazwa.find_first_not_of(' ') == std::string_view::npos || nazwa.find_first_of("/\\") != std::string_view::npos ||
        nazwa.find("..") != std::string_view::npos)
        return false;
    return std::none_of(nazwa.begin(), nazwa.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string SciezkaDocelowa(std::string_view folderZapisu, std::string_view nazwa) {
    std::string s(folderZapisu);
    if (!s.empty() && s.back() != '/' && s.back() != '\\') s += '/';
    s += nazwa;
    return s;
}

}  // namespace tolvak
