#pragma once
// One process at a time: an exclusive lock on a lock file (for example "tolvak.lock" in the
// program folder). The operating system releases it when the process ends in any way, a crash or
// a kill included, so a stale lock file never blocks a later start. The holder's process id is
// written into the file for whoever wonders who holds it.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tolvak {

/// Name of the program folder's lock file.
inline constexpr const char* NazwaPlikuBlokady = "tolvak.lock";

class FolderLock {
public:
    /// Takes the lock now, or answers std::nullopt when another holder has it. Throws
    /// the error of platform/Bledy.h when the lock file cannot be created or opened (a link at
    /// its name is refused: "dowiązanie symboliczne nie jest dozwolone").
    static std::optional<FolderLock> tryLock(const std::filesystem::path& lockFile);
    /// Waits up to `timeout` for the holder to let go (sleeping on file events, not polling).
    static std::optional<FolderLock> lockWithin(const std::filesystem::path& lockFile,
                                                std::chrono::milliseconds timeout);

    /// The process id of whoever holds the lock now, without taking it (a look at the system's
    /// lock table); std::nullopt when nobody does or there is no lock file.
    static std::optional<long> holder(const std::filesystem::path& lockFile);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    /// Lets go of the lock (the file stays).
    ~FolderLock();

    const std::filesystem::path& path() const { return path_; }

private:
    FolderLock(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace tolvak
