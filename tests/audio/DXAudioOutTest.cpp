// The playback output on a real PortAudio stream: ALSA's null device, paced and recorded on the
// device's side of the ring.

#include "audio/DXAudioOut.h"
#include "audio/WaveIn.h"
#include "PcmTestUtil.h"
#include "support/NullSoundCard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>


using namespace tolvak;
using namespace tolvak::test;
using namespace std::chrono_literals;

namespace {

struct DXAudioOutTest : UiThreadFixture {
    static void SetUpTestSuite() { UseNullSoundCard(); }

    /// A WAV reader over an in-memory WAV image.
    void Load(const Bytes& wav) {
        ms = std::make_unique<TAuMemoryStream>(wav);
        in.SetStream(ms.get());
    }
    /// Frames of 16-bit PCM, dropping the all-zero ones (the silence a repair inserts).
    static std::vector<int16_t> Sound(const Bytes& b, int channels) {
        std::vector<int16_t> v = Samples16(b), out;
        for (size_t i = 0; i + channels <= v.size(); i += channels)
            if (std::any_of(v.begin() + i, v.begin() + i + channels, [](int16_t s) { return s != 0; }))
                out.insert(out.end(), v.begin() + i, v.begin() + i + channels);
        return out;
    }

    TWaveIn in;
    std::unique_ptr<TAuMemoryStream> ms;
    TDXAudioOut out;
};

/// A scripted input that stalls once, longer than the ring lasts.
struct StallingInput : TTestInput {
    int StallAtBlock = 6;
    void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) override {
        if (Blocks.load() + 1 == StallAtBlock) std::this_thread::sleep_for(300ms);
        TTestInput::ReadBlock(Buffer, Bytes);
    }
};

}  // namespace

TEST_F(DXAudioOutTest, PlaysTheInputFromTheChosenFrameSampleForSample) {
    const auto signal = Signal16(40000, 2, 7);
    Load(Wav(2, 44100, 16, Pcm16(signal)));
    ASSERT_GE(out.DeviceCount(), 1);
    // A ring far longer than a look apart, so a busy machine cannot make it run dry.
    out.SetLatency(0);
    out.SetFramesInBuffer(16384);
    out.SetPollingInterval(20);
    out.SetInput(in);
    for (bool prefetch : {true, false}) {
        SCOPED_TRACE(prefetch);
        PacedRecorder rec(44100, 4);
        out.SetPlayedTap(rec.Tap());
        out.SetPrefetchData(prefetch);
        in.SetStartSample(10000);
        in.SetEndSample(40000);
        std::vector<int> progress;
        out.OnProgress = [&](TAuOutput* s) { progress.push_back(s->Progress()); };
        ASSERT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(), "");
        EXPECT_EQ(out.Underruns(), 0u);
        const auto played = Samples16(rec.Played());
        const std::vector<int16_t> want(signal.begin() + 10000 * 2, signal.end());
        ASSERT_GE(played.size(), want.size());
        EXPECT_TRUE(std::equal(want.begin(), want.end(), played.begin()));
        EXPECT_TRUE(std::all_of(played.begin() + want.size(), played.end(), [](int16_t s) { return s == 0; }));
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 100);
    }
}

TEST_F(DXAudioOutTest, TheEditorsSettingsGiveA100msRingAndAShortTailEndsAtOnce) {
    // 8-bit mono from a frame near the end: the first block takes what remains.
    Bytes data(3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    Load(Wav(1, 44100, 8, data));
    out.SetLatency(100);
    out.SetFramesInBuffer(65536);
    out.SetPollingInterval(200);
    out.SetInput(in);
    PacedRecorder rec(44100, 1);
    out.SetPlayedTap(rec.Tap());
    in.SetStartSample(1000);
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.FramesInBuffer(), 4410u);
    EXPECT_EQ(out.PollingInterval(), 33u);
    const Bytes played = rec.Played();
    ASSERT_GE(played.size(), 2000u);
    EXPECT_TRUE(std::equal(data.begin() + 1000, data.end(), played.begin()));
    EXPECT_TRUE(std::all_of(played.begin() + 2000, played.end(), [](uint8_t b) { return b == 128; }));
}

TEST_F(DXAudioOutTest, StopEndsPlaybackWithinAPollingIntervalAndNoDoneFollows) {
    Load(Wav(2, 44100, 16, Pcm16(Signal16(441000, 2, 3))));
    out.SetInput(in);
    PacedRecorder rec(44100, 4);
    out.SetPlayedTap(rec.Tap());
    int done = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return rec.PlayedBytes() > 44100 * 4 / 4; }));
    EXPECT_EQ(out.Status(), TOutputStatus::tosPlaying);
    const auto t = std::chrono::steady_clock::now();
    out.Stop(false);
    // A third of the 100 ms ring, with room for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - t, 500ms);
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    const int64_t after = rec.PlayedBytes();
    PumpFor(300ms);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(rec.PlayedBytes(), after);
    EXPECT_FALSE(in.IsBusy());
    // Stopping the idle output first, as the editor's "Graj" does, does not end the next run.
    out.Stop(false);
    in.SetStartSample(441000 - 2000);
    out.Run();
    EXPECT_TRUE(PumpUntil([&] { return done == 1; }));
}

