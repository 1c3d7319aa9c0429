#include "audio/WaveOut.h"

#include "audio/WaveIn.h"
#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tolvak;
using namespace tolvak::test;

namespace {

struct WaveOutTest : UiThreadFixture {
    TempDir dir;
};

void ExpectPcmHeader(const Bytes& f, uint32_t dataSize, uint16_t ch, uint32_t rate, uint16_t bits) {
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(Get32(f, 4), dataSize + 36);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Get32(f, 16), 16u);
    EXPECT_EQ(Get16(f, 20), 1);
    EXPECT_EQ(Get16(f, 22), ch);
    EXPECT_EQ(Get32(f, 24), rate);
    EXPECT_EQ(Get32(f, 28), rate * ch * (bits / 8));
    EXPECT_EQ(Get16(f, 32), ch * (bits / 8));
    EXPECT_EQ(Get16(f, 34), bits);
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(Get32(f, 40), dataSize);
}

}  // namespace

TEST_F(WaveOutTest, ReaderIntoWriterCopiesTheFileExactly) {
    const Bytes data = Pcm16(Signal16(100000, 2, 11));
    WriteFile(dir / "in.wav", Wav(2, 44100, 16, data));
    TWaveIn in;
    in.SetFileName((dir / "in.wav").string());
    TWaveOut out;
    out.SetInput(&in);
    out.SetFileName((dir / "out.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ExceptionMessage(), "");
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    EXPECT_EQ(ReadFile(dir / "out.wav"), Wav(2, 44100, 16, data));
}

TEST_F(WaveOutTest, TrimmedRangeGivesExactDataSize) {
    WriteFile(dir / "in.wav", Wav(2, 44100, 16, Pcm16(Signal16(5000, 2, 12))));
    TWaveIn in;
    in.SetFileName((dir / "in.wav").string());
    in.SetStartSample(0);
    in.SetEndSample(999);
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "cut.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    Bytes f = ReadFile(dir / "cut.wav");
    EXPECT_EQ(f.size(), 44u + 4000u);
    ExpectPcmHeader(f, 4000, 2, 44100, 16);
    // Afterwards the reader is closed: the source can be replaced.
    EXPECT_EQ(in.StartSample(), 0);
    EXPECT_EQ(in.EndSample(), -1);
    std::filesystem::remove(dir / "in.wav");
    EXPECT_FALSE(std::filesystem::exists(dir / "in.wav"));
}

TEST_F(WaveOutTest, ShortInputIsPaddedToTheAnnouncedSize) {
    TTestInput in;
    in.Data = Bytes(8000, 0x55);
    in.AnnouncedSize = 10000;
    in.BlockBytes = 3000;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "pad.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    Bytes f = ReadFile(dir / "pad.wav");
    ASSERT_EQ(f.size(), 44u + 10000u);
    ExpectPcmHeader(f, 10000, 2, 44100, 16);
    EXPECT_EQ(Bytes(f.begin() + 44, f.begin() + 8044), Bytes(8000, 0x55));
    EXPECT_EQ(Bytes(f.begin() + 8044, f.end()), Bytes(2000, 0));
    EXPECT_EQ(in.Flushes.load(), 1);
}

TEST_F(WaveOutTest, LongInputKeepsTheAnnouncedSizeAndReadsBackAsIt) {
    TTestInput in;
    in.Data = Bytes(10000, 0x11);
    in.AnnouncedSize = 8000;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "long.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    Bytes f = ReadFile(dir / "long.wav");
    EXPECT_EQ(f.size(), 44u + 10000u);
    ExpectPcmHeader(f, 8000, 2, 44100, 16);
    TWaveIn back;
    back.SetFileName((dir / "long.wav").string());
    EXPECT_EQ(Drain(back).size(), 8000u);
}

TEST_F(WaveOutTest, InputWithoutSizeOrStoppedRunGetsTheRealSizes) {
    TTestInput in;
    in.Data = Bytes(6000, 0x22);
    in.AnnouncedSize = -1;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "nosize.wav").string());
    EXPECT_EQ(out.Progress(), 0);
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.Progress(), -1);
    Bytes f = ReadFile(dir / "nosize.wav");
    ASSERT_EQ(f.size(), 6044u);
    ExpectPcmHeader(f, 6000, 2, 44100, 16);

    in.AnnouncedSize = 0;  // "no size announced" as well
    ASSERT_TRUE(RunToEnd(out));
    f = ReadFile(dir / "nosize.wav");
    ASSERT_EQ(f.size(), 6044u);
    ExpectPcmHeader(f, 6000, 2, 44100, 16);
}

