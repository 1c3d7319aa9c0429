#include "app/CommandLine.h"

#include <array>
#include <utility>
#include <string_view>

#ifndef TOLVAK_VERSION
#define TOLVAK_VERSION "0.0.0"
#endif

namespace tolvak {

namespace {

constexpr std::array<std::string_view, 4> kKinds{"News", "Sport", "Ekonomia", "Pogoda"};

std::string UsageError(const std::string& problem) {
    return "tolvak: " + problem + "\nTry 'tolvak --help' for more information.";
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine cl;
    auto fail = [&](const std::string& problem) {
        cl.error = UsageError(problem);
        return cl;
    };

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (optionsEnded || arg.empty() || arg == "-" || arg.front() != '-')
            return fail("unexpected argument '" + std::string(arg) + "'");
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
        } else if (arg.size() != 2) {
            return fail("invalid option -- '" + std::string(arg.substr(1)) + "'");
        }

        // Flags
        bool* flag = nullptr;
        if (name == "--help" || name == "-h") flag = &cl.help;
        else if (name == "--version" || name == "-V") flag = &cl.version;
        else if (name == "--headless") flag = &cl.headless;
        else if (name == "--verbose" || name == "-v") flag = &cl.verbose;
        else if (name == "--no-audio") flag = &cl.noAudio;
        else if (name == "--status") flag = &cl.status;
        else if (name == "--json") flag = &cl.json;
        else if (name == "--check-config") flag = &cl.checkConfig;
        if (flag) {
            if (inlineValue) return fail("option '" + std::string(name) + "' doesn't allow an argument");
            *flag = true;
            continue;
        }

        // Options with a value
        std::optional<std::string>* target = nullptr;
        if (name == "--produce") target = &cl.produce;
        else if (name == "--input") target = &cl.input;
        else if (name == "--check") target = &cl.check;
        else if (name == "--dir") target = &cl.dir;
        if (!target) {
            if (name.starts_with("--")) return fail("unrecognized option '" + std::string(name) + "'");
            return fail("invalid option -- '" + std::string(name.substr(1)) + "'");
        }
        std::string value;
        if (inlineValue) {
            value = std::string(*inlineValue);
        } else if (i + 1 < argc && argv[i + 1]) {
            value = argv[++i];
        } else {
            return fail("option '" + std::string(name) + "' requires an argument");
        }
        if (value.empty()) return fail("option '" + std::string(name) + "' requires a non-empty argument");
        *target = std::move(value);
    }

    if (cl.help || cl.version) return cl;
    for (const auto& [option, kind] : {std::pair{"--produce", &cl.produce}, std::pair{"--check", &cl.check}}) {
        if (!*kind) continue;
        bool known = false;
        for (auto k : kKinds) known = known || **kind == k;
        if (!known)
            return fail("invalid kind '" + **kind + "' for " + option + " (News, Sport, Ekonomia, Pogoda)");
    }
    if (cl.produce && cl.check) return fail("options '--produce' and '--check' exclude each other");
    if (cl.status && (cl.produce || cl.check || cl.headless))
        return fail(std::string("options '--status' and '") +
                    (cl.produce ? "--produce" : cl.check ? "--check" : "--headless") +
                    "' exclude each other");
    if (cl.checkConfig && (cl.produce || cl.check || cl.headless || cl.status))
        return fail(std::string("options '--check-config' and '") +
                    (cl.produce ? "--produce" : cl.check ? "--check" : cl.headless ? "--headless" : "--status") +
                    "' exclude each other");
    if (cl.json && !cl.status) return fail("option '--json' needs '--status'");
    if (cl.input && !cl.produce) return fail("option '--input' needs '--produce KIND'");
    return cl;
}

std::string UsageText() {
    return "Usage: tolvak [OPTION]...\n"
           "Fetch the hourly news bulletin, mix it over the station's bed, compress it and\n"
           "deliver it as WAV or MP3 into the playout folder.\n"
           "\n"
           "  -h, --help            display this help and exit\n"
           "  -V, --version         output version information and exit\n"
           "      --headless        run the scheduler without a window\n"
           "  -v, --verbose         copy every log line to standard error\n"
           "      --produce=KIND    produce one bulletin of KIND now and exit;\n"
           "                        KIND is News, Sport, Ekonomia or Pogoda\n"
           "      --input=FILE      with --produce: take the bulletin from FILE instead of\n"
           "                        fetching it from its source\n"
           "      --check=KIND      ask KIND's source whether the bulletin of the coming\n"
           "                        hour is out; print yes (and the identifier found) or no;\n"
           "                        exit status 0 for yes, 1 for no\n"
           "      --status          print, for each kind, the last delivered hour and file,\n"
           "                        whether it is wanted for the coming hour, today's next\n"
           "                        wanted news hours and the newest ten log lines,\n"
           "                        whether a scheduler holds the folder, the last check,\n"
           "                        the last failure and the settings findings; exit status\n"
           "                        0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN\n"
           "      --json            with --status: print the same as one JSON object\n"
           "      --check-config    check tolvak.ini (unknown keys, values, sounds, output\n"
           "                        folder, sources, matrix); exit status 0 clean,\n"
           "                        1 warnings, 2 errors\n"
           "      --dir=DIR         program folder holding tolvak.ini, tolvak.dat, log.txt\n"
           "                        and the work files (default: $TOLVAK_HOME, else the\n"
           "                        folder of the program; installed in /usr/bin:\n"
           "                        ~/.local/share/tolvak)\n"
           "      --no-audio        start the window without a sound device (the mix point\n"
           "                        editor cannot play; everything else works)\n"
           "\n"
           "With no mode option (--headless, --produce, --check) the program starts its window.\n"
           "Exit status is 2 when the command line is wrong.\n";
}

std::string VersionText() {
    return "tolvak " TOLVAK_VERSION "\n";
}

}  // namespace tolvak
