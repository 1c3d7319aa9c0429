#pragma once
// The settings record: the in-memory copy of "tolvak.ini", one field per key, plus the derived
// `Agora`. The table lists the keys; a field is named as its key except where the last lines say.
//
// Section "Ustawienia"                 type      default           note
//   AgoraLogin, AgoraPassword          string    ""                trimmed
//   AgoraPodklad                       bool      false             written at close
//   AuthLogin, AuthPassword            string    ""                trimmed (HTTP client, basic auth)
//   CzyZPR                             bool      false             written at close
//   ZPRHost, ZPRLogin, ZPRPassword     string    ""                trimmed, written at close
//   ZPRPassiveMode                     bool      true              written at close
//   FolderZapisu                       string    DefaultOutputFolder()  in memory always with a
//                                                                  trailing separator (unless
//                                                                  empty); the file keeps its text
//   SerwisPodklad, SerwisZakonczenie,  string    ""                untrimmed; the beds and endings
//   SerwisSportPodklad, SerwisSportZakonczenie,                    of News, Sport, Ekonomia, Pogoda
//   SerwisEkonomiaPodklad, SerwisEkonomiaZakonczenie,
//   PogodaPodklad, PogodaZakonczenie
//   ZPlikuSciezka                      string    ""                trimmed
//   CzyNews, CzySport, CzyEkonomia,    bool      false
//   CzyPogoda, CzyZPliku, CzyIAR
//   iarURL                             string    ""                NOT trimmed
//   ZatrzymajSprawdzanie               int       0                 minutes; written at close
//   NazwaWynikowa                      string    "serwis"          fixed output name
//   NazwaWynikowaTyp                   int       1                 0 fixed, 1 date+hour, 2 hour
//   FormatZapisu                       int       0                 0 wav, 1 mp3
//   StartDzwiekuSerwisu                int64     0                 mix points (32-bit in the file,
//   StartDzwiekuSerwisuSportowego      int64     0                 sign-extended)
//   StartDzwiekuSerwisuEkonomicznego   int64     0
//   StartDzwiekuPogody                 int64     0
//   PrzesuniecieCzasowe                int       0                 -5..5, else 0; written at close
//   CzyTworzycLog                      bool      true              the log switch (czyLog)
//   AdresZet                           string    ""                package service address B
//                                                                  (https, no trailing "/")
//   AdresAgora, AdresAgoraPliki        string    ""                Agora news service A and file
//                                                                  service F (http, ending in "/")
//                                      the three addresses are read only, never written; an
//                                      empty one makes every request to its service fail
//   PolecenieAlarmu                    string    ""                trimmed; a shell command run
//                                                                  when a wanted hour went out
//                                                                  without general news
//   OdrzucPowtorzony                   bool      false             a bulletin identical to the
//                                                                  kind's last delivery is not
//                                                                  delivered again
//   KoncowkaOd                         int       50                minute from which the checks
//                                                                  run every KoncowkaCo seconds
//                                                                  while a kind is due (0..60;
//                                                                  60 turns them off)
//   KoncowkaCo                         int       30                seconds, 5..300
// Section "Kompresja"
//   PlikZrodlowy, PlikWynikowy         int       0                 dB, -60..60, else 0
// Section "Glosnosc" (held as GlosnoscPomiar, GlosnoscCel, GlosnoscSzczytMax)
//   Pomiar                             bool      false             log the finished bulletin's
//                                                                  loudness
//   Cel                                text      ""                target in LUFS (-70..0, "," or
//                                                                  "." decimal, "-" or U+2212);
//                                                                  empty or invalid: no target
//   SzczytMax                          text      "-1"              true-peak ceiling in dBTP
//                                                                  (-20..0); invalid: -1
// The three sections' new keys are only read, never written.
// Section "PogodaSponsorzy" (not read by OdczytajKonfiguracje: each weather production reads and
// writes these keys itself; the fields are for whoever wants to hold them)
//   Sponsor1Przed, Sponsor2Przed, Sponsor3Przed, Sponsor1Po, Sponsor2Po, Sponsor3Po   string ""
// Derived
//   Agora                              bool      AgoraLogin and AgoraPassword both non-empty
//   konfiguracjaOdczytana              bool      set by OdczytajKonfiguracje
// Section "Matryca" belongs to the hour matrix (schedule/Matryca.h).
//
// Fields named otherwise than their keys: czyZPR (CzyZPR), czyLog (CzyTworzycLog),
// StartSerwisu, StartSerwisuSport, StartSerwisuEkonomia, StartPogody (the four StartDzwieku...
// keys, in the order above), kompresjaPlikuZrodlowego and kompresjaPlikuWynikowego
// (PlikZrodlowy and PlikWynikowy of section "Kompresja").
//
// OdczytajKonfiguracje only reads. Of the window's "setting a control counts as a change" at the
// first showing, the part that decides where general news comes from (CzyNews on switching
// CzyZPliku and CzyIAR off) is JedenZrodloNews, which every mode applies after reading; the
// rest (naming mode 0 logging "Zmieniono typ nazwy wynikowej.", ...) is the window's business.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Paths.h"

