#pragma once
// File helpers shared by the sources and the production run: existence and size of a file, the
// block copy with progress that both the local file source and the delivery use.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Okno.h"

namespace tolvak {

/// Size in bytes of the named file; 0 when no file exists under the name. A file that exists
/// but cannot be opened for reading throws the error of platform/Bledy.h ("Nie można otworzyć
/// pliku X: brak uprawnień").
int64_t GetFileSize(const std::string& FileName);

/// True when a regular file (or a link to one) exists at `path`; never throws.
bool IstniejePlik(const std::string& path);

/// The extension of a name from outside: the text from its last "." when no "/", "\" or ":"
/// follows it, else empty.
std::string RozszerzenieZrodla(std::string_view sciezka);

/// The most that the local file source and `--input` copy: a bulletin is a few megabytes, and
/// a bigger "file" is a mistake that would fill the disk.
inline constexpr int64_t kMaksRozmiarWejscia = int64_t{512} << 20;
/// Throws the error of platform/Bledy.h unless `sciezka` names (through links) a regular file of
/// at most `maksBajtow` bytes: what KopiujPlik demands of its source, for a file used in place.
void SprawdzPlikWejsciowy(const std::string& sciezka, int64_t maksBajtow = kMaksRozmiarWejscia);

/// No limit for KopiujPlik.
inline constexpr int64_t kBezLimitu = -1;

/// True when the path holds a carriage return or a line feed, which would forge log lines.
bool MaZnakKoncaWiersza(std::string_view sciezka);
/// The path for a log line: carriage returns and line feeds written as "\r" and "\n".
std::string SciezkaDoLoga(std::string_view sciezka);

/// Copies `zrodlo` to `cel` in blocks of 256 bytes, letting the window process its messages
/// before every block, with the action label and the progress bar (in thousands of bytes).
/// Only a regular file is copied (a FIFO, a device or a socket is refused without waiting for
/// it), and only up to `maksBajtow` bytes (kBezLimitu: any size). The data goes to a temporary
/// file beside `cel` (platform/PlikiTymczasowe.h, marked `znacznik`: the mark of the program
/// folder) that is renamed over `cel` once complete, and the folder is synced, so `cel` is
/// never seen half-written, a replaced file stays intact until the rename, and a link planted
/// in the folder is never followed; on any failure the temporary file is removed. Throws the
/// error of platform/Bledy.h (a std::system_error naming the file, the operation and the reason
/// in Polish) when a file cannot be opened, read, written, closed or renamed, is not a regular
/// file ("to nie jest zwykły plik") or is too big ("plik jest za duży").
void KopiujPlik(const std::string& zrodlo, const std::string& cel, Okno& okno,
                std::string_view znacznik, int64_t maksBajtow = kBezLimitu);

}  // namespace tolvak
