#pragma once
// SIGTERM and SIGINT on the Qt event loop. The first one is handed to the loop of the thread that
// created this object (also to a loop nested in a production run that processes its messages);
// a second one ends the process at once, by the signal's default action, whatever it is doing.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tolvak {

class SygnalyZakonczenia {
public:
    /// `naPierwszy` runs on the loop with the signal's number. Only one such object at a time.
    explicit SygnalyZakonczenia(std::function<void(int sygnal)> naPierwszy);
    /// Restores the default actions.
    ~SygnalyZakonczenia();
    SygnalyZakonczenia(const SygnalyZakonczenia&) = delete;
    SygnalyZakonczenia& operator=(const SygnalyZakonczenia&) = delete;

private:
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> naPierwszy_;
};

}  // namespace tolvak
