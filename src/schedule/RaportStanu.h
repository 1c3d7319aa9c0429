#pragma once
// `tolvak --status [--json] [--dir DIR]`: what the station's engineer on a headless server asks
// first — what was delivered last, what is still wanted for the coming hour, whether a scheduler
// holds the folder, when it last checked, what failed or repeated last, which hour went out
// without news, what is wrong with the settings, which news hours today's matrix still wants,
// and what the log said last; as text for people or as one JSON object for monitoring. Reads
// only: no log line, no lock taken or waited for, no network.

#include <ostream>

#include "app/CommandLine.h"
#include "platform/Clock.h"

namespace tolvak {

/// Prints the report on `out` (with `cl.json` one JSON object). Returns the exit status of the
/// monitoring-plugin convention: 0 OK; 1 WARNING (a repeated bulletin of a kind produced, a
/// settings warning); 2 CRITICAL (a pending missed news hour, a failed last run of a kind
/// produced, a settings error, no "tolvak.ini"); 3 UNKNOWN (no such program folder).
int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err,
                       const Clock& clock);
int UruchomRaportStanu(const CommandLine& cl, std::ostream& out, std::ostream& err);

}  // namespace tolvak
