// The IAR feed: an RSS-like feed whose newest item carries the bulletin as its enclosure.

#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Regional.h"
#include "sources/Kanal.h"
#include "sources/Pliki.h"
#include "sources/Tekst.h"
#include "sources/Zrodla.h"

namespace tolvak {

Swiezosc Zrodla::SwiezoscIAR(int godzina, std::string_view operacja) {
    const ElementKanalu e =
        WyszukajElementKanalu(k_.ustawienia.iarURL, XMLDocument1_, k_.okno, limity_);
    if (!e.powod.empty()) k_.log.DodajDoLoga("CzyJestSerwis: " + e.powod);
    if (e.wynik == WynikKanalu::BrakKanalu) {
        if (!operacja.empty())
            k_.log.DodajDoLoga(std::string(operacja) + ": Nie udało się pobrać pliku XML z IAR");
        return Swiezosc::Nieznany();
    }
    if (e.wynik == WynikKanalu::BrakElementu) return Swiezosc::Nieznany();
    const std::string tytul = TekstElementu(e.item.child("title"));
    if (tytul.find(ZeroPaddedHour(godzina)) != std::string::npos) return Swiezosc::Aktualny();
    return Swiezosc::Nieaktualny("tytuł w kanale IAR bez godziny " + ZeroPaddedHour(godzina) +
                                 ": " + tytul);
}

std::string Zrodla::PobierzSerwisIAR() {
    try {
        const ElementKanalu e =
            WyszukajElementKanalu(k_.ustawienia.iarURL, XMLDocument1_, k_.okno, limity_);
        if (!e.powod.empty()) k_.log.DodajDoLoga("PobierzSerwisIAR: " + e.powod);
        if (e.wynik == WynikKanalu::BrakKanalu) {
            k_.log.DodajDoLoga("PobierzSerwisIAR: Nie udało się pobrać pliku XML z IAR");
            return {};
        }
        if (e.wynik == WynikKanalu::BrakElementu) return {};
        // Copied out at once: the document may be loaded again while the window runs.
        const std::string adres = Przytnij(e.item.child("enclosure").attribute("url").as_string());
        if (adres.empty()) return {};
        const std::string nazwa = NazwaZSerwera("PobierzSerwisIAR", RozszerzenieZrodla(adres));
        if (nazwa.empty()) return {};
        KlientHTTP klient(k_.okno, UstawieniaHTTP::Kanalu(), limity_);
        PobierzDoPliku(nazwa, [&](std::FILE* f) { klient.Get(adres, f); });
        return nazwa;
    } catch (const std::exception& e) {
        ZalogujBlad("PobierzSerwisIAR", e);
        return {};
    }
}

}  // namespace tolvak
