#include "schedule/PodsumowanieStartu.h"

#include <cstdio>
#include <optional>

#include "app/Konfiguracja.h"
#include "platform/Regional.h"
#include "production/Rodzaje.h"
#include "schedule/KontrolaUstawien.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace {

const std::string& Podklad(const Ustawienia& u, std::string_view rodzaj) {
    if (rodzaj == kSport) return u.SerwisSportPodklad;
    if (rodzaj == kEkonomia) return u.SerwisEkonomiaPodklad;
    if (rodzaj == kPogoda) return u.PogodaPodklad;
    return u.SerwisPodklad;
}

/// The first hour from the coming one on that the kind is still wanted, as "yyyy-MM-dd HH", over
/// the next eight days; the cycle works during the hour before it.
std::optional<std::string> NajblizszaGodzina(std::string_view rodzaj, const Matryca& matryca,
                                             const std::filesystem::path& dat, const LocalTime& teraz) {
    LocalTime chwila = teraz;
    chwila.minute = 0;
    chwila.second = 0;
    for (int k = 0; k < 24 * 8; ++k, chwila = chwila.plusSeconds(3600)) {
        if (k == 0 && CzyDostarczono(dat, rodzaj, chwila.plusSeconds(3600))) continue;
        if (rodzaj == kNews && !matryca.CzyChciana(Matryca::NazwaKomorki(chwila.weekday(), chwila.hour + 1)))
            continue;
        const LocalTime g = chwila.plusSeconds(3600);
        char t[32];
        std::snprintf(t, sizeof t, "%04d-%02d-%02d %02d", g.year, g.month, g.day, g.hour);
        return std::string(t);
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> PodsumowanieStartu(const Ustawienia& u, const Matryca& matryca,
                                            const std::filesystem::path& dat, const LocalTime& teraz,
                                            const LocalTime& pierwszeSprawdzenie) {
    std::vector<std::string> linie;
    for (std::string_view rodzaj : {kNews, kSport, kEkonomia, kPogoda}) {
        const std::string zrodlo = ZrodloRodzaju(u, rodzaj);
        if (zrodlo.empty()) continue;
        const std::string& podklad = Podklad(u, rodzaj);
        const auto godzina = NajblizszaGodzina(rodzaj, matryca, dat, teraz);
        linie.push_back("Harmonogram: " + std::string(rodzaj) + " z " + zrodlo + ", " +
                        (podklad.empty() ? std::string("bez podkładu") : "podkład " + podklad) + ", " +
                        (godzina ? "najbliższa chciana godzina " + *godzina
                                 : std::string("brak chcianej godziny w matrycy")));
    }
    linie.push_back("Harmonogram: pierwsze sprawdzenie " + RegionalnaDataICzas(pierwszeSprawdzenie));
    return linie;
}

}  // namespace tolvak
