#pragma once
// The headless availability check: `tolvak --check KIND [--dir DIR]`.

#include <ostream>
#include <string>

#include "app/CommandLine.h"
#include "production/ZajecieFolderu.h"

namespace tolvak {

struct Ustawienia;
class ZrodlaSerwisow;

/// What a check found: whether the coming hour's bulletin of the kind is there and, for the
/// package service's sport and economy check, the identifier it found.
struct WynikSprawdzenia {
    bool jest = false;
    std::string identyfikator;
};

/// Asks the check that the check cycle asks for `rodzaj`: News by the network sources' check
/// (or the local file check when only the local file is selected), Sport at Agora with the
/// Agora login and else at the package service, Ekonomia at the package service, Pogoda at
/// Agora (without the Agora login weather is never looked for).
WynikSprawdzenia SprawdzRodzaj(ZrodlaSerwisow& zrodla, const Ustawienia& u, const std::string& rodzaj);

/// Runs the check of `cl.check` once, without a window, and prints "yes" (with the identifier,
/// when one was found) or "no" on `out`; a "no" whose check logged a failure prints that line
/// on `err` too ("tolvak: " + the log's text). It never waits for the program folder's lock:
/// beside a scheduler that holds it the check runs all the same, writes no settings and removes
/// no left temporary files. Returns the exit status: 0 when the bulletin is there, 1 when not,
/// and also (printing nothing on `out`) without a usable "tolvak.ini" ("Brak pliku
/// konfiguracji: " + path on `err` and in the log), 2 for an unknown kind or a program folder
/// that does not exist. With `cl.verbose` every log line is also written to `err`.
int UruchomSprawdzenie(const CommandLine& cl, std::ostream& out, std::ostream& err);

}  // namespace tolvak
