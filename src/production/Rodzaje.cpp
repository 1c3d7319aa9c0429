#include "production/Rodzaje.h"

#include "app/Konfiguracja.h"

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

}  // namespace tolvak
