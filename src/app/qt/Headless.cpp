#include "app/qt/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/KontrolaKonfiguracji.h"
#include "app/Log.h"
#include "app/LustroLogu.h"
#include "app/qt/QtEventPump.h"
#include "app/qt/QtStatusDisplay.h"
#include "app/qt/QtTimer.h"
#include "app/qt/SygnalyZakonczenia.h"
#include "platform/Bledy.h"
#include "platform/Clock.h"
#include "platform/Internet.h"
#include "platform/Paths.h"
#include "platform/Regional.h"
#include "production/Produkcja.h"
#include "production/ZajecieFolderu.h"
#include "schedule/Harmonogram.h"
#include "schedule/KontrolaUstawien.h"
#include "schedule/Matryca.h"
#include "schedule/PodsumowanieStartu.h"
#include "schedule/StanPobran.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace fs = std::filesystem;

int UruchomBezOkna(const CommandLine& cl, std::ostream& err) {
    const fs::path folder = ProgramFolder(cl.dir);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        err << "tolvak: folder programu " << folder.string() << " nie istnieje\n";
        return 2;
    }
    // A second instance ends before it touches the log, the settings or anything else.
    const std::optional<FolderLock> blokada =
        ZajmijFolderProgramu(folder, std::chrono::milliseconds(0), err);
    if (!blokada) return 1;
    if (!CzyJestInternet()) {
        err << "Brak dostępu do internetu.\n";
        return 1;
    }
    const fs::path roboczy = fs::current_path(ec);
    if (ec) {
        err << "tolvak: nie można ustalić bieżącego folderu: " << OpisBledu(ec.value()) << "\n";
        return 2;
    }

    int argc = 1;
    char nazwa[] = "tolvak";
    char* argv[] = {nazwa, nullptr};
    QCoreApplication app(argc, argv);
    // Qt takes the whole locale from the environment; numbers keep the C rules.
    std::setlocale(LC_NUMERIC, "C");
    QtEventPump pompa;

    SystemClock clock;
    Log log(folder / NazwaPlikuLogu, clock, CurrentRegionalFormats());
    if (cl.verbose) LustrujLog(log, err);
    // Unattended, the scheduler never runs on defaults.
    const fs::path ini = folder / NazwaPlikuKonfiguracji;
    if (const std::string odmowa = SprawdzPlikKonfiguracji(ini); !odmowa.empty()) {
        log.DodajDoLoga(odmowa);
        if (!cl.verbose) err << "tolvak: " << odmowa << "\n";
        return 1;
    }
    log.DodajDoLoga("Start programu");

    Ustawienia ustawienia = OdczytajKonfiguracje(ini);
    log.SetCzyLog(ustawienia.czyLog);
    // The window's first showing switches the other general-news sources off; so does this.
    JedenZrodloNews(ini, ustawienia, log, true);
    ZalogujUwagi(SprawdzUstawienia(ini), log);
    UsunPozostawionePliki(folder, roboczy, ustawienia.FolderZapisu, log);
    Matryca matryca(ini);
    matryca.Wczytaj();
    // On the console (the journal) only: the log file need not repeat it at every start.
    if (cl.verbose) {
        for (const std::string& l :
             PodsumowanieStartu(ustawienia, matryca, folder / NazwaPlikuStanu, clock.now(), clock.now()))
            err << "tolvak: " << l << "\n";
        err.flush();
    }
    StanPobran stan(folder / NazwaPlikuStanu, matryca, log, clock);

    QtTimer timer1, timer2, timer3, timer4;
    QtStatusDisplay okno(clock, timer2, timer3);
    Zrodla zrodla(KontekstZrodel{ustawienia, folder, roboczy, log, clock, okno});
    Produkcja produkcja(KontekstProdukcji{ustawienia, folder, roboczy, log, clock, okno, zrodla});
    Harmonogram harmonogram(
        KontekstHarmonogramu{ustawienia, stan, zrodla,
                             [&produkcja](const std::string& r, const std::string& l, TrybAkcji t) {
                                 return produkcja.AkcjaSerwis(r, l, t);
                             },
                             log, clock, okno},
        timer1, timer4);

    const auto zakoncz = [&app] { QTimer::singleShot(0, &app, &QCoreApplication::quit); };
    SygnalyZakonczenia sygnaly([&](int sygnal) {
        if (harmonogram.Zatrzymany()) return;
        harmonogram.ZatrzymajPoBiezacej();
        // A transfer has nothing worth finishing; an audio production under way does.
        zrodla.PrzerwijPrzesyly();
        if (harmonogram.BitBtn1Enabled()) {
            zakoncz();
            return;
        }
        err << "tolvak: " << (sygnal == SIGINT ? "SIGINT" : "SIGTERM")
            << ": zakończenie po bieżącym pobieraniu (drugi sygnał przerywa je)\n";
        err.flush();
        harmonogram.OnKoniecPracy = zakoncz;
    });

    app.exec();

    try {
        ZapiszPrzyZamknieciu(ini, ustawienia);
    } catch (const std::exception& e) {
        log.DodajDoLoga(std::string("Zamknięcie programu: nieudany zapis ustawień: ") + e.what());
    }
    log.DodajDoLoga("Zamknięcie programu.");
    return 0;
}

}  // namespace tolvak
