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

fs::path ProgramFolder(const std::optional<std::string>& dirOption) {
    fs::path folder;
    if (dirOption && !dirOption->empty()) {
        folder = *dirOption;
    } else if (const char* home = std::getenv("TOLVAK_HOME"); home && *home) {
        folder = home;
    } else {
        folder = ExecutableFolder();
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
