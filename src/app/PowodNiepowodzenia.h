#pragma once
// Why a command-line run failed, in one line of the log's own text. `--produce` and `--check`
// without `--verbose` print nothing else, and a run that fails silently leaves the engineer (or
// the cron mail) without a clue; the log holds the reason, among the lines that open and close
// every run.

#include <string>
#include <string_view>
#include <vector>

namespace tolvak {

class Log;

class PowodNiepowodzenia {
public:
    /// Watches the lines `log` writes from now on, keeping the hook already set (the verbose
    /// mirror). The log must outlive this object's use and keep it registered only while it lives.
    explicit PowodNiepowodzenia(Log& log);

    /// The last message (without its time stamp) that is not one of the lines every check and
    /// every failed run writes around the reason; for a run, without such a message, its last
    /// message. Empty when nothing was logged, or for a check that only asked and answered.
    std::string Powod(bool przebieg) const;

    /// A message as the log wrote it, without the time stamp before its first ": ".
    static std::string_view BezCzasu(std::string_view linia);

private:
    std::vector<std::string> linie_;
};

}  // namespace tolvak
