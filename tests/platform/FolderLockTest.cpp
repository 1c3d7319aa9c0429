// The program folder's lock: one holder at a time, released by the end of its process whatever
// the end, and a wait that wakes when the holder lets go.

#include "platform/FolderLock.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "support/TempDir.h"

namespace tolvak {
namespace {

/// A child process that takes the lock with bare system calls, reports it on a pipe and waits for
/// a byte on another pipe, then dies of SIGKILL.
struct Posiadacz {
    pid_t pid = -1;
    int doRodzica[2], doDziecka[2];
    explicit Posiadacz(const std::filesystem::path& plik) {
        EXPECT_EQ(::pipe(doRodzica), 0);
        EXPECT_EQ(::pipe(doDziecka), 0);
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(plik.c_str(), O_RDWR | O_CREAT, 0644);
            const char ok = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
            [[maybe_unused]] ssize_t n = ::write(doRodzica[1], &ok, 1);
            char c;
            n = ::read(doDziecka[0], &c, 1);
            ::kill(::getpid(), SIGKILL);
        }
        char ok = 0;
        EXPECT_EQ(::read(doRodzica[0], &ok, 1), 1);
        EXPECT_EQ(ok, 'y');
    }
    void Zabij() {
        const char c = 'x';
        EXPECT_EQ(::write(doDziecka[1], &c, 1), 1);
    }
    ~Posiadacz() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        for (int fd : {doRodzica[0], doRodzica[1], doDziecka[0], doDziecka[1]}) ::close(fd);
    }
};

TEST(FolderLock, OneHolderAtATimeAndTheLockFileStays) {
    test::TempDir tmp;
    const auto plik = tmp / "tolvak.lock";
    std::optional<FolderLock> pierwsza = FolderLock::tryLock(plik);
    ASSERT_TRUE(pierwsza);
    EXPECT_FALSE(FolderLock::tryLock(plik));
    EXPECT_FALSE(FolderLock::lockWithin(plik, std::chrono::milliseconds(20)));
    FolderLock przeniesiona = std::move(*pierwsza);
    pierwsza.reset();
    EXPECT_FALSE(FolderLock::tryLock(plik));  // moving does not let go
    { [[maybe_unused]] FolderLock koniec = std::move(przeniesiona); }
    EXPECT_TRUE(FolderLock::tryLock(plik));
    EXPECT_TRUE(std::filesystem::exists(plik));
    EXPECT_THROW(FolderLock::tryLock(tmp / "brak" / "tolvak.lock"), std::system_error);
}

TEST(FolderLock, AKilledHolderNeverBlocksTheNextStartAndAWaiterWakesAtItsEnd) {
    test::TempDir tmp;
    const auto plik = tmp / "tolvak.lock";
    {
        Posiadacz p(plik);
        EXPECT_FALSE(FolderLock::tryLock(plik));
        p.Zabij();
    }
    EXPECT_TRUE(FolderLock::tryLock(plik));

    Posiadacz p(plik);
    std::thread zabojca([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        p.Zabij();
    });
    const auto start = std::chrono::steady_clock::now();
    std::optional<FolderLock> l = FolderLock::lockWithin(plik, std::chrono::seconds(30));
    zabojca.join();
    EXPECT_TRUE(l);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace tolvak
