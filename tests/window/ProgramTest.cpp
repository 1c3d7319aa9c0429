// The program itself: the window mode loads its library only when it is chosen, says so when
// the library is missing, ends cleanly on SIGTERM, and installed keeps its folder per user.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "OknoTestowe.h"

namespace tolvak::test {
namespace {

std::string Wyjscie(const std::string& polecenie, int& rc) {
    std::string out;
    FILE* p = popen(polecenie.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    rc = pclose(p);
    return out;
}

TEST(ProgramTest, TheProgramLinksNoGuiLibraryAndSaysWhenTheWindowLibraryIsMissing) {
    int rc = 0;
    const std::string needed = Wyjscie("readelf -d '" TOLVAK_BINARY "'", rc);
    ASSERT_EQ(rc, 0);
    EXPECT_NE(needed.find("libQt6Core"), std::string::npos);
    EXPECT_EQ(needed.find("libQt6Gui"), std::string::npos);
    EXPECT_EQ(needed.find("libQt6Widgets"), std::string::npos);

    TempDir dir;
    std::filesystem::copy_file(TOLVAK_BINARY, dir / "tolvak");
    std::filesystem::permissions(dir / "tolvak", std::filesystem::perms::owner_all);
    const std::string err = Wyjscie("env -u LD_LIBRARY_PATH '" + (dir / "tolvak").string() +
                                        "' --dir '" + dir.path().string() + "' 2>&1",
                                    rc);
    EXPECT_TRUE(WIFEXITED(rc));
    EXPECT_NE(WEXITSTATUS(rc), 0);
    EXPECT_NE(err.find("libtolvak_window.so"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
}

TEST(ProgramTest, TheInstalledProgramKeepsItsDefaultProgramFolderInTheUsersDataFolder) {
    for (const bool zainstalowany : {true, false}) {
        TempDir t;
        std::filesystem::create_directories(t / "usr/bin");
        if (zainstalowany) std::filesystem::create_directories(t / "usr/lib/tolvak");
        std::filesystem::copy_file(TOLVAK_BINARY, t / "usr/bin/tolvak");
        int rc = 0;
        Wyjscie("env -u TOLVAK_HOME -u XDG_DATA_HOME HOME='" + t.path().string() + "' '" +
                    (t / "usr/bin/tolvak").string() + "' --status 2>&1",
                rc);
        EXPECT_EQ(std::filesystem::is_directory(t / ".local/share/tolvak"), zainstalowany);
    }
}

TEST(ProgramTest, TheWindowStartsAndEndsOnSigtermWritingItsKeysAndLastLine) {
    TempDir dir, run;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("TOLVAK_ONLINE", "1", 1);
        setenv("XDG_RUNTIME_DIR", run.path().c_str(), 1);
        execl(TOLVAK_BINARY, TOLVAK_BINARY, "--dir", dir.path().c_str(), "--no-audio",
              "--verbose", nullptr);
        _exit(127);
    }
    close(fds[1]);
    // Blocking reads of the program's log lines: no polling.
    std::string err;
    char buf[1024];
    bool wystartowal = false;
    for (ssize_t n; !wystartowal && (n = read(fds[0], buf, sizeof buf)) > 0;) {
        err.append(buf, static_cast<size_t>(n));
        wystartowal = err.find("Start programu") != std::string::npos;
    }
    ASSERT_TRUE(wystartowal) << err;
    kill(pid, SIGTERM);
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("Zamknięcie programu."), std::string::npos) << err;
    std::ifstream ini(dir / "tolvak.ini");
    const std::string tresc((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(tresc.find("ZatrzymajSprawdzanie=0"), std::string::npos);
}

}  // namespace
}  // namespace tolvak::test
