#include "audio/Compressor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace tolvak::audiolib {

namespace {

// The detector needs a logarithm and the gain an exponential for every frame above the
// threshold; library calls for them cost more than all the rest of the loop. These short series
// are exact to about 1e-6 dB, far inside what anyone can hear or the tests allow (0.01 dB), and
// are evaluated in pairs of terms so that the processor can work on several at once.

constexpr double kDbPerOctave = 6.020599913279624;  // 20 log10(2)
constexpr double kLn2 = 0.6931471805599453;
constexpr double kRoundShift = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to an integer

/// log2 of a positive float: its exponent plus the logarithm of its mantissa, taken in
/// [1/sqrt 2, sqrt 2) through the series of atanh.
double Log2(float x) {
    const auto bits = std::bit_cast<uint32_t>(x);
    const uint32_t biased = (bits >> 23) & 0xFF;
    if (biased == 0 || biased == 0xFF) return std::log2(x);  // denormal, infinite, not a number
    // Measured from the bits of sqrt(1/2), the exponent is the one that leaves the mantissa in
    // [1/sqrt 2, sqrt 2).
    const uint32_t off = bits - 0x3F3504F3u;
    const int e = static_cast<int32_t>(off) >> 23;
    const double m = std::bit_cast<float>((off & 0x007FFFFFu) + 0x3F3504F3u);
    const double z = (m - 1.0) / (m + 1.0);  // |z| < 0.172
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double ln = 2.0 * z * ((1.0 + z2 * (1.0 / 3)) + z4 * (1.0 / 5 + z2 * (1.0 / 7)));
    return e + ln * (1.0 / kLn2);
}

/// 2^y for y <= 0 (a gain reduction): the nearest integer power through the exponent bits
/// times the Taylor series of the rest, |rest| <= 1/2.
double Exp2(double y) {
    if (!(y > -1022.0)) return y > -1100.0 ? std::exp2(y) : 0.0;  // denormal or nothing
    const double n = (y + kRoundShift) - kRoundShift;
    const double t = (y - n) * kLn2;
    const double t2 = t * t;
    const double t4 = t2 * t2;
    const double p = ((1.0 + t) + t2 * (1.0 / 2 + t * (1.0 / 6))) +
                     t4 * ((1.0 / 24 + t * (1.0 / 120)) + t2 * (1.0 / 720));
    const auto scale = std::bit_cast<double>(static_cast<uint64_t>(static_cast<int64_t>(n) + 1023) << 52);
    return p * scale;
}

}  // namespace

Compressor::Compressor(int sampleRate, int channels, const Parameters& p)
    : rate_(std::max(1, sampleRate)), channels_(std::max(1, channels)), p_(p) {
    Derive();
}

void Compressor::SetParameters(const Parameters& p) {
    p_ = p;
    Derive();
}

void Compressor::Derive() {
    auto coef = [this](float ms) {
        const double samples = static_cast<double>(ms) * 1e-3 * rate_;
        return samples > 0 ? std::exp(-1.0 / samples) : 0.0;
    };
    thresholdLin_ = std::pow(10.0, p_.fThreshold / 20.0);
    attackCoef_ = coef(p_.fAttack);
    releaseCoef_ = coef(p_.fRelease);
    const double slope = p_.fRatio > 1.0f ? 1.0 - 1.0 / p_.fRatio : 0.0;
    reductionLog2PerDb_ = -slope / kDbPerOctave;
    makeupLin_ = std::pow(10.0, p_.fGain / 20.0);
}

void Compressor::Process(std::span<float> x) {
    const auto ch = static_cast<std::size_t>(channels_);
    const std::size_t frames = x.size() / ch;
    const double thrDb = p_.fThreshold;
    const auto makeup = static_cast<float>(makeupLin_);
    float* s = x.data();
    for (std::size_t i = 0; i < frames; ++i, s += ch) {
        float peak = 0.0f;
        for (std::size_t c = 0; c < ch; ++c) peak = std::max(peak, std::fabs(s[c]));
        const double over = peak > thresholdLin_ ? kDbPerOctave * Log2(peak) - thrDb : 0.0;
        const double coef = over > envDb_ ? attackCoef_ : releaseCoef_;
        envDb_ = over + coef * (envDb_ - over);
        if (envDb_ < 1e-9) envDb_ = 0.0;
        const float g =
            envDb_ == 0.0 ? makeup : static_cast<float>(makeupLin_ * Exp2(envDb_ * reductionLog2PerDb_));
        for (std::size_t c = 0; c < ch; ++c) s[c] *= g;
    }
}

}  // namespace tolvak::audiolib
