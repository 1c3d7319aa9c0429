#include "sources/Zrodla.h"

#include <sys/stat.h>

#include <ctime>
#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "sources/Pliki.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace {

std::string bezBialychZnakow(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

/// The file's last-write time as a local date and time; false when it cannot be read.
bool czasModyfikacji(const std::string& sciezka, LocalTime& wynik) {
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0) return false;
    wynik = LocalTime::fromTimeT(st.st_mtim.tv_sec,
                                 static_cast<int>(st.st_mtim.tv_nsec / 1000000));
    return true;
}

}  // namespace

std::string NazwaPlikuPobranego(std::string_view rozszerzenie) {
    std::string nazwa = std::string("tvss") + std::string(rozszerzenie);
    if (nazwa.find_first_of("/\\") != std::string::npos) return {};
    if (nazwa.find("..") != std::string::npos) return {};
    if (nazwa.find('\0') != std::string::npos) return {};
    return nazwa;
}

// The network sources come with their clients; until then they fetch nothing.
std::string Zrodla::PobierzSerwis() { return {}; }
std::string Zrodla::PobierzSerwisSE(const std::string&) { return {}; }
std::string Zrodla::PobierzSerwisAgoraDodatkowy(const std::string&) { return {}; }
std::string Zrodla::PobierzSerwisIAR() { return {}; }
std::string Zrodla::PobierzSerwisZPR() { return {}; }
std::string Zrodla::CzyJestSerwisSE(const std::string&) { return {}; }
bool Zrodla::CzyJestSerwis() { return false; }
bool Zrodla::CzyJestAgoraDodatkowy(const std::string&) { return false; }

bool Zrodla::CzyJestSerwisZPliku() {
    const std::string sciezka = bezBialychZnakow(k_.ustawienia.ZPlikuSciezka);
    if (sciezka.empty()) return false;
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    LocalTime zmiana;
    if (!czasModyfikacji(sciezka, zmiana)) return false;
    const IniFile stan(k_.folderProgramu / NazwaPlikuStanu);
    const std::string zapisany = stan.ReadString(SekcjaPobrany, KluczOstKopiowaniePliku, "");
    return zapisany < DateTimeText(zmiana, Fs());
}

std::string Zrodla::PobierzSerwisZPliku() {
    const std::string sciezka = bezBialychZnakow(k_.ustawienia.ZPlikuSciezka);
    if (sciezka.empty()) {
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego. Brak ścieżki.");
        return {};
    }
    const std::string rozszerzenie = RozszerzenieZrodla(sciezka);
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego. Plik " + sciezka +
                           " nie istnieje.");
        return {};
    }
    const std::string nazwa = NazwaPlikuPobranego(rozszerzenie);
    try {
        if (nazwa.empty()) throw std::runtime_error("niedozwolona nazwa pliku");
        KopiujPlik(sciezka, (k_.folderRoboczy / nazwa).string(), k_.okno);
        IniFile stan(k_.folderProgramu / NazwaPlikuStanu);
        stan.WriteString(SekcjaPobrany, KluczOstKopiowaniePliku,
                         DateTimeText(k_.clock.now(), Fs()));
    } catch (const std::exception&) {
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego.");
        return {};
    }
    k_.log.DodajDoLoga("Serwis z pliku lokalnego pobrany.");
    return nazwa;
}

}  // namespace tolvak
