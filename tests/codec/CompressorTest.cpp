// The compressor's arithmetic against the way it was first computed (a logarithm and an
// exponential from the library for every frame), on a programme-like signal.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "audio/Compressor.h"

using tolvak::audiolib::Compressor;
using tolvak::audiolib::CompressorParameters;

namespace {

/// The compressor as it first was, kept to compare against.
class ReferenceCompressor {
public:
    ReferenceCompressor(int rate, int channels, const CompressorParameters& p) : channels_(channels), p_(p) {
        auto coef = [rate](float ms) {
            const double samples = static_cast<double>(ms) * 1e-3 * rate;
            return samples > 0 ? std::exp(-1.0 / samples) : 0.0;
        };
        thresholdLin_ = std::pow(10.0, p.fThreshold / 20.0);
        attackCoef_ = coef(p.fAttack);
        releaseCoef_ = coef(p.fRelease);
        slope_ = p.fRatio > 1.0f ? 1.0 - 1.0 / p.fRatio : 0.0;
        makeupLin_ = std::pow(10.0, p.fGain / 20.0);
    }
    void Process(std::vector<float>& x) {
        const auto ch = static_cast<std::size_t>(channels_);
        constexpr double kDbToLn = 0.11512925464970229;
        float* s = x.data();
        for (std::size_t i = 0; i < x.size() / ch; ++i, s += ch) {
            float peak = 0.0f;
            for (std::size_t c = 0; c < ch; ++c) peak = std::max(peak, std::fabs(s[c]));
            const double over = peak > thresholdLin_ ? 20.0 * std::log10(peak) - p_.fThreshold : 0.0;
            const double coef = over > envDb_ ? attackCoef_ : releaseCoef_;
            envDb_ = over + coef * (envDb_ - over);
            if (envDb_ < 1e-9) envDb_ = 0.0;
            const double g = envDb_ == 0.0 ? makeupLin_ : makeupLin_ * std::exp(-envDb_ * slope_ * kDbToLn);
            for (std::size_t c = 0; c < ch; ++c) s[c] *= static_cast<float>(g);
        }
    }

private:
    int channels_;
    CompressorParameters p_;
    double thresholdLin_, attackCoef_, releaseCoef_, slope_, makeupLin_;
    double envDb_ = 0;
};

/// Ten seconds of stereo: speech-like syllables over a quiet bed, loud bursts, a held tone near
/// full scale, silence, and a few samples beyond full scale.
std::vector<float> Programme(int rate) {
    std::vector<float> s;
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    const double pi = std::numbers::pi;
    for (int i = 0; i < rate * 10; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double syllable = std::pow(std::sin(pi * 4.3 * t), 2) * (std::fmod(t, 3.0) < 2.4 ? 1.0 : 0.0);
        double v = syllable * (0.5 * std::sin(2 * pi * 150 * t) + 0.2 * std::sin(2 * pi * 1130 * t));
        v += 0.05 * std::sin(2 * pi * 220 * t) + noise(rng);
        if (t > 4.0 && t < 4.5) v *= 1.9;                      // a burst, clipping the detector hard
        if (t > 6.0 && t < 7.0) v = 0.97 * std::sin(2 * pi * 440 * t);
        if (t > 8.0 && t < 8.5) v = 0.0;
        if (i % 50000 == 7) v = 1.6;                           // beyond full scale (float input)
        s.push_back(static_cast<float>(v));
        s.push_back(static_cast<float>(0.8 * v));
    }
    return s;
}

}  // namespace

TEST(CompressorTest, GainsStayWithinAHundredthOfADecibelOfTheLibraryArithmetic) {
    constexpr int kRate = 44100;
    const std::vector<float> in = Programme(kRate);
    for (float gain : {0.0f, 12.0f, -60.0f, 60.0f}) {
        CompressorParameters p;
        p.fGain = gain;
        std::vector<float> want = in, got = in;
        ReferenceCompressor(kRate, 2, p).Process(want);
        Compressor c(kRate, 2, p);
        // In uneven blocks, as a stream arrives.
        for (std::size_t at = 0, n = 2 * 777; at < got.size(); at += n)
            c.Process(std::span<float>(got.data() + at, std::min(n, got.size() - at)));
        double worst = 0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (want[i] == 0.0f) {
                EXPECT_EQ(got[i], 0.0f);
                continue;
            }
            worst = std::max(worst, std::fabs(20.0 * std::log10(got[i] / want[i])));
        }
        EXPECT_LT(worst, 0.01) << "gain " << gain;
    }
}
