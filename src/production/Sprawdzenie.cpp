#include "production/Sprawdzenie.h"

#include <filesystem>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
#include "app/LustroLogu.h"
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

int UruchomSprawdzenie(const CommandLine& cl, std::ostream& out, std::ostream& err,
                       std::chrono::milliseconds czekanieNaFolder) {
    const std::string rodzaj = cl.check.value_or("");
    // A check writes the log and the local file check reads the state file: not during a run.
    int kod = 0;
    const std::optional<FolderyPrzebiegu> foldery = ZajmijFolderyPrzebiegu(rodzaj, cl.dir, czekanieNaFolder, err, kod);
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
    const std::filesystem::path ini = folder / NazwaPlikuKonfiguracji;
    if (const std::string odmowa = SprawdzPlikKonfiguracji(ini); !odmowa.empty()) {
        log.DodajDoLoga(odmowa);
        if (!cl.verbose) err << "tolvak: " << odmowa << "\n";
        return 1;
    }
    const Ustawienia ustawienia = OdczytajKonfiguracje(ini);
    log.SetCzyLog(ustawienia.czyLog);
    UsunPozostawionePliki(folder, roboczy, ustawienia.FolderZapisu, log);
    StatusDisplay okno(clock);
    Zrodla zrodla(KontekstZrodel{ustawienia, folder, roboczy, log, clock, okno});

    const WynikSprawdzenia w = SprawdzRodzaj(zrodla, ustawienia, rodzaj);
    out << (w.jest ? "yes" : "no");
    if (!w.identyfikator.empty()) out << ' ' << w.identyfikator;
    out << '\n' << std::flush;
    return w.jest ? 0 : 1;
}

}  // namespace tolvak
