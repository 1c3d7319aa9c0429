#include "schedule/RaportStanu.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
#include "platform/FolderLock.h"
#include "platform/Ini.h"
#include "platform/Paths.h"
#include "platform/Regional.h"
#include "production/Rodzaje.h"
#include "schedule/KontrolaUstawien.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "schedule/StanWynikow.h"

namespace tolvak {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLinieLogu = 10;

/// Why a kind is or is not wanted for the coming hour, as the check cycle would decide it
/// before asking the source.
std::string Potrzebny(std::string_view rodzaj, const Ustawienia& u, const Matryca& m,
                      bool dostarczony, const LocalTime& teraz) {
    bool wlaczony = false;
    if (rodzaj == kNews) wlaczony = u.CzyNews || u.CzyIAR || u.CzyZPliku;
    else if (rodzaj == kSport) wlaczony = u.CzySport;
    else if (rodzaj == kEkonomia) wlaczony = u.CzyEkonomia;
    else if (rodzaj == kPogoda) wlaczony = u.CzyPogoda;
    if (!wlaczony) return "nie (wyłączony)";
    if (rodzaj == kPogoda && !CzyAgora(u.AgoraLogin, u.AgoraPassword)) return "nie (brak konta Agora)";
    if (dostarczony) return "nie (już dostarczony)";
    if (rodzaj == kNews && !m.CzyChciana(Matryca::NazwaKomorki(teraz.weekday(), teraz.hour + 1)))
        return "nie (godzina niechciana w matrycy)";
    return "tak";
}

std::string Kolumna(std::string tekst, std::size_t szerokosc) {
    // Polish letters take two bytes and one column.
    std::size_t znaki = 0;
    for (unsigned char c : tekst) znaki += (c & 0xC0) != 0x80;
    if (znaki < szerokosc) tekst.append(szerokosc - znaki, ' ');
    return tekst + "  ";
}

/// A failed or repeated run of a kind as "tolvak.dat" records it: "yyyy-MM-dd HH:mm:ss;HH;reason".
struct Zdarzenie {
    std::string czas, godzina, powod;
};

std::optional<Zdarzenie> CzytajZdarzenie(const IniFile& dat, const std::string& klucz) {
    const std::string tekst = dat.ReadString(SekcjaPobrany, klucz, "");
    const auto wpis = CzytajWpis(tekst);
    if (!wpis) return std::nullopt;
    // The moment as stored: the entry's fixed "yyyy-MM-dd HH:mm:ss" head.
    return Zdarzenie{tekst.substr(0, 19), wpis->godzina, wpis->powod};
}

struct StanRodzaju {
    std::string rodzaj, ostPobrany, plik, naNajblizsza, zrodlo;
    bool wlaczony = false;
    std::optional<Zdarzenie> blad, powtorzony;
};

/// Everything the report says, read once, so that the text and the JSON tell the same.
struct Stan {
    std::string folder, teraz, terazStaly, najblizsza, ostSprawdzenie, brakGodziny;
    std::optional<long> harmonogram;
    std::vector<StanRodzaju> rodzaje;
    std::vector<int> godzinyNews;
    std::vector<UwagaUstawien> uwagi;
    std::vector<std::string> dziennik;
    std::vector<std::string> powody;  // what sets the exit status, for its summary line
    int kod = 0;
};

constexpr std::array<const char*, 4> kNazwyKodow{"OK", "WARNING", "CRITICAL", "UNKNOWN"};

Stan CzytajStan(const fs::path& folder, const Clock& clock) {
    Stan s;
    const fs::path ini = folder / NazwaPlikuKonfiguracji;
    const LocalTime teraz = clock.now();
    Ustawienia u = OdczytajKonfiguracje(ini);
    // The scheduler works with the general-news source that its start chose.
    JedenZrodloNews(ini, u, false);
    Matryca matryca(ini);
    matryca.Wczytaj();
    const IniFile dat(folder / NazwaPlikuStanu);
    const std::string stempel = ComingHourStamp(teraz);
    s.folder = folder.string();
    s.teraz = RegionalnaDataICzas(teraz);
    char staly[32];
    std::snprintf(staly, sizeof staly, "%04d-%02d-%02d %02d:%02d:%02d", teraz.year, teraz.month,
                  teraz.day, teraz.hour, teraz.minute, teraz.second);
    s.terazStaly = staly;
    s.najblizsza = stempel.substr(11);
    s.harmonogram = FolderLock::holder(folder / NazwaPlikuBlokady);
    s.ostSprawdzenie = dat.ReadString(SekcjaPobrany, "OstSprawdzenie", "");
    s.brakGodziny = dat.ReadString(SekcjaPobrany, "BrakGodziny", "");
    auto podnies = [&](int kod, std::string powod) {
        s.kod = std::max(s.kod, kod);
        s.powody.push_back(std::move(powod));
    };
    if (!s.brakGodziny.empty()) podnies(2, "Brak serwisu na godzinę " + s.brakGodziny);
    for (std::string_view rodzaj : {kNews, kSport, kEkonomia, kPogoda}) {
        StanRodzaju r;
        r.rodzaj = std::string(rodzaj);
        r.ostPobrany = dat.ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "");
        r.plik = dat.ReadString(SekcjaPobrany, KluczOstPlik(rodzaj), "");
        r.naNajblizsza = Potrzebny(rodzaj, u, matryca, r.ostPobrany == stempel, teraz);
        r.wlaczony = CzyRodzajWlaczony(u, rodzaj);
        r.zrodlo = ZrodloRodzaju(u, rodzaj);
        r.blad = CzytajZdarzenie(dat, KluczOstBlad(r.rodzaj));
        r.powtorzony = CzytajZdarzenie(dat, KluczOstPowtorzony(r.rodzaj));
        // A kind that is no longer produced has nothing to alarm about.
        if (r.wlaczony && r.blad) podnies(2, "Nieudane " + r.rodzaj + ": " + r.blad->powod);
        if (r.wlaczony && r.powtorzony) podnies(1, "Powtórzony serwis " + r.rodzaj);
        s.rodzaje.push_back(std::move(r));
    }
    for (int h = teraz.hour + 1; h <= Matryca::OstatniaGodzina; ++h)
        if (matryca.CzyChciana(Matryca::NazwaKomorki(teraz.weekday(), h))) s.godzinyNews.push_back(h);
    s.uwagi = SprawdzUstawienia(ini);
    if (const int k = KodUwag(s.uwagi); k > 0) {
        const std::size_t n = s.uwagi.size();
        const bool kilka = n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14);
        podnies(k, std::to_string(n) + (n == 1 ? " uwaga" : kilka ? " uwagi" : " uwag") + " do ustawień");
    }
    s.dziennik = NajnowszeLinieLogu(folder / NazwaPlikuLogu, kLinieLogu);
    return s;
}

