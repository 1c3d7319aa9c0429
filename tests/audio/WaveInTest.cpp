#include "audio/WaveIn.h"

#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tolvak;
using namespace tolvak::test;

namespace {

struct WaveInTest : ::testing::Test {
    TempDir dir;
    std::string Put(const std::string& name, const Bytes& b) {
        auto p = dir / name;
        WriteFile(p, b);
        return p.string();
    }
};

}  // namespace

TEST_F(WaveInTest, DecoderStyleFileOpensAsPcmAndReadsBackByteForByte) {
    const Bytes data = Pcm16(Signal16(30000, 2, 1));
    // The decoder writes "fmt " chunks of 16 or 18 bytes.
    Bytes fmt18 = FmtChunk(1, 2, 44100, 16);
    fmt18[4] = 18;
    fmt18.push_back(0);
    fmt18.push_back(0);
    for (const Bytes& file : {Wav(2, 44100, 16, data), Riff({fmt18, Chunk("data", data)})}) {
        TWaveIn in;
        in.SetFileName(Put("a.wav", file));
        EXPECT_EQ(in.WavType(), TWavType::wtPCM);
        EXPECT_TRUE(in.Valid());
        EXPECT_EQ(in.Channels(), 2);
        EXPECT_EQ(in.SampleRate(), 44100);
        EXPECT_EQ(in.BitsPerSample(), 16);
        EXPECT_EQ(in.TotalSamples(), 30000);
        EXPECT_EQ(in.TotalTime(), 1);  // 0.68 s rounds to 1
        in.Init();
        EXPECT_EQ(in.Size(), static_cast<int64_t>(data.size()));
        in.Flush();
        EXPECT_EQ(Drain(in), data);
        EXPECT_EQ(Drain(in, 1000), data);  // odd requests: whole frames only
    }
}

TEST_F(WaveInTest, OtherChunksAnyCaseAndPadBytesAreSkipped) {
    const Bytes data = Pcm16(Signal16(1000, 1, 2));
    Bytes list = Chunk("LIST", Bytes(13, 'x'));  // odd size, padded
    Bytes odd = Chunk("junk", Bytes(5, 'y'));
    const Bytes file = Riff({list, FmtChunk(1, 1, 22050, 16, "FmT "), odd, Chunk("DaTa", data)}, "riff", "wave");
    TWaveIn in;
    in.SetFileName(Put("b.wav", file));
    ASSERT_TRUE(in.Valid());
    EXPECT_EQ(in.SampleRate(), 22050);
    EXPECT_EQ(in.TotalSamples(), 1000);
    EXPECT_EQ(Drain(in), data);
    // A LIST chunk after the data is not audio.
    const Bytes after = Riff({FmtChunk(1, 1, 22050, 16), Chunk("data", data), Chunk("LIST", Bytes(100, 'z'))});
    in.SetFileName(Put("c.wav", after));
    EXPECT_EQ(Drain(in), data);
}

TEST_F(WaveInTest, DataSizeZeroMeansReadToTheEndAndLargerThanFileEndsWhenDry) {
    const Bytes data = Pcm16(Signal16(5000, 2, 3));
    Bytes file = Wav(2, 44100, 16, data);
    Bytes zero = file;
    zero[40] = zero[41] = zero[42] = zero[43] = 0;
    TWaveIn in;
    in.SetFileName(Put("z.wav", zero));
    EXPECT_TRUE(in.Valid());
    EXPECT_EQ(in.TotalSamples(), -1);
    EXPECT_EQ(Drain(in), data);

    Bytes big = file;
    big[40] = 0x00;
    big[41] = 0x00;
    big[42] = 0x10;  // 1 MiB announced
    in.SetFileName(Put("big.wav", big));
    EXPECT_EQ(Drain(in), data);
}

