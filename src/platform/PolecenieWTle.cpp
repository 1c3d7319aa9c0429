#include "platform/PolecenieWTle.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <system_error>
#include <thread>

#include "platform/Bledy.h"
#include "platform/UiQueue.h"

extern char** environ;

namespace tolvak {

namespace {

using Zegar = std::chrono::steady_clock;

/// The environment of the child: ours without the variables that `zmienne` replaces, then those.
std::vector<std::string> Srodowisko(const PolecenieWTle::Zmienne& zmienne) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view wpis(*e);
        const std::string_view nazwa = wpis.substr(0, wpis.find('='));
        bool zastapiona = false;
        for (const auto& [k, v] : zmienne) zastapiona = zastapiona || k == nazwa;
        if (!zastapiona) env.emplace_back(wpis);
    }
    for (const auto& [k, v] : zmienne) env.push_back(k + "=" + v);
    return env;
}

// glibc 2.36's <sys/pidfd.h> declares pidfd_open without C linkage: call the system directly.
int OtworzPidfd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

void Czekaj(pid_t pid, int& status) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

/// Spawns "/bin/sh -c polecenie": stdin from /dev/null, no descriptor of ours beyond 0-2, a
/// process group of its own (so the limit ends the command's children too), the signals that
/// this program handles or ignores back at their defaults. Returns 0 or an errno value.
int Uruchom(const std::string& polecenie, const PolecenieWTle::Zmienne& zmienne, pid_t& pid) {
    std::vector<std::string> env = Srodowisko(zmienne);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string sh = "sh", c = "-c", cmd = polecenie;
    char* argv[] = {sh.data(), c.data(), cmd.data(), nullptr};

    posix_spawn_file_actions_t akcje;
    posix_spawnattr_t atrybuty;
    posix_spawn_file_actions_init(&akcje);
    posix_spawnattr_init(&atrybuty);
    posix_spawn_file_actions_addopen(&akcje, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&akcje, 3);
    posix_spawnattr_setflags(&atrybuty, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                            POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&atrybuty, 0);
    sigset_t maska;
    sigemptyset(&maska);
    posix_spawnattr_setsigmask(&atrybuty, &maska);
    sigset_t domyslne;
    sigemptyset(&domyslne);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&domyslne, s);
    posix_spawnattr_setsigdefault(&atrybuty, &domyslne);
    const int rc = posix_spawn(&pid, "/bin/sh", &akcje, &atrybuty, argv, envp.data());
    posix_spawn_file_actions_destroy(&akcje);
    posix_spawnattr_destroy(&atrybuty);
    return rc;
}

}  // namespace

struct PolecenieWTle::Zadanie {
    std::thread watek;
    std::atomic<bool> zgloszone{false};
};

PolecenieWTle::PolecenieWTle(std::chrono::milliseconds limit) : limit_(limit) {
    stop_ = eventfd(0, EFD_CLOEXEC);
    if (stop_ < 0) throw std::system_error(errno, KategoriaBledow(), "eventfd");
}

PolecenieWTle::~PolecenieWTle() {
    const uint64_t jeden = 1;
    [[maybe_unused]] const ssize_t n = write(stop_, &jeden, sizeof jeden);
    // A worker may be handing its report to the user-interface thread right now: run it.
    UiQueue::instance().processUntil([this] { return Trwajace() == 0; });
    for (auto& z : zadania_)
        if (z->watek.joinable()) z->watek.join();
    close(stop_);
}

void PolecenieWTle::SetLimit(std::chrono::milliseconds limit) {
    std::lock_guard lock(m_);
    limit_ = limit;
}

std::chrono::milliseconds PolecenieWTle::Limit() const {
    std::lock_guard lock(m_);
    return limit_;
}

std::size_t PolecenieWTle::Trwajace() const {
    std::lock_guard lock(m_);
    std::size_t n = 0;
    for (const auto& z : zadania_) n += z->zgloszone ? 0 : 1;
    return n;
}

void PolecenieWTle::Sprzatnij() {
    std::lock_guard lock(m_);
    for (auto it = zadania_.begin(); it != zadania_.end();) {
        if ((*it)->zgloszone) {
            (*it)->watek.join();
            it = zadania_.erase(it);
        } else {
            ++it;
        }
    }
}

void PolecenieWTle::Uruchom(const std::string& polecenie, const Zmienne& zmienne,
                            PoZakonczeniu poZakonczeniu) {
    Sprzatnij();
    pid_t pid = -1;
    if (const int rc = tolvak::Uruchom(polecenie, zmienne, pid); rc != 0) {
        if (poZakonczeniu) poZakonczeniu({WynikPolecenia::Koniec::NieUruchomiono, 0, OpisBledu(rc)});
        return;
    }
    // The child's end as a descriptor that poll watches, so the worker sleeps until it comes.
    const int pidfd = OtworzPidfd(pid);
    if (pidfd < 0) {
        const int e = errno;
        kill(-pid, SIGKILL);
        int status = 0;
        Czekaj(pid, status);
        if (poZakonczeniu) poZakonczeniu({WynikPolecenia::Koniec::NieUruchomiono, 0, OpisBledu(e)});
        return;
    }
    auto zadanie = std::make_unique<Zadanie>();
    Zadanie* z = zadanie.get();
    const Zegar::time_point termin = Zegar::now() + Limit();
    const int stop = stop_;
    {
        std::lock_guard lock(m_);
        zadania_.push_back(std::move(zadanie));
    }
    z->watek = std::thread([z, pid, pidfd, termin, stop, cb = std::move(poZakonczeniu)] {
        bool limit = false, przerwane = false;
        pollfd fds[2] = {{pidfd, POLLIN, 0}, {stop, POLLIN, 0}};
        for (;;) {
            const auto zostalo =
                std::chrono::ceil<std::chrono::milliseconds>(termin - Zegar::now()).count();
            if (zostalo <= 0) {
                limit = true;
                break;
            }
            const int r = poll(fds, 2, static_cast<int>(std::min<int64_t>(zostalo, INT_MAX)));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                limit = true;  // no way to wait any more: end it rather than leave it running
                break;
            }
            if (fds[0].revents) break;
            if (fds[1].revents) {
                przerwane = true;
                break;
            }
        }
        if (limit || przerwane) kill(-pid, SIGKILL);
        int status = 0;
        Czekaj(pid, status);
        close(pidfd);
        WynikPolecenia w;
        if (limit) {
            w.koniec = WynikPolecenia::Koniec::Limit;
        } else if (WIFSIGNALED(status)) {
            w.koniec = WynikPolecenia::Koniec::Sygnal;
            w.kod = WTERMSIG(status);
        } else {
            w.kod = WEXITSTATUS(status);
        }
        if (!przerwane && cb) {
            try {
                UiQueue::instance().invokeAndWait([&] { cb(w); });
            } catch (...) {
                // The report is only a log line; losing it must not end the program.
            }
        }
        z->zgloszone = true;
        UiQueue::instance().notify();
    });
}

}  // namespace tolvak
