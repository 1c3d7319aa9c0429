#pragma once
// The benchmarks' inputs: interleaved 16-bit stereo samples written as a WAV file and as a
// 256 kbit/s MP3 by the project's own writer and encoder.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tolvak::bench {

void ZapiszWavIMp3(const std::vector<int16_t>& pcm, int rate, const std::filesystem::path& wav,
                   const std::filesystem::path& mp3);

}  // namespace tolvak::bench
