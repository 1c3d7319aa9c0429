#pragma once
// The settings that are checked. A server station is set up by editing "tolvak.ini" by hand, and
// a mistyped key, a bed that is a text file or an output folder that is not there would only show
// when a bulletin fails to go out. These checks read the settings file, the sounds and the output
// folder and say what the program cannot act on as meant, each finding a value: `--check-config`
// prints them, `--status` prints and counts them (also as JSON), and every start of `--headless`
// and of the window logs them. Reads only.

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tolvak {

struct Ustawienia;

enum class WagaUwagi { Ostrzezenie, Blad };

enum class RodzajUwagi {
    BrakKonfiguracji,  // no usable "tolvak.ini"
    NieznanyKlucz,     // a key the program neither reads nor writes, in one of its sections
    ZlaWartosc,        // a number or switch the program reads as its default instead
    BrakPliku,         // a sound or the local bulletin file does not exist
    BrakDzwieku,       // it exists but holds no sound the decoder reads
    BrakFolderu,       // the output folder is not set or does not exist
    FolderBezZapisu,   // the output folder cannot be written by this user
    BrakAdresu,        // a source switched on without its address
    BrakKonta,         // a source switched on without its account, or half an account
    DwaZrodla,         // two general-news sources switched on at once
    PustaMatryca,      // general news on, but no hour of the matrix wanted
};

struct UwagaUstawien {
    WagaUwagi waga = WagaUwagi::Ostrzezenie;
    RodzajUwagi rodzaj = RodzajUwagi::NieznanyKlucz;
    std::string plik;     // the settings file
    std::string sekcja;   // "Ustawienia", "Matryca", ...; empty for the file as a whole
    std::string klucz;    // as spelt in the file
    std::string wartosc;  // the key's value, or the path or folder it names
    std::string powod;    // the switch that makes it matter (CzyNews, ...), or the other switch
};

/// Every finding for the program folder's "tolvak.ini", in the file's order of concern: the
/// file itself (when it is missing nothing else is checked), unknown keys and values, the output
/// folder, the sources of the kinds switched on, the sounds, the matrix. Two general-news
/// switches on are found as the file has them; the rest is checked as every mode uses the
/// settings, after the general-news switch rule (app/Konfiguracja.h JedenZrodloNews).
std::vector<UwagaUstawien> SprawdzUstawienia(const std::filesystem::path& ini);

/// One Polish line naming the file and the key: "Błąd: /srv/a/tolvak.ini: [Ustawienia]
/// SerwisPodklad: plik /srv/a/bed.txt nie zawiera dźwięku".
std::string TekstUwagi(const UwagaUstawien& u);

/// "blad" or "ostrzezenie"; and the kind as a stable word for monitoring ("nieznany_klucz", ...).
std::string_view NazwaWagi(WagaUwagi w);
std::string_view NazwaRodzaju(RodzajUwagi r);

/// 0 without findings, 1 with warnings only, 2 with an error.
int KodUwag(const std::vector<UwagaUstawien>& uwagi);

/// Logs every finding as "Konfiguracja: " + its line: the start of `--headless` and the window.
template <class Log>
void ZalogujUwagi(const std::vector<UwagaUstawien>& uwagi, Log& log) {
    for (const UwagaUstawien& u : uwagi) log.DodajDoLoga("Konfiguracja: " + TekstUwagi(u));
}

/// Where the kind is fetched from with these settings, as the production run picks it:
/// "serwis paczek", "Agora", "ZPR", "IAR", "plik lokalny"; empty when the kind is not produced.
std::string ZrodloRodzaju(const Ustawienia& u, std::string_view rodzaj);

/// Whether the check cycle produces the kind at all (its switch; weather also needs Agora).
bool CzyRodzajWlaczony(const Ustawienia& u, std::string_view rodzaj);

struct CommandLine;

/// `tolvak --check-config [--dir DIR]`: every finding one line on `out` (without any, "Ustawienia
/// bez uwag: " + the file); returns 0, 1 with warnings only, 2 with an error or for a program
/// folder that does not exist (said on `err`).
int UruchomKontroleUstawien(const CommandLine& cl, std::ostream& out, std::ostream& err);

}  // namespace tolvak
