#pragma once
// Decoding of any sound file the decoder reads (MP3, MP2, WAV in its encodings) into a
// 16-bit PCM WAV work file with the plain 44-byte header.

#include <string>

#include "platform/Okno.h"

namespace tolvak {

/// Decodes `wejscie` into a 16-bit PCM WAV file `wyjscie` at the source's own rate and channel
/// count, reporting in `LAkcja` and `Gauge1` of `okno`.
/// A missing or unreadable `wejscie` throws EFOpenError (see audio/DecodeStream.h). A source that
/// cannot be decoded, or an output that cannot be created or written, leaves `wyjscie` as it
/// was and reports no error.
void mp3ToWav(const std::string& wejscie, const std::string& wyjscie, Okno& okno);

}  // namespace tolvak
