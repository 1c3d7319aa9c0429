#pragma once
// The verified hand-off: before the finished file goes into the output folder it is decoded back
// in full with the program's decoder. A full or failing disk, or an encoder run that wrote no
// audio, then keeps the previous delivery on air instead of replacing it with a broken file.

#include <cstdint>
#include <string>

namespace tolvak {

/// An MP3 decodes longer than its input by the encoder's and the decoder's delay (576 + 529
/// frames) and the padding of its last frame (up to 1152), and may be one frame off beyond that.
inline constexpr int64_t kTolerancjaMp3 = 576 + 529 + 1152 + 1152;

/// The length in frames that the WAV file `wav` declares (its header, read by the program's own
/// WAV reader); 0 when it cannot be read.
int64_t RamkiZmontowane(const std::string& wav);

/// Why `plik` must not go on air, or the empty text when it may: it must decode in full, to
/// `oczekiwaneRamki` frames (an MP3, `mp3`, within kTolerancjaMp3 of them), and must not be
/// digital silence throughout.
std::string UsterkaGotowego(const std::string& plik, int64_t oczekiwaneRamki, bool mp3);

}  // namespace tolvak
