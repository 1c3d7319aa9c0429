#include "app/Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Kodowanie.h"

namespace tolvak {

namespace {

// Lines separated by CR LF, LF or CR; a final line end ends the last line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

/// Holds an exclusive lock on the log's folder while the whole file is read and replaced: a
/// `--check` beside the scheduler logs into the same file, and without it one of two lines
/// written at the same moment would be lost. The folder itself is locked, so no lock file
/// appears; without one (a folder that cannot be opened) the write goes on unguarded.
class ZapisDoLoga {
public:
    explicit ZapisDoLoga(const std::filesystem::path& plik) {
        const std::filesystem::path folder = plik.parent_path().empty() ? "." : plik.parent_path();
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~ZapisDoLoga() {
        if (fd_ >= 0) ::close(fd_);
    }
    ZapisDoLoga(const ZapisDoLoga&) = delete;
    ZapisDoLoga& operator=(const ZapisDoLoga&) = delete;

private:
    int fd_ = -1;
};

/// `linia` cut to the longest line allowed, with "…" in place of what is cut.
std::string PrzytnijDoLimitu(std::string linia) {
    constexpr std::string_view kWielokropek = "…";
    if (linia.size() <= Log::MaksymalnaDlugoscLinii) return linia;
    linia.resize(DlugoscDoGranicy(linia, Log::MaksymalnaDlugoscLinii - kWielokropek.size()));
    linia += kWielokropek;
    return linia;
}

}  // namespace

Log::Log(std::filesystem::path logFile, const Clock& clock, RegionalFormats formats)
    : file_(std::move(logFile)), clock_(clock), formats_(std::move(formats)) {}

void Log::SetCzyLog(bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    czyLog_ = on;
}

bool Log::CzyLog() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return czyLog_;
}

void Log::SetFormats(const RegionalFormats& formats) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    formats_ = formats;
}

std::string Log::OstatniaLinia() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return ostatnia_;
}

void Log::DodajDoLoga(std::string_view komunikat) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::string line;
    try {
        // Only as much of the message as can stay is looked at: a 100 MB text costs nothing.
        const std::string_view poczatek =
            komunikat.substr(0, DlugoscDoGranicy(komunikat, MaksymalnaDlugoscLinii));
        line = DateTimeText(clock_.now(), formats_) + ": " + JakoUtf8(poczatek);
        line = PrzytnijDoLimitu(std::move(line));
        ostatnia_ = line;
        if (OnLine) OnLine(line);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvak: dziennik: %s\n", e.what());
    }
    if (!czyLog_ || line.empty()) return;

    try {
        const ZapisDoLoga zapis(file_);
        std::string bytes;
        ReadWholeFile(file_, bytes);
        const TekstPliku stary = OdczytajTekst(bytes);
        std::vector<std::string> lines = SplitLines(stary.tekst);
        for (std::string& l : lines) l = PrzytnijDoLimitu(std::move(l));
        lines.insert(lines.begin(), line);
        if (lines.size() > MaksymalnaLiczbaLinii) lines.resize(MaksymalnaLiczbaLinii);
        std::string text;
        for (const auto& l : lines) {
            text += l;
            text += "\r\n";
        }
        WriteFileAtomically(file_, ZapiszTekst(text, stary.kodowanie));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvak: wpis dziennika utracony (%s): %s\n", e.what(), line.c_str());
    }
}

}  // namespace tolvak

namespace tolvak {

std::vector<std::string> NajnowszeLinieLogu(const std::filesystem::path& plik, std::size_t ile) {
    std::string bytes;
    try {
        ReadWholeFile(plik, bytes);
    } catch (const std::exception&) {
        return {};
    }
    std::vector<std::string> lines = SplitLines(OdczytajTekst(bytes).tekst);
    if (lines.size() > ile) lines.resize(ile);
    return lines;
}

}  // namespace tolvak
