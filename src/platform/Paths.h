#pragma once
// Folders of the program: the program folder (configuration, state file, log, work files), the
// default output folder, and path separator helpers. The platform's separator is '/' here:
// where the Windows build writes "\" (the output folder's trailing backslash, "C:\"), this one
// writes "/".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tolvak {

/// The folder that holds the program's files: the `--dir` value when given, else the
/// environment variable TOLVAK_HOME when set and non-empty, else the executable's folder; an
/// installed program (…/bin/tolvak beside …/lib/tolvak) uses $XDG_DATA_HOME/tolvak (by default
/// ~/.local/share/tolvak) instead, created when missing. Always absolute.
std::filesystem::path ProgramFolder(const std::optional<std::string>& dirOption);

/// The folder of the running executable (absolute).
std::filesystem::path ExecutableFolder();

/// Default of `FolderZapisu`: "C:\" on Windows, the user's home folder with a trailing "/"
/// elsewhere.
std::string DefaultOutputFolder();

/// The platform's path separator ('/' here, '\\' on Windows).
constexpr char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

/// True when the text ends in the platform's separator.
bool EndsWithPathSeparator(std::string_view path);
/// Appends the separator unless the text is empty or already ends in it.
std::string IncludeTrailingPathSeparator(std::string path);

}  // namespace tolvak