TEST_F(WaveOutTest, ThreeChannelsGiveTheExtensibleHeaderWithMaskZero) {
    TTestInput in;
    in.Chans = 3;
    in.Rate = 48000;
    in.Data = Bytes(600, 0x33);
    TWaveOut out;
    out.SetCreateNonMsHeaders(false);
    out.SetInput(in);
    out.SetFileName((dir / "ext.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.WavType(), TWavType::wtExtPCM);
    Bytes f = ReadFile(dir / "ext.wav");
    ASSERT_EQ(f.size(), 68u + 600u);
    EXPECT_EQ(Get32(f, 4), 660u);
    EXPECT_EQ(Get32(f, 16), 40u);
    EXPECT_EQ(Get16(f, 20), 0xFFFE);
    EXPECT_EQ(Get16(f, 22), 3);
    EXPECT_EQ(Get32(f, 24), 48000u);
    EXPECT_EQ(Get32(f, 28), 48000u * 6);
    EXPECT_EQ(Get16(f, 32), 6);
    EXPECT_EQ(Get16(f, 34), 16);
    EXPECT_EQ(Get16(f, 36), 22);
    EXPECT_EQ(Get16(f, 38), 16);
    EXPECT_EQ(Get32(f, 40), 0u);
    const Bytes guid = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    EXPECT_EQ(Bytes(f.begin() + 44, f.begin() + 60), guid);
    EXPECT_EQ(std::string(f.begin() + 60, f.begin() + 64), "data");
    EXPECT_EQ(Get32(f, 64), 600u);
    // The reader takes it back.
    TWaveIn back;
    back.SetFileName((dir / "ext.wav").string());
    EXPECT_EQ(back.WavType(), TWavType::wtExtPCM);
    EXPECT_EQ(Drain(back), Bytes(600, 0x33));

    // Stereo 24-bit gets mask 3.
    in.Chans = 2;
    in.Bits = 24;
    ASSERT_TRUE(RunToEnd(out));
    f = ReadFile(dir / "ext.wav");
    EXPECT_EQ(Get32(f, 40), 3u);
}

TEST_F(WaveOutTest, FailuresEndTheRunWithAMessage) {
    // A full disk: the header cannot be written.
    if (std::filesystem::exists("/dev/full")) {
        TTestInput in;
        in.Data = Bytes(4000, 1);
        TWaveOut out;
        out.SetInput(in);
        out.SetFileName("/dev/full");
        ASSERT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(), "Nie można zapisać pliku /dev/full: brak miejsca na dysku");
        EXPECT_EQ(in.Flushes.load(), 1);
    }
    // An input that fails on every block ends the run instead of looping.
    {
        TTestInput in;
        in.Data = Bytes(4000, 1);
        in.FailEveryBlock = true;
        TWaveOut out;
        out.SetInput(in);
        out.SetFileName((dir / "fail.wav").string());
        ASSERT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(), "test input failure");
        EXPECT_EQ(in.Blocks.load(), 1);
    }
    // No file name; a folder that does not exist.
    {
        TTestInput in;
        TWaveOut out;
        out.SetInput(in);
        ASSERT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(), "File name is not assigned.");
        out.SetFileName((dir / "no" / "such" / "x.wav").string());
        ASSERT_TRUE(RunToEnd(out));
        EXPECT_EQ(out.ExceptionMessage(),
                  "Nie można utworzyć pliku " + (dir / "no" / "such" / "x.wav").string() + ": brak takiego pliku");
    }
}

TEST_F(WaveOutTest, MissingInputFileStillDeliversOnDone) {
    TWaveIn in;
    in.SetFileName((dir / "missing.wav").string());
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "o.wav").string());
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ExceptionMessage(), "Nie można otworzyć pliku " + (dir / "missing.wav").string() + ": brak takiego pliku");
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    EXPECT_FALSE(in.IsBusy());
    // The next run with the file present works.
    WriteFile(dir / "missing.wav", Wav(1, 8000, 16, Bytes(200, 7)));
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ExceptionMessage(), "");
    EXPECT_EQ(ReadFile(dir / "o.wav"), Wav(1, 8000, 16, Bytes(200, 7)));
}
