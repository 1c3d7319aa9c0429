#include "app/Konfiguracja.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

#include "app/Log.h"
#include "platform/Ini.h"

namespace tolvak {

namespace {

std::string Trimmed(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(blanks);
    return std::string(s.substr(b, e - b + 1));
}

int InRangeOrZero(int v, int lo, int hi) { return v < lo || v > hi ? 0 : v; }

}  // namespace

std::optional<double> CzytajDecybele(std::string_view tekst) {
    std::string s = Trimmed(tekst);
    constexpr std::string_view minus = "\u2212";
    if (s.starts_with(minus)) s.replace(0, minus.size(), "-");
    for (char& c : s)
        if (c == ',') c = '.';
    if (s.empty() || s.front() == '+') return std::nullopt;
    double v = 0;
    const auto [koniec, blad] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (blad != std::errc() || koniec != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool CzyAgora(std::string_view login, std::string_view password) {
    return !Trimmed(login).empty() && !Trimmed(password).empty();
}

Ustawienia OdczytajKonfiguracje(const std::filesystem::path& ini) {
    const IniFile f(ini);
    const auto U = sekcja::Ustawienia;
    Ustawienia u;

    // 1-2
    u.AgoraLogin = Trimmed(f.ReadString(U, "AgoraLogin", ""));
    u.AgoraPassword = Trimmed(f.ReadString(U, "AgoraPassword", ""));
    u.Agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    u.AgoraPodklad = f.ReadBool(U, "AgoraPodklad", false);
    // 3
    u.AuthLogin = Trimmed(f.ReadString(U, "AuthLogin", ""));
    u.AuthPassword = Trimmed(f.ReadString(U, "AuthPassword", ""));
    // 4
    u.czyZPR = f.ReadBool(U, "CzyZPR", false);
    u.ZPRHost = Trimmed(f.ReadString(U, "ZPRHost", ""));
    u.ZPRLogin = Trimmed(f.ReadString(U, "ZPRLogin", ""));
    u.ZPRPassword = Trimmed(f.ReadString(U, "ZPRPassword", ""));
    u.ZPRPassiveMode = f.ReadBool(U, "ZPRPassiveMode", true);
    // 5: the trailing separator goes into memory only.
    u.FolderZapisu = IncludeTrailingPathSeparator(f.ReadString(U, "FolderZapisu", DefaultOutputFolder()));
    // 6
    u.SerwisPodklad = f.ReadString(U, "SerwisPodklad", "");
    u.SerwisZakonczenie = f.ReadString(U, "SerwisZakonczenie", "");
    u.SerwisSportPodklad = f.ReadString(U, "SerwisSportPodklad", "");
    u.SerwisSportZakonczenie = f.ReadString(U, "SerwisSportZakonczenie", "");
    u.SerwisEkonomiaPodklad = f.ReadString(U, "SerwisEkonomiaPodklad", "");
    u.SerwisEkonomiaZakonczenie = f.ReadString(U, "SerwisEkonomiaZakonczenie", "");
    u.PogodaPodklad = f.ReadString(U, "PogodaPodklad", "");
    u.PogodaZakonczenie = f.ReadString(U, "PogodaZakonczenie", "");
    // 7
    u.ZPlikuSciezka = Trimmed(f.ReadString(U, "ZPlikuSciezka", ""));
    u.CzyNews = f.ReadBool(U, "CzyNews", false);
    u.CzySport = f.ReadBool(U, "CzySport", false);
    u.CzyEkonomia = f.ReadBool(U, "CzyEkonomia", false);
    u.CzyPogoda = f.ReadBool(U, "CzyPogoda", false);
    u.CzyZPliku = f.ReadBool(U, "CzyZPliku", false);
    u.CzyIAR = f.ReadBool(U, "CzyIAR", false);
    u.iarURL = f.ReadString(U, "iarURL", "");
    u.ZatrzymajSprawdzanie = f.ReadInteger(U, "ZatrzymajSprawdzanie", 0);
    // 9
    u.NazwaWynikowa = f.ReadString(U, "NazwaWynikowa", "serwis");
    u.NazwaWynikowaTyp = f.ReadInteger(U, "NazwaWynikowaTyp", 1);
    u.FormatZapisu = f.ReadInteger(U, "FormatZapisu", 0);
    // 10: 32-bit in the file, sign-extended.
    u.StartSerwisu = f.ReadInteger(U, "StartDzwiekuSerwisu", 0);
    u.StartSerwisuSport = f.ReadInteger(U, "StartDzwiekuSerwisuSportowego", 0);
    u.StartSerwisuEkonomia = f.ReadInteger(U, "StartDzwiekuSerwisuEkonomicznego", 0);
    u.StartPogody = f.ReadInteger(U, "StartDzwiekuPogody", 0);
    // 11
    u.PrzesuniecieCzasowe = InRangeOrZero(f.ReadInteger(U, "PrzesuniecieCzasowe", 0), -5, 5);
    // 12
    u.czyLog = f.ReadBool(U, "CzyTworzycLog", true);
    // The service addresses, set by hand like the accounts.
    u.AdresZet = Trimmed(f.ReadString(U, "AdresZet", ""));
    u.AdresAgora = Trimmed(f.ReadString(U, "AdresAgora", ""));
    u.AdresAgoraPliki = Trimmed(f.ReadString(U, "AdresAgoraPliki", ""));
    // The on-air safety switches, set by hand.
    u.PolecenieAlarmu = Trimmed(f.ReadString(U, "PolecenieAlarmu", ""));
    u.OdrzucPowtorzony = f.ReadBool(U, "OdrzucPowtorzony", false);
    u.KoncowkaOd = std::clamp(f.ReadInteger(U, "KoncowkaOd", 50), 0, 60);
    u.KoncowkaCo = std::clamp(f.ReadInteger(U, "KoncowkaCo", 30), 5, 300);
    // 13
    u.kompresjaPlikuZrodlowego = InRangeOrZero(f.ReadInteger(sekcja::Kompresja, "PlikZrodlowy", 0), -60, 60);
    u.kompresjaPlikuWynikowego = InRangeOrZero(f.ReadInteger(sekcja::Kompresja, "PlikWynikowy", 0), -60, 60);
    // Loudness: a target or ceiling outside the scale's sensible range is a typing error, and
    // acting on it would put a blasting or inaudible bulletin on air.
    const auto G = sekcja::Glosnosc;
    u.GlosnoscPomiar = f.ReadBool(G, "Pomiar", false);
    if (const auto cel = CzytajDecybele(f.ReadString(G, "Cel", "")); cel && *cel >= -70 && *cel <= 0)
        u.GlosnoscCel = *cel;
    if (const auto szczyt = CzytajDecybele(f.ReadString(G, "SzczytMax", ""));
        szczyt && *szczyt >= -20 && *szczyt <= 0)
        u.GlosnoscSzczytMax = *szczyt;
    // 14
    u.konfiguracjaOdczytana = true;
    return u;
}

std::vector<std::string> JedenZrodloNews(const std::filesystem::path& ini, Ustawienia& u, bool zapisz) {
    std::vector<std::string> wylaczone;
    if (!u.CzyNews) return wylaczone;
    if (u.CzyZPliku) wylaczone.emplace_back("CzyZPliku");
    if (u.CzyIAR) wylaczone.emplace_back("CzyIAR");
    u.CzyZPliku = false;
    u.CzyIAR = false;
    if (wylaczone.empty() || !zapisz) return wylaczone;
    IniFile f(ini);
    const auto U = sekcja::Ustawienia;
    f.WriteBool(U, "CzyNews", true);
    f.WriteBool(U, "CzyZPliku", false);
    f.WriteBool(U, "CzyIAR", false);
    return wylaczone;
}

void JedenZrodloNews(const std::filesystem::path& ini, Ustawienia& u, Log& log, bool zapisz) {
    std::vector<std::string> wylaczone;
    try {
        wylaczone = JedenZrodloNews(ini, u, zapisz);
    } catch (const std::exception& e) {
        // The record is switched before the write, so the run still asks one source.
        log.DodajDoLoga(std::string("Konfiguracja: nieudany zapis ustawień: ") + e.what());
        return;
    }
    for (const std::string& k : wylaczone)
        log.DodajDoLoga("Konfiguracja: wyłączono " + k +
                        ", bo włączone jest CzyNews (serwis ogólny z jednego źródła).");
}

void ZapiszPrzyZamknieciu(const std::filesystem::path& ini, const Ustawienia& u) {
    IniFile f(ini);
    const auto U = sekcja::Ustawienia;
    f.WriteInteger(U, "ZatrzymajSprawdzanie", u.ZatrzymajSprawdzanie);
    f.WriteInteger(U, "PrzesuniecieCzasowe", InRangeOrZero(u.PrzesuniecieCzasowe, -5, 5));
    f.WriteBool(U, "CzyZPR", u.czyZPR);
    f.WriteString(U, "ZPRHost", u.ZPRHost);
    f.WriteString(U, "ZPRLogin", u.ZPRLogin);
    f.WriteString(U, "ZPRPassword", u.ZPRPassword);
    f.WriteBool(U, "ZPRPassiveMode", u.ZPRPassiveMode);
    f.WriteBool(U, "AgoraPodklad", u.AgoraPodklad);
}

}  // namespace tolvak
