#pragma once
// `tolvak --headless [--dir DIR] [--verbose]`: the unattended scheduler without a window, on a
// Qt Core event loop (no GUI library, no display).

#include <ostream>

#include "app/CommandLine.h"

namespace tolvak {

/// Starts as the window would (one instance per program folder, the connectivity test, "Start
/// programu", the settings, the hour matrix), then runs the check, intervention, blink and
/// countdown timers until SIGTERM or SIGINT. The first signal lets the work under way finish,
/// writes the keys written at close and logs "Zamknięcie programu."; a second one ends the
/// process at once. Returns the exit status: 0 after a clean end, 1 when another instance holds
/// the folder, there is no connection or no usable "tolvak.ini" ("Brak pliku konfiguracji: " +
/// path, also logged), 2 for a program folder that does not exist.
int UruchomBezOkna(const CommandLine& cl, std::ostream& err);

}  // namespace tolvak
