#pragma once
// The command line of the tolvak program.
//
//   -h, --help            usage text, exit 0
//   -V, --version         version text, exit 0
//       --headless        run without a window
//   -v, --verbose         mirror log lines to standard error
//       --produce KIND    produce one bulletin of KIND (News, Sport, Ekonomia, Pogoda) and end
//       --input FILE      with --produce: take the bulletin from FILE instead of the source
//       --check KIND      ask KIND's source whether the coming hour's bulletin is out; prints
//                         "yes" (with the identifier found, if any) or "no"; exit 0 or 1
//       --status          print the state of the deliveries, the scheduler, the last check and
//                         failure, the settings findings, the matrix and the log; exit 0 OK,
//                         1 WARNING, 2 CRITICAL, 3 UNKNOWN (the monitoring-plugin convention)
//       --json            with --status: the same as one JSON object
//       --check-config    check tolvak.ini, the sounds and the output folder; exit 0, 1 warnings,
//                         2 errors
//       --dir DIR         program folder (configuration, state file, log, work files)
//       --no-audio        window mode without a sound device (the mix point editor cannot play)
// Options with a value accept "--opt VALUE" and "--opt=VALUE". "--" ends the options.

#include <optional>
#include <string>

namespace tolvak {

struct CommandLine {
    bool help = false, version = false, headless = false, verbose = false, noAudio = false,
         status = false, json = false, checkConfig = false;
    std::optional<std::string> produce;  // --produce KIND
    std::optional<std::string> input;    // --input FILE
    std::optional<std::string> check;    // --check KIND
    std::optional<std::string> dir;      // --dir DIR
    std::string error;                   // non-empty: bad usage; print it, exit status 2
};

/// Parses argv[1..argc-1]. On bad usage `error` holds the complete text for standard error
/// (first line the problem, second line "Try 'tolvak --help' for more information.").
CommandLine ParseCommandLine(int argc, const char* const* argv);
std::string UsageText();    // GNU-style --help text
std::string VersionText();  // "tolvak " TOLVAK_VERSION ...

}  // namespace tolvak
