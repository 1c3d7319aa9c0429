#pragma once
// Loudness of a finished bulletin after EBU R128 (ITU-R BS.1770 integrated loudness with gating,
// loudness range, true peak), measured with libebur128, and its correction to a target: one
// gain for the whole file and a true-peak limiter that keeps every inter-sample peak at or below
// a ceiling.

#include <optional>
#include <string>

#include "platform/Okno.h"

namespace tolvak {

struct PomiarGlosnosci {
    double lufs = 0;    // integrated loudness; -infinity for a file that stays below the gate
    double zakres = 0;  // loudness range, LU
    double szczyt = 0;  // true peak, dBTP; -infinity for digital silence
};

/// A value with one decimal and its unit: "−17.3 LUFS" with the minus sign U+2212, "−∞ dBTP" for
/// silence; with `plus` a positive value reads "+3.1 dB". A value that rounds to zero has no sign.
std::string TekstWartosci(double v, const char* jednostka, bool plus = false);

/// "−17.3 LUFS, zakres 4.2 LU, szczyt −1.1 dBTP".
std::string TekstPomiaru(const PomiarGlosnosci& p);

/// Measures any file the decoder reads. std::nullopt when it does not decode; a read error
/// throws EFOpenError.
std::optional<PomiarGlosnosci> ZmierzGlosnosc(const std::string& plik);

struct KorektaGlosnosci {
    PomiarGlosnosci przed;
    PomiarGlosnosci po;
    double wzmocnienie = 0;  // dB applied to the whole file, before the limiter
    bool zmieniono = false;  // false: the file stayed as it was (silence, nothing to do)
};

/// Rewrites the WAV file `plik` in place (16-bit PCM, same rate, channels and length) so that
/// its integrated loudness is `celLufs` within 0.5 LU and its true peak at most `szczytMaxDbtp`
/// (the limiter's reduction comes first: a target that the ceiling forbids is approached as
/// closely as the ceiling allows). A file that stays below the gate (silence) is left as it
/// is. std::nullopt when the file does not decode or cannot be rewritten (it then stays as it
/// was); a read error throws EFOpenError. Shows "Korekta głośności..." in the action label.
std::optional<KorektaGlosnosci> UstawGlosnosc(const std::string& plik, double celLufs,
                                              double szczytMaxDbtp, Okno& okno);

}  // namespace tolvak
