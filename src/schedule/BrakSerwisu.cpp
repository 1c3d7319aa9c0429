#include "schedule/BrakSerwisu.h"

#include <cstdio>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "production/Rodzaje.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace {

std::string DwieCyfry(int n) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", n);
    return b;
}

}  // namespace

std::string TekstBrakuSerwisu(int godzina) {
    return "Brak serwisu na godzinę " + DwieCyfry(godzina) + ".";
}

BrakSerwisu::BrakSerwisu(const Ustawienia& ustawienia, const StanPobran& stan, Log& log,
                         const Clock& clock, Okno& okno)
    : u_(ustawienia),
      stan_(stan),
      log_(log),
      clock_(clock),
      okno_(okno),
      obejrzana_(clock.now().serial() / 3600) {}

void BrakSerwisu::Tick(bool zajety) {
    const LocalTime teraz = clock_.now();
    const int64_t godzina = teraz.serial() / 3600;
    // The first tick of a new hour, normally in its minute 0; later when the timer was off
    // meanwhile (during the intervention's own production). The hour the program starts in is
    // not judged: nobody was there to produce it.
    if (godzina != obejrzana_) {
        obejrzana_ = godzina;
        oczekujaca_ = teraz;
    }
    // A run under way at minute 0 (the intervention of minute 59 on a slow source) may still
    // deliver the hour; judging it now would raise a false alarm.
    if (!oczekujaca_ || zajety) return;
    const LocalTime t = *oczekujaca_;
    oczekujaca_.reset();
    // Only the hours that the scheduler would have produced by itself count.
    if (!u_.CzyNews && !u_.CzyIAR && !u_.CzyZPliku) return;
    if (!stan_.MatrycaGodzin().CzyChciana(Matryca::NazwaKomorki(t.weekday(), t.hour))) return;
    if (stan_.CzyDostarczono(kNews, t)) return;
    Zglos(t);
}

void BrakSerwisu::Zglos(const LocalTime& godzina) {
    const std::string tekst = TekstBrakuSerwisu(godzina.hour);
    log_.DodajDoLoga(tekst);
    okno_.setMissedHour(tekst);
    pokazany_ = true;
    if (u_.PolecenieAlarmu.empty()) return;
    polecenie_.Uruchom(u_.PolecenieAlarmu,
                       {{"TOLVAK_GODZINA", DwieCyfry(godzina.hour)},
                        {"TOLVAK_RODZAJ", std::string(kNews)},
                        {"TOLVAK_KOMUNIKAT", log_.OstatniaLinia()}},
                       [this](const WynikPolecenia& w) { ZalogujKoniec(w); });
}

void BrakSerwisu::ZalogujKoniec(const WynikPolecenia& w) {
    switch (w.koniec) {
        case WynikPolecenia::Koniec::Kod:
            log_.DodajDoLoga("PolecenieAlarmu: zakończone z kodem " + std::to_string(w.kod) + ".");
            break;
        case WynikPolecenia::Koniec::Sygnal:
            log_.DodajDoLoga("PolecenieAlarmu: przerwane sygnałem " + std::to_string(w.kod) + ".");
            break;
        case WynikPolecenia::Koniec::Limit: {
            const auto ms = polecenie_.Limit().count();
            const std::string limit = ms % 1000 == 0 ? std::to_string(ms / 1000) + " s"
                                                     : std::to_string(ms) + " ms";
            log_.DodajDoLoga("PolecenieAlarmu: przekroczony limit czasu " + limit +
                             ", polecenie zakończone siłą.");
            break;
        }
        case WynikPolecenia::Koniec::NieUruchomiono:
            log_.DodajDoLoga("PolecenieAlarmu: nie można uruchomić polecenia: " + w.blad);
            break;
    }
}

void BrakSerwisu::PoProdukcjiNews() {
    if (!pokazany_ || stan_.CzyMaPobieracSE(kNews)) return;
    okno_.setMissedHour("");
    pokazany_ = false;
}

}  // namespace tolvak
