// Loudness to a target on programme-like generated signals: speech over a music bed, quiet,
// medium and loud; the integrated loudness within 0.5 LU of the target, the true peak at or
// below the ceiling, the file's format and length kept.

#include "audio/Glosnosc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "CodecSupport.h"
#include "production/GeneratorDzwiekow.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace d = dzwieki;

/// Speech with pauses over a bed a third of its level, `poziom` the speech's peak level.
d::Nagranie Program(double poziom, int kanaly = 2) {
    d::Nagranie mowa = d::Mowa(12.0, 44100, kanaly, poziom);
    const d::Nagranie bed = d::Podklad(12.0, 44100, poziom / 3, kanaly);
    for (std::size_t i = 0; i < mowa.probki.size(); ++i)
        mowa.probki[i] = static_cast<int16_t>(std::clamp(mowa.probki[i] + bed.probki[i], -32768, 32767));
    return mowa;
}

TEST(Glosnosc, TargetWithinHalfALuAtThreeLevelsAndTheTruePeakAtOrBelowTheCeiling) {
    test::TempDir dir;
    test::FakeOkno okno;
    for (const double poziom : {0.02, 0.25, 0.95}) {
        const d::Nagranie program = Program(poziom);
        for (const auto& [cel, sufit] : {std::pair{-23.0, -1.0}, std::pair{-16.0, -1.0}, std::pair{-18.0, -3.0}}) {
            const std::string plik = (dir / "serwis.wav").string();
            d::ZapiszWav(plik, program);
            const auto k = UstawGlosnosc(plik, cel, sufit, okno);
            ASSERT_TRUE(k && k->zmieniono) << poziom;
            // Measured again from the file, independently of what the correction reported.
            const auto po = ZmierzGlosnosc(plik);
            ASSERT_TRUE(po);
            EXPECT_NEAR(po->lufs, cel, 0.5) << "level " << poziom << " target " << cel;
            EXPECT_LE(po->szczyt, sufit) << "level " << poziom << " target " << cel;
            EXPECT_NEAR(po->lufs, k->po.lufs, 0.01);
            EXPECT_NEAR(k->przed.lufs + k->wzmocnienie, cel, 3.0);
            const test::Wav16 wynik = test::ReadWav16(plik);
            EXPECT_EQ(wynik.rate, 44100);
            EXPECT_EQ(wynik.channels, 2);
            EXPECT_EQ(wynik.frames(), program.Ramki());
        }
    }
    EXPECT_EQ(okno.actions.back(), "Korekta głośności...");
}

TEST(Glosnosc, MonoCountsOnBothLoudspeakersAndSilenceIsLeftAlone) {
    test::TempDir dir;
    test::FakeOkno okno;
    const std::string mono = (dir / "mono.wav").string(), stereo = (dir / "stereo.wav").string();
    d::ZapiszWav(mono, Program(0.25, 1));
    d::ZapiszWav(stereo, Program(0.25, 2));
    EXPECT_NEAR(ZmierzGlosnosc(mono)->lufs, ZmierzGlosnosc(stereo)->lufs, 0.1);

    const std::string cisza = (dir / "cisza.wav").string();
    d::ZapiszWav(cisza, d::Ton(5.0, 440, 0.0));
    const auto k = UstawGlosnosc(cisza, -23, -1, okno);
    ASSERT_TRUE(k);
    EXPECT_FALSE(k->zmieniono);
    EXPECT_EQ(TekstPomiaru(k->przed), "\u2212\u221e LUFS, zakres 0.0 LU, szczyt \u2212\u221e dBTP");
    EXPECT_EQ(TekstPomiaru({-17.34, 4.25, -1.06}), "\u221217.3 LUFS, zakres 4.2 LU, szczyt \u22121.1 dBTP");
    EXPECT_EQ(TekstWartosci(3.14, "dB", true), "+3.1 dB");
    EXPECT_EQ(TekstWartosci(-0.04, "dB", true), "0.0 dB");
    // Not a sound at all.
    std::ofstream(dir / "strona.wav") << "<html>502</html>";
    EXPECT_FALSE(ZmierzGlosnosc((dir / "strona.wav").string()));
    EXPECT_FALSE(UstawGlosnosc((dir / "strona.wav").string(), -23, -1, okno));
}

}  // namespace
}  // namespace tolvak
