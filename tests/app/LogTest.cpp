#include "app/Log.h"
#include "platform/AtomicFile.h"
#include "platform/Kodowanie.h"

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
std::string Get(const fs::path& p) {
    std::string s;
    tolvak::ReadWholeFile(p, s);
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        out.push_back(text.substr(start, pos - start));
    EXPECT_EQ(start, text.size()) << "the last line must end in CR LF";
    return out;
}

std::string Numbered(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i) s += "line " + std::to_string(i) + "\r\n";
    return s;
}

struct LogTest : ::testing::Test {
    TempDir dir;
    tolvak::ManualClock clock{LocalTime{2015, 3, 2, 13, 45, 7}};
    fs::path file = dir / "log.txt";
    tolvak::Log log{file, clock};
};

}  // namespace

TEST_F(LogTest, FirstEntryCreatesTheFileWithOneLine) {
    log.DodajDoLoga("Start programu");
    EXPECT_EQ(Get(file), "2015-03-02 13:45:07: Start programu\r\n");
}

TEST_F(LogTest, NewestFirstAndNeverMoreThan400Lines) {
    Put(file, Numbered(1, 400));
    log.DodajDoLoga("nowa");
    auto lines = Lines(Get(file));
    ASSERT_EQ(lines.size(), 400u);
    EXPECT_EQ(lines[0], "2015-03-02 13:45:07: nowa");
    EXPECT_EQ(lines[1], "line 1");
    EXPECT_EQ(lines[399], "line 399");

    // A longer hand-written file is cut at once; LF-only lines are read too.
    std::string lf;
    for (int i = 1; i <= 450; ++i) lf += "old " + std::to_string(i) + "\n";
    Put(file, lf);
    clock.advance(1);
    log.DodajDoLoga("a");
    clock.advance(1);
    log.DodajDoLoga("b");
    lines = Lines(Get(file));
    ASSERT_EQ(lines.size(), 400u);
    EXPECT_EQ(lines[0], "2015-03-02 13:45:09: b");
    EXPECT_EQ(lines[1], "2015-03-02 13:45:08: a");
    EXPECT_EQ(lines[399], "old 398");
}

TEST_F(LogTest, RegionalFormatsMidnightEmptyMessageAndLineBreaks) {
    log.SetFormats({"dd.MM.yyyy", "HH:mm:ss", '.'});
    clock.set(LocalTime{2015, 3, 2, 0, 0, 0, 0});
    log.DodajDoLoga("");
    clock.set(LocalTime{2015, 3, 2, 0, 0, 1, 0});
    log.DodajDoLoga("dwie\r\nlinie");
    EXPECT_EQ(Get(file), "02.03.2015 00:00:01: dwie\r\nlinie\r\n02.03.2015: \r\n");
    log.DodajDoLoga("x");
    EXPECT_EQ(Lines(Get(file)).size(), 4u);  // after a reload the break counts as two lines
}

TEST_F(LogTest, SwitchOffLeavesTheFileAloneButLinesStillReachOnLine) {
    std::vector<std::string> seen;
    log.OnLine = [&](std::string_view l) { seen.emplace_back(l); };
    log.SetCzyLog(false);
    log.DodajDoLoga("Zamknięcie programu.");
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "2015-03-02 13:45:07: Zamknięcie programu.");

    Put(file, "keep\r\n");
    log.DodajDoLoga("x");
    EXPECT_EQ(Get(file), "keep\r\n");
}

TEST_F(LogTest, AHandlerThatLogsAgainDoesNotHang) {
    bool inner = false;
    log.OnLine = [&](std::string_view) {
        if (inner) return;
        inner = true;
        log.DodajDoLoga("z obsługi");
    };
    log.DodajDoLoga("pierwsza");
    EXPECT_EQ(Lines(Get(file)).size(), 2u);
}

