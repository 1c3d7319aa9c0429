#pragma once
// INI profile files ("tolvak.ini", "tolvak.dat") with the private-profile semantics the rest of
// the program relies on:
//  - section and key names match without regard to (ASCII) case;
//  - a value is read with surrounding blanks removed and one pair of enclosing quotes (' or ")
//    dropped, at most 2047 characters (bytes; never splitting a UTF-8 sequence);
//  - integers are decimal or "0x"/"0X" hexadecimal; anything else gives the default;
//  - Booleans are read as integers (non-zero is true) and written "1" / "0";
//  - lines beginning with ';' or '#' are comments;
//  - a write replaces the value of an existing key in place, or adds the key at the end of its
//    section (creating the section or the file when needed); every other line — comments,
//    unknown keys, blank lines — stays exactly as it was;
//  - files are read with LF or CRLF line ends and written with CRLF;
//  - the text is UTF-8 in memory; a file keeps its encoding (platform/Kodowanie.h): a
//    byte-order mark (UTF-8, UTF-16), else UTF-8 when its bytes are valid UTF-8, else
//    Windows-1250 (a file from the Windows workstation), whose paths so reach the file system
//    as UTF-8; a value that Windows-1250 cannot hold turns such a file into UTF-8;
//  - every write replaces the file atomically (see AtomicFile.h).
// Each call opens the file, acts on one key and closes it; nothing is cached between calls.
// Reading a missing or unreadable file gives the defaults. A write to a file that exists but
// cannot be read throws instead of replacing it (its contents would be lost).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tolvak {

class IniFile {
public:
    explicit IniFile(std::filesystem::path file);

    const std::filesystem::path& FileName() const { return file_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    /// Throws std::invalid_argument for a section, key or value that would break the file's
    /// structure (line breaks, NUL; '=' or a leading '['/';'/'#' in a key; ']' in a section),
    /// std::system_error when the file cannot be read or replaced (platform/Bledy.h texts).
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    /// Removes the key's line; a missing file, section or key is left as it is (no write).
    void DeleteKey(std::string_view section, std::string_view key);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    /// Key names of a section in file order (as spelt in the file).
    std::vector<std::string> ReadSection(std::string_view section) const;

    /// The parsing rules, usable on a value from elsewhere.
    static bool ParseInteger(std::string_view text, int& value);

private:
    std::filesystem::path file_;
};

}  // namespace tolvak
