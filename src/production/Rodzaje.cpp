#include "production/Rodzaje.h"

#include <cerrno>
#include <cstdio>

#include "app/Konfiguracja.h"
#include "platform/Bledy.h"

namespace tolvak {

DzwiekiRodzaju DzwiekiDlaRodzaju(const Ustawienia& u, std::string_view rodzaj) {
    if (rodzaj == kNews)
        return {u.SerwisPodklad, u.SerwisZakonczenie, u.StartSerwisu, "N_"};
    if (rodzaj == kSport)
        return {u.SerwisSportPodklad, u.SerwisSportZakonczenie, u.StartSerwisuSport,
                "S_"};
    if (rodzaj == kEkonomia)
        return {u.SerwisEkonomiaPodklad, u.SerwisEkonomiaZakonczenie,
                u.StartSerwisuEkonomia, "E_"};
    if (rodzaj == kPogoda)
        return {u.PogodaPodklad, u.PogodaZakonczenie, u.StartPogody, "P_"};
    return {};
}

int64_t PunktMixuWPodkladzie(int64_t punkt, int64_t ramkiPodkladu, int czestotliwosc) {
    if (punkt < 0) return 0;
    const int64_t przerwa = static_cast<int64_t>(kNajdluzszaPrzerwaSekundy) * czestotliwosc;
    if (punkt - ramkiPodkladu > przerwa) return ramkiPodkladu;
    return punkt;
}

void PrzeniesPlik(const std::string& z, const std::string& cel) {
    if (std::rename(z.c_str(), cel.c_str()) == 0) return;
    const int err = errno;
    // A missing source is the source's fault, not the target's.
    if (err == ENOENT && !IstniejePlik(z)) ZglosBladPliku(OperacjaNaPliku::Otwarcie, z, err);
    ZglosBladPliku(OperacjaNaPliku::Zastapienie, cel, err);
}

}  // namespace tolvak
