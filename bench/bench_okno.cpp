// The window's costs: the start-up to a painted main window (target: under 300 ms) and the
// processor time of the running window with the countdown ticking (target: under 1% of one
// core). Usage: bench_okno [--starts=N] [--seconds=S]. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
//
// Start-up: the program is started anew each time (exec of this program in its child mode),
// from before the exec to the end of the main window's first paint: loading Qt and the window
// library, the application, FormCreate, the settings, the 119 cells and the paint.
// Idle: the real `tolvak` window on a demo folder, its processor time over S seconds.

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/window/Form1.h"
#include "app/qt/QtEventPump.h"

namespace fs = std::filesystem;

namespace {

int64_t TerazNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void Stacja(const fs::path& folder) {
    fs::create_directories(folder);
    std::ofstream ini(folder / "tolvak.ini");
    ini << "[Ustawienia]\nCzyNews=1\nFolderZapisu=" << folder.string() << "/\n[Matryca]\n";
    for (int d = 1; d <= 5; ++d)
        for (int h = 6; h <= 20; ++h) ini << "d" << d << h << "=1\n";
}

/// Child mode: start the window and report the moment its first paint ended.
class PierwszyObraz : public QObject {
public:
    explicit PierwszyObraz(int fd) : fd_(fd) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && !zgloszone_) {
            zgloszone_ = true;
            // After the paint handler has run: the window is on the screen.
            QTimer::singleShot(0, [this] {
                const int64_t t = TerazNs();
                if (write(fd_, &t, sizeof t) != sizeof t) std::_Exit(3);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(o, e);
    }

private:
    int fd_;
    bool zgloszone_ = false;
};

int Dziecko(const char* folder, int fd, char* argv0) {
    const fs::path biblioteka = fs::read_symlink("/proc/self/exe").parent_path().parent_path() /
                                "libtolvak_window.so";
    // The program loads the window library before anything of Qt runs.
    if (!dlopen(biblioteka.c_str(), RTLD_NOW | RTLD_LOCAL)) return 4;
    int argc = 1;
    char* argv[] = {argv0, nullptr};
    QApplication app(argc, argv);
    tolvak::QtEventPump pompa;
    tolvak::TForm1 form(tolvak::ParametryOkna{folder, folder, nullptr, true});
    PierwszyObraz obraz(fd);
    form.installEventFilter(&obraz);
    if (!form.FormCreate()) return 5;
    form.show();
    const int rc = QApplication::exec();
    return rc;
}

double Start(const fs::path& folder, char* self) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const int64_t t0 = TerazNs();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execl(self, self, "--child", folder.c_str(), fd.c_str(), nullptr);
        std::_Exit(127);
    }
    close(fds[1]);
    int64_t t1 = 0;
    const bool ok = read(fds[0], &t1, sizeof t1) == sizeof t1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return ok ? static_cast<double>(t1 - t0) / 1e6 : -1;
}

double CzasProcesora(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(stat)), {});
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
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return Dziecko(argv[2], std::atoi(argv[3]), argv[0]);
    int starts = 10, sekundy = 30;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--starts=", 9) == 0) starts = std::atoi(argv[i] + 9);
        if (std::strncmp(argv[i], "--seconds=", 10) == 0) sekundy = std::atoi(argv[i] + 10);
    }
    setenv("QT_QPA_PLATFORM", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    setenv("TOLVAK_ONLINE", "1", 1);
    const fs::path tmp = fs::temp_directory_path() / ("tolvak_bench_okno_" + std::to_string(getpid()));
    Stacja(tmp / "stacja");
    fs::create_directories(tmp / "run");
    fs::permissions(tmp / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (tmp / "run").c_str(), 1);

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = 0;
    std::vector<double> czasy;
    for (int i = 0; i < starts; ++i) {
        const double ms = Start(tmp / "stacja", self);
        if (ms < 0) {
            std::fprintf(stderr, "bench_okno: the window did not start\n");
            return 1;
        }
        czasy.push_back(ms);
    }
    std::sort(czasy.begin(), czasy.end());
    std::printf("start to painted window: median %.1f ms, min %.1f ms, max %.1f ms (%d starts; "
                "target < 300 ms)\n",
                czasy[czasy.size() / 2], czasy.front(), czasy.back(), starts);

    if (sekundy > 0) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl(TOLVAK_BINARY, TOLVAK_BINARY, "--dir", (tmp / "stacja").c_str(), "--no-audio",
                  nullptr);
            std::_Exit(127);
        }
        // The start itself is not idle time: measure from 2 s on.
        timespec pauza{2, 0};
        nanosleep(&pauza, nullptr);
        const double c0 = CzasProcesora(pid);
        const auto w0 = std::chrono::steady_clock::now();
        timespec okres{sekundy, 0};
        nanosleep(&okres, nullptr);
        const double c1 = CzasProcesora(pid);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::printf("idle window with the countdown: %.3f%% of one core over %.0f s (target < 1%%)\n",
                    100.0 * (c1 - c0) / wall, wall);
    }
    fs::remove_all(tmp);
    return 0;
}
