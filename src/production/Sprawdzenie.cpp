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
    if (rodzaj != kNews && rodzaj != kSport && rodzaj != kEkonomia && rodzaj != kPogoda) {
        err << "tolvak: nieznany rodzaj serwisu '" << rodzaj << "' (News, Sport, Ekonomia, Pogoda)\n";
        return 2;
    }
    const std::filesystem::path folder = ProgramFolder(cl.dir);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        err << "tolvak: folder programu " << folder.string() << " nie istnieje\n";
        return 2;
    }
    const std::filesystem::path roboczy = std::filesystem::current_path(ec);
    if (ec) {
        err << "tolvak: nie można ustalić bieżącego folderu: " << OpisBledu(ec.value()) << "\n";
        return 2;
    }
    // A check writes the log and the local file check reads the state file: not during a run.
    const std::optional<FolderLock> blokada = ZajmijFolderProgramu(folder, czekanieNaFolder, err);
    if (!blokada) return 1;

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
