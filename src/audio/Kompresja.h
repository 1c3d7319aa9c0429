#pragma once
// Dynamics compression of a WAV work file, in place.

#include <string>

#include "platform/Okno.h"

namespace tolvak {

/// Runs the WAV file `nagranie` through the dynamics compressor with an output gain of `gain`
/// dB (the other parameters keep the compressor's initial values) and writes the result over
/// the same file as 16-bit PCM with the same rate, channels and length in frames.
/// A missing or unreadable file throws EFOpenError (std::runtime_error) with the label showing
/// "Trwa kompresja dynamiki..."; content that cannot be decoded leaves the file as it was and
/// reports no error; a file that cannot be rewritten (disk full) stays as it was and throws the
/// error of platform/Bledy.h naming it.
void Kompresuj(const std::string& nagranie, int gain, Okno& okno);

}  // namespace tolvak
