#pragma once
// The gain curve of an offline true-peak limiter. The whole file is known before it is written,
// so the limiter looks ahead as far as it needs: the gain starts falling before a peak at a
// bounded rate (no click) and comes back after it with a release time, and every block's peak
// times its gain stays at the ceiling or below.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tolvak::audiolib {

class OgranicznikSzczytu {
public:
    /// Frames per block of the peak detection.
    static constexpr std::size_t kRamkiBloku = 64;

    explicit OgranicznikSzczytu(int sampleRate);

    /// The gain (linear, at most 1) at every block boundary for a signal whose blocks have the
    /// true peaks `szczyty` (linear, before the gain) once it is scaled by `wzmocnienie`
    /// (linear), so that no peak exceeds `sufit` (linear). One value more than blocks.
    std::vector<float> Krzywa(std::span<const float> szczyty, double wzmocnienie, double sufit) const;

    /// Multiplies interleaved frames, starting at frame `pierwsza` of the file, by `wzmocnienie`
    /// and the curve, interpolated linearly within each block.
    static void Zastosuj(std::span<float> ramki, int kanaly, int64_t pierwsza,
                         std::span<const float> krzywa, float wzmocnienie);

private:
    double spadekNaBlok_;    // dB the gain may fall per block before a peak
    double powrotNaBlok_;    // the factor by which a reduction in dB shrinks per block after it
};

}  // namespace tolvak::audiolib
