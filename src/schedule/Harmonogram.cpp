#include "schedule/Harmonogram.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Regional.h"
#include "production/Rodzaje.h"
#include "schedule/StanPobran.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace {

bool istniejePlik(const std::string& sciezka) {
    std::error_code ec;
    return std::filesystem::is_regular_file(sciezka, ec);
}

bool istniejeFolder(const std::string& sciezka) {
    std::error_code ec;
    return std::filesystem::is_directory(sciezka, ec);
}

/// Runs one step of restoring the idle state; a failure there must not skip the others.
template <typename F>
void bezpiecznie(F&& krok) noexcept {
    try {
        krok();
    } catch (...) {
    }
}

}  // namespace

PolaObecnosci PolaPoczatkowe(const Ustawienia& u) {
    return {u.SerwisPodklad, u.SerwisZakonczenie, u.FolderZapisu};
}

Harmonogram::Harmonogram(KontekstHarmonogramu kontekst, Timer& timer1, Timer& timer4)
    : k_(std::move(kontekst)),
      timer1_(timer1),
      timer4_(timer4),
      brak_(k_.ustawienia, k_.stan, k_.log, k_.clock, k_.okno) {
    timer1_.setEnabled(false);
    // The first cycle runs at once, with the first countdown tick: a start at 13:58 must not
    // wait until 14:03.
    timer1_.setInterval(kPierwszySprawdzenie);
    timer1_.setHandler([this] { Timer1Timer(); });
    timer4_.setEnabled(false);
    timer4_.setInterval(kInterwalTimer4);
    // A coarse 900 ms timer may drift by 5% and step over a whole second under load.
    timer4_.setPrecise(true);
    timer4_.setHandler([this] { Timer4Timer(); });
    timer1_.setEnabled(true);
    timer4_.setEnabled(true);
}

void Harmonogram::LockElements(bool stan) {
    bitBtn1Enabled_ = stan;
    if (OnLockElements) OnLockElements(stan);
}

bool Harmonogram::TestObecnosci() {
    std::string panel = "Test: " + DateTimeText(k_.clock.now(), CurrentRegionalFormats()) + ".";
    k_.okno.setStatusBar(panel);
    const PolaObecnosci pola = PolaOkna ? PolaOkna() : PolaPoczatkowe(k_.ustawienia);
    if (!pola.LEPodklad.empty() && !istniejePlik(pola.LEPodklad)) {
        panel += "Brak podkładu. ";
        k_.okno.setStatusBar(panel);
        k_.log.DodajDoLoga("Brak podkładu.");
    }
    if (!pola.LEZakonczenie.empty() && !istniejePlik(pola.LEZakonczenie)) {
        panel += "Brak zakończenia. ";
        k_.okno.setStatusBar(panel);
        k_.log.DodajDoLoga("Brak zakończenia.");
    }
    if (pola.LEFolderZapisu.empty()) {
        panel += "Brak lokalizacji zapisu serwisu. ";
        k_.okno.setStatusBar(panel);
        k_.log.DodajDoLoga("Brak lokalizacji zapisu serwisu..");
        return false;
    }
    if (!istniejeFolder(pola.LEFolderZapisu)) {
        panel += "Folder zapisu serwisu nie istnieje. ";
        k_.okno.setStatusBar(panel);
        k_.log.DodajDoLoga("Folder zapisu serwisu nie istnieje.");
        return false;
    }
    return true;
}

void Harmonogram::Akcja(std::string_view rodzaj, const std::string& link, TrybAkcji tryb) {
    const LocalTime teraz = k_.clock.now();
    const bool dostarczono = k_.AkcjaSerwis(std::string(rodzaj), link, tryb);
    brak_.PoProdukcji(rodzaj, ComingHourStamp(teraz), teraz.hour + 1, dostarczono);
}

bool Harmonogram::CosNalezne() const {
    const Ustawienia& u = k_.ustawienia;
    const bool agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    try {
        if ((u.CzyNews || u.CzyIAR || u.CzyZPliku) && k_.stan.CzyNalezyNews()) return true;
        if (u.CzySport && k_.stan.CzyMaPobieracSE(kSport)) return true;
        if (u.CzyEkonomia && k_.stan.CzyMaPobieracSE(kEkonomia)) return true;
        if (agora && u.CzyPogoda && k_.stan.CzyMaPobieracSE(kPogoda)) return true;
    } catch (const std::exception&) {
        return true;  // in doubt, look more often
    }
    return false;
}

int Harmonogram::NastepnyOdstep(bool zajety) const {
    const LocalTime t = k_.clock.now();
    const int64_t ms = (t.minute * 60 + t.second) * 1000LL + t.millisecond;
    constexpr int64_t kGodzinaMs = 3600 * 1000;
    constexpr int64_t kKoniecMs = (59 * 60 + 40) * 1000;
    int64_t odstep = kInterwalTimer1;
    const int od = k_.ustawienia.KoncowkaOd;
    if (od < 60 && CosNalezne()) {
        const int64_t poczatekMs = od * 60 * 1000LL;
        if (ms >= poczatekMs && ms < kKoniecMs)
            odstep = std::min<int64_t>(k_.ustawienia.KoncowkaCo * 1000LL, kKoniecMs - ms);
        else if (ms < poczatekMs)
            odstep = std::min<int64_t>(odstep, poczatekMs - ms);
    }
    // Just past the full hour, so that the tick falls inside the new hour.
    if (zajety) odstep = std::min<int64_t>(odstep, kGodzinaMs - ms + 20);
    return static_cast<int>(std::max<int64_t>(odstep, 1));
}

