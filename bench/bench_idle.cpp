// The idle scheduler: `tolvak --headless` with nothing to do, its processor time over 60 s of
// wall time (target: under 0.5% of one core), its wake-ups, and its resident memory (target:
// under 30 MiB). Usage: bench_idle [--seconds=N] (other arguments are ignored).

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Probka {
    double cpuSekundy = 0;
    long przelaczenia = 0;  // voluntary context switches: the wake-ups of a sleeping process
    long rssKiB = 0, szczytKiB = 0;
};

Probka Zmierz(pid_t pid) {
    Probka p;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    std::istringstream pola(s.substr(s.rfind(')') + 2));
    std::string pole;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; pola >> pole; ++i) {
        if (i == 14) utime = std::stoull(pole);
        if (i == 15) {
            stime = std::stoull(pole);
            break;
        }
    }
    p.cpuSekundy = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string l; std::getline(status, l);) {
        if (l.rfind("VmRSS:", 0) == 0) p.rssKiB = std::atol(l.c_str() + 6);
        if (l.rfind("VmHWM:", 0) == 0) p.szczytKiB = std::atol(l.c_str() + 6);
        if (l.rfind("voluntary_ctxt_switches:", 0) == 0) p.przelaczenia = std::atol(l.c_str() + 24);
    }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    int sekundy = 60;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--seconds=", 10) == 0) sekundy = std::atoi(argv[i] + 10);

    std::string szablon = (fs::temp_directory_path() / "tolvak-idle-XXXXXX").string();
    if (!mkdtemp(szablon.data())) return 1;
    const fs::path folder = szablon;
    fs::create_directories(folder / "out");
    std::ofstream(folder / "tolvak.ini") << "[Ustawienia]\r\nFolderZapisu=" << (folder / "out").string()
                                         << "\r\n";

    int rura[2];
    if (pipe2(rura, O_CLOEXEC) != 0) return 1;
    setenv("TOLVAK_ONLINE", "1", 1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(rura[1], 2);
        execl(TOLVAK_BINARY, TOLVAK_BINARY, "--headless", "--verbose", "--dir", folder.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(rura[1]);
    // Wait for the start-up to end: its log line comes before the timers start.
    std::string wyjscie;
    char buf[1024];
    while (wyjscie.find("Start programu") == std::string::npos) {
        pollfd p{rura[0], POLLIN, 0};
        const ssize_t n = poll(&p, 1, 30000) > 0 ? read(rura[0], buf, sizeof buf) : 0;
        if (n <= 0) {
            std::fprintf(stderr, "bench_idle: tolvak --headless did not start:\n%s\n", wyjscie.c_str());
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            fs::remove_all(folder);
            return 1;
        }
        wyjscie.append(buf, static_cast<size_t>(n));
    }
    // Let the start-up's own work settle before measuring.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const Probka a = Zmierz(pid);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(sekundy));
    const Probka b = Zmierz(pid);
    const double sciana = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(rura[0]);
    fs::remove_all(folder);

    const double cpu = 100.0 * (b.cpuSekundy - a.cpuSekundy) / sciana;
    const double rss = static_cast<double>(b.rssKiB) / 1024.0;
    std::printf("idle CPU:        %.3f%% of one core over %.0f s (target < 0.5%%: %s)\n", cpu, sciana,
                cpu < 0.5 ? "met" : "MISSED");
    std::printf("wake-ups:        %.1f per second\n",
                static_cast<double>(b.przelaczenia - a.przelaczenia) / sciana);
    std::printf("resident memory: %.1f MiB, peak %.1f MiB (target < 30 MiB: %s)\n", rss,
                static_cast<double>(b.szczytKiB) / 1024.0, rss < 30 ? "met" : "MISSED");
    std::printf("clean end:       %s\n", WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "yes" : "NO");
    return 0;
}
