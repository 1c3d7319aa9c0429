#pragma once
// Text encodings of the stored files ("tolvak.ini", "tolvak.dat", "log.txt"). Inside the program
// every text is UTF-8; a file keeps the encoding it was found in, because a station that moved
// its files from the Windows workstation brings them in that workstation's code page
// (Windows-1250) and may still open them there. The conversions are glibc's iconv.

#include <string>
#include <string_view>

namespace tolvak {

enum class Kodowanie {
    Utf8,         // no byte-order mark: the native encoding here, and that of a new file
    Utf8ZBom,     // EF BB BF
    Utf16LE,      // FF FE
    Utf16BE,      // FE FF
    Windows1250,  // no mark and not valid UTF-8: the Polish workstation's code page
};

/// A stored file's text in UTF-8 (without a byte-order mark) and the encoding to write it back in.
struct TekstPliku {
    std::string tekst;
    Kodowanie kodowanie = Kodowanie::Utf8;
};

/// The rule for a file's bytes: a byte-order mark names the encoding; otherwise bytes that are
/// valid UTF-8 are UTF-8; otherwise the file is Windows-1250. In a Windows-1250 file a line that
/// is itself valid UTF-8 is taken as UTF-8: earlier builds added UTF-8 lines to carried-over
/// files, and this reads such a mixed file back whole. Invalid UTF-16 becomes U+FFFD.
TekstPliku OdczytajTekst(std::string_view bajty);

/// The bytes of UTF-8 `tekst` in `kodowanie`, with the byte-order mark of Utf8ZBom, Utf16LE and
/// Utf16BE. A character that Windows-1250 lacks is transliterated ("Ж" becomes "ZH", else "?");
/// bytes that are not UTF-8 become "?" in Windows-1250 and U+FFFD in UTF-16. Utf8 passes the
/// bytes through unchanged.
std::string ZapiszTekst(std::string_view tekst, Kodowanie kodowanie);

/// True when Windows-1250 holds every character of UTF-8 `tekst` (a caller that must not lose a
/// letter, such as a path in the settings, writes UTF-8 instead when it does not).
bool MiesciSieWWindows1250(std::string_view tekst);

/// True when the bytes are valid UTF-8 (no overlong forms, no surrogates).
bool JestUtf8(std::string_view bajty);

/// `bajty` as valid UTF-8: every byte that does not belong to a well-formed UTF-8 character (no
/// overlong forms, no surrogates, nothing above U+10FFFF) written as "\xNN" (upper-case hex),
/// so that a text from outside (a server's header, a file name) can never turn a UTF-8 file into
/// something else. Valid text is returned unchanged.
std::string JakoUtf8(std::string_view bajty);

/// The length of the longest start of UTF-8 `tekst` that has at most `maks` bytes and does not
/// end inside a character.
std::size_t DlugoscDoGranicy(std::string_view tekst, std::size_t maks);

/// Converts between two of iconv's encodings ("UTF-8", "WINDOWS-1250", "UTF-16LE", ...). An
/// input sequence that is invalid in `z` is replaced by `zamiennik` (already in `na`), skipping
/// `krokBledu` bytes of input. Throws std::runtime_error when iconv lacks the conversion.
std::string KonwertujKodowanie(std::string_view bajty, const char* z, const char* na,
                               std::string_view zamiennik, std::size_t krokBledu = 1);

}  // namespace tolvak
