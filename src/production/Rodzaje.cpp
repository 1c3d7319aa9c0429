#include "production/Rodzaje.h"

#include "app/Konfiguracja.h"

namespace tolvak {

DzwiekiRodzaju DzwiekiDlaRodzaju(const Ustawienia& u, std::string_view rodzaj) {
    if (rodzaj == kNews)
        return {u.SerwisPodklad, u.SerwisZakonczenie, u.StartDzwiekuSerwisu, "N_"};
    if (rodzaj == kSport)
        return {u.SerwisSportPodklad, u.SerwisSportZakonczenie, u.StartDzwiekuSerwisuSportowego,
                "S_"};
    if (rodzaj == kEkonomia)
        return {u.SerwisEkonomiaPodklad, u.SerwisEkonomiaZakonczenie,
                u.StartDzwiekuSerwisuEkonomicznego, "E_"};
    if (rodzaj == kPogoda)
        return {u.PogodaPodklad, u.PogodaZakonczenie, u.StartDzwiekuPogody, "P_"};
    return {};
}

}  // namespace tolvak
