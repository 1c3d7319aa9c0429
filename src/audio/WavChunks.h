#pragma once
// Where the format and the samples of a RIFF/WAVE file are: its real "fmt " and "data" chunks,
// in whatever order and with whatever other chunks ("LIST", "bext", "fact", odd sizes padded)
// the writing program put around them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace tolvak::audiolib {

inline constexpr uint16_t kWavePcm = 0x0001;
inline constexpr uint16_t kWaveMpeg = 0x0050;       // MPEG audio layer I or II
inline constexpr uint16_t kWaveMpegLayer3 = 0x0055;
inline constexpr uint16_t kWaveExtensible = 0xFFFE;

struct WavLayout {
    uint16_t FormatTag = 0;      // for the extensible form the sub-format's tag (1 for PCM)
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    int64_t DataOffset = 0;      // the first byte of the samples
    int64_t DataBytes = 0;       // the samples' bytes that the file really holds

    bool IsPcm16() const { return FormatTag == kWavePcm && BitsPerSample == 16 && Channels > 0; }
};

/// Reads `count` bytes at `offset` into `into`; returns how many came.
using ReadAt = std::function<int64_t(int64_t offset, void* into, int64_t count)>;

/// The layout of a file of `size` bytes read through `read`; std::nullopt when it is no
/// RIFF/WAVE file with both chunks. A data chunk whose size is 0 or reaches past the file's end
/// holds the rest of the file (a writer that never came back to set it).
std::optional<WavLayout> ParseWavLayout(const ReadAt& read, int64_t size);

/// The same for a file on disk. Raises EFOpenError (audio/DecodeStream.h) when it cannot be
/// opened or read.
std::optional<WavLayout> ReadWavLayout(const std::filesystem::path& path);

/// The plain 44-byte header of an integer PCM WAV file holding `dataBytes` bytes of samples.
std::vector<unsigned char> PlainWavHeader(int sampleRate, int channels, int bitsPerSample,
                                          uint32_t dataBytes);

}  // namespace tolvak::audiolib
