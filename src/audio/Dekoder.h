#pragma once
// Decoding of any sound file the decoder reads (MP3, MP2, WAV in its encodings, MPEG audio in a
// WAV container) into a 16-bit PCM WAV work file with the plain 44-byte header.

#include <optional>
#include <stdexcept>
#include <string>

#include "audio/DecodeStream.h"
#include "platform/Okno.h"

namespace tolvak {

/// Decodes `wejscie` into a 16-bit PCM WAV file `wyjscie`, reporting in `LAkcja` and `Gauge1`
/// of `okno`: at the source's own rate and channel count, or converted to `format` when one is
/// given (audio/ConvertStream.h). Returns the format written; std::nullopt when the source is
/// not a sound the decoder reads (empty, an error page, damaged), and then `wyjscie` stays as
/// it was.
/// A missing or unreadable `wejscie` throws EFOpenError; an output that cannot be created,
/// written or put in place throws the error of platform/Bledy.h naming `wyjscie` (a
/// std::system_error), and `wyjscie` stays as it was.
std::optional<audiolib::PcmFormat> mp3ToWav(const std::string& wejscie, const std::string& wyjscie,
                                            Okno& okno,
                                            std::optional<audiolib::PcmFormat> format = std::nullopt);

/// The format `plik` decodes to; std::nullopt when it is not a sound. Throws EFOpenError.
std::optional<audiolib::PcmFormat> FormatDzwieku(const std::string& plik);

/// The error of a sound file that holds no sound: "Plik " + plik + " nie zawiera dźwięku".
std::runtime_error BrakDzwieku(const std::string& plik);

}  // namespace tolvak
