#include "production/GlosnoscSerwisu.h"

#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "audio/Glosnosc.h"

namespace tolvak {

void GlosnoscSerwisu(const Ustawienia& u, const std::string& wav, Log& log, Okno& okno) {
    if (!u.GlosnoscPomiar && !u.GlosnoscCel) return;
    try {
        if (!u.GlosnoscCel) {
            if (const auto p = ZmierzGlosnosc(wav)) log.DodajDoLoga("AkcjaSerwis: Głośność: " + TekstPomiaru(*p));
            else log.DodajDoLoga("AkcjaSerwis: Nie można zmierzyć głośności serwisu.");
            return;
        }
        const auto k = UstawGlosnosc(wav, *u.GlosnoscCel, u.GlosnoscSzczytMax, okno);
        if (!k) {
            log.DodajDoLoga("AkcjaSerwis: Korekta głośności nieudana, serwis bez korekty.");
            return;
        }
        log.DodajDoLoga("AkcjaSerwis: Głośność: " + TekstPomiaru(k->przed));
        if (!k->zmieniono) {
            log.DodajDoLoga("AkcjaSerwis: Korekta głośności pominięta: serwis jest ciszą.");
            return;
        }
        log.DodajDoLoga("AkcjaSerwis: Korekta głośności: wzmocnienie " + TekstWartosci(k->wzmocnienie, "dB", true) +
                        ", po korekcie: " + TekstPomiaru(k->po));
    } catch (const std::exception& e) {
        log.DodajDoLoga(std::string("AkcjaSerwis: Korekta głośności nieudana: ") + e.what());
    }
}

}  // namespace tolvak