TEST_F(WaveInTest, UnusableFilesAreNotValidAndDeliverNothing) {
    const Bytes data = Pcm16(Signal16(100, 2, 4));
    Bytes huge = Riff({Chunk("LIST", Bytes(70000, 'x')), FmtChunk(1, 2, 44100, 16), Chunk("data", data)});
    Bytes noData = Riff({FmtChunk(1, 2, 44100, 16)});
    Bytes html = {'<', 'h', 't', 'm', 'l', '>', 'e', 'r', 'r', 'o', 'r', '<', '/', 'h', 't', 'm', 'l', '>'};
    Bytes adpcm = Riff({FmtChunk(0x11, 1, 22050, 4), Chunk("fact", Bytes(4, 0)), Chunk("data", Bytes(256, 0))});
    Bytes unknownTag = Riff({FmtChunk(0x50, 2, 44100, 16), Chunk("data", data)});
    Bytes noChannels = Riff({FmtChunk(1, 0, 44100, 16), Chunk("data", data)});
    Bytes oddBits = Riff({FmtChunk(1, 2, 44100, 12), Chunk("data", data)});
    Bytes empty;
    int i = 0;
    for (const Bytes* f : {&huge, &noData, &html, &adpcm, &unknownTag, &noChannels, &oddBits, &empty}) {
        SCOPED_TRACE(i);
        TWaveIn in;
        in.SetFileName(Put("bad" + std::to_string(i++) + ".wav", *f));
        EXPECT_FALSE(in.Valid());
        EXPECT_EQ(in.TotalSamples(), -1);
        in.Init();
        EXPECT_EQ(in.SampleRate(), 8000);
        EXPECT_EQ(in.BitsPerSample(), 8);
        EXPECT_EQ(in.Channels(), 1);
        uint8_t buf[64];
        EXPECT_EQ(in.CopyData(buf, sizeof buf), 0);
        in.Flush();
    }
    TWaveIn a;
    a.SetFileName(Put("adpcm.wav", adpcm));
    EXPECT_EQ(a.WavType(), TWavType::wtDVIADPCM);
}

TEST_F(WaveInTest, MissingFileRaisesThePlatformMessage) {
    TWaveIn in;
    in.SetFileName((dir / "nope.wav").string());
    const std::string brak = "Nie można otworzyć pliku " + (dir / "nope.wav").string() + ": brak takiego pliku";
    EXPECT_FALSE(in.Valid());
    try {
        (void)in.TotalSamples();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.what(), brak);
    }
    try {
        in.Init();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.what(), brak);
    }
    // The failed start leaves the input usable once the file is there.
    uint8_t b[16];
    EXPECT_EQ(in.CopyData(b, 16), 0);
    in.Flush();
    WriteFile(dir / "nope.wav", Wav(1, 8000, 8, Bytes(10, 200)));
    EXPECT_EQ(Drain(in), Bytes(10, 200));

    TWaveIn noName;
    try {
        noName.Init();
        FAIL() << "no error";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The file name is not assigned");
    }
    EXPECT_THROW({
        const uint8_t* p;
        int64_t n = 4;
        TWaveIn idle;
        idle.GetData(p, n);
    }, EAuException);
}

TEST_F(WaveInTest, RangesAreInclusiveAndResetAfterTheRun) {
    const auto sig = Signal16(2000, 2, 5);
    TWaveIn in;
    in.SetFileName(Put("r.wav", Wav(2, 44100, 16, Pcm16(sig))));
    auto frames = [&](int64_t from, int64_t count) {
        return Pcm16(std::vector<int16_t>(sig.begin() + from * 2, sig.begin() + (from + count) * 2));
    };

    in.SetStartSample(10);
    in.SetEndSample(19);
    EXPECT_EQ(Drain(in), frames(10, 10));
    EXPECT_EQ(in.StartSample(), 0);
    EXPECT_EQ(in.EndSample(), -1);

    in.SetStartSample(0);
    in.SetEndSample(999);
    in.Init();
    EXPECT_EQ(in.Size(), 4000);
    EXPECT_EQ(in.TotalSamples(), 1000);
    in.Flush();
    in.SetEndSample(999);
    EXPECT_EQ(Drain(in), frames(0, 1000));

    in.SetStartSample(10);
    in.SetEndSample(50000);  // beyond the end: to the end
    EXPECT_EQ(Drain(in), frames(10, 1990));

    in.SetStartSample(1500);  // only the start: exactly what the file holds from there
    in.Init();
    EXPECT_EQ(in.Size(), 500 * 4);
    in.Flush();
    in.SetStartSample(1500);
    EXPECT_EQ(Drain(in), frames(1500, 500));

    in.SetStartSample(100);
    in.SetEndSample(50);  // an empty range delivers nothing
    EXPECT_TRUE(Drain(in).empty());

    // Idle again: the whole source.
    EXPECT_EQ(in.TotalSamples(), 2000);
    EXPECT_EQ(Drain(in), Pcm16(sig));
}

