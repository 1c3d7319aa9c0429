#include "platform/FolderLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>

#include "platform/Bledy.h"

namespace tolvak {

namespace {

[[noreturn]] void fail(int err, const std::filesystem::path& file) {
    ZglosBladPliku(OperacjaNaPliku::Otwarcie, file.native(), err);
}

/// Closes a descriptor at the end of a scope unless released.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

int openLockFile(const std::filesystem::path& file) {
    // A link planted at the lock file's name must not make the process id overwrite its target.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) fail(errno, file);
    return fd;
}

/// True when the lock was taken; false when another open file holds it.
bool tryFlock(int fd, const std::filesystem::path& file) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) fail(errno, file);
    }
    return true;
}

void writePid(int fd) {
    const std::string pid = std::to_string(::getpid()) + "\n";
    // Only a note for people: a failure to write it does not matter.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
}

}  // namespace

std::optional<FolderLock> FolderLock::tryLock(const std::filesystem::path& lockFile) {
    Fd fd{openLockFile(lockFile)};
    if (!tryFlock(fd.fd, lockFile)) return std::nullopt;
    writePid(fd.fd);
    return FolderLock(lockFile, fd.release());
}

std::optional<FolderLock> FolderLock::lockWithin(const std::filesystem::path& lockFile,
                                                 std::chrono::milliseconds timeout) {
    Fd fd{openLockFile(lockFile)};
    // The holder lets go when its descriptor is closed (at its end at the latest), which the
    // file's close event reports; watch before trying, so that no release slips between.
    Fd watch{::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)};
    if (watch.fd < 0) fail(errno, lockFile);
    if (::inotify_add_watch(watch.fd, lockFile.c_str(), IN_CLOSE) < 0)
        fail(errno, lockFile);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (tryFlock(fd.fd, lockFile)) {
            writePid(fd.fd);
            return FolderLock(lockFile, fd.release());
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{watch.fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) fail(errno, lockFile);
        // Drain the events; any close may have been the holder's.
        alignas(inotify_event) char buf[4096];
        while (::read(watch.fd, buf, sizeof buf) > 0) {
        }
    }
}

std::optional<long> FolderLock::holder(const std::filesystem::path& lockFile) {
    struct stat st{};
    if (::lstat(lockFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // Each line: "1: FLOCK  ADVISORY  WRITE 1234 08:01:56789 0 EOF"; a waiter's has "->".
    std::ifstream tabela("/proc/locks");
    char dev[64];
    std::snprintf(dev, sizeof dev, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    for (std::string linia; std::getline(tabela, linia);) {
        std::istringstream pola(linia);
        std::string nr, typ, rodzaj, tryb, pid, plik;
        pola >> nr >> typ;
        if (typ == "->") continue;
        pola >> rodzaj >> tryb >> pid >> plik;
        if (typ == "FLOCK" && plik == dev) return std::stol(pid);
    }
    if (tabela.is_open()) return std::nullopt;
    // Without the table: a shared lock is refused while the holder has its exclusive one, and
    // the holder wrote its id into the file.
    Fd fd{::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    if (fd.fd < 0) return std::nullopt;
    if (::flock(fd.fd, LOCK_SH | LOCK_NB) == 0) return std::nullopt;
    char buf[32] = {};
    if (::pread(fd.fd, buf, sizeof buf - 1, 0) <= 0) return 0L;
    return std::strtol(buf, nullptr, 10);
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace tolvak
