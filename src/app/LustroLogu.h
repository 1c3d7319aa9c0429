#pragma once
// The console mirror of the log (--verbose): every line also on a stream, with the time the step
// before it took.

#include <ostream>

namespace tolvak {

class Log;

/// Sets the log's line hook: "[   123 ms] " + the line, flushed. The stream must outlive the log.
void LustrujLog(Log& log, std::ostream& wyjscie);

}  // namespace tolvak
