// Decoding any readable sound into a 16-bit PCM WAV work file.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "CodecSupport.h"
#include "audio/AudioLib.h"
#include "audio/Dekoder.h"
#include "support/PelnyDysk.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace tolvak;
using namespace tolvak::test;

namespace {

class DekoderTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeOkno okno;

    fs::path Encoded(const std::string& name, int channels, int64_t frames, const std::string& args,
                     int rate = 44100) {
        const fs::path wav = dir / (name + ".src.wav");
        WriteWav16(wav, rate, channels, Sines(rate, channels, frames));
        const fs::path out = dir / name;
        if (!Ffmpeg(wav, args, out)) ADD_FAILURE() << "ffmpeg could not make " << name;
        return out;
    }
    bool NoLeftovers() const {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().find(".tmp-") != std::string::npos) return false;
        return true;
    }
};

TEST_F(DekoderTest, StereoMp3BecomesStereoWavOfTheSameLength) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg to make the fixture";
    const int64_t frames = 3 * 44100 + 123;
    const fs::path mp3 = Encoded("in.mp3", 2, frames, "-c:a libmp3lame -b:a 192k");
    mp3ToWav(mp3.string(), (dir / "out.wav").string(), okno);

    const Wav16 w = ReadWav16(dir / "out.wav");
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.channels, 2);
    // The encoder's delay and padding are in the file's header: the decode is gapless.
    EXPECT_EQ(w.frames(), frames);
    // Channels keep their order and level (left 0.5, right 0.25 of full scale).
    EXPECT_NEAR(PeakOf(w, 0, 4410, frames - 4410), 16384, 1200);
    EXPECT_NEAR(PeakOf(w, 1, 4410, frames - 4410), 8192, 800);
    ASSERT_EQ(okno.actions.size(), 2u);
    EXPECT_EQ(okno.actions[0], "Konwersja pliku in.mp3...");
    EXPECT_EQ(okno.actions[1], "Konwersja pliku in.mp3 zakończona!");
    EXPECT_EQ(okno.processed, 2);
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(DekoderTest, MonoMp3AndMp2KeepTheirFormat) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg to make the fixture";
    const int64_t frames = 2 * 44100 + 7;
    const fs::path mono = Encoded("mono.mp3", 1, frames, "-c:a libmp3lame -b:a 96k");
    mp3ToWav(mono.string(), (dir / "mono.wav").string(), okno);
    const Wav16 m = ReadWav16(dir / "mono.wav");
    EXPECT_EQ(m.rate, 44100);
    EXPECT_EQ(m.channels, 1);
    EXPECT_EQ(m.frames(), frames);
    EXPECT_NEAR(PeakOf(m, 0, 4410, frames - 4410), 16384, 1200);

    // Layer II carries no gapless information: the decode is padded to whole 1152-frame
    // frames, possibly with the decoder's delay on top.
    const fs::path mp2 = Encoded("in.mp2", 2, frames, "-c:a mp2 -b:a 192k", 48000);
    mp3ToWav(mp2.string(), (dir / "mp2.wav").string(), okno);
    const Wav16 w = ReadWav16(dir / "mp2.wav");
    EXPECT_EQ(w.rate, 48000);
    EXPECT_EQ(w.channels, 2);
    EXPECT_GE(w.frames(), frames);
    EXPECT_LE(w.frames(), frames + 3 * 1152);
    EXPECT_NEAR(PeakOf(w, 0, 4800, frames - 4800), 16384, 1500);
}

TEST_F(DekoderTest, Pcm16WavComesBackSampleForSample) {
    std::vector<int16_t> s = Sines(22050, 2, 30000, 0.9, 0.7);
    s[0] = -32768;
    s[1] = 32767;
    s[2] = -1;
    s[3] = 1;
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16}) {
        const fs::path src = dir / "src.wav";
        WriteWav16(src, 22050, 2, s, format);
        mp3ToWav(src.string(), (dir / "out.wav").string(), okno);
        const Wav16 w = ReadWav16(dir / "out.wav");
        EXPECT_EQ(w.rate, 22050);
        EXPECT_EQ(w.channels, 2);
        EXPECT_EQ(w.samples, s) << "format " << std::hex << format;
    }
}

