#include "audio/AudioMixer.h"

#include "audio/WaveIn.h"
#include "audio/WaveOut.h"
#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tolvak;
using namespace tolvak::test;

namespace {

// Round(num / den) with halves to even, in exact integers (den > 0).
int64_t RoundDiv(int64_t num, int64_t den) {
    int64_t q = num / den, r = num % den;
    if (r < 0) {
        r += den;
        --q;
    }
    if (2 * r > den || (2 * r == den && (q & 1))) ++q;
    return q;
}

// The mix of two 16-bit values at unity gains: Round((a + b) / 65536 * 32767).
int16_t Mixed(int a, int b) { return static_cast<int16_t>(RoundDiv(int64_t{a + b} * 32767, 65536)); }

struct MixerTest : UiThreadFixture {
    TempDir dir;
    TWaveIn in1, in2;
    TAudioMixer mix;
    TWaveOut out;

    void SetUp() override {
        UiThreadFixture::SetUp();
        mix.SetInput1(&in1);
        mix.SetInput2(in2);
        out.SetInput(mix);
        out.SetFileName((dir / "mix.wav").string());
    }
    void Inputs(const Bytes& a, const Bytes& b) {
        WriteFile(dir / "1.wav", a);
        WriteFile(dir / "2.wav", b);
        in1.SetFileName((dir / "1.wav").string());
        in2.SetFileName((dir / "2.wav").string());
    }
    // Runs the chain; returns the written file.
    Bytes Mix() {
        EXPECT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(), "");
        return ReadFile(dir / "mix.wav");
    }
};

}  // namespace

TEST_F(MixerTest, TwoOneSecondInputsAreSummedAndHalved) {
    const auto a = Signal16(44100, 2, 31), b = Signal16(44100, 2, 32);
    Inputs(Wav(2, 44100, 16, Pcm16(a)), Wav(2, 44100, 16, Pcm16(b)));
    Bytes f = Mix();
    ASSERT_EQ(f.size(), 44u + 176400u);
    EXPECT_EQ(Get32(f, 40), 176400u);
    auto v = Samples16(f, 44);
    size_t bad = 0;
    for (size_t i = 0; i < v.size(); ++i) bad += v[i] != Mixed(a[i], b[i]);
    EXPECT_EQ(bad, 0u);
    // Both readers are closed again.
    EXPECT_FALSE(in1.IsBusy());
    EXPECT_FALSE(in2.IsBusy());
    EXPECT_FALSE(mix.IsBusy());
}

TEST_F(MixerTest, InputTwoStartsAtTheBlockBoundaryBeforeTheMixPoint) {
    // Bed of 5 s silence, bulletin of 2 s at a constant level, mix point at frame 44100.
    Inputs(Wav(2, 44100, 16, Bytes(5 * 176400, 0)), Wav(2, 44100, 16, Pcm16(std::vector<int16_t>(2 * 88200, 10000))));
    mix.SetInput2StartSample(44100);
    Bytes f = Mix();
    ASSERT_EQ(f.size(), 44u + 5u * 176400u);
    EXPECT_EQ(Get32(f, 40), 5u * 176400u);
    auto v = Samples16(f, 44);
    const size_t start = 86016;  // frame 43008, the start of the block that reaches 88200 values
    EXPECT_EQ(std::count(v.begin(), v.begin() + start, 0), static_cast<long>(start));
    EXPECT_EQ(v[start], Mixed(0, 10000));
    EXPECT_EQ(std::count(v.begin() + start, v.begin() + start + 176400, Mixed(0, 10000)), 176400);
    EXPECT_EQ(std::count(v.begin() + start + 176400, v.end(), 0), static_cast<long>(v.size() - start - 176400));
}