namespace tolvak {

namespace sekcja {
inline constexpr std::string_view Ustawienia = "Ustawienia";
inline constexpr std::string_view Kompresja = "Kompresja";
inline constexpr std::string_view Matryca = "Matryca";
inline constexpr std::string_view PogodaSponsorzy = "PogodaSponsorzy";
inline constexpr std::string_view Glosnosc = "Glosnosc";
}  // namespace sekcja

/// Name of the configuration file in the program folder.
inline constexpr std::string_view NazwaPlikuKonfiguracji = "tolvak.ini";

struct Ustawienia {
    // Section "Ustawienia"
    std::string AgoraLogin;
    std::string AgoraPassword;
    bool AgoraPodklad = false;
    std::string AuthLogin;
    std::string AuthPassword;
    bool czyZPR = false;
    std::string ZPRHost;
    std::string ZPRLogin;
    std::string ZPRPassword;
    bool ZPRPassiveMode = true;
    std::string FolderZapisu = DefaultOutputFolder();
    std::string SerwisPodklad;
    std::string SerwisZakonczenie;
    std::string SerwisSportPodklad;
    std::string SerwisSportZakonczenie;
    std::string SerwisEkonomiaPodklad;
    std::string SerwisEkonomiaZakonczenie;
    std::string PogodaPodklad;
    std::string PogodaZakonczenie;
    std::string ZPlikuSciezka;
    bool CzyNews = false;
    bool CzySport = false;
    bool CzyEkonomia = false;
    bool CzyPogoda = false;
    bool CzyZPliku = false;
    bool CzyIAR = false;
    std::string iarURL;
    int ZatrzymajSprawdzanie = 0;
    std::string NazwaWynikowa = "serwis";
    int NazwaWynikowaTyp = 1;
    int FormatZapisu = 0;
    int64_t StartSerwisu = 0;
    int64_t StartSerwisuSport = 0;
    int64_t StartSerwisuEkonomia = 0;
    int64_t StartPogody = 0;
    int PrzesuniecieCzasowe = 0;
    bool czyLog = true;
    std::string AdresZet;
    std::string AdresAgora;
    std::string AdresAgoraPliki;
    std::string PolecenieAlarmu;
    bool OdrzucPowtorzony = false;
    int KoncowkaOd = 50;
    int KoncowkaCo = 30;

    // Section "Kompresja"
    int kompresjaPlikuZrodlowego = 0;
    int kompresjaPlikuWynikowego = 0;

    // Section "Glosnosc"
    bool GlosnoscPomiar = false;
    std::optional<double> GlosnoscCel;  // LUFS; none: the loudness is left as it is
    double GlosnoscSzczytMax = -1.0;    // dBTP

    // Section "PogodaSponsorzy" (see above)
    std::string Sponsor1Przed;
    std::string Sponsor2Przed;
    std::string Sponsor3Przed;
    std::string Sponsor1Po;
    std::string Sponsor2Po;
    std::string Sponsor3Po;

    // Derived
    bool Agora = false;
    bool konfiguracjaOdczytana = false;
};

/// Reads every key of "Ustawienia" and "Kompresja" in the documented order, with the defaults
/// and ranges above. A missing or unreadable file gives all defaults. Never writes.
Ustawienia OdczytajKonfiguracje(const std::filesystem::path& ini);

/// The general-news switch rule as the window's first showing applies it: with `CzyNews` on,
/// `CzyZPliku` and `CzyIAR` are switched off, so that the check and the fetch ask one source.
/// When that changed anything and `zapisz` is set, writes CzyNews, CzyZPliku, CzyIAR (in that
/// order, as the switch handler does); a failed write throws, the record is changed all the
/// same. Returns the keys switched off, in that order (empty: nothing changed).
std::vector<std::string> JedenZrodloNews(const std::filesystem::path& ini, Ustawienia& u, bool zapisz);

class Log;

/// JedenZrodloNews as every mode applies it after reading, with its log line when it switched a
/// source off ("Konfiguracja: wyłączono CzyZPliku, bo włączone jest CzyNews (serwis ogólny z
/// jednego źródła)."); a failed write is logged ("Konfiguracja: nieudany zapis ustawień: " +
/// reason) and the run goes on with the switch made in memory.
void JedenZrodloNews(const std::filesystem::path& ini, Ustawienia& u, Log& log, bool zapisz);

/// The writing at close, in this order: ZatrzymajSprawdzanie, PrzesuniecieCzasowe, CzyZPR,
/// ZPRHost, ZPRLogin, ZPRPassword, ZPRPassiveMode, AgoraPodklad. Throws when a write fails.
void ZapiszPrzyZamknieciu(const std::filesystem::path& ini, const Ustawienia& u);

/// A decibel value as a station writes it by hand: "-23", "-23.5", "-23,5", "−23" (U+2212);
/// blanks around it are ignored. std::nullopt for anything else.
std::optional<double> CzytajDecybele(std::string_view tekst);

/// True when both texts are non-empty after trimming.
bool CzyAgora(std::string_view login, std::string_view password);

}  // namespace tolvak
