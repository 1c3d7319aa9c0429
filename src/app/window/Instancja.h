#pragma once
// One window per logged-in user, and never a window and a headless instance on one program
// folder: two locks that the operating system releases when the process ends in any way, so a
// crashed instance never blocks the next start.

#include <filesystem>
#include <optional>

#include "platform/FolderLock.h"

class QWidget;

namespace tolvak {

/// Name of the per-user lock file in the user's runtime folder.
inline constexpr const char* NazwaBlokadyUzytkownika = "ApplicationTolvak.lock";

struct Instancja {
    FolderLock uzytkownika;  // the user's runtime folder
    FolderLock folderu;      // the program folder, shared with the headless mode
};

/// The user's runtime folder: $XDG_RUNTIME_DIR, else /run/user/UID, else a private folder of
/// the user under the temporary folder.
std::filesystem::path FolderUruchomieniowy();

/// Takes both locks. When another instance holds either, shows "Program jest już uruchomiony."
/// (caption "Informacja", information icon) and answers std::nullopt; nothing else is touched.
std::optional<Instancja> SprawdzInstancje(const std::filesystem::path& folderProgramu,
                                          QWidget* rodzic = nullptr);

}  // namespace tolvak
