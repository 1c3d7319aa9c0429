#include "schedule/StanWynikow.h"

#include <cstdio>

#include "platform/Ini.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace {

constexpr std::string_view kRodzaje[] = {"News", "Sport", "Ekonomia", "Pogoda"};

bool Cyfry(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return !s.empty();
}

int Liczba(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

}  // namespace

std::string KluczOstBlad(std::string_view rodzaj) { return "OstBlad" + std::string(rodzaj); }
std::string KluczOstPowtorzony(std::string_view rodzaj) { return "OstPowtorzony" + std::string(rodzaj); }

std::string TekstWpisu(const LocalTime& kiedy, std::string_view godzina, std::string_view powod) {
    char b[40];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d;", kiedy.year, kiedy.month, kiedy.day,
                  kiedy.hour, kiedy.minute, kiedy.second);
    std::string s = b;
    s.append(godzina);
    s += ';';
    for (char c : powod) s += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    return s;
}

std::optional<WpisWyniku> CzytajWpis(std::string_view w) {
    // "yyyy-MM-dd HH:mm:ss;HH;" is 23 characters, fixed.
    if (w.size() < 23 || w[4] != '-' || w[7] != '-' || w[10] != ' ' || w[13] != ':' || w[16] != ':' ||
        w[19] != ';' || w[22] != ';')
        return std::nullopt;
    const auto pole = [&](size_t od, size_t ile) { return w.substr(od, ile); };
    for (auto [od, ile] : {std::pair{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}, {20, 2}})
        if (!Cyfry(pole(static_cast<size_t>(od), static_cast<size_t>(ile)))) return std::nullopt;
    WpisWyniku e;
    e.kiedy = LocalTime{Liczba(pole(0, 4)), Liczba(pole(5, 2)), Liczba(pole(8, 2)),
                        Liczba(pole(11, 2)), Liczba(pole(14, 2)), Liczba(pole(17, 2)), 0};
    e.godzina = std::string(pole(20, 2));
    e.powod = std::string(w.substr(23));
    return e;
}

void ZapiszWynik(const std::filesystem::path& dat, const WynikAkcji& w, const LocalTime& kiedy) {
    IniFile stan(dat);
    const std::string hh = w.godzina.size() >= 2 ? w.godzina.substr(w.godzina.size() - 2) : w.godzina;
    if (w.powtorzony) {
        stan.WriteString(SekcjaPobrany, KluczOstPowtorzony(w.rodzaj), TekstWpisu(kiedy, hh, w.powod));
        if (w.dostarczony) stan.DeleteKey(SekcjaPobrany, KluczOstBlad(w.rodzaj));
    } else if (w.dostarczony) {
        stan.DeleteKey(SekcjaPobrany, KluczOstBlad(w.rodzaj));
        stan.DeleteKey(SekcjaPobrany, KluczOstPowtorzony(w.rodzaj));
    } else {
        stan.WriteString(SekcjaPobrany, KluczOstBlad(w.rodzaj), TekstWpisu(kiedy, hh, w.powod));
    }
}

std::vector<WynikAkcji> StojaceWyniki(const std::filesystem::path& dat) {
    std::vector<WynikAkcji> wyniki;
    const IniFile stan(dat);
    for (std::string_view rodzaj : kRodzaje) {
        for (const bool powtorzony : {false, true}) {
            const std::string klucz = powtorzony ? KluczOstPowtorzony(rodzaj) : KluczOstBlad(rodzaj);
            const auto e = CzytajWpis(stan.ReadString(SekcjaPobrany, klucz, ""));
            if (!e) continue;
            WynikAkcji w;
            w.rodzaj = std::string(rodzaj);
            char d[16];
            std::snprintf(d, sizeof d, "%04d-%02d-%02d ", e->kiedy.year, e->kiedy.month, e->kiedy.day);
            w.godzina = d + e->godzina;
            w.powtorzony = powtorzony;
            w.dostarczony = false;
            w.powod = e->powod;
            wyniki.push_back(std::move(w));
        }
    }
    return wyniki;
}

}  // namespace tolvak
