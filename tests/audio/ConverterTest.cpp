#include "audio/AudioConverter.h"

#include "audio/WaveIn.h"
#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tolvak;
using namespace tolvak::test;

TEST(ConverterTest, EightBitMonoForTheWaveformReadIn1024ByteSteps) {
    TempDir dir;
    auto sig = Signal16(10001, 2, 41);
    sig[0] = sig[1] = 32767;
    sig[2] = sig[3] = -32768;
    WriteFile(dir / "bed.wav", Wav(2, 44100, 16, Pcm16(sig)));
    TAuMemoryStream mem;
    mem.LoadFromFile((dir / "bed.wav").string());
    TWaveIn in;
    in.SetStream(&mem);
    TAudioConverter conv;
    conv.SetInput(in);
    conv.SetMode(TMSConverterMode::msmMonoToBoth);
    conv.SetOutBitsPerSample(8);
    conv.SetOutChannels(1);
    EXPECT_EQ(conv.BitsPerSample(), 8);
    EXPECT_EQ(conv.Channels(), 1);
    EXPECT_EQ(conv.SampleRate(), 44100);

    conv.Init();
    EXPECT_EQ(conv.Size(), 10001);  // a quarter of the input's
    Bytes got;
    uint8_t buf[1024];
    int64_t n;
    while ((n = conv.CopyData(buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
    EXPECT_EQ(conv.Position(), 10001);
    conv.Flush();
    ASSERT_EQ(got.size(), 10001u);
    EXPECT_EQ(got[0], 255);
    EXPECT_EQ(got[1], 0);
    size_t bad = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        // Floor(((l/32768 + r/32768) / 2 + 1) x 128) = Floor((l + r + 65536) / 512)
        const int64_t sum = int64_t{sig[2 * i]} + sig[2 * i + 1] + 65536;
        bad += got[i] != std::min<int64_t>(sum / 512, 255);
    }
    EXPECT_EQ(bad, 0u);
    EXPECT_FALSE(in.IsBusy());
}

TEST(ConverterTest, WithoutSettingsTheBytesPassUnchanged) {
    const Bytes data = Pcm16(Signal16(5000, 2, 42));
    TAuMemoryStream mem(Wav(2, 44100, 16, data));
    TWaveIn in;
    in.SetStream(&mem);
    TAudioConverter conv;
    EXPECT_EQ(conv.BitsPerSample(), 0);
    EXPECT_EQ(conv.Channels(), 0);
    try {
        conv.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Input is not assigned");
    }
    conv.Flush();
    conv.SetInput(&conv);  // ignored
    EXPECT_EQ(conv.Input(), nullptr);
    conv.SetInput(in);
    EXPECT_EQ(Drain(conv, 1000), data);
}

TEST(ConverterTest, MonoToStereoAndWidthChanges) {
    TAuMemoryStream mem(Wav(1, 8000, 16, Pcm16({32767, -32768, 1000})));
    TWaveIn in;
    in.SetStream(&mem);
    TAudioConverter conv;
    conv.SetInput(in);
    conv.SetOutChannels(2);
    conv.Init();
    EXPECT_EQ(conv.Size(), 12);
    conv.Flush();
    EXPECT_EQ(Samples16(Drain(conv)), (std::vector<int16_t>{32766, 32766, -32767, -32767, 1000, 1000}));

    conv.SetOutChannels(0);
    conv.SetOutBitsPerSample(24);
    Bytes b = Drain(conv);
    // 32767/32768 x 8388607 floored; -1 x 8388607; 1000/32768 x 8388607 floored.
    EXPECT_EQ(b, (Bytes{0xFF, 0xFE, 0x7F, 0x01, 0x00, 0x80, 0xFF, 0xE7, 0x03}));
}