TEST_F(DXAudioOutTest, AnUnderrunIsRepairedAndNoSampleIsLost) {
    StallingInput stalling;
    stalling.Data = Pcm16(Signal16(30000, 2, 11));
    out.SetInput(stalling);
    PacedRecorder rec(44100, 4);
    out.SetPlayedTap(rec.Tap());
    const auto ui = std::this_thread::get_id();
    int repaired = 0;
    out.OnUnderrun = [&](TAuOutput* s) {
        EXPECT_EQ(std::this_thread::get_id(), ui);
        EXPECT_EQ(s, &out);
        ++repaired;
    };
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_GE(out.Underruns(), 1u);
    EXPECT_GE(repaired, 1);
    EXPECT_EQ(Sound(rec.Played(), 2), Sound(stalling.Data, 2));
}

TEST_F(DXAudioOutTest, VolumeInHundredthsOfADecibel) {
    const std::vector<int16_t> pattern = {20000, -20000, 3, -3, 32767, -32768};
    std::vector<int16_t> samples;
    for (int i = 0; i < 1000; ++i) samples.insert(samples.end(), pattern.begin(), pattern.end());
    Load(Wav(2, 44100, 16, Pcm16(samples)));
    out.SetInput(in);
    struct Case {
        int volume;
        std::vector<int16_t> heard;
    };
    for (const Case& c : {Case{0, pattern}, Case{-600, {10024, -10024, 2, -2, 16422, -16423}},
                          Case{-10000, {0, 0, 0, 0, 0, 0}}}) {
        SCOPED_TRACE(c.volume);
        PacedRecorder rec(44100, 4);
        out.SetPlayedTap(rec.Tap());
        out.SetVolume(c.volume);
        EXPECT_EQ(out.Volume(), c.volume);
        ASSERT_TRUE(RunToEnd(out));
        const auto played = Samples16(rec.Played());
        ASSERT_GE(played.size(), samples.size());
        for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(played[i], c.heard[i % pattern.size()]) << i;
    }
    out.SetVolume(300);
    EXPECT_EQ(out.Volume(), 0);
    out.SetVolume(-20000);
    EXPECT_EQ(out.Volume(), -10000);
}

TEST_F(DXAudioOutTest, ADeviceThatTakesNothingEndsTheRunWithAnOutputError) {
    Load(Wav(2, 44100, 16, Pcm16(Signal16(44100, 2, 5))));
    out.SetLatency(0);
    out.SetFramesInBuffer(2048);
    out.SetPollingInterval(5);
    out.SetInput(in);
    PacedRecorder rec(44100, 4);
    rec.Block();
    out.SetPlayedTap(rec.Tap());
    std::vector<std::string> seen;
    out.OnThreadException = [&](TAuOutput* s) { seen.push_back(s->ExceptionMessage()); };
    out.OnDone = [&](TAuOutput*) { seen.push_back("done"); };
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return !out.ExceptionMessage().empty(); }));
    rec.Release();
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"Audio output error", "done"}));
    EXPECT_FALSE(in.IsBusy());
}

TEST_F(DXAudioOutTest, StartFailuresEndTheRunWithTheirMessage) {
    EXPECT_FALSE(out.GetDeviceName(0).empty());
    EXPECT_EQ(out.GetDeviceName(out.DeviceCount()), "");
    EXPECT_EQ(out.GetDeviceName(-1), "");
    TTestInput bad;
    bad.Data = Bytes(600, 1);
    out.SetInput(bad);
    out.SetDeviceNumber(out.DeviceCount());
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ExceptionMessage(), "Invalid device number");
    out.SetDeviceNumber(0);
    bad.Bits = 12;  // no such sample format
    ASSERT_TRUE(RunToEnd(out));
    const std::string m = out.ExceptionMessage(), prefix = "Failed to create DirectSound buffer";
    EXPECT_TRUE(m.size() == prefix.size() + 8 && m.starts_with(prefix) &&
                m.find_first_not_of("0123456789ABCDEF", prefix.size()) == std::string::npos)
        << m;
    EXPECT_FALSE(bad.IsBusy());
    EXPECT_EQ(bad.Flushes.load(), 2);
}

TEST(DXAudioOutNoDevice, WithoutASoundCardDeviceZeroIsInvalid) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process whose sound system finds no card.
    EXPECT_EXIT(
        {
            TempDir home;
            setenv("HOME", home.path().c_str(), 1);
            setenv("JACK_NO_START_SERVER", "1", 1);
            UiQueue::instance().bindToCurrentThread();
            TDXAudioOut out;
            std::filesystem::remove_all(home.path());  // the process ends without destructors
            if (out.DeviceCount() != 0) std::_Exit(0);  // a machine with a sound card
            TTestInput input;
            input.Data = Bytes(400, 0);
            out.SetInput(input);
            std::atomic<bool> done{false};
            out.OnDone = [&](TAuOutput*) { done = true; };
            out.Run();
            while (!done) {
                UiQueue::instance().processPending();
                std::this_thread::sleep_for(1ms);
            }
            std::_Exit(out.ExceptionMessage() == "Invalid device number" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