TEST_F(MixerTest, InputTwoEndingLastIsHalvedAloneAndPaddedToTheAnnouncedSize) {
    const auto a = Signal16(88200, 2, 33);
    Inputs(Wav(2, 44100, 16, Pcm16(a)), Wav(2, 44100, 16, Pcm16(std::vector<int16_t>(176400, -12000))));
    mix.SetInput2StartSample(44100);
    Bytes f = Mix();
    ASSERT_EQ(f.size(), 44u + 3u * 176400u);
    EXPECT_EQ(Get32(f, 40), 3u * 176400u);
    auto v = Samples16(f, 44);
    EXPECT_EQ(v[86015], Mixed(a[86015], 0));
    EXPECT_EQ(v[86016], Mixed(a[86016], -12000));
    EXPECT_EQ(v[176400], Mixed(0, -12000));  // input 1 has ended
    EXPECT_EQ(v[262415], Mixed(0, -12000));
    EXPECT_EQ(std::count(v.begin() + 262416, v.end(), 0), 264600 - 262416);  // the padding
}

TEST_F(MixerTest, StartBeyondTheEndOfInputOneLeavesASilentGap) {
    const auto a = Signal16(44100, 2, 34);
    Inputs(Wav(2, 44100, 16, Pcm16(a)), Wav(2, 44100, 16, Pcm16(std::vector<int16_t>(44100, 7000))));
    mix.SetInput2StartSample(70000);
    Bytes f = Mix();
    const size_t announced = 44100 + 140000;
    EXPECT_EQ(Get32(f, 40), announced * 2);
    ASSERT_EQ(f.size(), 44 + announced * 2);
    auto v = Samples16(f, 44);
    EXPECT_EQ(v[88199], Mixed(a[88199], 0));
    // Input 1's last block was partial (2184 values), so the silent blocks of 4096 values run
    // from 88200: input 2 starts with the 13th of them, which reaches 140000.
    const size_t start = 88200 + 12 * 4096;
    EXPECT_EQ(std::count(v.begin() + 88200, v.begin() + start, 0), static_cast<long>(start - 88200));
    EXPECT_EQ(std::count(v.begin() + start, v.begin() + start + 44100, Mixed(0, 7000)), 44100);
    EXPECT_EQ(std::count(v.begin() + start + 44100, v.end(), 0), static_cast<long>(announced - start - 44100));
}

TEST_F(MixerTest, InputOneEndingExactlyOnABlockDoesNotCutOffInputTwo) {
    // Input 1 of exactly 10 blocks (40960 values), input 2 well beyond its end.
    Inputs(Wav(2, 44100, 16, Pcm16(std::vector<int16_t>(40960, 100))), Wav(2, 44100, 16, Pcm16(std::vector<int16_t>(8192, 3000))));
    mix.SetInput2StartSample(30000);  // 60000 values: block 14 (57344)
    Bytes f = Mix();
    auto v = Samples16(f, 44);
    ASSERT_EQ(v.size(), 68192u);  // 60000 + 8192 announced, delivered 57344 + 8192, padded
    EXPECT_EQ(v[40959], Mixed(100, 0));
    EXPECT_EQ(v[40960], 0);
    EXPECT_EQ(std::count(v.begin() + 57344, v.begin() + 57344 + 8192, Mixed(0, 3000)), 8192);
}

TEST_F(MixerTest, ConcatenateHasNoGapAndScalesFullScaleDownByOne) {
    std::vector<int16_t> a = Signal16(44100, 2, 35);
    std::vector<int16_t> b(44100, 32767);
    b[1] = -32768;
    b[2] = 1;
    Inputs(Wav(2, 44100, 16, Pcm16(a)), Wav(2, 44100, 16, Pcm16(b)));
    mix.SetMode(TAudioMixerMode::amConcatenate);
    Bytes f = Mix();
    ASSERT_EQ(f.size(), 44u + 264600u);
    EXPECT_EQ(Get32(f, 40), 264600u);
    auto v = Samples16(f, 44);
    for (size_t i : {size_t{0}, size_t{1}, size_t{88199}})
        EXPECT_EQ(v[i], RoundDiv(int64_t{a[i]} * 32767, 32768)) << i;
    EXPECT_EQ(v[88200], 32766);
    EXPECT_EQ(v[88201], -32767);
    EXPECT_EQ(v[88202], 1);
    EXPECT_EQ(v.back(), 32766);
}

