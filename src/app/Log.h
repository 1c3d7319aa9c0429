#pragma once
// The event log "log.txt" in the program folder: newest line first, at most 400 lines, CR LF,
// each line "timestamp: message" with the regional short date and long time (only the date at
// exactly midnight). The file keeps its encoding (platform/Kodowanie.h): a byte-order mark
// (UTF-8, UTF-16 LE/BE) names it; without one, bytes that are valid UTF-8 (and a new file) are
// UTF-8, any other file is the Windows workstation's Windows-1250 and stays so. Every rewrite is
// atomic.
//
// The log never breaks its caller: when the file cannot be read or written the entry is lost,
// a note goes to standard error and DodajDoLoga returns normally. An existing file that cannot
// be read is left untouched (not replaced by a one-line log).

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Regional.h"

namespace tolvak {

/// Name of the log file in the program folder.
inline constexpr std::string_view NazwaPlikuLogu = "log.txt";

class Log {
public:
    static constexpr std::size_t MaksymalnaLiczbaLinii = 400;
    /// A line longer than this many bytes is cut and ends in "…": one runaway text (a server's
    /// page in an error) must not make every later entry rewrite megabytes.
    static constexpr std::size_t MaksymalnaDlugoscLinii = 4096;

    Log(std::filesystem::path logFile, const Clock& clock, RegionalFormats formats = {});

    /// The switch `czyLog`: on from program start; off means the file is neither created nor
    /// changed.
    void SetCzyLog(bool on);
    bool CzyLog() const;

    void SetFormats(const RegionalFormats& formats);
    const std::filesystem::path& FileName() const { return file_; }

    /// Adds one entry "timestamp: komunikat" as the first line of the file. Bytes of `komunikat`
    /// that are not UTF-8 are written as "\xNN", and the line is cut to MaksymalnaDlugoscLinii.
    void DodajDoLoga(std::string_view komunikat);

    /// The last line built ("timestamp: message"), also while the switch is off; empty before
    /// the first entry.
    std::string OstatniaLinia() const;

    /// Called with every line built (without line end), also while the switch is off: the
    /// switch is about the file. The headless --verbose mode mirrors lines to stderr through it.
    std::function<void(std::string_view line)> OnLine;

private:
    std::filesystem::path file_;
    const Clock& clock_;
    mutable std::recursive_mutex mutex_;  // an OnLine handler may log again
    RegionalFormats formats_;
    bool czyLog_ = true;
    std::string ostatnia_;
};

/// The newest `ile` lines of the log file `plik` (newest first), in UTF-8 whatever the file's
/// encoding; fewer when the file holds fewer, none when it is missing or unreadable.
std::vector<std::string> NajnowszeLinieLogu(const std::filesystem::path& plik, std::size_t ile);

}  // namespace tolvak
