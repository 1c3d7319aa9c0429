#include "production/Sprawdzenie.h"

#include <filesystem>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
#include "app/LustroLogu.h"
#include "app/PowodNiepowodzenia.h"
#include "app/StatusDisplay.h"
#include "platform/Bledy.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Regional.h"
#include "platform/UiQueue.h"
#include "production/Rodzaje.h"
#include "production/ZajecieFolderu.h"
#include "sources/Zrodla.h"

namespace tolvak {

WynikSprawdzenia SprawdzRodzaj(ZrodlaSerwisow& zrodla, const Ustawienia& u, const std::string& rodzaj) {
    const bool agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    WynikSprawdzenia w;
    if (rodzaj == kNews) {
        const bool tylkoPlik = u.CzyZPliku && !u.CzyNews && !u.CzyIAR;
        w.jest = tylkoPlik ? zrodla.CzyJestSerwisZPliku() : zrodla.CzyJestSerwis();
    } else if ((rodzaj == kSport || rodzaj == kPogoda) && agora) {
        w.jest = zrodla.CzyJestAgoraDodatkowy(rodzaj);
    } else if (rodzaj == kSport || rodzaj == kEkonomia) {
        w.identyfikator = zrodla.CzyJestSerwisSE(rodzaj);
        w.jest = !w.identyfikator.empty();
    }
    return w;
}

int UruchomSprawdzenie(const CommandLine& cl, std::ostream& out, std::ostream& err) {
    const std::string rodzaj = cl.check.value_or("");
    // A check only reads and logs, and every log write replaces the file whole: it never waits
    // for a scheduler that holds the folder, and then leaves the folder's cleaning to it.
    int kod = 0;
    const std::optional<FolderyOdczytu> foldery = FolderyBezCzekania(rodzaj, cl.dir, err, kod);
    if (!foldery) return kod;
    const std::filesystem::path& folder = foldery->programu;
    const std::filesystem::path& roboczy = foldery->roboczy;

    UiQueue::instance().bindToCurrentThread();
    struct Odwiaz {
        ~Odwiaz() { UiQueue::instance().unbind(); }
    } odwiaz;
    SystemClock clock;
    Log log(folder / NazwaPlikuLogu, clock, CurrentRegionalFormats());
    if (cl.verbose) LustrujLog(log, err);
    const PowodNiepowodzenia powod(log);
    const std::filesystem::path ini = folder / NazwaPlikuKonfiguracji;
    if (const std::string odmowa = SprawdzPlikKonfiguracji(ini); !odmowa.empty()) {
        log.DodajDoLoga(odmowa);
        if (!cl.verbose) err << "tolvak: " << odmowa << "\n";
        return 1;
    }
    Ustawienia ustawienia = OdczytajKonfiguracje(ini);
    log.SetCzyLog(ustawienia.czyLog);
    // The scheduler that holds the folder wrote the switch at its start; beside it, memory only.
    JedenZrodloNews(ini, ustawienia, log, foldery->blokada.has_value());
    if (foldery->blokada) UsunPozostawionePliki(folder, roboczy, ustawienia.FolderZapisu, log);
    StatusDisplay okno(clock);
    Zrodla zrodla(KontekstZrodel{ustawienia, folder, roboczy, log, clock, okno});

    const WynikSprawdzenia w = SprawdzRodzaj(zrodla, ustawienia, rodzaj);
    out << (w.jest ? "yes" : "no");
    if (!w.identyfikator.empty()) out << ' ' << w.identyfikator;
    out << '\n' << std::flush;
    // A "no" because the source could not be asked says why.
    if (!w.jest && !cl.verbose)
        if (const std::string p = powod.Powod(false); !p.empty()) err << "tolvak: " << p << "\n";
    return w.jest ? 0 : 1;
}

}  // namespace tolvak
