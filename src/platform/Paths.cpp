#include "platform/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace tolvak {

namespace fs = std::filesystem;

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty()) return exe.parent_path();
    return fs::current_path(ec);
}

namespace {

/// The package's layout: the program in …/bin with its window library in …/lib/tolvak. Its own
/// folder (/usr/bin) is no place for a station's settings.
bool CzyUkladInstalacji(const fs::path& exe) {
    std::error_code ec;
    return exe.filename() == "bin" && fs::is_directory(exe.parent_path() / "lib" / "tolvak", ec);
}

/// $XDG_DATA_HOME/tolvak, else ~/.local/share/tolvak; created on first use (mode 0700), so the
/// window started from the desktop menu has a folder to keep its settings in.
fs::path FolderUzytkownika() {
    fs::path baza;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        baza = xdg;
    } else {
        // The default output folder is the user's home folder.
        baza = fs::path(DefaultOutputFolder()) / ".local" / "share";
    }
    const fs::path folder = baza / "tolvak";
    std::error_code ec;
    if (!fs::exists(folder, ec) && fs::create_directories(folder, ec))
        fs::permissions(folder, fs::perms::owner_all, ec);
    return folder;
}

}  // namespace

fs::path ProgramFolder(const std::optional<std::string>& dirOption) {
    fs::path folder;
    if (dirOption && !dirOption->empty()) {
        folder = *dirOption;
    } else if (const char* home = std::getenv("TOLVAK_HOME"); home && *home) {
        folder = home;
    } else if (const fs::path exe = ExecutableFolder(); CzyUkladInstalacji(exe)) {
        folder = FolderUzytkownika();
    } else {
        folder = exe;
    }
    std::error_code ec;
    fs::path abs = fs::absolute(folder, ec);
    return (ec ? folder : abs).lexically_normal();
}

std::string DefaultOutputFolder() {
#ifdef _WIN32
    return "C:\\";
#else
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    } else {
        home = "/";
    }
    return IncludeTrailingPathSeparator(home);
#endif
}

bool EndsWithPathSeparator(std::string_view path) {
    return !path.empty() && path.back() == PathSeparator();
}

std::string IncludeTrailingPathSeparator(std::string path) {
    if (!path.empty() && !EndsWithPathSeparator(path)) path += PathSeparator();
    return path;
}

}  // namespace tolvak