void Harmonogram::UstawTimer1(bool zajety) {
    if (!timer1_.isEnabled()) return;
    const int odstep = NastepnyOdstep(zajety);
    timer1_.setInterval(odstep);
    // The countdown shows the seconds begun until the cycle.
    k_.okno.setNextCheck((odstep + 999) / 1000);
}

void Harmonogram::Sport(TrybAkcji tryb) {
    const Ustawienia& u = k_.ustawienia;
    if (!u.CzySport || !k_.stan.CzyMaPobieracSE(kSport)) return;
    if (CzyAgora(u.AgoraLogin, u.AgoraPassword)) {
        if (k_.zrodla.CzyJestAgoraDodatkowy(std::string(kSport))) Akcja(kSport, {}, tryb);
    } else {
        const std::string link = k_.zrodla.CzyJestSerwisSE(std::string(kSport));
        if (!link.empty()) Akcja(kSport, link, tryb);
    }
}

void Harmonogram::Ekonomia(TrybAkcji tryb) {
    if (!k_.ustawienia.CzyEkonomia || !k_.stan.CzyMaPobieracSE(kEkonomia)) return;
    const std::string link = k_.zrodla.CzyJestSerwisSE(std::string(kEkonomia));
    if (!link.empty()) Akcja(kEkonomia, link, tryb);
}

void Harmonogram::Pogoda(TrybAkcji tryb) {
    const Ustawienia& u = k_.ustawienia;
    if (CzyAgora(u.AgoraLogin, u.AgoraPassword) && u.CzyPogoda &&
        k_.stan.CzyMaPobieracSE(kPogoda) &&
        k_.zrodla.CzyJestAgoraDodatkowy(std::string(kPogoda)))
        Akcja(kPogoda, {}, tryb);
}

void Harmonogram::Zglos(std::string_view nadawca) {
    std::string powod = "nieznany błąd";
    try {
        throw;
    } catch (const std::exception& e) {
        powod = e.what();
    } catch (...) {
    }
    bezpiecznie([&] { k_.log.DodajDoLoga(std::string(nadawca) + ": " + powod); });
}

void Harmonogram::Krok(std::string_view nadawca, const std::function<void()>& krok) {
    if (zatrzymanie_) return;
    try {
        krok();
    } catch (...) {
        Zglos(nadawca);
        // The run that failed did not get to switch the busy display off.
        bezpiecznie([&] { k_.okno.Migotanie(false); });
    }
}

void Harmonogram::Zabezpiecz(std::string_view nadawca, bool wlasciciel, Timer* wlasny) {
    Zglos(nadawca);
    if (wlasciciel || bitBtn1Enabled_) {
        bezpiecznie([&] { LockElements(true); });
        bezpiecznie([&] { timer1_.setEnabled(true); });
        bezpiecznie([&] { timer4_.setEnabled(true); });
        bezpiecznie([&] { k_.okno.Migotanie(false); });
    } else if (wlasny) {
        bezpiecznie([&] { wlasny->setEnabled(true); });
    }
}

void Harmonogram::Timer1Timer() {
    if (zatrzymanie_) {
        bezpiecznie([&] { UstawTimer1(); });
        return;
    }
    // 1. Busy: the intervention's run holds Timer4, so this tick carries the missed hour.
    if (!bitBtn1Enabled_) {
        try {
            brak_.Tick();
        } catch (...) {
            Zglos("Timer1");
        }
        bezpiecznie([&] { UstawTimer1(true); });
        return;
    }
    bool zablokowal = false;
    try {
        // 2.
        if (!TestObecnosci()) {
            UstawTimer1();
            k_.okno.Migotanie(false);
            k_.log.DodajDoLoga("Timer1: Test obecności folderu zapisu nieudany");
            return;
        }
        // 3.
        if (59 - k_.clock.now().minute < k_.ustawienia.ZatrzymajSprawdzanie) {
            UstawTimer1();
            return;
        }
        // 4.
        zablokowal = true;  // before the call: the flag is set even if the window's part fails
        LockElements(false);
        timer1_.setEnabled(false);
        try {
            k_.stan.ZapiszSprawdzenie(k_.clock.now());
        } catch (const std::exception& e) {
            k_.log.DodajDoLoga(std::string("Timer1: ") + e.what());  // the checks go on
        }
        // 5 to 7.
        Krok("Timer1", [this] { Sport(TrybAkcji::Cykl); });
        Krok("Timer1", [this] { Ekonomia(TrybAkcji::Cykl); });
        Krok("Timer1", [this] { Pogoda(TrybAkcji::Cykl); });
        // 8. Three independent tests, each stopping at its first false.
        const Ustawienia& u = k_.ustawienia;
        Krok("Timer1", [&] {
            if (u.CzyNews && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwis()) Akcja(kNews, {}, TrybAkcji::Cykl);
        });
        Krok("Timer1", [&] {
            if (u.CzyIAR && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwis()) Akcja(kNews, {}, TrybAkcji::Cykl);
        });
        Krok("Timer1", [&] {
            if (u.CzyZPliku && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwisZPliku())
                Akcja(kNews, {}, TrybAkcji::Cykl);
        });
        // 9. The check period starts again from here.
        timer1_.setEnabled(true);
        UstawTimer1();
        LockElements(true);
        k_.okno.Migotanie(false);
    } catch (...) {
        Zabezpiecz("Timer1", zablokowal, &timer1_);
        bezpiecznie([&] { UstawTimer1(); });
    }
    if (zablokowal) OdlozonaInterwencja();
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
}

