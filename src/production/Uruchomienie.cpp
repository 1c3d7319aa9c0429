#include "production/Uruchomienie.h"

#include <chrono>
#include <filesystem>
#include <string>
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
#include "production/Produkcja.h"
#include "production/Rodzaje.h"
#include "production/ZajecieFolderu.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace {

/// Binds the calling thread as the user-interface thread for the duration of the run.
class WatekOkna {
public:
    WatekOkna() { UiQueue::instance().bindToCurrentThread(); }
    ~WatekOkna() { UiQueue::instance().unbind(); }
    WatekOkna(const WatekOkna&) = delete;
    WatekOkna& operator=(const WatekOkna&) = delete;
};

}  // namespace

int UruchomProdukcje(const CommandLine& cl, std::ostream& err, std::chrono::milliseconds czekanieNaFolder) {
    const std::string rodzaj = cl.produce.value_or("");
    // The runs of one folder share its work files, its log and its state file: one at a time.
    int kod = 0;
    const std::optional<FolderyPrzebiegu> foldery = ZajmijFolderyPrzebiegu(rodzaj, cl.dir, czekanieNaFolder, err, kod);
    if (!foldery) return kod;
    const std::filesystem::path& folder = foldery->programu;
    const std::filesystem::path& roboczy = foldery->roboczy;

    WatekOkna watek;
    SystemClock clock;
    Log log(folder / NazwaPlikuLogu, clock, CurrentRegionalFormats());
    if (cl.verbose) LustrujLog(log, err);
    const PowodNiepowodzenia powod(log);
    // An unattended run without its settings, or without an output folder, would deliver
    // where nobody meant: refuse, on standard error (the verbose hook prints log lines) and in
    // the log.
    auto odmow = [&](const std::string& komunikat) {
        log.DodajDoLoga(komunikat);
        if (!cl.verbose) err << "tolvak: " << komunikat << "\n";
        return 1;
    };
    const std::filesystem::path ini = folder / NazwaPlikuKonfiguracji;
    if (const std::string odmowa = SprawdzPlikKonfiguracji(ini); !odmowa.empty()) return odmow(odmowa);
    Ustawienia ustawienia = OdczytajKonfiguracje(ini);
    log.SetCzyLog(ustawienia.czyLog);
    JedenZrodloNews(ini, ustawienia, log, true);
    if (ustawienia.FolderZapisu.empty()) return odmow("Brak lokalizacji zapisu serwisu..");
    UsunPozostawionePliki(folder, roboczy, ustawienia.FolderZapisu, log,
                          cl.input ? std::filesystem::path(*cl.input) : std::filesystem::path());

    StatusDisplay okno(clock);
    Zrodla zrodla(KontekstZrodel{ustawienia, folder, roboczy, log, clock, okno});
    Produkcja produkcja(
        KontekstProdukcji{ustawienia, folder, roboczy, log, clock, okno, zrodla});

    std::string link;
    if (cl.input) {
        produkcja.SetPlikWejsciowy(*cl.input);
    } else if (rodzaj == kEkonomia ||
               (rodzaj == kSport && !CzyAgora(ustawienia.AgoraLogin, ustawienia.AgoraPassword))) {
        // Sport and economy from the package service: its check supplies the link.
        link = zrodla.CzyJestSerwisSE(rodzaj);
    }
    const bool dostarczono = produkcja.AkcjaSerwis(rodzaj, link);
    if (cl.verbose && !produkcja.SciezkaDostarczenia().empty())
        err << "tolvak: dostarczono do " << produkcja.SciezkaDostarczenia() << "\n";
    // Without the mirror the failure would go unseen on the console: its reason, once.
    if (!dostarczono && !cl.verbose)
        if (const std::string p = powod.Powod(true); !p.empty()) err << "tolvak: " << p << "\n";
    return dostarczono ? 0 : 1;
}

}  // namespace tolvak
