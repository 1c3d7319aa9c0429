// LAME on several cores: the joined stretches are byte for byte what one encoder gives, for
// programme material and for the signals that keep the encoder's state longest.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "audio/Mp3Parallel.h"

using namespace tolvak;
using tolvak::audiolib::Mp3Encoder;
using tolvak::audiolib::ParallelMp3Encoder;

namespace {

BE_CONFIG Config(uint32_t rate, int channels, uint32_t kbps) {
    BE_CONFIG c{};
    c.dwSampleRate = rate;
    c.nMode = channels == 1 ? 3 : 0;
    c.dwBitrate = kbps;
    c.bOriginal = -1;
    c.bNoRes = -1;
    return c;
}

std::vector<uint8_t> OneEncoder(const BE_CONFIG& c, int channels, const std::vector<int16_t>& pcm) {
    Mp3Encoder enc(c, channels);
    std::vector<uint8_t> out, buf(enc.OutputBufferSize());
    for (std::size_t at = 0; at < pcm.size(); at += enc.SamplesPerChunk()) {
        const std::size_t n = std::min<std::size_t>(enc.SamplesPerChunk(), pcm.size() - at);
        const std::size_t got = enc.EncodeChunk(std::span<const int16_t>(pcm.data() + at, n), buf);
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
    }
    const std::size_t got = enc.Deinit(buf);
    out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
    return out;
}

std::vector<uint8_t> Parallel(const BE_CONFIG& c, int channels, const std::vector<int16_t>& pcm,
                              int64_t stretchFrames) {
    ParallelMp3Encoder enc(std::make_unique<Mp3Encoder>(c, channels), c, channels, 2, stretchFrames);
    std::vector<uint8_t> out;
    // In uneven pieces of whole frames, as a reader delivers them.
    const std::size_t piece = static_cast<std::size_t>(channels) * 1000;
    for (std::size_t at = 0; at < pcm.size(); at += piece)
        enc.Encode(std::span<const int16_t>(pcm.data() + at, std::min(piece, pcm.size() - at)), out);
    enc.Finish(out);
    return out;
}

/// `seconds` of one kind of material: 0 speech-like syllables with pauses over a quiet bed,
/// 1 clicks in silence, 2 a loud tone fading into silence and back, 3 noise bursts.
std::vector<int16_t> Material(int kind, int rate, int channels, double seconds) {
    std::vector<int16_t> s;
    std::mt19937 rng(static_cast<unsigned>(kind + 1));
    std::normal_distribution<double> noise(0.0, 1.0);
    const double pi = std::numbers::pi;
    const auto frames = static_cast<int64_t>(seconds * rate);
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        switch (kind) {
            case 0:
                v = std::pow(std::sin(pi * 4.3 * t), 2) * (std::fmod(t, 3.0) < 2.2 ? 0.5 : 0.0) *
                        (std::sin(2 * pi * 150 * t) + 0.3 * std::sin(2 * pi * 1170 * t)) +
                    0.04 * std::sin(2 * pi * 220 * t) + 0.003 * noise(rng);
                break;
            case 1: v = i % (rate / 3) < 40 ? 0.9 : 0.0; break;
            case 2: v = 0.9 * std::sin(2 * pi * 440 * t) * std::pow(0.5 + 0.5 * std::cos(2 * pi * t / 9), 4); break;
            default: v = std::fmod(t, 2.0) < 0.3 ? 0.3 * noise(rng) : 0.0; break;
        }
        for (int c = 0; c < channels; ++c)
            s.push_back(static_cast<int16_t>(std::lrint(std::clamp(v * (c ? 0.8 : 1.0), -1.0, 1.0) * 32767)));
    }
    return s;
}

}  // namespace

TEST(Mp3ParallelTest, JoinedStretchesAreByteForByteOneEncodersStream) {
    for (int kind = 0; kind < 4; ++kind) {
        const BE_CONFIG c = Config(44100, 2, 256);
        const auto pcm = Material(kind, 44100, 2, 16.0);
        EXPECT_TRUE(OneEncoder(c, 2, pcm) == Parallel(c, 2, pcm, 100)) << "material " << kind;
    }
    // MPEG-2 mono, where a frame is half as long and the padding repeats differently.
    const BE_CONFIG c = Config(22050, 1, 64);
    const auto pcm = Material(0, 22050, 1, 20.0);
    EXPECT_TRUE(OneEncoder(c, 1, pcm) == Parallel(c, 1, pcm, 100));
}

TEST(Mp3ParallelTest, ShortAndEmptyInputsAndWhereItApplies) {
    const BE_CONFIG c = Config(44100, 2, 256);
    for (double seconds : {0.0, 0.01, 3.0}) {
        const auto pcm = Material(0, 44100, 2, seconds);
        EXPECT_TRUE(OneEncoder(c, 2, pcm) == Parallel(c, 2, pcm, 100)) << seconds << " s";
    }
    EXPECT_EQ(ParallelMp3Encoder::PaddingPeriod(c), 49);  // 835.92 bytes per frame
    EXPECT_TRUE(ParallelMp3Encoder::Applies(c));
    BE_CONFIG reservoir = c;
    reservoir.bNoRes = 0;  // frames lean on the ones before them
    EXPECT_FALSE(ParallelMp3Encoder::Applies(reservoir));
    BE_CONFIG vbr = c;
    vbr.bEnableVBR = 1;
    EXPECT_FALSE(ParallelMp3Encoder::Applies(vbr));
}
