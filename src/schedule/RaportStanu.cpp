#include "schedule/RaportStanu.h"

#include <array>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
#include "platform/Ini.h"
#include "platform/Paths.h"
#include "platform/Regional.h"
#include "production/Rodzaje.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"

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
        err << "tolvak: folder programu " << folder.string() << " nie istnieje\n";
        return 2;
    }
    const fs::path ini = folder / NazwaPlikuKonfiguracji;
    const LocalTime teraz = clock.now();
    const Ustawienia u = OdczytajKonfiguracje(ini);
    Matryca matryca(ini);
    matryca.Wczytaj();
    const IniFile dat(folder / NazwaPlikuStanu);
    const std::string stempel = ComingHourStamp(teraz);

    out << "Folder programu: " << folder.string() << "\n";
    if (const std::string odmowa = SprawdzPlikKonfiguracji(ini); !odmowa.empty()) out << odmowa << "\n";
    out << "Teraz: " << RegionalnaDataICzas(teraz) << ", najbliższa godzina: " << stempel.substr(11)
        << "\n\n";

    out << Kolumna("Rodzaj", 9) << Kolumna("Ostatnio dostarczony", 20)
        << Kolumna("Na najbliższą godzinę", 34) << "Plik\n";
    for (std::string_view rodzaj : {kNews, kSport, kEkonomia, kPogoda}) {
        const std::string ost = dat.ReadString(SekcjaPobrany, KluczOstPobrany(rodzaj), "");
        const std::string plik = dat.ReadString(SekcjaPobrany, KluczOstPlik(rodzaj), "");
        out << Kolumna(std::string(rodzaj), 9) << Kolumna(ost.empty() ? "-" : ost, 20)
            << Kolumna(Potrzebny(rodzaj, u, matryca, ost == stempel, teraz), 34)
            << (plik.empty() ? "-" : plik) << "\n";
    }

    std::string godziny;
    for (int h = teraz.hour + 1; h <= Matryca::OstatniaGodzina; ++h)
        if (matryca.CzyChciana(Matryca::NazwaKomorki(teraz.weekday(), h)))
            godziny += (godziny.empty() ? "" : ", ") + std::to_string(h);
    out << "\nKolejne godziny serwisu (News) dziś: " << (godziny.empty() ? "brak" : godziny) << "\n";

    out << "\nNajnowsze wpisy dziennika:\n";
    const auto linie = NajnowszeLinieLogu(folder / NazwaPlikuLogu, kLinieLogu);
    if (linie.empty()) out << "  (brak)\n";
    for (const std::string& l : linie) out << "  " << l << "\n";
    return 0;
}

}  // namespace tolvak
