// Dynamics compression of a WAV work file in place.

#include <gtest/gtest.h>

#include <cmath>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "CodecSupport.h"
#include "audio/AudioLib.h"
#include "audio/Kompresja.h"
#include "support/PelnyDysk.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace tolvak;
using namespace tolvak::test;

namespace {

double Db(double amplitude) { return 20.0 * std::log10(amplitude / 32768.0); }
int16_t Amp(double db) { return static_cast<int16_t>(std::lrint(32768.0 * std::pow(10.0, db / 20.0))); }

// A square wave (constant magnitude, so the detector sees a steady level) of `frames` frames,
// left at `ampL`, right at `ampR`, appended to `s`.
void Square(std::vector<int16_t>& s, int channels, int64_t frames, int16_t ampL, int16_t ampR) {
    for (int64_t i = 0; i < frames; ++i) {
        const int sign = (i / 50) % 2 ? -1 : 1;
        s.push_back(static_cast<int16_t>(sign * ampL));
        if (channels > 1) s.push_back(static_cast<int16_t>(sign * ampR));
    }
}

class KompresjaTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeOkno okno;
    fs::path file = dir / "tvvoice.wav";
};

TEST_F(KompresjaTest, KeepsFormatAndLengthAndWritesThePlainHeader) {
    for (auto [rate, channels, frames] : {std::tuple{44100, 2, 44100 * 2 + 17}, std::tuple{22050, 1, 5},
                                         std::tuple{48000, 2, 0}}) {
        WriteWav16(file, rate, channels, Sines(rate, channels, frames, 0.99, 0.99));
        Kompresuj(file.string(), 0, okno);
        const Wav16 w = ReadWav16(file);  // checks the 44-byte layout and its sizes
        EXPECT_EQ(w.rate, rate);
        EXPECT_EQ(w.channels, channels);
        EXPECT_EQ(w.frames(), frames);
    }
    EXPECT_EQ(okno.actions.front(), "Trwa kompresja dynamiki...");
    EXPECT_EQ(okno.actions.back(), "Kompresja dynamiki zakończona!");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST_F(KompresjaTest, BelowTheThresholdOnlyTheGainActs) {
    std::vector<int16_t> s;
    Square(s, 2, 20000, Amp(-20), -Amp(-26));
    WriteWav16(file, 44100, 2, s);
    Kompresuj(file.string(), 0, okno);
    EXPECT_EQ(ReadWav16(file).samples, s);  // transparent

    Kompresuj(file.string(), -60, okno);  // 3277 / 1000
    Wav16 w = ReadWav16(file);
    EXPECT_EQ(w.at(0, 0), 3);
    EXPECT_EQ(w.at(0, 1), -2);

    std::vector<int16_t> quiet;
    Square(quiet, 1, 20000, 10, 0);
    WriteWav16(file, 44100, 1, quiet);
    Kompresuj(file.string(), 60, okno);
    w = ReadWav16(file);
    EXPECT_EQ(w.at(0, 0), 10000);
    EXPECT_EQ(w.at(50, 0), -10000);
}

TEST_F(KompresjaTest, LargeGainClipsInsteadOfWrappingAround) {
    WriteWav16(file, 44100, 2, Sines(44100, 2, 44100, 0.3, 0.3));
    const Wav16 before = ReadWav16(file);
    Kompresuj(file.string(), 60, okno);
    const Wav16 after = ReadWav16(file);
    ASSERT_EQ(after.samples.size(), before.samples.size());
    int clipped = 0;
    for (size_t i = 0; i < after.samples.size(); ++i) {
        if (before.samples[i] > 0) {
            EXPECT_GT(after.samples[i], 0) << i;
        }
        if (before.samples[i] < 0) {
            EXPECT_LT(after.samples[i], 0) << i;
        }
        clipped += after.samples[i] == 32767 || after.samples[i] == -32768;
    }
    EXPECT_GT(clipped, static_cast<int>(after.samples.size() / 2));
}

TEST_F(KompresjaTest, ReducesTheDynamicRangeByTheRatioAndKeepsTheStereoImage) {
    // 2 s at -3 dBFS then 2 s at -30 dBFS on the left; the right channel at half the left.
    const int16_t loud = Amp(-3), quiet = Amp(-30);
    std::vector<int16_t> s;
    Square(s, 2, 88200, loud, loud / 2);
    Square(s, 2, 88200, quiet, quiet / 2);
    WriteWav16(file, 44100, 2, s);
    Kompresuj(file.string(), 0, okno);
    const Wav16 w = ReadWav16(file);
    ASSERT_EQ(w.frames(), 176400);

    const int loudOut = PeakOf(w, 0, 44100, 88200);
    const int quietOut = PeakOf(w, 0, 88200 + 66150, 176400);
    // 12 dB above the -15 dB threshold at 3:1 leaves 4 dB: -11 dBFS.
    EXPECT_NEAR(Db(loudOut), -11.0, 0.1);
    EXPECT_NEAR(Db(quietOut), -30.0, 0.1);
    EXPECT_NEAR(Db(loudOut) - Db(quietOut), 19.0, 0.2);  // was 27 dB
    // The steady part is steady (no pumping on a constant level).
    EXPECT_LE(loudOut - std::abs(w.at(60000, 0)), 1);
    // Both channels get the same gain: the right stays at half the left.
    for (int64_t f : {int64_t{50000}, int64_t{80000}, int64_t{170000}})
        EXPECT_NEAR(w.at(f, 1), w.at(f, 0) / 2.0, 1.0) << f;
}

TEST_F(KompresjaTest, TheReductionFollowsAttackAndRelease) {
    // Quiet, then a jump 12 dB over the threshold, then quiet again.
    const int16_t loud = Amp(-3), quiet = Amp(-30);
    std::vector<int16_t> s;
    Square(s, 1, 44100, quiet, 0);
    Square(s, 1, 44100, loud, 0);
    Square(s, 1, 44100, quiet, 0);
    WriteWav16(file, 44100, 1, s);
    Kompresuj(file.string(), 0, okno);
    const Wav16 w = ReadWav16(file);
    auto reductionDb = [&](int64_t frame, int16_t in) { return Db(in) - Db(std::abs(w.at(frame, 0))); };
    // 8 dB in the steady state; after 2 ms of the attack clearly less, after 100 ms nearly all.
    EXPECT_LT(reductionDb(44100 + 88, loud), 4.0);
    EXPECT_GT(reductionDb(44100 + 4410, loud), 7.8);
    // After the level falls the gain comes back within the release time, not at once.
    EXPECT_GT(reductionDb(88200 + 441, quiet), 7.0);
    EXPECT_LT(reductionDb(88200 + 44100 - 1, quiet), 0.1);
}

TEST_F(KompresjaTest, MissingFileOrAFullDiskRaisesTheErrorNamingTheFile) {
    EXPECT_THROW(Kompresuj((dir / "missing.wav").string(), 0, okno), EFOpenError);
    EXPECT_EQ(okno.actions, std::vector<std::string>{"Trwa kompresja dynamiki..."});
    EXPECT_FALSE(fs::exists(dir / "missing.wav"));
    try {
        Kompresuj((dir / "missing.wav").string(), 0, okno);
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.wav"), std::string::npos) << e.what();
    }
    // The disk fills up while the file is rewritten: it stays as it was.
    WriteWav16(file, 44100, 2, std::vector<int16_t>(4 * 44100, 1000));
    const std::string before = ReadBytes(file);
    try {
        PelnyDysk pelny(64 * 1024);
        Kompresuj(file.string(), 0, okno);
        ADD_FAILURE() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_EQ(std::string(e.what()), "Nie można zapisać pliku " + file.string() + ": " + std::strerror(EFBIG));
    }
    EXPECT_EQ(ReadBytes(file), before);
}

TEST_F(KompresjaTest, UndecodableContentStaysAsItWas) {
    WriteBytes(file, "<html>Service unavailable</html>");
    EXPECT_NO_THROW(Kompresuj(file.string(), 6, okno));
    EXPECT_EQ(ReadBytes(file), "<html>Service unavailable</html>");
    EXPECT_EQ(okno.actions.back(), "Kompresja dynamiki zakończona!");
}

}  // namespace