void Harmonogram::Timer4Timer() {
    if (!zatrzymanie_) {
        try {
            brak_.Tick();
        } catch (...) {
            Zglos("Timer4");  // the alarm must never stop the intervention
        }
    }
    // 1. Two readings of the clock, as the minute and the second are tested.
    if (k_.clock.now().minute != 59) return;
    if (k_.clock.now().second != 0) return;
    if (zatrzymanie_) return;
    Interwencja(&timer4_);
}

void Harmonogram::Interwencja(Timer* wlasny) {
    bool zablokowal = false;
    try {
        // 2.
        if (wlasny) wlasny->setEnabled(false);
        k_.log.DodajDoLoga("Interwencyjne pobranie serwisu - wejście");
        // 3. The feed and the local file take part as the network sources do.
        const Ustawienia& u = k_.ustawienia;
        if ((u.CzyNews || u.CzyIAR || u.CzyZPliku) && k_.stan.CzyMaPobierac()) {
            k_.log.DodajDoLoga("Interwencyjne pobieranie - ma pobierać");
            if (!bitBtn1Enabled_) {
                k_.log.DodajDoLoga("Interwencyjne pobranie przerwane - trwało pobieranie główne");
                odlozona_ = k_.clock.now().serial() / 3600;
            } else if (const Swiezosc s = k_.zrodla.SwiezoscSerwisu();
                       s.ocena == Swiezosc::Ocena::Nieaktualny) {
                // Last week's file of the same name is worse on air than none: the alarm at
                // the hour tells the station, and a later check may still find this hour's.
                k_.log.DodajDoLoga("Interwencyjne pobranie przerwane - serwis nieaktualny: " + s.powod);
            } else {
                k_.log.DodajDoLoga("Interwencyjne pobranie serwisu rozpoczęte");
                zablokowal = true;
                LockElements(false);
                // Timer4 is held by this run: the check timer must tick at the full hour.
                UstawTimer1(true);
                Akcja(kNews, {}, TrybAkcji::Interwencja);
                LockElements(true);
                UstawTimer1();
                k_.okno.Migotanie(false);
                k_.log.DodajDoLoga("Interwencyjne pobranie serwisu zakończone");
            }
        } else {
            // 4.
            k_.log.DodajDoLoga("Interwencyjne pobranie przerwane - ma nie pobierać na tę godzinę");
        }
        // 5.
        if (wlasny) wlasny->setEnabled(true);
    } catch (...) {
        Zabezpiecz("Timer4", zablokowal, wlasny);
    }
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
}

void Harmonogram::OdlozonaInterwencja() {
    if (odlozona_ < 0 || zatrzymanie_ || !bitBtn1Enabled_) return;
    const bool tejGodziny = k_.clock.now().serial() / 3600 == odlozona_;
    odlozona_ = -1;
    if (tejGodziny) Interwencja(nullptr);
}

void Harmonogram::BitBtn1Click() {
    // A disabled button takes no click.
    if (!bitBtn1Enabled_ || zatrzymanie_) return;
    bool zablokowal = false;
    try {
        // 1.
        if (!TestObecnosci()) {
            k_.okno.messageBox("Folder zapisu serwisu nie istnieje!", "Błąd", MsgButtons::Ok,
                               MsgIcon::Error);
            k_.log.DodajDoLoga("Folder zapisu serwisu nie istnieje!");
            return;
        }
        // 2.
        zablokowal = true;  // before the call: the flag is set even if the window's part fails
        LockElements(false);
        k_.log.DodajDoLoga("Rozpoczeto sprawdzanie serwisu.");
        // 3.
        Krok("BitBtn1", [this] { Sport(TrybAkcji::Reczny); });
        Krok("BitBtn1", [this] { Ekonomia(TrybAkcji::Reczny); });
        // 4. Whatever the settings, the matrix and the state file say.
        Krok("BitBtn1", [this] { Akcja(kNews, {}, TrybAkcji::Reczny); });
        // 5.
        LockElements(true);
        k_.log.DodajDoLoga("Zakończono sprawdzanie serwisu.");
    } catch (...) {
        Zabezpiecz("BitBtn1", zablokowal, nullptr);
    }
    if (zablokowal) OdlozonaInterwencja();
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
}

}  // namespace tolvak
