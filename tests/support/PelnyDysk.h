#pragma once
// A disk that fills up: while a PelnyDysk lives, no file of this process grows past `bajty`
// bytes, and a write beyond that fails with EFBIG as a write to a full disk fails with ENOSPC
// (the process limit RLIMIT_FSIZE, with its signal ignored). Tests run one per process.

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

namespace tolvak::test {

class PelnyDysk {
public:
    explicit PelnyDysk(std::uint64_t bajty) {
        ::getrlimit(RLIMIT_FSIZE, &przed_);
        sygnal_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit teraz = przed_;
        teraz.rlim_cur = bajty;
        ::setrlimit(RLIMIT_FSIZE, &teraz);
    }
    ~PelnyDysk() {
        ::setrlimit(RLIMIT_FSIZE, &przed_);
        ::signal(SIGXFSZ, sygnal_);
    }
    PelnyDysk(const PelnyDysk&) = delete;
    PelnyDysk& operator=(const PelnyDysk&) = delete;

private:
    rlimit przed_{};
    sighandler_t sygnal_ = SIG_DFL;
};

}  // namespace tolvak::test
