// The state file's record of failed and repeated runs: what each outcome leaves standing, and
// which stored entries a restart can read back.

#include "schedule/StanWynikow.h"

#include <gtest/gtest.h>

#include "platform/Ini.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

WynikAkcji W(const char* rodzaj, bool dostarczony, bool powtorzony, const char* powod) {
    return WynikAkcji{rodzaj, "2026-12-10 15", dostarczony, powtorzony, powod};
}

TEST(StanWynikow, EachOutcomeLeavesWhatStillStandsForItsKindOnly) {
    test::TempDir dir;
    const auto dat = dir / "tolvak.dat";
    const LocalTime t{2026, 12, 10, 14, 52, 7, 0};
    const auto klucz = [&](const std::string& k) { return IniFile(dat).ReadString("Pobrany", k, "-"); };
    ZapiszWynik(dat, W("Sport", false, false, "Nieudane pobranie serwisu."), t);
    const std::string powt = "2026-12-10 14:52:07;15;Ten sam serwis co poprzednio.";
    struct { WynikAkcji w; std::string blad, powtorzony; } kroki[] = {
        {W("News", false, false, "Plik /a.mp3 nie zawiera dźwięku"), "2026-12-10 14:52:07;15;Plik /a.mp3 nie zawiera dźwięku", "-"},
        {W("News", true, true, "Ten sam serwis co poprzednio."), "-", powt},
        {W("News", false, false, "linia\r\ndru\x01ga"), "2026-12-10 14:52:07;15;linia  dru ga", powt},
        {W("News", false, true, "Ten sam serwis co poprzednio."), "2026-12-10 14:52:07;15;linia  dru ga", powt},
        {W("News", true, false, ""), "-", "-"},
    };
    for (const auto& k : kroki) {
        ZapiszWynik(dat, k.w, t);
        EXPECT_EQ(klucz("OstBladNews"), k.blad) << k.w.powod;
        EXPECT_EQ(klucz("OstPowtorzonyNews"), k.powtorzony) << k.w.powod;
    }
    EXPECT_EQ(klucz("OstBladSport"), "2026-12-10 14:52:07;15;Nieudane pobranie serwisu.");
}

TEST(StanWynikow, ARestartReadsBackOnlyWellFormedEntries) {
    test::TempDir dir;
    IniFile dat(dir / "tolvak.dat");
    const std::pair<const char*, const char*> wpisy[] = {
        {"OstBladNews", "2026-12-10 23:59:58;00;Brak dostępu do Internetu."},
        {"OstPowtorzonyNews", "2026-12-10 14:52:07;15"},        // no reason field
        {"OstBladSport", "2026-12-10 14:52;15;krótki czas"},      // no seconds
        {"OstBladEkonomia", "2026-1x-10 14:52:07;15;litera"},     // not a number
        {"OstPowtorzonyPogoda", "2026-12-10 14:52:07;15;Ten sam serwis co poprzednio.;z średnikiem"},
    };
    for (const auto& [k, v] : wpisy) dat.WriteString("Pobrany", k, v);
    const auto s = StojaceWyniki(dir / "tolvak.dat");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].rodzaj + "|" + s[0].godzina + "|" + s[0].powod, "News|2026-12-10 00|Brak dostępu do Internetu.");
    EXPECT_TRUE(s[0].Nieudany());
    EXPECT_EQ(s[1].rodzaj + "|" + s[1].powod, "Pogoda|Ten sam serwis co poprzednio.;z średnikiem");
    EXPECT_FALSE(s[1].Nieudany());
}

}  // namespace
}  // namespace tolvak