std::string Podsumowanie(const Stan& s) {
    std::string t = std::string("Stan: ") + kNazwyKodow[static_cast<std::size_t>(s.kod)];
    for (std::size_t i = 0; i < s.powody.size(); ++i) t += (i == 0 ? " - " : "; ") + s.powody[i];
    return t;
}

nlohmann::json Json(const Zdarzenie* z) {
    if (!z) return nullptr;
    return {{"czas", z->czas}, {"godzina", z->godzina}, {"powod", z->powod}};
}

nlohmann::json TekstLubNull(const std::string& t) { return t.empty() ? nlohmann::json(nullptr) : nlohmann::json(t); }

void WypiszJson(const Stan& s, std::ostream& out) {
    nlohmann::json j;
    j["stan"] = kNazwyKodow[static_cast<std::size_t>(s.kod)];
    j["kod"] = s.kod;
    j["podsumowanie"] = Podsumowanie(s);
    j["folder"] = s.folder;
    j["teraz"] = s.terazStaly;
    j["najblizsza_godzina"] = s.najblizsza;
    j["harmonogram"] = {{"dziala", s.harmonogram.has_value()},
                        {"pid", s.harmonogram ? nlohmann::json(*s.harmonogram) : nlohmann::json(nullptr)}};
    j["ostatnie_sprawdzenie"] = TekstLubNull(s.ostSprawdzenie);
    j["brak_godziny"] = TekstLubNull(s.brakGodziny);
    j["rodzaje"] = nlohmann::json::array();
    for (const StanRodzaju& r : s.rodzaje)
        j["rodzaje"].push_back({{"rodzaj", r.rodzaj},
                                {"wlaczony", r.wlaczony},
                                {"zrodlo", TekstLubNull(r.zrodlo)},
                                {"ostatnio_dostarczony", TekstLubNull(r.ostPobrany)},
                                {"plik", TekstLubNull(r.plik)},
                                {"na_najblizsza_godzine", r.naNajblizsza},
                                {"ostatni_blad", Json(r.blad ? &*r.blad : nullptr)},
                                {"powtorzony", Json(r.powtorzony ? &*r.powtorzony : nullptr)}});
    j["godziny_news_dzis"] = s.godzinyNews;
    j["uwagi"] = nlohmann::json::array();
    for (const UwagaUstawien& u : s.uwagi)
        j["uwagi"].push_back({{"waga", NazwaWagi(u.waga)}, {"rodzaj", NazwaRodzaju(u.rodzaj)},
                              {"plik", u.plik}, {"sekcja", u.sekcja}, {"klucz", u.klucz},
                              {"wartosc", u.wartosc}, {"tekst", TekstUwagi(u)}});
    j["dziennik"] = s.dziennik;
    // Bytes that are not UTF-8 (a hand-edited Windows-1250 path) are replaced, never fatal.
    out << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

void WypiszTekst(const Stan& s, std::ostream& out) {
    out << Podsumowanie(s) << "\n";
    out << "Folder programu: " << s.folder << "\n";
    out << "Teraz: " << s.teraz << ", najbliższa godzina: " << s.najblizsza << "\n";
    out << "Harmonogram: "
        << (s.harmonogram ? "działa (pid " + std::to_string(*s.harmonogram) + ")" : std::string("nie działa"))
        << "\n";
    out << "Ostatnie sprawdzenie: " << (s.ostSprawdzenie.empty() ? "-" : s.ostSprawdzenie) << "\n";
    if (!s.brakGodziny.empty()) out << "Brak serwisu na godzinę: " << s.brakGodziny << "\n";
    out << "\n";

    out << Kolumna("Rodzaj", 9) << Kolumna("Ostatnio dostarczony", 20)
        << Kolumna("Na najbliższą godzinę", 34) << "Plik\n";
    for (const StanRodzaju& r : s.rodzaje)
        out << Kolumna(r.rodzaj, 9) << Kolumna(r.ostPobrany.empty() ? "-" : r.ostPobrany, 20)
            << Kolumna(r.naNajblizsza, 34) << (r.plik.empty() ? "-" : r.plik) << "\n";
    for (const StanRodzaju& r : s.rodzaje) {
        if (r.blad)
            out << "Ostatni błąd " << r.rodzaj << " (" << r.blad->czas << ", godzina " << r.blad->godzina
                << "): " << r.blad->powod << "\n";
        if (r.powtorzony)
            out << "Powtórzony serwis " << r.rodzaj << " (" << r.powtorzony->czas << ", godzina "
                << r.powtorzony->godzina << "): " << r.powtorzony->powod << "\n";
    }

    std::string godziny;
    for (int h : s.godzinyNews) godziny += (godziny.empty() ? "" : ", ") + std::to_string(h);
    out << "\nKolejne godziny serwisu (News) dziś: " << (godziny.empty() ? "brak" : godziny) << "\n";

    out << "\nUwagi do ustawień:" << (s.uwagi.empty() ? " brak" : "") << "\n";
    for (const UwagaUstawien& u : s.uwagi) out << "  " << TekstUwagi(u) << "\n";

    out << "\nNajnowsze wpisy dziennika:\n";
    if (s.dziennik.empty()) out << "  (brak)\n";
    for (const std::string& l : s.dziennik) out << "  " << l << "\n";
}

}  // namespace

int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err) {
    SystemClock clock;
    return UruchomRaportStanu(cl, out, err, clock);
}

int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err,
                       const Clock& clock) {
    const fs::path folder = ProgramFolder(cl.dir);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        const std::string opis = "folder programu " + folder.string() + " nie istnieje";
        err << "tolvak: " << opis << "\n";
        if (cl.json)
            out << nlohmann::json{{"stan", "UNKNOWN"}, {"kod", 3}, {"podsumowanie", "Stan: UNKNOWN - " + opis},
                                  {"folder", folder.string()}}
                       .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                << "\n";
        return 3;
    }
    const Stan s = CzytajStan(folder, clock);
    if (cl.json) WypiszJson(s, out);
    else WypiszTekst(s, out);
    return s.kod;
}

}  // namespace tolvak
