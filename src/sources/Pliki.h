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

/// The name of the temporary file that a copy to `cel` writes first: in the same folder, a
/// leading dot and ".part" appended, so that no playout watching the folder takes it for audio.
std::string NazwaTymczasowa(const std::string& cel);

/// Copies `zrodlo` to `cel` in blocks of 256 bytes, letting the window process its messages
/// before every block, with the action label and the progress bar (in thousands of bytes).
/// The data goes to a temporary file beside `cel` (NazwaTymczasowa) that is renamed over `cel`
/// once complete, so `cel` is never seen half-written and a replaced file stays intact until
/// the rename; on any failure the temporary file is removed. Throws the error of
/// platform/Bledy.h (a std::system_error naming the file, the operation and the reason in
/// Polish) when a file cannot be opened, read, written, closed or renamed.
void KopiujPlik(const std::string& zrodlo, const std::string& cel, Okno& okno);

}  // namespace tolvak
