#pragma once
// The headless run of one production: `tolvak --produce KIND [--input FILE] [--dir DIR]`.

#include <chrono>
#include <ostream>

#include "app/CommandLine.h"
#include "production/ZajecieFolderu.h"

namespace tolvak {

/// Runs AkcjaSerwis once for `cl.produce`, without a window and without the presence test,
/// holding the program folder's lock: it waits up to `czekanieNaFolder` for a run that holds
/// the folder and then refuses ("Program jest już uruchomiony." on `err`, status 1, nothing
/// touched). Removes the temporary files that killed runs left. Refuses (status 1, the reason on `err` and in the log) without a usable
/// "tolvak.ini" ("Brak pliku konfiguracji: " + path) or with an empty output folder setting
/// ("Brak lokalizacji zapisu serwisu.."). Returns the exit status: 0 when the bulletin was
/// delivered into the output folder, 1 when not, 2 for a program folder that does not exist or
/// an unknown kind. With `cl.verbose` every log line is also written to `err`, with the time its
/// step took, and at the end the path delivered to.
int UruchomProdukcje(const CommandLine& cl, std::ostream& err,
                     std::chrono::milliseconds czekanieNaFolder = kCzekanieNaFolder);

}  // namespace tolvak
