#include "schedule/StanPobran.h"
#include "app/Log.h"
#include "platform/AtomicFile.h"
#include "platform/Ini.h"
#include "schedule/Matryca.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using tolvak::LocalTime;
using tolvak::test::TempDir;

namespace {

void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// 2 March 2015 was a Monday.
struct StanPobranTest : ::testing::Test {
    TempDir dir;
    fs::path ini = dir / "tolvak.ini";
    fs::path dat = dir / "tolvak.dat";
    tolvak::ManualClock clock{LocalTime{2015, 3, 2, 13, 5, 0}};
    tolvak::Log log{dir / "log.txt", clock};
    tolvak::Matryca matryca{ini};
    tolvak::StanPobran stan{dat, matryca, log, clock};
    std::vector<std::string> lines;

    void SetUp() override {
        log.OnLine = [this](std::string_view l) { lines.emplace_back(l.substr(l.find(": ") + 2)); };
    }
    void Want(const std::string& keys) {
        Put(ini, "[Matryca]\r\n" + keys);
        matryca.Wczytaj();
    }
};

}  // namespace

TEST_F(StanPobranTest, GeneralNewsFollowsTheMatrixAndTheRecordWithItsThreeLogLines) {
    Want("d114=1\r\nd115=0\r\n");
    EXPECT_TRUE(stan.CzyMaPobierac());  // Monday 13:05, the 14:00 cell is green
    stan.ZapiszPobranyInfo("News");
    EXPECT_EQ(tolvak::IniFile(dat).ReadString("Pobrany", "OstPobranyNews", ""), "2015-03-02 14");
    EXPECT_FALSE(stan.CzyMaPobierac());
    clock.set(LocalTime{2015, 3, 2, 14, 0, 0});
    EXPECT_FALSE(stan.CzyMaPobierac());  // the 15:00 cell is red
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "CzyMaPobierac: Ma pobierać na najbliższą godzinę.");
    EXPECT_EQ(lines[1], "CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.");
    EXPECT_EQ(lines[2], "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.");
    // The same lines are in the log file.
    EXPECT_NE(std::ifstream(dir / "log.txt").peek(), EOF);
}

TEST_F(StanPobranTest, AroundMidnightGeneralNewsFindsNoCellButOtherKindsStillCount) {
    Want("d124=1\r\nd11=1\r\nd21=1\r\nd26=1\r\n");
    clock.set(LocalTime{2015, 3, 2, 23, 30, 0});
    EXPECT_FALSE(stan.CzyMaPobierac());  // hour 24: no cell
    EXPECT_EQ(lines.back(), "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.");
    EXPECT_TRUE(stan.CzyMaPobieracSE("Sport"));
    stan.ZapiszPobranyInfo("Sport");
    EXPECT_EQ(tolvak::IniFile(dat).ReadString("Pobrany", "OstPobranySport", ""), "2015-03-02 00");
    EXPECT_FALSE(stan.CzyMaPobieracSE("Sport"));
    EXPECT_TRUE(stan.CzyMaPobieracSE("Pogoda"));

    // 00:10 the next day: Tuesday, hour 1 has no cell; yesterday's "00" stamp is another day.
    clock.set(LocalTime{2015, 3, 3, 0, 10, 0});
    EXPECT_FALSE(stan.CzyMaPobierac());
    EXPECT_TRUE(stan.CzyMaPobieracSE("Sport"));
    // From 05:00 the 06:00 cell decides.
    clock.set(LocalTime{2015, 3, 3, 5, 0, 0});
    EXPECT_TRUE(stan.CzyMaPobierac());
}

TEST_F(StanPobranTest, TheStampIsTakenWhenRecordingAndTheFileKeepsOtherKeys) {
    Put(dat, "[Pobrany]\r\nOstKopiowaniePliku=2015-03-02 13:58:00\r\nOstPobranySport=2015-03-01 14\r\n");
    Want("d115=1\r\n");
    clock.set(LocalTime{2015, 3, 2, 13, 59, 0});
    EXPECT_TRUE(stan.CzyMaPobieracSE("Sport"));  // a stamp of an earlier day
    clock.set(LocalTime{2015, 3, 2, 14, 0, 20});  // delivered after the full hour
    tolvak::ZapiszPobranyInfo(dat, "News", clock);
    EXPECT_FALSE(stan.CzyMaPobierac());  // the 15:00 bulletin counts as delivered
    const tolvak::IniFile f(dat);
    EXPECT_EQ(f.ReadString("Pobrany", "OstPobranyNews", ""), "2015-03-02 15");
    EXPECT_EQ(f.ReadString("Pobrany", "OstKopiowaniePliku", ""), "2015-03-02 13:58:00");

    // An unreadable state file counts as empty; a failed record raises.
    fs::remove(dat);
    fs::create_directory(dat);
    EXPECT_TRUE(stan.CzyMaPobieracSE("News"));
    EXPECT_THROW(stan.ZapiszPobranyInfo("News"), std::system_error);
}

TEST_F(StanPobranTest, KillingARecorderNeverLeavesABrokenStateFile) {
    for (const char* k : {"News", "Sport", "Ekonomia", "Pogoda"}) tolvak::ZapiszPobranyInfo(dat, k, clock);
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            tolvak::ManualClock c(LocalTime{2015, 3, 2, 0, 0, 0});
            const char* kinds[] = {"News", "Sport", "Ekonomia", "Pogoda"};
            for (int n = 0;; ++n) {
                c.advance(3600);
                tolvak::ZapiszPobranyInfo(dat, kinds[n % 4], c);
            }
        }
        usleep(std::uniform_int_distribution<useconds_t>(1000, 30000)(rng));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const tolvak::IniFile f(dat);
        ASSERT_EQ(f.ReadSection("Pobrany").size(), 4u) << "round " << round;
        for (const char* k : {"News", "Sport", "Ekonomia", "Pogoda"}) {
            const std::string v = f.ReadString("Pobrany", tolvak::KluczOstPobrany(k), "");
            ASSERT_EQ(v.size(), 13u) << k << " " << v;
            ASSERT_EQ(v[10], ' ') << v;
        }
    }
}
