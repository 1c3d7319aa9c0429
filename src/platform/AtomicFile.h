#pragma once
// Replacing a file so that a crash or a power cut at any moment leaves either the old contents or
// the new ones, never a mixture: the bytes go to a temporary file in the same folder, are flushed
// to the disk, and the temporary file is renamed over the target.

#include <filesystem>
#include <string>
#include <string_view>

namespace tolvak {

/// Writes `bytes` as the whole new contents of `target`. Creates the file when it does not exist.
/// On failure (no such folder, no rights, disk full) throws std::system_error naming the file
/// and the operation (platform/Bledy.h: "Nie można zapisać pliku X: brak miejsca na dysku");
/// the old file then stays exactly as it was and no temporary file is left behind.
/// A symbolic link is followed: the file it points to is replaced, the link stays.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

/// Reads a whole file. Returns false when the file does not exist (`bytes` emptied);
/// throws std::system_error (platform/Bledy.h) when it exists but cannot be read.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

}  // namespace tolvak
