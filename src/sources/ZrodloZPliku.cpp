// The local file source: a bulletin file that another system refreshes at a configured path.

#include <sys/stat.h>

#include <exception>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "platform/Regional.h"
#include "schedule/StanPobran.h"
#include "sources/Pliki.h"
#include "sources/Tekst.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace {

/// The file's last-write time as a local date and time; false when it cannot be read.
bool czasModyfikacji(const std::string& sciezka, LocalTime& wynik) {
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0) return false;
    wynik = LocalTime::fromTimeT(st.st_mtim.tv_sec,
                                 static_cast<int>(st.st_mtim.tv_nsec / 1000000));
    return true;
}

}  // namespace

Swiezosc Zrodla::SwiezoscZPliku() {
    const std::string sciezka = Przytnij(k_.ustawienia.ZPlikuSciezka);
    if (sciezka.empty() || MaZnakKoncaWiersza(sciezka)) return Swiezosc::Nieznany();
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Swiezosc::Nieznany();
    LocalTime zmiana;
    if (!czasModyfikacji(sciezka, zmiana)) return Swiezosc::Nieznany();
    const IniFile stan(k_.folderProgramu / NazwaPlikuStanu);
    const std::string zapisany = stan.ReadString(SekcjaPobrany, KluczOstKopiowaniePliku, "");
    const std::string czas = DateTimeText(zmiana, Fs());
    if (zapisany < czas) return Swiezosc::Aktualny();
    return Swiezosc::Nieaktualny("plik lokalny z " + czas + " nie jest nowszy od pobranego (" +
                                 zapisany + ")");
}

bool Zrodla::CzyJestSerwisZPliku() { return SwiezoscZPliku().CzyAktualny(); }

void Zrodla::PoDostarczeniuNews() {
    if (stempelPliku_.empty()) return;
    try {
        IniFile(k_.folderProgramu / NazwaPlikuStanu)
            .WriteString(SekcjaPobrany, KluczOstKopiowaniePliku, stempelPliku_);
    } catch (const std::exception& e) {
        k_.log.DodajDoLoga("PobierzSerwisZPliku: " + std::string(e.what()));
    }
    stempelPliku_.clear();
}

std::string Zrodla::PobierzSerwisZPliku() {
    stempelPliku_.clear();
    const std::string sciezka = Przytnij(k_.ustawienia.ZPlikuSciezka);
    if (sciezka.empty()) {
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego. Brak ścieżki.");
        return {};
    }
    if (MaZnakKoncaWiersza(sciezka)) {
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego. Niedozwolony znak końca "
                           "wiersza w ścieżce " + SciezkaDoLoga(sciezka) + ".");
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
        // The file's own time, read before the copy: a file rewritten during the copy is
        // newer than its stamp and is taken again, and the clock's errors cannot blind the
        // check. It becomes the stamp only once the bulletin is delivered (PoDostarczeniuNews),
        // so a run that fails is tried again.
        LocalTime zmiana;
        if (!czasModyfikacji(sciezka, zmiana))
            throw std::runtime_error("nie można odczytać czasu modyfikacji pliku");
        // Only a regular file of a bulletin's size: a FIFO would hang the run, a device fill
        // the disk.
        KopiujPlik(sciezka, (k_.folderRoboczy / nazwa).string(), k_.okno,
                   ZnacznikFolderu(k_.folderProgramu), kMaksRozmiarWejscia);
        stempelPliku_ = DateTimeText(zmiana, Fs());
    } catch (const std::exception& e) {
        k_.log.DodajDoLoga("PobierzSerwisZPliku: " + std::string(e.what()));
        k_.log.DodajDoLoga("Nieudane pobranie serwisu z pliku lokalnego.");
        return {};
    }
    k_.log.DodajDoLoga("Serwis z pliku lokalnego pobrany.");
    return nazwa;
}

}  // namespace tolvak
