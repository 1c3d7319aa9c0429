#pragma once
// Shell commands that run beside the program: "/bin/sh -c" with extra environment variables,
// standard input from /dev/null, in a process group of their own, and a time limit after which
// the whole group is killed. The program never waits for them: a worker thread per command
// sleeps until the command ends, the limit passes or the runner is destroyed, and the end is
// reported on the user-interface thread.

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tolvak {

/// How a command ended.
struct WynikPolecenia {
    enum class Koniec {
        Kod,             // it exited; `kod` is its exit status
        Sygnal,          // a signal ended it; `kod` is the signal's number
        Limit,           // it ran past the limit; its process group was killed
        NieUruchomiono,  // it could not be started; `blad` says why
    };
    Koniec koniec = Koniec::Kod;
    int kod = 0;
    std::string blad;
};

class PolecenieWTle {
public:
    using Zmienne = std::vector<std::pair<std::string, std::string>>;
    using PoZakonczeniu = std::function<void(const WynikPolecenia&)>;

    explicit PolecenieWTle(std::chrono::milliseconds limit = std::chrono::seconds(30));
    /// Kills the process groups of the commands still running (without reporting them), reaps
    /// them and joins their threads. Runs the calls they posted meanwhile, so call it on the
    /// user-interface thread or on a thread that no worker waits for.
    ~PolecenieWTle();
    PolecenieWTle(const PolecenieWTle&) = delete;
    PolecenieWTle& operator=(const PolecenieWTle&) = delete;

    void SetLimit(std::chrono::milliseconds limit);
    std::chrono::milliseconds Limit() const;

    /// Starts `polecenie` with the program's environment plus `zmienne` (which replace variables
    /// of the same names). `poZakonczeniu` runs once on the user-interface thread when the
    /// command has ended (at once, here, when it could not be started).
    void Uruchom(const std::string& polecenie, const Zmienne& zmienne, PoZakonczeniu poZakonczeniu);

    /// Commands started and not yet reported.
    std::size_t Trwajace() const;

private:
    struct Zadanie;
    void Sprzatnij();  // joins the threads of commands already reported

    mutable std::mutex m_;
    std::chrono::milliseconds limit_;
    int stop_ = -1;  // eventfd: readable once the runner is being destroyed
    std::list<std::unique_ptr<Zadanie>> zadania_;
};

}  // namespace tolvak
