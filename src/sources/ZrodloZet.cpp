// The package service (HTTPS): the news phrase check, the news fetch by link or direct, and the
// sport and economy bulletins by the identifier found on its front page.

#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "sources/GodzinaSerwisu.h"
#include "sources/Pliki.h"
#include "sources/Tekst.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace {

constexpr const char* kTvssMp3 = "tvss.mp3";

/// The link of the news bulletin on the front page: the 25 characters from the first
/// "?dzwiek=" (from the page's start when there is none), up to the first "'"; empty when no
/// "'" stands among them.
std::string LinkDziennika(const std::string& strona) {
    const auto p = strona.find("?dzwiek=");
    const std::string kawalek = ZnakiOd(strona, p == std::string::npos ? 0 : p, 25);
    const auto apostrof = kawalek.find('\'');
    return apostrof == std::string::npos ? std::string() : kawalek.substr(0, apostrof);
}

/// The identifier after the first `fraza` on the page: within the 100 characters from the
/// phrase, from the first "IPN" (or the phrase itself when there is none) up to the first "'";
/// empty when the phrase is missing or no "'" follows.
std::string IdentyfikatorSE(const std::string& strona, const std::string& fraza) {
    const auto p = strona.find(fraza);
    if (p == std::string::npos) return {};
    std::string sto = ZnakiOd(strona, p, 100);
    if (const auto ipn = sto.find("IPN"); ipn != std::string::npos) sto.erase(0, ipn);
    const auto apostrof = sto.find('\'');
    return apostrof == std::string::npos ? std::string() : sto.substr(0, apostrof);
}

}  // namespace

bool Zrodla::CzyJestZet(const LocalTime& teraz, int godzina) {
    const std::string fraza = FrazaZet(teraz, "Dziennik", godzina);
    k_.log.DodajDoLoga("CzyJestSerwis: Sprawdzanie frazy zet:" + fraza);
    bool jest = false;
    try {
        jest = IdHTTP1().Get(AdresZetu()).find(fraza) != std::string::npos;
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestSerwis", e);
        jest = false;
    }
    k_.log.DodajDoLoga(jest ? "CzyJestSerwis: JEST" : "CzyJestSerwis: NIE MA");
    return jest;
}

std::string Zrodla::PobierzSerwis() {
    const Ustawienia& u = k_.ustawienia;
    try {
        if (CzyAgora(u.AuthLogin, u.AuthPassword)) {
            const std::string B = AdresZetu();
            KlientHTTP& http = IdHTTP1();
            const std::string link = LinkDziennika(http.Get(B));
            PobierzDoPliku(kTvssMp3, [&](std::FILE* f) { http.Get(B + "/" + link, f); });
            return kTvssMp3;
        }
        if (CzyAgora(u.AgoraLogin, u.AgoraPassword)) return PobierzSerwisAgora();

        const std::string adres = AdresZetu() + "/dziennik.php";
        KlientHTTP& http = IdHTTP1();
        http.Head(adres);
        const std::string dyspozycja = Przytnij(http.Naglowek("Content-disposition"));
        if (dyspozycja.empty()) return {};
        const std::string nazwa = NazwaZSerwera("PobierzSerwis", OstatnieZnaki(dyspozycja, 7));
        if (nazwa.empty()) return {};
        PobierzDoPliku(nazwa, [&](std::FILE* f) { http.Get(adres, f); });
        if (PustyPobrany(nazwa)) return {};
        return nazwa;
    } catch (const std::exception& e) {
        ZalogujBlad("PobierzSerwis", e);
        return {};
    }
}

std::string Zrodla::CzyJestSerwisSE(const std::string& rodzaj) {
    Okno& okno = k_.okno;
    okno.setAction("Sprawdzanie czy jest nowy serwis...");
    okno.processMessages();
    const LocalTime teraz = k_.clock.now();
    const std::string fraza = FrazaZet(teraz, rodzaj, GodzinaSerwisu(teraz));
    std::string identyfikator;
    try {
        identyfikator = IdentyfikatorSE(IdHTTP1().Get(AdresZetu()), fraza);
    } catch (const std::exception& e) {
        ZalogujBladSprawdzenia("CzyJestSerwisSE (" + rodzaj + ")", e);
        identyfikator.clear();
    }
    okno.setAction("");
    okno.processMessages();
    return identyfikator;
}

std::string Zrodla::PobierzSerwisSE(const std::string& FileNameLink) {
    try {
        const std::string adres = AdresZetu() + "/?dzwiek=" + FileNameLink;
        KlientHTTP& http = IdHTTP1();
        PobierzDoPliku(kTvssMp3, [&](std::FILE* f) { http.Get(adres, f); });
        return kTvssMp3;
    } catch (const std::exception& e) {
        ZalogujBlad("PobierzSerwisSE", e);
        return {};
    }
}

}  // namespace tolvak
