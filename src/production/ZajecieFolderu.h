#pragma once
// One run per program folder. Every entry that works on a program folder holds its lock
// (platform/FolderLock.h) for its whole life, because the runs share the fixed work-file names;
// holding it, a run knows every temporary file of the folder's mark as left by a killed run.

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "platform/FolderLock.h"

namespace tolvak {

class Log;

/// How long `--produce` and `--check` wait for the run that holds the folder: a production
/// takes seconds.
inline constexpr std::chrono::milliseconds kCzekanieNaFolder{std::chrono::seconds(120)};

/// Takes the lock of `folderProgramu`, waiting up to `czekanie` (zero: not at all). When the
/// folder stays taken, or the lock file cannot be opened, writes "Program jest już
/// uruchomiony." (or the error) to `err` and answers std::nullopt: the caller then exits 1.
std::optional<FolderLock> ZajmijFolderProgramu(const std::filesystem::path& folderProgramu,
                                               std::chrono::milliseconds czekanie, std::ostream& err);

/// The folders a command-line run works in, and the program folder's lock it holds.
struct FolderyPrzebiegu {
    std::filesystem::path programu;
    std::filesystem::path roboczy;  // the current directory: the fetched work file's folder
    FolderLock blokada;
};

/// The start every command-line run on a kind shares: checks the kind, the program folder of
/// `--dir` and the working folder (each failure written to `err`, `kod` 2), then takes the
/// folder's lock waiting up to `czekanie` (taken: `kod` 1). std::nullopt when the run must end.
std::optional<FolderyPrzebiegu> ZajmijFolderyPrzebiegu(const std::string& rodzaj,
                                                       const std::optional<std::string>& dir,
                                                       std::chrono::milliseconds czekanie,
                                                       std::ostream& err, int& kod);

/// The folders of a run that only reads and logs (`--check`): like ZajmijFolderyPrzebiegu, but
/// it never waits. A folder that a running scheduler holds is no refusal: `blokada` then stays
/// empty, and the run must not clean the folder.
struct FolderyOdczytu {
    std::filesystem::path programu;
    std::filesystem::path roboczy;
    std::optional<FolderLock> blokada;
};
std::optional<FolderyOdczytu> FolderyBezCzekania(const std::string& rodzaj,
                                                 const std::optional<std::string>& dir,
                                                 std::ostream& err, int& kod);

/// Removes the temporary files that killed runs of this program folder left in the program
/// folder and, when given (non-empty), in the working folder and the output folder, and the
/// fetched work files ("tvss" + any extension) left in the working folder, except `zachowaj`
/// (a file given with --input); logs "Usunięto pozostawione pliki tymczasowe: " + their number
/// when there were any. Only while holding the folder's lock, before any fetch.
void UsunPozostawionePliki(const std::filesystem::path& folderProgramu,
                           const std::filesystem::path& folderRoboczy,
                           const std::string& folderZapisu, Log& log,
                           const std::filesystem::path& zachowaj = {});

}  // namespace tolvak