TEST_F(WaveInTest, DeliversExactlySizeEvenWhenMoreFollows) {
    const auto sig = Signal16(3000, 1, 6);
    Bytes file = Wav(1, 8000, 16, Pcm16(sig));
    // Announce 1000 frames while 3000 follow.
    file[40] = 0xD0;
    file[41] = 0x07;
    file[42] = file[43] = 0;
    TWaveIn in;
    in.SetFileName(Put("s.wav", file));
    Bytes got = Drain(in, 1234);
    EXPECT_EQ(got, Pcm16(std::vector<int16_t>(sig.begin(), sig.begin() + 1000)));
}

TEST_F(WaveInTest, ReadsAnAssignedStreamAndRewindsIt) {
    const Bytes data = Pcm16(Signal16(4000, 2, 7));
    TAuMemoryStream mem(Wav(2, 44100, 16, data));
    TWaveIn in;
    in.SetStream(&mem);
    EXPECT_EQ(in.TotalSamples(), 4000);
    in.SetStartSample(100);
    in.SetEndSample(199);
    Bytes part = Drain(in);
    EXPECT_EQ(part, Bytes(data.begin() + 400, data.begin() + 800));
    EXPECT_EQ(mem.Position(), 0);
    EXPECT_EQ(Drain(in), data);
}

TEST_F(WaveInTest, FloatAnd8And24BitData) {
    // 32-bit float becomes 32-bit integers; 64-bit float likewise, with half the size.
    std::vector<float> f = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -3.0f, 0.25f};
    Bytes fd(f.size() * 4);
    std::memcpy(fd.data(), f.data(), fd.size());
    TWaveIn in;
    in.SetFileName(Put("f32.wav", Riff({FmtChunk(3, 2, 48000, 32), Chunk("data", fd)})));
    ASSERT_TRUE(in.Valid());
    EXPECT_EQ(in.WavType(), TWavType::wtIEEEFloat);
    EXPECT_EQ(in.BitsPerSample(), 32);
    Bytes got = Drain(in);
    ASSERT_EQ(got.size(), 32u);
    std::vector<int32_t> v(8);
    std::memcpy(v.data(), got.data(), 32);
    EXPECT_EQ(v, (std::vector<int32_t>{0, 1073741823, -1073741824, 2147483647, -2147483647 - 1, 2147483647,
                                       -2147483647 - 1, 536870911}));

    std::vector<double> d(f.begin(), f.end());
    Bytes dd(d.size() * 8);
    std::memcpy(dd.data(), d.data(), dd.size());
    in.SetFileName(Put("f64.wav", Riff({FmtChunk(3, 2, 48000, 64), Chunk("data", dd)})));
    EXPECT_EQ(in.TotalSamples(), 4);
    EXPECT_EQ(Drain(in), got);

    Bytes b8 = {0, 128, 255, 1};
    in.SetFileName(Put("u8.wav", Wav(1, 8000, 8, b8)));
    EXPECT_EQ(Drain(in), b8);
    Bytes b24 = {0x01, 0x02, 0x83, 0xFF, 0xFF, 0x7F};
    in.SetFileName(Put("s24.wav", Wav(2, 96000, 24, b24)));
    EXPECT_EQ(in.TotalSamples(), 1);
    EXPECT_EQ(Drain(in), b24);
}
