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

    // fs keeps the regional time but always dates "yyyy-MM-dd".
    const auto fs = tolvak::Fs(pl);
    EXPECT_EQ(tolvak::DateTimeText(t, fs), "2015-03-02 09:05:07");
    EXPECT_EQ(fs.longTime, "HH:mm:ss");
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