TEST_F(DekoderTest, WiderAndFloatSamplesAreRoundedAndClipped) {
    // Float: value × 32768, halves to even, clipped at both ends.
    const std::vector<float> f = {0.5f, -0.5f, 2.5f / 32768, 3.5f / 32768, -2.5f / 32768,
                                  1.5f, -2.0f, 32767.4f / 32768, 1.0f, -1.0f};
    WriteWavFloat(dir / "float.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, f);
    mp3ToWav((dir / "float.wav").string(), (dir / "f.wav").string(), okno);
    EXPECT_EQ(ReadWav16(dir / "f.wav").samples,
              (std::vector<int16_t>{16384, -16384, 2, 4, -2, 32767, -32768, 32767, 32767, -32768}));

    // 24-bit: value / 256, rounded the same way.
    WriteWav24(dir / "i24.wav", 96000, 2, {384, 640, -640, 0x7FFFFF, -0x800000, 255});
    mp3ToWav((dir / "i24.wav").string(), (dir / "i.wav").string(), okno);
    const Wav16 w = ReadWav16(dir / "i.wav");
    EXPECT_EQ(w.rate, 96000);
    EXPECT_EQ(w.samples, (std::vector<int16_t>{2, 2, -2, 32767, -32768, 1}));

    // 8-bit unsigned widens exactly.
    WriteWav16(dir / "u8.wav", 11025, 1, {-32768, 0, 18432, 32512}, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    mp3ToWav((dir / "u8.wav").string(), (dir / "u.wav").string(), okno);
    EXPECT_EQ(ReadWav16(dir / "u.wav").samples, (std::vector<int16_t>{-32768, 0, 18432, 32512}));
}

TEST_F(DekoderTest, UndecodableSourcesWriteNothingAndRaiseNothing) {
    const fs::path out = dir / "out.wav";
    const std::string html =
        "<!DOCTYPE html><html><head><title>404 Not Found</title></head>"
        "<body><h1>Not Found</h1></body></html>\n";
    std::string noise(50000, '\0');
    uint32_t x = 12345;
    for (auto& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    const std::pair<const char*, std::string> cases[] = {
        {"empty.mp3", ""}, {"error.mp3", html}, {"noise.mp3", noise}, {"cut.wav", "RIFF\x24\0\0\0WAVEfm"}};

    for (const auto& [name, bytes] : cases) {
        WriteBytes(dir / name, bytes);
        okno.actions.clear();
        EXPECT_FALSE(mp3ToWav((dir / name).string(), out.string(), okno).has_value()) << name;
        EXPECT_FALSE(fs::exists(out)) << name;
        ASSERT_EQ(okno.actions.size(), 2u);
        EXPECT_EQ(okno.actions[1], std::string("Konwersja pliku ") + name + " zakończona!");
    }
    // An existing output stays as it was.
    WriteBytes(out, "previous");
    mp3ToWav((dir / "error.mp3").string(), out.string(), okno);
    EXPECT_EQ(ReadBytes(out), "previous");
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(DekoderTest, MissingSourceRaisesTheReadErrorBeforeWritingAnything) {
    const fs::path out = dir / "out.wav";
    WriteBytes(out, "previous");
    try {
        mp3ToWav((dir / "missing.mp3").string(), out.string(), okno);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.mp3"), std::string::npos) << e.what();
    }
    EXPECT_EQ(okno.actions, std::vector<std::string>{"Konwersja pliku missing.mp3..."});
    EXPECT_EQ(ReadBytes(out), "previous");
}

TEST_F(DekoderTest, SecondCallReplacesTheFirstOutput) {
    const fs::path out = dir / "out.wav";
    WriteWav16(dir / "a.wav", 44100, 2, Sines(44100, 2, 50000));
    WriteWav16(dir / "b.wav", 32000, 1, Sines(32000, 1, 1000));
    mp3ToWav((dir / "a.wav").string(), out.string(), okno);
    EXPECT_EQ(ReadWav16(out).frames(), 50000);
    mp3ToWav((dir / "b.wav").string(), out.string(), okno);
    const Wav16 w = ReadWav16(out);
    EXPECT_EQ(w.rate, 32000);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.samples, Sines(32000, 1, 1000));
    // Decoding a file onto itself works, since the source is read into memory first.
    mp3ToWav(out.string(), out.string(), okno);
    EXPECT_EQ(ReadWav16(out).samples, Sines(32000, 1, 1000));
}

TEST_F(DekoderTest, FilesTheDecodeCannotOpenOrCreateAreNamedInTheError) {
    WriteWav16(dir / "a.wav", 44100, 2, Sines(44100, 2, 3 * 44100));
    auto blad = [&](const fs::path& in, const fs::path& out) -> std::string {
        try {
            mp3ToWav(in.string(), out.string(), okno);
        } catch (const std::system_error& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(blad(dir / "podklad.wav", dir / "out.wav"),
              "Nie można otworzyć pliku " + (dir / "podklad.wav").string() + ": brak takiego pliku");
    const fs::path out = dir / "no-such-folder" / "out.wav";
    EXPECT_EQ(blad(dir / "a.wav", out), "Nie można utworzyć pliku " + out.string() + ": brak takiego pliku");
    // An output path that is a folder is left alone.
    fs::create_directory(dir / "folder.wav");
    EXPECT_EQ(blad(dir / "a.wav", dir / "folder.wav"),
              "Nie można utworzyć pliku " + (dir / "folder.wav").string() + ": to jest folder");
    EXPECT_TRUE(fs::is_directory(dir / "folder.wav"));
    // The disk fills up during the decode: the reason and the file, the target as it was.
    WriteBytes(dir / "pelny.wav", "previous");
    {
        PelnyDysk pelny(64 * 1024);
        EXPECT_EQ(blad(dir / "a.wav", dir / "pelny.wav"),
                  "Nie można zapisać pliku " + (dir / "pelny.wav").string() + ": " + std::strerror(EFBIG));
    }
    EXPECT_EQ(ReadBytes(dir / "pelny.wav"), "previous");
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(DekoderTest, BroadcastWaveWithMpegLayer2Or3DecodesItsDataChunk) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg to make the fixture";
    const int64_t frames = 2 * 48000 + 11;
    // ffmpeg writes them as broadcasters do: "fmt " with the MPEG tag, "fact", "LIST", "data".
    const std::pair<const char*, uint16_t> cases[] = {{"-c:a mp2 -b:a 192k -f wav", 0x50},
                                                      {"-c:a libmp3lame -b:a 192k -f wav", 0x55}};
    for (const auto& [args, tag] : cases) {
        const fs::path bwf = Encoded("bwf" + std::to_string(tag) + ".wav", 2, frames, args, 48000);
        const std::string bytes = ReadBytes(bwf);
        ASSERT_GT(bytes.size(), 22u);
        ASSERT_EQ(static_cast<uint8_t>(bytes[20]) | static_cast<uint8_t>(bytes[21]) << 8, tag);
        ASSERT_TRUE(mp3ToWav(bwf.string(), (dir / "out.wav").string(), okno).has_value()) << tag;
        const Wav16 w = ReadWav16(dir / "out.wav");
        EXPECT_EQ(w.rate, 48000);
        EXPECT_EQ(w.channels, 2);
        // Without gapless information the decode is padded to whole frames of 1152.
        EXPECT_GE(w.frames(), frames - 1152) << tag;
        EXPECT_LE(w.frames(), frames + 3 * 1152) << tag;
        EXPECT_NEAR(PeakOf(w, 0, 4800, frames - 4800), 16384, 1200) << tag;
    }
}

TEST_F(DekoderTest, GaugeCountsDecodedBytesInBlocksAndStaysFullWhenFull) {
    // 30000 stereo frames = 120000 bytes: 6 blocks of 5000 frames, then the empty last read.
    WriteWav16(dir / "a.wav", 44100, 2, Sines(44100, 2, 30000));
    okno.gaugeMax = 1000000;
    okno.gaugePos = 0;
    mp3ToWav((dir / "a.wav").string(), (dir / "o.wav").string(), okno);
    EXPECT_EQ(okno.gaugeMax, 120000);
    ASSERT_GE(okno.positions.size(), 7u);
    EXPECT_EQ(okno.positions[1], 20001);  // positions[0] is from setting the maximum
    EXPECT_EQ(okno.positions[5], 100005);
    EXPECT_EQ(okno.positions.back(), 120000);

    // A bar standing at a larger maximum comes down to the new one and stays full.
    okno.gaugeMax = okno.gaugePos = 5000000;
    okno.positions.clear();
    mp3ToWav((dir / "a.wav").string(), (dir / "o.wav").string(), okno);
    for (int64_t p : okno.positions) EXPECT_EQ(p, 120000);
}

}  // namespace
