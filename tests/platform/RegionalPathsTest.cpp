#include "platform/Paths.h"
#include "platform/Regional.h"

#include <gtest/gtest.h>

#include <cstdlib>

using tolvak::LocalTime;

TEST(Regional, PatternsRenderFixedWidthFields) {
    const LocalTime t{2015, 3, 2, 9, 5, 7, 40};
    EXPECT_EQ(tolvak::FormatDateTime("yyyy-MM-dd HH:mm:ss", t), "2015-03-02 09:05:07");
    EXPECT_EQ(tolvak::FormatDateTime("d.M.yy H:m:s.zzz", t), "2.3.15 9:5:7.040");
    EXPECT_EQ(tolvak::FormatDateTime("dd/MM/yyyy 'godz.' hh", t, '.'), "02.03.2015 godz. 09");

    const tolvak::RegionalFormats pl{"dd.MM.yyyy", "HH:mm:ss", '.'};
    EXPECT_EQ(tolvak::DateTimeText(t, pl), "02.03.2015 09:05:07");
    EXPECT_EQ(tolvak::DateTimeText(LocalTime{2015, 3, 2, 0, 0, 0, 0}, pl), "02.03.2015");
    EXPECT_EQ(tolvak::DateTimeText(LocalTime{2015, 3, 2, 0, 0, 0, 1}, pl), "02.03.2015 00:00:00");

    // fs is "yyyy-MM-dd HH:mm:ss" whatever the regional settings, 12-hour clocks included.
    const auto fs = tolvak::Fs({"MM/dd/yyyy", "hh:mm:ss AP", '/'});
    EXPECT_EQ(tolvak::DateTimeText(LocalTime{2015, 3, 2, 13, 5, 7}, fs), "2015-03-02 13:05:07");
}

TEST(Regional, FormatsOfTheTimeLocale) {
    const LocalTime t{2026, 12, 9, 15, 47, 2};
    const auto pl = tolvak::RegionalneFormatyLocale("pl_PL.UTF-8");
    ASSERT_EQ(pl.shortDate, "dd.MM.yyyy") << "scripts/setup.sh generates the pl_PL.UTF-8 locale";
    EXPECT_EQ(pl.dateSeparator, '.');
    EXPECT_EQ(tolvak::DateTimeText(t, pl), "09.12.2026 15:47:02");
    for (const char* c : {"C", "POSIX", "C.UTF-8", "", "xx_XX.UTF-8"}) {
        const auto f = tolvak::RegionalneFormatyLocale(c);
        EXPECT_EQ(tolvak::DateTimeText(t, f), "2026-12-09 15:47:02") << c;
    }
    // strftime formats of other locales.
    EXPECT_EQ(tolvak::FormatDateTime(tolvak::WzorzecZStrftime("%m/%d/%Y %r"), t), "12/09/2026 03:47:02 PM");
    EXPECT_EQ(tolvak::FormatDateTime(tolvak::WzorzecZStrftime("%Y年%m月%d日 %-H時"), t), "2026年12月09日 15時");

    setenv("LC_ALL", "", 1);
    setenv("LC_TIME", "pl_PL.UTF-8", 1);
    setenv("LANG", "C", 1);
    EXPECT_EQ(tolvak::RegionalneFormatyZSrodowiska().shortDate, "dd.MM.yyyy");
    tolvak::SetRegionalFormats(tolvak::RegionalneFormatyZSrodowiska());
    EXPECT_EQ(tolvak::RegionalnaDataICzas(t), "09.12.2026 15:47:02");
    EXPECT_EQ(tolvak::RegionalnyCzas(t), "15:47:02");
    tolvak::SetRegionalFormats({});
}

TEST(Regional, ComingHourAndStampAroundMidnight) {
    // 13:05, 23:30, 00:10 on 2 March 2015.
    const LocalTime t1305{2015, 3, 2, 13, 5, 0}, t2330{2015, 3, 2, 23, 30, 0}, t0010{2015, 3, 2, 0, 10, 0};
    EXPECT_EQ(tolvak::ComingHourStamp(t1305), "2015-03-02 14");
    EXPECT_EQ(tolvak::ComingHourStamp(t2330), "2015-03-02 00");  // wraps, the date stays
    EXPECT_EQ(tolvak::ComingHourStamp(t0010), "2015-03-02 01");

    EXPECT_EQ(tolvak::ComingHour(t1305, 0), 14);
    EXPECT_EQ(tolvak::ComingHour(t2330, 0), 24);  // not reduced modulo 24
    EXPECT_EQ(tolvak::ComingHour(t0010, 0), 1);
    EXPECT_EQ(tolvak::ComingHour(t2330, 5), 29);
    EXPECT_EQ(tolvak::ComingHour(t0010, -1), 0);

    EXPECT_EQ(tolvak::ZeroPaddedHour(7), "07");
    EXPECT_EQ(tolvak::ZeroPaddedHour(24), "24");
    EXPECT_EQ(tolvak::BlankPaddedHour(7), " 7");
    EXPECT_EQ(tolvak::BlankPaddedHour(17), "17");
}

TEST(Paths, DirOptionBeatsEnvironmentBeatsExecutableFolder) {
    const char* old = std::getenv("TOLVAK_HOME");
    const std::string saved = old ? old : "";

    setenv("TOLVAK_HOME", "/tmp/tolvak-env", 1);
    EXPECT_EQ(tolvak::ProgramFolder(std::string("/srv/radio")), "/srv/radio");
    EXPECT_EQ(tolvak::ProgramFolder(std::nullopt), "/tmp/tolvak-env");
    unsetenv("TOLVAK_HOME");
    EXPECT_EQ(tolvak::ProgramFolder(std::nullopt), tolvak::ExecutableFolder());
    EXPECT_TRUE(tolvak::ProgramFolder(std::string("relative")).is_absolute());
    if (old) setenv("TOLVAK_HOME", saved.c_str(), 1);

    const std::string out = tolvak::DefaultOutputFolder();
    EXPECT_TRUE(tolvak::EndsWithPathSeparator(out));
    EXPECT_EQ(tolvak::IncludeTrailingPathSeparator("/a"), "/a/");
    EXPECT_EQ(tolvak::IncludeTrailingPathSeparator("/a/"), "/a/");
    EXPECT_EQ(tolvak::IncludeTrailingPathSeparator(""), "");
}
