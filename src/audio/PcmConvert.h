#pragma once
// Sample conversions between integer PCM of 8, 16, 24 or 32 bits and single-precision floats,
// shared by the mixer and the format converter. Reading scales by 2^-(bits-1) (8-bit: b/128-1);
// writing clips to [-1, 1] (not-a-number counts as 1) and scales by 2^(bits-1)-1, so a 16-bit
// sample of 32767 passed through unchanged comes back as 32766.

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tolvak::pcm {

/// v rounded to the nearest integer, halves to even, for |v| < 2^51: the sum with 1.5 × 2^52
/// has no fraction bits left, so the processor's own rounding does the work. The same result as
/// std::nearbyint under the default rounding mode, without a library call per sample; it needs
/// strict IEEE arithmetic (no -ffast-math, which could fold the sum away).
inline double RoundHalfEven(double v) {
    constexpr double kShift = 6755399441055744.0;
    return (v + kShift) - kShift;
}

/// Converts Count samples of Bits width at Src into floats at Dst.
inline void ToFloat(int Bits, const uint8_t* Src, float* Dst, int64_t Count) {
    switch (Bits) {
        case 8:
            for (int64_t i = 0; i < Count; ++i) Dst[i] = static_cast<float>(Src[i]) / 128.0f - 1.0f;
            break;
        case 16:
            for (int64_t i = 0; i < Count; ++i) {
                int16_t s;
                std::memcpy(&s, Src + 2 * i, 2);
                Dst[i] = static_cast<float>(s) * (1.0f / 32768.0f);
            }
            break;
        case 24:
            for (int64_t i = 0; i < Count; ++i) {
                const uint8_t* p = Src + 3 * i;
                int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                                 (static_cast<uint32_t>(p[2]) << 16));
                if (v & 0x800000) v -= 0x1000000;
                Dst[i] = static_cast<float>(v) * (1.0f / 8388608.0f);
            }
            break;
        case 32:
            for (int64_t i = 0; i < Count; ++i) {
                int32_t s;
                std::memcpy(&s, Src + 4 * i, 4);
                Dst[i] = static_cast<float>(s) * (1.0f / 2147483648.0f);
            }
            break;
        default:
            for (int64_t i = 0; i < Count; ++i) Dst[i] = 0.0f;
    }
}

/// Clips to [-1, 1]; not-a-number becomes 1.
inline float Clip(float f) {
    if (f > -1.0f && f < 1.0f) return f;
    return f <= -1.0f ? -1.0f : 1.0f;
}

/// Converts Count floats at Src into samples of Bits width at Dst (rounding halves to even).
inline void FromFloat(int Bits, const float* Src, uint8_t* Dst, int64_t Count) {
    switch (Bits) {
        case 8:
            for (int64_t i = 0; i < Count; ++i) {
                float f = Clip(Src[i]);
                int v = f >= 1.0f ? 255 : (f <= -1.0f ? 0 : static_cast<int>(std::floor((static_cast<double>(f) + 1.0) * 128.0)));
                Dst[i] = static_cast<uint8_t>(v);
            }
            break;
        case 16:
            for (int64_t i = 0; i < Count; ++i) {
                auto s = static_cast<int16_t>(RoundHalfEven(static_cast<double>(Clip(Src[i])) * 32767.0));
                std::memcpy(Dst + 2 * i, &s, 2);
            }
            break;
        case 24:
            for (int64_t i = 0; i < Count; ++i) {
                auto v = static_cast<int32_t>(std::floor(static_cast<double>(Clip(Src[i])) * 8388607.0));
                auto u = static_cast<uint32_t>(v);
                Dst[3 * i] = static_cast<uint8_t>(u);
                Dst[3 * i + 1] = static_cast<uint8_t>(u >> 8);
                Dst[3 * i + 2] = static_cast<uint8_t>(u >> 16);
            }
            break;
        case 32:
            for (int64_t i = 0; i < Count; ++i) {
                auto s = static_cast<int32_t>(RoundHalfEven(static_cast<double>(Clip(Src[i])) * 2147483647.0));
                std::memcpy(Dst + 4 * i, &s, 4);
            }
            break;
        default:
            break;
    }
}

/// The silence value of one sample byte of that width (128 for 8 bits, else 0).
inline uint8_t SilenceByte(int Bits) { return Bits == 8 ? 128 : 0; }

}  // namespace tolvak::pcm
