#include "sources/Zrodla.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Bledy.h"
#include "platform/PlikiTymczasowe.h"
#include "platform/Regional.h"
#include "sources/GodzinaSerwisu.h"
#include "sources/Pliki.h"
#include "sources/Tekst.h"

namespace tolvak {

namespace {

void KoniecPobierania(Okno& okno) {
    okno.setAction("Pobieranie serwisu zakończone!");
    okno.processMessages();
    okno.setGaugePosition(0);
}

}  // namespace

std::string NazwaPlikuPobranego(std::string_view rozszerzenie) {
    std::string nazwa = std::string("tvss") + std::string(rozszerzenie);
    if (nazwa.find_first_of("/\\") != std::string::npos) return {};
    if (nazwa.find("..") != std::string::npos) return {};
    if (nazwa.find('\0') != std::string::npos) return {};
    return nazwa;
}

namespace {
LimityTransferu ZPrzerwaniem(LimityTransferu limity, const std::atomic<bool>& przerwanie) {
    limity.przerwanie = &przerwanie;
    return limity;
}
}  // namespace

Zrodla::Zrodla(KontekstZrodel kontekst, LimityTransferu limity)
    : k_(std::move(kontekst)),
      limity_(ZPrzerwaniem(limity, przerwane_)),
      IdHTTP1_(k_.okno, UstawieniaHTTP::Wspolny(), limity_),
      IdFTP1_(k_.okno, limity_) {
    IdHTTP1_.OnWorkEnd = [this] { IdHTTP1WorkEnd(); };
    IdFTP1_.OnWorkEnd = [this] { IdFTP1WorkEnd(); };
}

void Zrodla::IdHTTP1WorkEnd() { KoniecPobierania(k_.okno); }
void Zrodla::IdFTP1WorkEnd() { KoniecPobierania(k_.okno); }

KlientHTTP& Zrodla::IdHTTP1() {
    IdHTTP1_.UstawKonto(k_.ustawienia.AuthLogin, k_.ustawienia.AuthPassword);
    return IdHTTP1_;
}

KlientFTP& Zrodla::IdFTP1() {
    const Ustawienia& u = k_.ustawienia;
    IdFTP1_.UstawSerwer(u.ZPRHost, u.ZPRLogin, u.ZPRPassword, u.ZPRPassiveMode);
    return IdFTP1_;
}

int Zrodla::GodzinaSerwisu(const LocalTime& teraz) const {
    return ComingHour(teraz, PrzesuniecieSerwisu(k_.ustawienia.PrzesuniecieCzasowe));
}

std::string Zrodla::AdresZetu() const {
    std::string a = Przytnij(k_.ustawienia.AdresZet);
    while (!a.empty() && a.back() == '/') a.pop_back();
    if (a.empty()) throw BladTransferu("Brak adresu serwisu (AdresZet)");
    return a;
}

namespace {
std::string ZUkosnikiem(std::string_view adres, const char* klucz) {
    std::string a = Przytnij(adres);
    if (a.empty()) throw BladTransferu(std::string("Brak adresu serwisu (") + klucz + ")");
    if (a.back() != '/') a += '/';
    return a;
}
}  // namespace

std::string Zrodla::AdresAgory() const { return ZUkosnikiem(k_.ustawienia.AdresAgora, "AdresAgora"); }

std::string Zrodla::AdresAgoryPliki() const {
    return ZUkosnikiem(k_.ustawienia.AdresAgoraPliki, "AdresAgoraPliki");
}

std::string Zrodla::NazwaZSerwera(std::string_view operacja, std::string_view rozszerzenie) {
    std::string nazwa = NazwaPlikuPobranego(rozszerzenie);
    if (nazwa.empty())
        k_.log.DodajDoLoga(std::string(operacja) + ": Odrzucono nazwę pliku od serwera: tvss" +
                           std::string(rozszerzenie));
    return nazwa;
}

void Zrodla::ZalogujBlad(std::string_view operacja, const std::exception& e) {
    k_.log.DodajDoLoga(std::string(operacja) + ": " + e.what());
}

void Zrodla::ZalogujBladSprawdzenia(std::string_view operacja, const std::exception& e) {
    if (const auto* b = dynamic_cast<const BladTransferu*>(&e); b != nullptr && b->BrakNaSerwerze()) return;
    ZalogujBlad(operacja, e);
}

void Zrodla::UsunPobrany(const std::string& nazwa) {
    // A file that cannot be removed is overwritten by the next fetch of its name.
    ::unlink((k_.folderRoboczy / nazwa).c_str());
}

bool Zrodla::PustyPobrany(const std::string& nazwa) {
    if (GetFileSize((k_.folderRoboczy / nazwa).string()) != 0) return false;
    UsunPobrany(nazwa);
    return true;
}

void Zrodla::PobierzDoPliku(const std::string& nazwa,
                            const std::function<void(std::FILE*)>& pobierz) {
    // A link planted at the work file's name is removed, never written through.
    const int fd = UtworzPlikRoboczy(k_.folderRoboczy / nazwa);
    std::FILE* plik = ::fdopen(fd, "wb");
    if (plik == nullptr) {
        const int err = errno;
        ::close(fd);
        UsunPobrany(nazwa);
        ZglosBladPliku(OperacjaNaPliku::Utworzenie, nazwa, err);
    }
    try {
        pobierz(plik);
    } catch (...) {
        std::fclose(plik);
        UsunPobrany(nazwa);
        throw;
    }
    if (std::fclose(plik) != 0) {
        const int err = errno;
        UsunPobrany(nazwa);
        throw BladTransferu("Nie można zapisać pliku " + nazwa + ": " + std::strerror(err));
    }
}

ZrodloNews ZrodloNewsDla(const Ustawienia& u) {
    if (u.CzyIAR) return ZrodloNews::IAR;
    if (u.CzyZPliku) return ZrodloNews::ZPliku;
    if (u.czyZPR) return ZrodloNews::ZPR;
    // PobierzSerwis: the package service's account first, then the Agora login.
    if (CzyAgora(u.AuthLogin, u.AuthPassword)) return ZrodloNews::Zet;
    if (CzyAgora(u.AgoraLogin, u.AgoraPassword)) return ZrodloNews::Agora;
    return ZrodloNews::Zet;
}

bool Zrodla::CzyJestSerwis() {
    Okno& okno = k_.okno;
    const Ustawienia& u = k_.ustawienia;
    okno.setAction("Sprawdzanie czy jest nowy serwis...");
    okno.processMessages();
    const LocalTime teraz = k_.clock.now();
    const int godzina = GodzinaSerwisu(teraz);
    const bool agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    k_.log.DodajDoLoga("CzyJestSerwis: Sprawdzanie czy jest nowy serwis:" +
                       (agora ? ZeroPaddedHour(godzina) : BlankPaddedHour(godzina)) + "/" +
                       ZeroPaddedHour(teraz.hour));
    bool wynik = false;
    try {
        // The source asked is the one the production run will fetch from, so that a positive
        // answer is always about the file that will go on air.
        switch (ZrodloNewsDla(u)) {
            case ZrodloNews::IAR:
                k_.log.DodajDoLoga("CzyJestSerwis: Sprawdzamy IAR");
                wynik = SwiezoscIAR(godzina, "CzyJestSerwis").CzyAktualny();
                break;
            case ZrodloNews::ZPliku:
                wynik = CzyJestSerwisZPliku();
                break;
            case ZrodloNews::ZPR:
                k_.log.DodajDoLoga("CzyJestSerwis: Sprawdzamy ZPR");
                wynik = SwiezoscZPR(teraz, godzina).CzyAktualny();
                break;
            case ZrodloNews::Agora:
                k_.log.DodajDoLoga("CzyJestSerwis: Sprawdzamy Agorę");
                wynik = SwiezoscAgora(godzina).CzyAktualny();
                break;
            case ZrodloNews::Zet:
                wynik = CzyJestZet(teraz, godzina);
                break;
        }
    } catch (const std::exception&) {
        wynik = false;  // each branch answers for itself; this only keeps the promise
    }
    k_.log.DodajDoLoga(wynik ? "CzyJestSerwis: Wynik pozytywny" : "CzyJestSerwis: Wynik negatywny");
    okno.setAction("");
    okno.processMessages();
    return wynik;
}

Swiezosc Zrodla::SwiezoscSerwisu() {
    const LocalTime teraz = k_.clock.now();
    const int godzina = GodzinaSerwisu(teraz);
    try {
        switch (ZrodloNewsDla(k_.ustawienia)) {
            case ZrodloNews::IAR: return SwiezoscIAR(godzina, {});
            case ZrodloNews::ZPliku: return SwiezoscZPliku();
            case ZrodloNews::ZPR: return SwiezoscZPR(teraz, godzina);
            case ZrodloNews::Agora: return SwiezoscAgora(godzina);
            // The package service's page tells nothing about the file its fetch takes.
            case ZrodloNews::Zet: return Swiezosc::Nieznany();
        }
    } catch (const std::exception&) {
    }
    return Swiezosc::Nieznany();
}

}  // namespace tolvak
