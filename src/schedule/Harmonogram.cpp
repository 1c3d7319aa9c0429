#include "schedule/Harmonogram.h"

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
    timer1_.setInterval(kInterwalTimer1);
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

void Harmonogram::Akcja(std::string_view rodzaj, const std::string& link) {
    k_.AkcjaSerwis(std::string(rodzaj), link);
    if (rodzaj == kNews) brak_.PoProdukcjiNews();
}

void Harmonogram::Sport() {
    const Ustawienia& u = k_.ustawienia;
    if (!u.CzySport || !k_.stan.CzyMaPobieracSE(kSport)) return;
    if (CzyAgora(u.AgoraLogin, u.AgoraPassword)) {
        if (k_.zrodla.CzyJestAgoraDodatkowy(std::string(kSport))) Akcja(kSport, {});
    } else {
        const std::string link = k_.zrodla.CzyJestSerwisSE(std::string(kSport));
        if (!link.empty()) Akcja(kSport, link);
    }
}

void Harmonogram::Ekonomia() {
    if (!k_.ustawienia.CzyEkonomia || !k_.stan.CzyMaPobieracSE(kEkonomia)) return;
    const std::string link = k_.zrodla.CzyJestSerwisSE(std::string(kEkonomia));
    if (!link.empty()) Akcja(kEkonomia, link);
}

void Harmonogram::Pogoda() {
    const Ustawienia& u = k_.ustawienia;
    if (CzyAgora(u.AgoraLogin, u.AgoraPassword) && u.CzyPogoda &&
        k_.stan.CzyMaPobieracSE(kPogoda) &&
        k_.zrodla.CzyJestAgoraDodatkowy(std::string(kPogoda)))
        Akcja(kPogoda, {});
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
    // 1.
    if (!bitBtn1Enabled_ || zatrzymanie_) return;
    bool zablokowal = false;
    try {
        // 2.
        if (!TestObecnosci()) {
            k_.okno.Migotanie(false);
            k_.log.DodajDoLoga("Timer1: Test obecności folderu zapisu nieudany");
            return;
        }
        // 3.
        if (59 - k_.clock.now().minute < k_.ustawienia.ZatrzymajSprawdzanie) return;
        // 4.
        zablokowal = true;  // before the call: the flag is set even if the window's part fails
        LockElements(false);
        timer1_.setEnabled(false);
        // 5 to 7.
        Krok("Timer1", [this] { Sport(); });
        Krok("Timer1", [this] { Ekonomia(); });
        Krok("Timer1", [this] { Pogoda(); });
        // 8. Three independent tests, each stopping at its first false.
        const Ustawienia& u = k_.ustawienia;
        Krok("Timer1", [&] {
            if (u.CzyNews && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwis()) Akcja(kNews, {});
        });
        Krok("Timer1", [&] {
            if (u.CzyIAR && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwis()) Akcja(kNews, {});
        });
        Krok("Timer1", [&] {
            if (u.CzyZPliku && k_.stan.CzyMaPobierac() && k_.zrodla.CzyJestSerwisZPliku())
                Akcja(kNews, {});
        });
        // 9. The check period starts again from here.
        timer1_.setEnabled(true);
        LockElements(true);
        k_.okno.Migotanie(false);
    } catch (...) {
        Zabezpiecz("Timer1", zablokowal, &timer1_);
    }
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
}

void Harmonogram::Timer4Timer() {
    if (!zatrzymanie_) {
        try {
            brak_.Tick(!bitBtn1Enabled_);
        } catch (...) {
            Zglos("Timer4");  // the alarm must never stop the intervention
        }
    }
    // 1. Two readings of the clock, as the minute and the second are tested.
    if (k_.clock.now().minute != 59) return;
    if (k_.clock.now().second != 0) return;
    if (zatrzymanie_) return;
    bool zablokowal = false;
    try {
        // 2.
        timer4_.setEnabled(false);
        k_.log.DodajDoLoga("Interwencyjne pobranie serwisu - wejście");
        // 3.
        if (k_.ustawienia.CzyNews && k_.stan.CzyMaPobierac()) {
            k_.log.DodajDoLoga("Interwencyjne pobieranie - ma pobierać");
            if (bitBtn1Enabled_) {
                k_.log.DodajDoLoga("Interwencyjne pobranie serwisu rozpoczęte");
                zablokowal = true;
                LockElements(false);
                Akcja(kNews, {});
                LockElements(true);
                k_.okno.Migotanie(false);
                k_.log.DodajDoLoga("Interwencyjne pobranie serwisu zakończone");
            } else {
                k_.log.DodajDoLoga("Interwencyjne pobranie przerwane - trwało pobieranie główne");
            }
        } else {
            // 4.
            k_.log.DodajDoLoga("Interwencyjne pobranie przerwane - ma nie pobierać na tę godzinę");
        }
        // 5.
        timer4_.setEnabled(true);
    } catch (...) {
        Zabezpiecz("Timer4", zablokowal, &timer4_);
    }
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
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
        Krok("BitBtn1", [this] { Sport(); });
        Krok("BitBtn1", [this] { Ekonomia(); });
        // 4. Whatever the settings, the matrix and the state file say.
        Krok("BitBtn1", [this] { Akcja(kNews, {}); });
        // 5.
        LockElements(true);
        k_.log.DodajDoLoga("Zakończono sprawdzanie serwisu.");
    } catch (...) {
        Zabezpiecz("BitBtn1", zablokowal, nullptr);
    }
    if (zablokowal && OnKoniecPracy) OnKoniecPracy();
}

}  // namespace tolvak
