#pragma once
#include <filesystem>
#include <string>

namespace tolvak::test {

/// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    /// A fresh folder under `root` (for example a memory file system for tests that write much).
    explicit TempDir(const std::filesystem::path& root);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace tolvak::test
