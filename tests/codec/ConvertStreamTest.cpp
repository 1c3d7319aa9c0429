// Sounds brought into one format: the rate through the resampler, the channels by the
// converter's rules; a sound already in the format comes through untouched.

#include <gtest/gtest.h>

#include <cmath>

#include "CodecSupport.h"
#include "audio/ConvertStream.h"
#include "audio/Dekoder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace tolvak;
using namespace tolvak::test;
using audiolib::PcmFormat;

namespace {

class ConvertStreamTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeOkno okno;

    Wav16 Convert(int rate, int channels, const std::vector<int16_t>& s, PcmFormat to) {
        WriteWav16(dir / "in.wav", rate, channels, s);
        const auto written = mp3ToWav((dir / "in.wav").string(), (dir / "out.wav").string(), okno, to);
        EXPECT_TRUE(written && *written == to);
        return ReadWav16(dir / "out.wav");
    }
};

TEST_F(ConvertStreamTest, RateConversionKeepsDurationPitchAndLevel) {
    const int64_t frames = 3 * 48000 + 17;
    const Wav16 w = Convert(48000, 2, Sines(48000, 2, frames), {44100, 2});
    EXPECT_EQ(w.rate, 44100);
    EXPECT_NEAR(static_cast<double>(w.frames()), frames * 44100.0 / 48000.0, 1.0);
    // 440 Hz on the left stays 440 Hz: 880 sign changes a second, away from the edges.
    int crossings = 0;
    for (int64_t i = 44100; i < 2 * 44100; ++i) crossings += (w.at(i, 0) < 0) != (w.at(i - 1, 0) < 0);
    EXPECT_NEAR(crossings, 880, 2);
    EXPECT_NEAR(PeakOf(w, 0, 4410, w.frames() - 4410), 16384, 200);
    EXPECT_NEAR(PeakOf(w, 1, 4410, w.frames() - 4410), 8192, 150);
}

TEST_F(ConvertStreamTest, ChannelsFollowTheConverterRules) {
    std::vector<int16_t> mono = Sines(22050, 1, 5000);
    mono[0] = -32768;
    mono[1] = 32767;
    const Wav16 both = Convert(22050, 1, mono, {22050, 2});
    ASSERT_EQ(both.frames(), 5000);
    for (int64_t i = 0; i < 5000; ++i) {
        ASSERT_EQ(both.at(i, 0), mono[static_cast<size_t>(i)]) << i;
        ASSERT_EQ(both.at(i, 1), mono[static_cast<size_t>(i)]) << i;
    }
    const Wav16 down = Convert(22050, 2, {1000, 3000, -7, 8, 32767, 32767}, {22050, 1});
    EXPECT_EQ(down.samples, (std::vector<int16_t>{2000, 0, 32767}));  // (L + R) / 2, halves to even
    // Six channels to two: the even channels average into the left, the odd into the right.
    const Wav16 six = Convert(8000, 6, {300, 30, 600, 60, 900, 90}, {8000, 2});
    EXPECT_EQ(six.samples, (std::vector<int16_t>{600, 60}));
}

TEST_F(ConvertStreamTest, ASoundAlreadyInTheFormatIsHandedBackItself) {
    WriteWav16(dir / "in.wav", 44100, 2, Sines(44100, 2, 100));
    auto source = audiolib::OpenDecoder(dir / "in.wav");
    const audiolib::PcmSource* before = source.get();
    EXPECT_EQ(audiolib::ConvertTo(std::move(source), {44100, 2}).get(), before);
}

}  // namespace
