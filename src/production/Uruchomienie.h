#pragma once
// The headless run of one production: `tolvak --produce KIND [--input FILE] [--dir DIR]`.

#include <ostream>

#include "app/CommandLine.h"

namespace tolvak {

/// Runs AkcjaSerwis once for `cl.produce`, without a window, without the presence test and
/// without the lock. Returns the exit status: 0 when the bulletin was delivered into the output
/// folder, 1 when not, 2 for a program folder that does not exist or an unknown kind. With
/// `cl.verbose` every log line is also written to `err`, with the time its step took.
int UruchomProdukcje(const CommandLine& cl, std::ostream& err);

}  // namespace tolvak
