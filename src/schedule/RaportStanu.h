#pragma once
// `tolvak --status [--dir DIR]`: what the station's engineer on a headless server asks first —
// what was delivered last, what is still wanted for the coming hour, which news hours today's
// matrix still wants, and what the log said last. Reads only: no log line, no lock, no network.

#include <ostream>

#include "app/CommandLine.h"
#include "platform/Clock.h"

namespace tolvak {

/// Prints the report on `out`. Returns the exit status: 0, also without "tolvak.ini" (the report
/// then says so and shows the defaults), 2 for a program folder that does not exist.
int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err,
                       const Clock& clock);
int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err);

}  // namespace tolvak
