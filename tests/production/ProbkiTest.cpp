// The samples of the assembly do not change when its machinery does: a fixed bulletin (MP3),
// bed and ending are decoded, mixed from a mix point, cut, joined with the ending and with a
// sponsor, and every intermediate WAV file is compared with the hash it had when this test was
// written. The compressor is left out: its arithmetic may change within 0.01 dB (its own test
// covers that). The hashes hold for the libraries of the supported platform (libsndfile,
// mpg123 and LAME of Debian 12); the generated sounds are deterministic.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "GeneratorDzwiekow.h"
#include "app/StatusDisplay.h"
#include "audio/AudioMixer.h"
#include "audio/Dekoder.h"
#include "audio/WaveIn.h"
#include "audio/WaveOut.h"
#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "production/Sponsorzy.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace d = dzwieki;

uint64_t Fnv1a(const std::string& sciezka) {
    std::ifstream f(sciezka, std::ios::binary);
    uint64_t h = 14695981039346656037ull;
    for (std::istreambuf_iterator<char> it(f), end; it != end; ++it) {
        h ^= static_cast<unsigned char>(*it);
        h *= 1099511628211ull;
    }
    return h;
}

class ProbkiTest : public ::testing::Test {
protected:
    void SetUp() override { UiQueue::instance().bindToCurrentThread(); }
    void TearDown() override { UiQueue::instance().unbind(); }

    /// One pass of the writer from `wejscie` into `plik`, waited for as the production run
    /// waits.
    void Przebieg(TAuInput& wejscie, const std::string& plik) {
        bool gotowe = false;
        zapis.OnDone = [&](TAuOutput*) { gotowe = true; };
        zapis.SetInput(wejscie);
        zapis.SetFileName(plik);
        zapis.Run();
        okno.waitUntil([&] { return gotowe; });
        ASSERT_EQ(zapis.ExceptionMessage(), "");
    }

    std::string P(const char* nazwa) const { return (dir / nazwa).string(); }

    test::TempDir dir;
    ManualClock clock;
    StatusDisplay okno{clock};
    TWaveIn in1, in2;
    TAudioMixer mikser;
    TWaveOut zapis;
};

TEST_F(ProbkiTest, DecodedMixedCutAndJoinedSamplesKeepTheirHashes) {
    d::ZapiszMp3(P("serwis.mp3"), d::Mowa(6.0), 128);
    d::ZapiszWav(P("podklad.wav"), d::Podklad(8.0));
    d::ZapiszWav(P("zakonczenie.wav"), d::Zakonczenie(1.0));
    d::ZapiszWav(P("sponsor.wav"), d::Dzingiel(1.0, 440.0));
    constexpr int64_t kPunktMixu = 22050;

    mp3ToWav(P("serwis.mp3"), P("voice.wav"), okno);
    mp3ToWav(P("podklad.wav"), P("bed.wav"), okno);
    mp3ToWav(P("zakonczenie.wav"), P("end.wav"), okno);

    mikser.SetInput1(in1);
    mikser.SetInput2(in2);
    in1.SetFileName(P("bed.wav"));
    in2.SetFileName(P("voice.wav"));
    mikser.SetMode(TAudioMixerMode::amMix);
    mikser.SetInput2StartSample(kPunktMixu);
    Przebieg(mikser, P("mix.wav"));

    in2.SetFileName(P("voice.wav"));
    const int64_t dlugosc = in2.TotalSamples();
    in2.Flush();
    in1.SetFileName(P("mix.wav"));
    in1.SetEndSample(dlugosc + kPunktMixu);
    Przebieg(in1, P("cut.wav"));

    in1.SetFileName(P("cut.wav"));
    in2.SetFileName(P("end.wav"));
    mikser.SetMode(TAudioMixerMode::amConcatenate);
    mikser.SetInput2StartSample(0);
    Przebieg(mikser, P("joined.wav"));

    JoinWaves({P("sponsor.wav"), P("joined.wav")}, P("final.wav"));

    EXPECT_EQ(Fnv1a(P("voice.wav")), 13479411674924846082ull) << "decoded bulletin";
    EXPECT_EQ(Fnv1a(P("bed.wav")), 18292769654779971837ull) << "decoded bed";
    EXPECT_EQ(Fnv1a(P("mix.wav")), 936501006940689502ull) << "bulletin over the bed";
    EXPECT_EQ(Fnv1a(P("cut.wav")), 17469001210411444206ull) << "bed cut behind the bulletin";
    EXPECT_EQ(Fnv1a(P("joined.wav")), 1419016650803673354ull) << "ending appended";
    EXPECT_EQ(Fnv1a(P("final.wav")), 13929345085068722911ull) << "sponsor joined";
}

}  // namespace
}  // namespace tolvak
