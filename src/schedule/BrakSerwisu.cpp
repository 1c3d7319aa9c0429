#include "schedule/BrakSerwisu.h"

#include <algorithm>
#include <cstdio>
#include <exception>

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
      osadzona_(clock.now().serial() / 3600) {}

void BrakSerwisu::Tick() {
    const int64_t godzina = clock_.now().serial() / 3600;
    // Set back by NTP: the hours up to the one judged last were judged already. Set back by
    // more than a couple of hours, the clock was wrong before and the new time counts afresh.
    if (godzina <= osadzona_) {
        if (godzina < osadzona_ - 2) osadzona_ = godzina;
        return;
    }
    // The hour the program starts in is not judged: nobody was there to produce it.
    const int64_t od = std::max(osadzona_ + 1, godzina - 23);
    osadzona_ = godzina;
    for (int64_t g = od; g <= godzina; ++g) Osadz(g);
}

void BrakSerwisu::Osadz(int64_t godzina) {
    const LocalTime t = LocalTime::fromSerial(godzina * 3600);
    // Only the hours that the scheduler would have produced by itself count.
    if (!u_.CzyNews && !u_.CzyIAR && !u_.CzyZPliku) return;
    if (!stan_.MatrycaGodzin().CzyChciana(Matryca::NazwaKomorki(t.weekday(), t.hour))) return;
    if (stan_.CzyDostarczono(kNews, t)) return;
    Zglos(t);
}

void BrakSerwisu::Zglos(const LocalTime& godzina) {
    const std::string tekst = TekstBrakuSerwisu(godzina.hour);
    okno_.setMissedHour(tekst);
    pokazany_ = true;
    try {
        stan_.ZapiszBrakGodziny(godzina);
    } catch (const std::exception& e) {
        log_.DodajDoLoga("BrakSerwisu: " + std::string(e.what()));  // the alarm goes out all the same
    }
    Alarm(tekst, godzina.hour, kNews);
}

void BrakSerwisu::Alarm(const std::string& tekst, int godzina, std::string_view rodzaj) {
    log_.DodajDoLoga(tekst);
    if (u_.PolecenieAlarmu.empty()) return;
    polecenie_.Uruchom(u_.PolecenieAlarmu,
                       {{"TOLVAK_GODZINA", DwieCyfry(godzina)},
                        {"TOLVAK_RODZAJ", std::string(rodzaj)},
                        {"TOLVAK_KOMUNIKAT", log_.OstatniaLinia()}},
                       [this](const WynikPolecenia& w) { ZalogujKoniec(w); });
}

void BrakSerwisu::PoProdukcji(std::string_view rodzaj, const std::string& stempel, int godzina,
                              bool dostarczono) {
    if (!dostarczono) return;
    if (rodzaj == kNews && pokazany_) {
        okno_.setMissedHour("");
        pokazany_ = false;
        try {
            stan_.UsunBrakGodziny();
        } catch (const std::exception& e) {
            log_.DodajDoLoga("BrakSerwisu: " + std::string(e.what()));
        }
    }
    if (!stan_.CzyTymczasowy(rodzaj, stempel)) return;
    const std::string klucz = std::string(rodzaj) + " " + stempel;
    if (klucz == zgloszonyPowtorzony_) return;
    zgloszonyPowtorzony_ = klucz;
    Alarm("Powtórzony serwis " + std::string(rodzaj) + " na godzinę " + DwieCyfry(godzina % 24) + ".",
          godzina % 24, rodzaj);
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

}  // namespace tolvak
