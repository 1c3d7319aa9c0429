#include "production/Uruchomienie.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
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

bool znanyRodzaj(const std::string& r) {
    return r == kNews || r == kSport || r == kEkonomia || r == kPogoda;
}

}  // namespace

int UruchomProdukcje(const CommandLine& cl, std::ostream& err, std::chrono::milliseconds czekanieNaFolder) {
    const std::string rodzaj = cl.produce.value_or("");
    if (!znanyRodzaj(rodzaj)) {
        err << "tolvak: nieznany rodzaj serwisu '" << rodzaj
            << "' (News, Sport, Ekonomia, Pogoda)\n";
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
    // The runs of one folder share its work files, its log and its state file: one at a time.
    const std::optional<FolderLock> blokada = ZajmijFolderProgramu(folder, czekanieNaFolder, err);
    if (!blokada) return 1;

    WatekOkna watek;
    SystemClock clock;
    Log log(folder / NazwaPlikuLogu, clock, CurrentRegionalFormats());
    if (cl.verbose) {
        auto poprzednia = std::chrono::steady_clock::now();
        log.OnLine = [&err, poprzednia](std::string_view linia) mutable {
            const auto teraz = std::chrono::steady_clock::now();
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(teraz - poprzednia).count();
            poprzednia = teraz;
            char czas[32];
            std::snprintf(czas, sizeof czas, "[%6lld ms] ", static_cast<long long>(ms));
            err << czas << linia << '\n';
            err.flush();
        };
    }
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
    if (ustawienia.FolderZapisu.empty()) return odmow("Brak lokalizacji zapisu serwisu..");
    UsunPozostawionePliki(folder, roboczy, ustawienia.FolderZapisu, log);

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
    return dostarczono ? 0 : 1;
}

}  // namespace tolvak
