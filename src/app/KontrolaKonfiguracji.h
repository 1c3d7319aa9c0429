#pragma once
// The window-less modes (--produce, --check, --headless) run unattended, so they never run on
// defaults: without its settings a run would fetch from no source and deliver into the home
// folder. The window starts with defaults as before; these modes refuse instead.

#include <filesystem>
#include <string>

namespace tolvak {

/// Empty when `ini` is a regular file that can be read and holds at least one non-blank
/// character (in any encoding the settings are read in); otherwise the refusal
/// "Brak pliku konfiguracji: " + path, for a missing file, a folder, a file without read
/// permission or an empty one. The caller prints and logs it and exits with status 1.
std::string SprawdzPlikKonfiguracji(const std::filesystem::path& ini);

}  // namespace tolvak