TEST_F(LogTest, AByteOrderMarkKeepsItsEncoding) {
    Put(file, "\xEF\xBB\xBFstara\r\n");
    log.DodajDoLoga("zażółć");
    EXPECT_EQ(Get(file), "\xEF\xBB\xBF" "2015-03-02 13:45:07: zażółć\r\nstara\r\n");

    // UTF-16 little endian "ó\r\n", then a character outside the basic plane.
    Put(file, std::string("\xFF\xFE\xF3\x00\r\x00\n\x00", 8));
    log.DodajDoLoga("\xF0\x9F\x8E\xB5");
    const std::string b = Get(file);
    const std::string head("\xFF\xFE" "2\x00", 4);
    ASSERT_TRUE(b.starts_with(head));
    EXPECT_TRUE(b.ends_with(std::string("\x3C\xD8\xB5\xDF\r\x00\n\x00\xF3\x00\r\x00\n\x00", 14)));
}

TEST_F(LogTest, AWindows1250LogStaysWindows1250AndAUtf8LogStaysUtf8) {
    // "Zamknięcie programu." and "Błąd" as the Windows workstation wrote them.
    const std::string stare = "02.03.2015 13:00:00: Zamkni\xEA" "cie programu.\r\nB\xB3\xB9" "d\r\n";
    Put(file, stare);
    log.DodajDoLoga("AkcjaSerwis: Pominięto sponsora /srv/żółw.wav: brak takiego pliku");
    EXPECT_EQ(Get(file), "2015-03-02 13:45:07: AkcjaSerwis: Pomini\xEAto sponsora /srv/\xBF\xF3\xB3w.wav: brak "
                         "takiego pliku\r\n" + stare);

    Put(file, "2015-03-02 13:00:00: Zamknięcie programu.\r\n");
    log.DodajDoLoga("żółw");
    EXPECT_EQ(Get(file), "2015-03-02 13:45:07: żółw\r\n2015-03-02 13:00:00: Zamknięcie programu.\r\n");
}

TEST_F(LogTest, AnUnwritableOrUnreadableLogNeverBreaksTheCaller) {
    tolvak::Log nowhere(dir / "no" / "such" / "log.txt", clock);
    EXPECT_NO_THROW(nowhere.DodajDoLoga("lost"));

    fs::create_directories(file / "inside");  // "log.txt" is a folder: cannot be read
    EXPECT_NO_THROW(log.DodajDoLoga("lost"));
    EXPECT_TRUE(fs::is_directory(file / "inside"));
}

TEST_F(LogTest, KillingAWriterNeverLeavesABrokenLog) {
    Put(file, Numbered(1, 400));
    std::mt19937 rng(777);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            tolvak::Log w(file, clock);
            for (;;) w.DodajDoLoga("entry");
        }
        usleep(std::uniform_int_distribution<useconds_t>(1000, 30000)(rng));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const auto lines = Lines(Get(file));
        ASSERT_EQ(lines.size(), 400u) << "round " << round;
        for (const auto& l : lines)
            ASSERT_TRUE(l == "2015-03-02 13:45:07: entry" || l.starts_with("line ")) << l;
    }
}

TEST_F(LogTest, ServerBytesStayUtf8AndARunawayLineIsCut) {
    const std::string stempel = "2015-03-02 13:45:07: ", dlugi(100 << 20, 'x');
    const std::pair<std::string, std::string> przypadki[] = {
        {"tvss_\xb1.mp3 \xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80 ą", "tvss_\\xB1.mp3 \\xED\\xA0\\x80 \\xC0\\xAF \\xF4\\x90\\x80\\x80 ą"},
        {"ą" + dlugi, "ą" + std::string(4096 - 3 - stempel.size() - 2, 'x') + "…"},
    };
    for (const auto& [komunikat, linia] : przypadki) {
        log.DodajDoLoga(komunikat);
        EXPECT_TRUE(tolvak::JestUtf8(Get(file)));
        EXPECT_EQ(Lines(Get(file)).front(), stempel + linia);
    }
}
