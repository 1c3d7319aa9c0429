#include "production/ZajecieFolderu.h"

#include <set>
#include <utility>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "platform/Bledy.h"
#include "platform/Paths.h"
#include "platform/PlikiTymczasowe.h"
#include "production/Rodzaje.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace fs = std::filesystem;

std::optional<FolderLock> ZajmijFolderProgramu(const fs::path& folderProgramu,
                                               std::chrono::milliseconds czekanie, std::ostream& err) {
    std::optional<FolderLock> blokada;
    try {
        const fs::path plik = folderProgramu / NazwaPlikuBlokady;
        blokada = czekanie.count() > 0 ? FolderLock::lockWithin(plik, czekanie) : FolderLock::tryLock(plik);
    } catch (const std::system_error& e) {
        err << "tolvak: " << e.what() << '\n';
        return std::nullopt;
    }
    if (!blokada) err << "Program jest już uruchomiony.\n";
    return blokada;
}

namespace {

/// The kind, the program folder and the working folder of a command-line run; std::nullopt
/// (the reason on `err`) when the run must end with status 2.
std::optional<std::pair<fs::path, fs::path>> FolderyRodzaju(const std::string& rodzaj,
                                                           const std::optional<std::string>& dir,
                                                           std::ostream& err) {
    if (rodzaj != kNews && rodzaj != kSport && rodzaj != kEkonomia && rodzaj != kPogoda) {
        err << "tolvak: nieznany rodzaj serwisu '" << rodzaj << "' (News, Sport, Ekonomia, Pogoda)\n";
        return std::nullopt;
    }
    const fs::path folder = ProgramFolder(dir);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        err << "tolvak: folder programu " << folder.string() << " nie istnieje\n";
        return std::nullopt;
    }
    fs::path roboczy = fs::current_path(ec);
    if (ec) {
        err << "tolvak: nie można ustalić bieżącego folderu: " << OpisBledu(ec.value()) << "\n";
        return std::nullopt;
    }
    return std::pair{folder, std::move(roboczy)};
}

}  // namespace

std::optional<FolderyPrzebiegu> ZajmijFolderyPrzebiegu(const std::string& rodzaj,
                                                       const std::optional<std::string>& dir,
                                                       std::chrono::milliseconds czekanie,
                                                       std::ostream& err, int& kod) {
    kod = 2;
    auto foldery = FolderyRodzaju(rodzaj, dir, err);
    if (!foldery) return std::nullopt;
    kod = 1;
    std::optional<FolderLock> blokada = ZajmijFolderProgramu(foldery->first, czekanie, err);
    if (!blokada) return std::nullopt;
    return FolderyPrzebiegu{std::move(foldery->first), std::move(foldery->second), std::move(*blokada)};
}

std::optional<FolderyOdczytu> FolderyBezCzekania(const std::string& rodzaj,
                                                 const std::optional<std::string>& dir,
                                                 std::ostream& err, int& kod) {
    kod = 2;
    auto foldery = FolderyRodzaju(rodzaj, dir, err);
    if (!foldery) return std::nullopt;
    kod = 1;
    std::optional<FolderLock> blokada;
    try {
        blokada = FolderLock::tryLock(foldery->first / NazwaPlikuBlokady);
    } catch (const std::system_error& e) {
        err << "tolvak: " << e.what() << '\n';
        return std::nullopt;
    }
    return FolderyOdczytu{std::move(foldery->first), std::move(foldery->second), std::move(blokada)};
}

void UsunPozostawionePliki(const fs::path& folderProgramu, const fs::path& folderRoboczy,
                           const std::string& folderZapisu, Log& log, const fs::path& zachowaj) {
    const std::string znacznik = ZnacznikFolderu(folderProgramu);
    // The same folder named twice is cleaned once.
    std::set<fs::path> folderyObce;
    std::error_code ec;
    for (const fs::path& f : {folderRoboczy, fs::path(folderZapisu)}) {
        if (f.empty()) continue;
        const fs::path c = fs::weakly_canonical(f, ec);
        if (!ec) folderyObce.insert(c);
    }
    const fs::path wlasny = fs::weakly_canonical(folderProgramu, ec);
    folderyObce.erase(wlasny);
    int usuniete = UsunPlikiTymczasowe(folderProgramu, znacznik,
                                       {NazwaPlikuKonfiguracji, NazwaPlikuStanu, NazwaPlikuLogu, kTvVoice,
                                        kTvTemp, kTvTemp2, kTvEnd, kTvSerwis, kTvTfn});
    for (const fs::path& f : folderyObce) usuniete += UsunPlikiTymczasowe(f, znacznik);
    // Fetched files carry a server's name, new every hour: a killed or failed run's must not pile up.
    if (!folderRoboczy.empty()) usuniete += UsunPlikiPobrane(folderRoboczy, kTvSs, zachowaj);
    if (usuniete > 0)
        log.DodajDoLoga("Usunięto pozostawione pliki tymczasowe: " + std::to_string(usuniete));
}

}  // namespace tolvak
