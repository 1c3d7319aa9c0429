// The Agora news service (HTTP): news, sport and weather scripts that name their bulletin in a
// "Content-disposition" header, and the file service that delivers the variant with bed.

#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Regional.h"
#include "sources/Pliki.h"
#include "sources/Tekst.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace {

/// "login=" + L + "&passwd=" + P, inserted as they are.
std::string KontoAgory(const Ustawienia& u) {
    return "login=" + u.AgoraLogin + "&passwd=" + u.AgoraPassword;
}

/// The bulletin file's name with bed: the disposition text after its first "=", with an "M"
/// before every ".".
std::string NazwaZPodkladem(std::string_view dyspozycja) {
    if (const auto r = dyspozycja.find('='); r != std::string_view::npos)
        dyspozycja.remove_prefix(r + 1);
    std::string nazwa;
    for (char c : dyspozycja) {
        if (c == '.') nazwa += 'M';
        nazwa += c;
    }
    return nazwa;
}

/// True when a HEAD answer names the bulletin of the coming hour: no "Unauthorized" in the
/// status line and "_" + zero-padded hour + "00" in the disposition text.
bool PokazujeGodzine(const KlientHTTP& http, int godzina) {
    if (http.ResponseText().find("Unauthorized") != std::string::npos) return false;
    return Przytnij(http.Naglowek("Content-disposition")).find("_" + ZeroPaddedHour(godzina) + "00") !=
           std::string::npos;
}

}  // namespace

Swiezosc Zrodla::SwiezoscAgora(int godzina) {
    try {
        KlientHTTP& http = IdHTTP1();
        http.Head(AdresAgory() + "news.php?&" + KontoAgory(k_.ustawienia));
        if (PokazujeGodzine(http, godzina)) return Swiezosc::Aktualny();
        const std::string dyspozycja = Przytnij(http.Naglowek("Content-disposition"));
        // Only a named file of another hour is evidence; a refusal or no name tells nothing.
        if (dyspozycja.empty() || http.ResponseText().find("Unauthorized") != std::string::npos)
            return Swiezosc::Nieznany();
        return Swiezosc::Nieaktualny("Agora podaje plik " + dyspozycja + " zamiast godziny " +
                                     ZeroPaddedHour(godzina) + "00");
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestSerwis", e);
        return Swiezosc::Nieznany();
    }
}

std::string Zrodla::PobierzAgore(std::string_view operacja, const std::string& adresHead,
                                 const std::string& adresGet, size_t znakiNazwy) {
    KlientHTTP& http = IdHTTP1();
    std::string dyspozycja;
    try {
        http.Head(adresHead);
        dyspozycja = Przytnij(http.Naglowek("Content-disposition"));
    } catch (const std::exception& e) {
        ZalogujBlad(operacja, e);
        return {};
    }
    if (dyspozycja.empty()) return {};
    const std::string nazwa = NazwaZSerwera(operacja, OstatnieZnaki(dyspozycja, znakiNazwy));
    if (nazwa.empty()) return {};
    const std::string adres =
        k_.ustawienia.AgoraPodklad
            ? AdresAgoryPliki() + "?file=" + NazwaZPodkladem(dyspozycja) + "&" + KontoAgory(k_.ustawienia)
            : adresGet;
    PobierzDoPliku(nazwa, [&](std::FILE* f) { http.Get(adres, f); });
    if (PustyPobrany(nazwa)) return {};
    return nazwa;
}

std::string Zrodla::PobierzSerwisAgora() {
    const std::string A = AdresAgory(), konto = KontoAgory(k_.ustawienia);
    return PobierzAgore("PobierzSerwis", A + "news.php?&" + konto, A + "news.php?" + konto, 7);
}

bool Zrodla::CzyJestAgoraDodatkowy(const std::string& typ) {
    Okno& okno = k_.okno;
    okno.setAction("Sprawdzanie czy jest nowy serwis " + typ + "...");
    okno.processMessages();
    const int godzina = GodzinaSerwisu(k_.clock.now());
    k_.log.DodajDoLoga("CzyJestAgoraDodatkowy (" + typ + "): Sprawdzamy Agorę");
    bool wynik = false;
    try {
        KlientHTTP& http = IdHTTP1();
        http.Head(AdresAgory() + MaleLitery(typ) + ".php?&" + KontoAgory(k_.ustawienia));
        wynik = PokazujeGodzine(http, godzina);
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestAgoraDodatkowy (" + typ + ")", e);
        k_.log.DodajDoLoga("CzyJestAgoraDodatkowy (" + typ + "): niepowodzenie sprawdzania Agory");
        wynik = false;
    }
    okno.setAction("");
    okno.processMessages();
    return wynik;
}

std::string Zrodla::PobierzSerwisAgoraDodatkowy(const std::string& typ) {
    try {
        const std::string adres =
            AdresAgory() + MaleLitery(typ) + ".php?" + KontoAgory(k_.ustawienia);
        return PobierzAgore("PobierzSerwisAgoraDodatkowy", adres, adres, 4);
    } catch (const std::exception& e) {
        ZalogujBlad("PobierzSerwisAgoraDodatkowy", e);
        return {};
    }
}

}  // namespace tolvak
