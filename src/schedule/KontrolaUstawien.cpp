#include "schedule/KontrolaUstawien.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <optional>
#include <system_error>

#include "app/CommandLine.h"
#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "audio/DecodeStream.h"
#include "platform/Ini.h"
#include "platform/Paths.h"
#include "production/Rodzaje.h"
#include "schedule/Matryca.h"

namespace tolvak {

namespace fs = std::filesystem;

namespace {

enum class Typ { Tekst, Przelacznik, Liczba, Decybele };

struct Klucz {
    std::string_view nazwa;
    Typ typ = Typ::Tekst;
    int od = 0, doo = 0;  // the range of a number
};

struct Sekcja {
    std::string_view nazwa;
    std::vector<Klucz> klucze;
};

/// Every key the program reads or writes, by section ("Matryca" is checked by its cell names).
const std::vector<Sekcja>& ZnaneSekcje() {
    using enum Typ;
    static const std::vector<Sekcja> sekcje{
        {sekcja::Ustawienia,
         {{"AgoraLogin"}, {"AgoraPassword"}, {"AgoraPodklad", Przelacznik}, {"AuthLogin"},
          {"AuthPassword"}, {"CzyZPR", Przelacznik}, {"ZPRHost"}, {"ZPRLogin"}, {"ZPRPassword"},
          {"ZPRPassiveMode", Przelacznik}, {"FolderZapisu"}, {"SerwisPodklad"},
          {"SerwisZakonczenie"}, {"SerwisSportPodklad"}, {"SerwisSportZakonczenie"},
          {"SerwisEkonomiaPodklad"}, {"SerwisEkonomiaZakonczenie"}, {"PogodaPodklad"},
          {"PogodaZakonczenie"}, {"ZPlikuSciezka"}, {"CzyNews", Przelacznik},
          {"CzySport", Przelacznik}, {"CzyEkonomia", Przelacznik}, {"CzyPogoda", Przelacznik},
          {"CzyZPliku", Przelacznik}, {"CzyIAR", Przelacznik}, {"iarURL"},
          {"ZatrzymajSprawdzanie", Liczba, 0, 59}, {"NazwaWynikowa"},
          {"NazwaWynikowaTyp", Liczba, 0, 2}, {"FormatZapisu", Liczba, 0, 1},
          {"StartDzwiekuSerwisu", Liczba, INT32_MIN, INT32_MAX},
          {"StartDzwiekuSerwisuSportowego", Liczba, INT32_MIN, INT32_MAX},
          {"StartDzwiekuSerwisuEkonomicznego", Liczba, INT32_MIN, INT32_MAX},
          {"StartDzwiekuPogody", Liczba, INT32_MIN, INT32_MAX},
          {"PrzesuniecieCzasowe", Liczba, -5, 5}, {"CzyTworzycLog", Przelacznik}, {"AdresZet"},
          {"AdresAgora"}, {"AdresAgoraPliki"}, {"PolecenieAlarmu"},
          {"OdrzucPowtorzony", Przelacznik}, {"KoncowkaOd", Liczba, 0, 60},
          {"KoncowkaCo", Liczba, 1, 3600}}},
        {sekcja::Kompresja, {{"PlikZrodlowy", Liczba, -60, 60}, {"PlikWynikowy", Liczba, -60, 60}}},
        {sekcja::Glosnosc, {{"Pomiar", Przelacznik}, {"Cel", Decybele, -70, 0}, {"SzczytMax", Decybele, -20, 0}}},
        {sekcja::PogodaSponsorzy,
         {{"Sponsor1Przed"}, {"Sponsor2Przed"}, {"Sponsor3Przed"}, {"Sponsor1Po"}, {"Sponsor2Po"},
          {"Sponsor3Po"}}},
    };
    return sekcje;
}

bool RowneBezWielkosci(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

bool CzyKomorkaMatrycy(std::string_view klucz) {
    for (int d = Matryca::PierwszyDzien; d <= Matryca::OstatniDzien; ++d)
        for (int h = Matryca::PierwszaGodzina; h <= Matryca::OstatniaGodzina; ++h)
            if (RowneBezWielkosci(Matryca::KluczKomorki(Matryca::TagKomorki(d, h)), klucz)) return true;
    return false;
}

/// A value that the reading rules would turn into the default.
bool ZlaWartosc(const Klucz& k, const std::string& wartosc) {
    int v = 0;
    switch (k.typ) {
        case Typ::Tekst: return false;
        case Typ::Przelacznik: return !IniFile::ParseInteger(wartosc, v);
        case Typ::Liczba: return !IniFile::ParseInteger(wartosc, v) || v < k.od || v > k.doo;
        case Typ::Decybele: {
            if (wartosc.empty()) return false;
            const auto db = CzytajDecybele(wartosc);
            return !db || *db < k.od || *db > k.doo;
        }
    }
    return false;
}

class Kontrola {
public:
    explicit Kontrola(const fs::path& ini) : ini_(ini), plik_(ini), zapisane_(OdczytajKonfiguracje(ini)) {
        u_ = zapisane_;
        JedenZrodloNews(ini_, u_, false);
    }

    std::vector<UwagaUstawien> Wszystkie() {
        if (!SprawdzPlikKonfiguracji(ini_).empty()) {
            Dodaj(WagaUwagi::Blad, RodzajUwagi::BrakKonfiguracji, "", "", ini_.string());
            return uwagi_;
        }
        Klucze();
        Folder();
        Zrodla();
        Dzwieki();
        MatrycaGodzin();
        return uwagi_;
    }

private:
    void Dodaj(WagaUwagi w, RodzajUwagi r, std::string_view sekcja, std::string_view klucz,
               std::string wartosc, std::string powod = {}) {
        uwagi_.push_back(UwagaUstawien{w, r, ini_.string(), std::string(sekcja), std::string(klucz),
                                       std::move(wartosc), std::move(powod)});
    }

    void Klucze() {
        for (const Sekcja& s : ZnaneSekcje())
            for (const std::string& nazwa : plik_.ReadSection(s.nazwa)) {
                const auto k = std::ranges::find_if(s.klucze, [&](const Klucz& z) { return RowneBezWielkosci(z.nazwa, nazwa); });
                if (k == s.klucze.end()) {
                    Dodaj(WagaUwagi::Ostrzezenie, RodzajUwagi::NieznanyKlucz, s.nazwa, nazwa, "");
                    continue;
                }
                const std::string wartosc = plik_.ReadString(s.nazwa, nazwa, "");
                if (ZlaWartosc(*k, wartosc))
                    Dodaj(WagaUwagi::Ostrzezenie, RodzajUwagi::ZlaWartosc, s.nazwa, nazwa, wartosc);
            }
        for (const std::string& nazwa : plik_.ReadSection(sekcja::Matryca)) {
            if (!CzyKomorkaMatrycy(nazwa)) {
                Dodaj(WagaUwagi::Ostrzezenie, RodzajUwagi::NieznanyKlucz, sekcja::Matryca, nazwa, "");
            } else if (const std::string w = plik_.ReadString(sekcja::Matryca, nazwa, "");
                       ZlaWartosc(Klucz{"", Typ::Przelacznik}, w)) {
                Dodaj(WagaUwagi::Ostrzezenie, RodzajUwagi::ZlaWartosc, sekcja::Matryca, nazwa, w);
            }
        }
    }

    void Folder() {
        const std::string& f = u_.FolderZapisu;
        std::error_code ec;
        if (f.empty() || !fs::is_directory(f, ec))
            Dodaj(WagaUwagi::Blad, RodzajUwagi::BrakFolderu, sekcja::Ustawienia, "FolderZapisu", f);
        else if (::access(f.c_str(), W_OK | X_OK) != 0)
            Dodaj(WagaUwagi::Blad, RodzajUwagi::FolderBezZapisu, sekcja::Ustawienia, "FolderZapisu", f);
    }

    void Wymagany(std::string_view klucz, const std::string& wartosc, std::string_view przelacznik,
                  RodzajUwagi r = RodzajUwagi::BrakAdresu) {
        if (wartosc.empty())
            Dodaj(WagaUwagi::Blad, r, sekcja::Ustawienia, klucz, "", std::string(przelacznik));
    }

    void Zrodla() {
        const Ustawienia& u = u_;
        const Ustawienia& z = zapisane_;
        // Half an account is a typing error: Agora is then silently not used.
        if (u.AgoraLogin.empty() != u.AgoraPassword.empty())
            Dodaj(WagaUwagi::Ostrzezenie, RodzajUwagi::BrakKonta, sekcja::Ustawienia,
                  u.AgoraLogin.empty() ? "AgoraLogin" : "AgoraPassword", "", "AgoraLogin");
        const int wlaczone = z.CzyNews + z.CzyZPliku + z.CzyIAR;
        if (wlaczone > 1) {
            // With CzyNews on every start switches the other two off; the local file and the
            // feed together stay on, and the check and the fetch then disagree.
            const bool news = z.CzyNews;
            for (const char* k : {"CzyZPliku", "CzyIAR"}) {
                const bool on = std::string_view(k) == "CzyZPliku" ? z.CzyZPliku : z.CzyIAR;
                if (on && (news || std::string_view(k) == "CzyIAR"))
                    Dodaj(news ? WagaUwagi::Ostrzezenie : WagaUwagi::Blad, RodzajUwagi::DwaZrodla,
                          sekcja::Ustawienia, k, "1", news ? "CzyNews" : "CzyZPliku");
            }
        }
        const std::string news = ZrodloRodzaju(u, kNews);
        if (news == "IAR") Wymagany("iarURL", u.iarURL, "CzyIAR");
        if (news == "plik lokalny") Wymagany("ZPlikuSciezka", u.ZPlikuSciezka, "CzyZPliku");
        if (news == "ZPR") {
            Wymagany("ZPRHost", u.ZPRHost, "CzyZPR");
            Wymagany("ZPRLogin", u.ZPRLogin, "CzyZPR", RodzajUwagi::BrakKonta);
        }
        for (std::string_view rodzaj : {kNews, kSport, kEkonomia, kPogoda}) {
            const std::string z = ZrodloRodzaju(u, rodzaj);
            const char* przelacznik = rodzaj == kNews ? "CzyNews" : rodzaj == kSport ? "CzySport"
                                    : rodzaj == kEkonomia ? "CzyEkonomia" : "CzyPogoda";
            if (z == "serwis paczek") Wymagany("AdresZet", u.AdresZet, przelacznik);
            if (z == "Agora") {
                Wymagany("AdresAgora", u.AdresAgora, przelacznik);
                if (u.AgoraPodklad) Wymagany("AdresAgoraPliki", u.AdresAgoraPliki, "AgoraPodklad");
            }
        }
        if (u.CzyPogoda && !u.Agora)
            Dodaj(WagaUwagi::Blad, RodzajUwagi::BrakKonta, sekcja::Ustawienia, "AgoraLogin", "", "CzyPogoda");
    }

    /// A set path that does not lead to a sound. It matters as an error only for a kind that is
    /// produced; the local file comes and goes with the system that refreshes it.
    void Dzwiek(std::string_view sekcja, std::string_view klucz, const std::string& sciezka,
                bool uzywany, WagaUwagi waga = WagaUwagi::Blad) {
        if (sciezka.empty()) return;
        const WagaUwagi w = uzywany ? waga : WagaUwagi::Ostrzezenie;
        std::error_code ec;
        if (!fs::exists(sciezka, ec)) {
            Dodaj(w, RodzajUwagi::BrakPliku, sekcja, klucz, sciezka);
            return;
        }
        bool dzwiek = false;
        try {
            const auto s = fs::is_regular_file(sciezka, ec) ? audiolib::OpenDecoder(sciezka) : nullptr;
            dzwiek = s && s->Length() > 0;
        } catch (const std::exception&) {
            dzwiek = false;
        }
        if (!dzwiek) Dodaj(w, RodzajUwagi::BrakDzwieku, sekcja, klucz, sciezka);
    }

    void Dzwieki() {
        const Ustawienia& u = u_;
        const auto U = sekcja::Ustawienia;
        const bool news = CzyRodzajWlaczony(u, kNews), sport = u.CzySport, ekonomia = u.CzyEkonomia,
                   pogoda = CzyRodzajWlaczony(u, kPogoda);
        Dzwiek(U, "SerwisPodklad", u.SerwisPodklad, news);
        Dzwiek(U, "SerwisZakonczenie", u.SerwisZakonczenie, news);
        Dzwiek(U, "SerwisSportPodklad", u.SerwisSportPodklad, sport);
        Dzwiek(U, "SerwisSportZakonczenie", u.SerwisSportZakonczenie, sport);
        Dzwiek(U, "SerwisEkonomiaPodklad", u.SerwisEkonomiaPodklad, ekonomia);
        Dzwiek(U, "SerwisEkonomiaZakonczenie", u.SerwisEkonomiaZakonczenie, ekonomia);
        Dzwiek(U, "PogodaPodklad", u.PogodaPodklad, pogoda);
        Dzwiek(U, "PogodaZakonczenie", u.PogodaZakonczenie, pogoda);
        // A sponsor that cannot be played is left out of the weather, which still goes out.
        for (const Klucz& k : ZnaneSekcje().back().klucze)
            Dzwiek(sekcja::PogodaSponsorzy, k.nazwa, plik_.ReadString(sekcja::PogodaSponsorzy, k.nazwa, ""),
                   pogoda, WagaUwagi::Ostrzezenie);
        if (ZrodloRodzaju(u, kNews) == "plik lokalny")
            Dzwiek(U, "ZPlikuSciezka", u.ZPlikuSciezka, true, WagaUwagi::Ostrzezenie);
    }

    void MatrycaGodzin() {
        if (!CzyRodzajWlaczony(u_, kNews)) return;
        Matryca m(ini_);
        m.Wczytaj();
        for (int d = Matryca::PierwszyDzien; d <= Matryca::OstatniDzien; ++d)
            for (int h = Matryca::PierwszaGodzina; h <= Matryca::OstatniaGodzina; ++h)
                if (m.KomorkaDla(d, h)->chciana) return;
        const char* przelacznik = u_.CzyNews ? "CzyNews" : u_.CzyIAR ? "CzyIAR" : "CzyZPliku";
        Dodaj(WagaUwagi::Blad, RodzajUwagi::PustaMatryca, sekcja::Matryca, "d16…d722", "", przelacznik);
    }

    fs::path ini_;
    IniFile plik_;
    Ustawienia zapisane_;  // as the file says
    Ustawienia u_;         // as every mode uses them, after the switch rule
    std::vector<UwagaUstawien> uwagi_;
};

}  // namespace

std::vector<UwagaUstawien> SprawdzUstawienia(const fs::path& ini) { return Kontrola(ini).Wszystkie(); }

std::string TekstUwagi(const UwagaUstawien& u) {
    std::string t = u.waga == WagaUwagi::Blad ? "Błąd: " : "Ostrzeżenie: ";
    if (u.rodzaj == RodzajUwagi::BrakKonfiguracji) return t + "Brak pliku konfiguracji: " + u.plik;
    t += u.plik + ": [" + u.sekcja + "] " + u.klucz + ": ";
    switch (u.rodzaj) {
        case RodzajUwagi::BrakKonfiguracji: break;
        case RodzajUwagi::NieznanyKlucz: return t + "nieznany klucz, program go nie czyta (literówka?)";
        case RodzajUwagi::ZlaWartosc:
            return t + "niedozwolona wartość \"" + u.wartosc + "\", program użyje domyślnej";
        case RodzajUwagi::BrakPliku: return t + "plik " + u.wartosc + " nie istnieje";
        case RodzajUwagi::BrakDzwieku: return t + "plik " + u.wartosc + " nie zawiera dźwięku";
        case RodzajUwagi::BrakFolderu:
            return t + (u.wartosc.empty() ? "brak lokalizacji zapisu serwisu"
                                          : "folder " + u.wartosc + " nie istnieje");
        case RodzajUwagi::FolderBezZapisu: return t + "brak prawa zapisu do folderu " + u.wartosc;
        case RodzajUwagi::BrakAdresu: return t + "brak adresu, a włączone jest " + u.powod + "=1";
        case RodzajUwagi::BrakKonta:
            if (u.powod == "AgoraLogin") return t + "puste, więc konto Agora nie będzie używane";
            return t + "brak konta, a włączone jest " + u.powod + "=1";
        case RodzajUwagi::DwaZrodla:
            return t + "włączone razem z " + u.powod + "=1; serwis ogólny pobierany jest z jednego źródła" +
                   (u.powod == "CzyNews" ? ", przy starcie " + u.klucz + " zostanie wyłączone" : "");
        case RodzajUwagi::PustaMatryca:
            return t + "żadna godzina nie jest zaznaczona, a włączone jest " + u.powod + "=1";
    }
    return t;
}

std::string_view NazwaWagi(WagaUwagi w) { return w == WagaUwagi::Blad ? "blad" : "ostrzezenie"; }

std::string_view NazwaRodzaju(RodzajUwagi r) {
    switch (r) {
        case RodzajUwagi::BrakKonfiguracji: return "brak_konfiguracji";
        case RodzajUwagi::NieznanyKlucz: return "nieznany_klucz";
        case RodzajUwagi::ZlaWartosc: return "zla_wartosc";
        case RodzajUwagi::BrakPliku: return "brak_pliku";
        case RodzajUwagi::BrakDzwieku: return "brak_dzwieku";
        case RodzajUwagi::BrakFolderu: return "brak_folderu";
        case RodzajUwagi::FolderBezZapisu: return "folder_bez_zapisu";
        case RodzajUwagi::BrakAdresu: return "brak_adresu";
        case RodzajUwagi::BrakKonta: return "brak_konta";
        case RodzajUwagi::DwaZrodla: return "dwa_zrodla";
        case RodzajUwagi::PustaMatryca: return "pusta_matryca";
    }
    return "";
}

int KodUwag(const std::vector<UwagaUstawien>& uwagi) {
    int kod = 0;
    for (const UwagaUstawien& u : uwagi) kod = std::max(kod, u.waga == WagaUwagi::Blad ? 2 : 1);
    return kod;
}

bool CzyRodzajWlaczony(const Ustawienia& u, std::string_view rodzaj) {
    if (rodzaj == kNews) return u.CzyNews || u.CzyIAR || u.CzyZPliku;
    if (rodzaj == kSport) return u.CzySport;
    if (rodzaj == kEkonomia) return u.CzyEkonomia;
    if (rodzaj == kPogoda) return u.CzyPogoda && CzyAgora(u.AgoraLogin, u.AgoraPassword);
    return false;
}

std::string ZrodloRodzaju(const Ustawienia& u, std::string_view rodzaj) {
    if (!CzyRodzajWlaczony(u, rodzaj)) return {};
    const bool agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    if (rodzaj == kNews) {
        // The production run's order.
        if (u.CzyIAR) return "IAR";
        if (u.CzyZPliku) return "plik lokalny";
        if (u.czyZPR) return "ZPR";
        return agora ? "Agora" : "serwis paczek";
    }
    if (rodzaj == kSport) return agora ? "Agora" : "serwis paczek";
    if (rodzaj == kEkonomia) return "serwis paczek";
    return "Agora";
}

int UruchomKontroleUstawien(const CommandLine& cl, std::ostream& out, std::ostream& err) {
    const fs::path folder = ProgramFolder(cl.dir);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        err << "tolvak: folder programu " << folder.string() << " nie istnieje\n";
        return 2;
    }
    const fs::path ini = folder / NazwaPlikuKonfiguracji;
    const std::vector<UwagaUstawien> uwagi = SprawdzUstawienia(ini);
    for (const UwagaUstawien& u : uwagi) out << TekstUwagi(u) << "\n";
    if (uwagi.empty()) out << "Ustawienia bez uwag: " << ini.string() << "\n";
    return KodUwag(uwagi);
}

}  // namespace tolvak