TEST_F(MixerTest, NarrowerAndWiderSecondInputsAreConvertedToTheFirstsWidth) {
    // 8-bit input 2 over 16-bit input 1.
    Inputs(Wav(1, 8000, 16, Pcm16(std::vector<int16_t>(100, 0))), Wav(1, 8000, 8, Bytes{255, 0, 128, 192}));
    Bytes f = Mix();
    auto v = Samples16(f, 44);
    ASSERT_EQ(v.size(), 100u);
    EXPECT_EQ(v[0], 16256);   // 127/256 x 32767 = 16255.504
    EXPECT_EQ(v[1], -16384);  // -1 / 2 x 32767 = -16383.5, to even
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[3], 8192);    // 0.5 / 2 x 32767 = 8191.75
    EXPECT_EQ(v[4], 0);

    // 24-bit input 2 whose low bytes are 0x80 and above, appended.
    mix.SetMode(TAudioMixerMode::amConcatenate);
    Inputs(Wav(1, 8000, 16, Pcm16({5})), Wav(1, 8000, 24, Bytes{0xFF, 0x7F, 0x00, 0x80, 0x00, 0x40, 0x80, 0xFF, 0xFF}));
    f = Mix();
    v = Samples16(f, 44);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], 5);
    EXPECT_EQ(v[1], 128);    // 0x007FFF = 32767 / 2^23 x 32767
    EXPECT_EQ(v[2], 16384);  // 0x400080
    EXPECT_EQ(v[3], 0);      // -128 / 2^23 x 32767 = -0.49..
}

TEST_F(MixerTest, EightBitSilenceStaysAndGainsAndClipping) {
    Inputs(Wav(1, 8000, 8, Bytes(50, 128)), Wav(1, 8000, 8, Bytes(50, 128)));
    Bytes f = Mix();
    EXPECT_EQ(Bytes(f.begin() + 44, f.end()), Bytes(50, 128));

    // Volume 0 on input 2 leaves input 1 halved; input 1 louder than full scale clips.
    Inputs(Wav(1, 8000, 16, Pcm16({20000, -20000})), Wav(1, 8000, 16, Pcm16({32767, -32768})));
    mix.SetVolume2(0);
    f = Mix();
    EXPECT_EQ(Samples16(f, 44), (std::vector<int16_t>{Mixed(20000, 0), Mixed(-20000, 0)}));
    mix.SetVolume2(65535);
    mix.SetMode(TAudioMixerMode::amConcatenate);
    mix.SetVolume1(65535);
    // Concatenation never exceeds the range; clipping shows at 8 bits: 255 stays 255.
    Inputs(Wav(1, 8000, 8, Bytes{255, 0}), Wav(1, 8000, 8, Bytes{128}));
    f = Mix();
    EXPECT_EQ(Bytes(f.begin() + 44, f.end()), (Bytes{255, 0, 128}));
}

TEST_F(MixerTest, MissingInputsAndChangesDuringARunAreRefused) {
    TAudioMixer m;
    EXPECT_THROW(m.BitsPerSample(), EAuException);
    try {
        m.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Input1 is not assigned");
    }
    m.Flush();
    m.SetInput1(in1);
    try {
        m.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Input2 is not assigned");
    }
    m.Flush();

    Inputs(Wav(1, 8000, 16, Bytes(20, 0)), Wav(1, 8000, 16, Bytes(20, 0)));
    m.SetInput2(in2);
    m.Init();
    try {
        m.SetInput2(in1);
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The component is busy.");
    }
    m.Flush();
    m.SetInput2(in1);  // idle again

    // A failing input 2 propagates out of the start; the run's end still releases input 1.
    TWaveIn missing;
    missing.SetFileName((dir / "none.wav").string());
    mix.SetInput2(missing);
    EXPECT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ExceptionMessage(), "Nie można otworzyć pliku " + (dir / "none.wav").string() + ": brak takiego pliku");
    EXPECT_FALSE(in1.IsBusy());
    std::filesystem::remove(dir / "1.wav");
    EXPECT_FALSE(std::filesystem::exists(dir / "1.wav"));
}
