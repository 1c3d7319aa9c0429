#include "platform/AtomicFile.h"
#include "platform/Ini.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using tolvak::IniFile;
using tolvak::test::TempDir;

namespace {

void Put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Get(const fs::path& p) {
    std::string s;
    tolvak::ReadWholeFile(p, s);
    return s;
}

// A file as a Windows installation leaves it: CRLF, comments, quotes, names in any case.
const std::string kWindowsIni =
    "; Tolvak settings\r\n"
    "[Ustawienia]\r\n"
    "FolderZapisu = D:\\Serwisy  \r\n"
    "SerwisPodklad=\"C:\\Dzwieki\\podklad news.mp3\"\r\n"
    "iarURL='http://x/feed'\r\n"
    "Unbalanced=\"abc'\r\n"
    "czyNEWS=1\r\n"
    "StartDzwiekuSerwisu=0x1F\r\n"
    "Negative=-12\r\n"
    "Junk=12abc\r\n"
    "Huge=4294967296\r\n"
    "# a note\r\n"
    "\r\n"
    "[kompresja]\r\n"
    "PlikZrodlowy=-6\r\n"
    "\r\n"
    "[Matryca]\r\n"
    "d16=1\r\n";

}  // namespace

TEST(IniFile, ReadsAWindowsStyleFileByItsRules) {
    TempDir dir;
    Put(dir / "tolvak.ini", kWindowsIni);
    const IniFile ini(dir / "tolvak.ini");

    EXPECT_EQ(ini.ReadString("USTAWIENIA", "folderzapisu", "x"), "D:\\Serwisy");
    EXPECT_EQ(ini.ReadString("Ustawienia", "SerwisPodklad", ""), "C:\\Dzwieki\\podklad news.mp3");
    EXPECT_EQ(ini.ReadString("Ustawienia", "iarURL", ""), "http://x/feed");
    EXPECT_EQ(ini.ReadString("Ustawienia", "Unbalanced", ""), "\"abc'");
    EXPECT_TRUE(ini.ReadBool("Ustawienia", "CzyNews", false));
    EXPECT_EQ(ini.ReadInteger("Ustawienia", "StartDzwiekuSerwisu", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Ustawienia", "Negative", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Ustawienia", "Junk", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Ustawienia", "Huge", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Kompresja", "PlikZrodlowy", 0), -6);
    EXPECT_EQ(ini.ReadString("Ustawienia", "Missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("Brak", "d16", "def"), "def");
    // A comment is not a key, and a key of one section is not found in another.
    EXPECT_FALSE(ini.ValueExists("Ustawienia", "# a note"));
    EXPECT_FALSE(ini.ValueExists("Kompresja", "d16"));
    EXPECT_EQ(ini.ReadSection("ustawienia").size(), 9u);
}

TEST(IniFile, IntegerAndBooleanParsing) {
    int v = 0;
    EXPECT_TRUE(IniFile::ParseInteger(" 0X10 ", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(IniFile::ParseInteger("0xFFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(IniFile::ParseInteger("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(IniFile::ParseInteger("2147483648", v));
    EXPECT_FALSE(IniFile::ParseInteger("0x", v));
    EXPECT_FALSE(IniFile::ParseInteger("0x123456789", v));
    EXPECT_FALSE(IniFile::ParseInteger("yes", v));
    EXPECT_FALSE(IniFile::ParseInteger("", v));
    EXPECT_FALSE(IniFile::ParseInteger("1.5", v));

    TempDir dir;
    Put(dir / "a.ini", "[s]\nt=5\nf=0\ny=yes\n");
    const IniFile ini(dir / "a.ini");
    EXPECT_TRUE(ini.ReadBool("s", "t", false));
    EXPECT_FALSE(ini.ReadBool("s", "f", true));
    EXPECT_TRUE(ini.ReadBool("s", "y", true));  // not an integer: the default
    EXPECT_FALSE(ini.ReadBool("s", "y", false));
}

TEST(IniFile, ValuesAreCutAt2047BytesWithoutSplittingACharacter) {
    TempDir dir;
    std::string longAscii(3000, 'a');
    std::string polish;
    for (int i = 0; i < 1500; ++i) polish += "ż";  // two bytes each
    Put(dir / "a.ini", "[s]\r\nA=" + longAscii + "\r\nP=" + polish + "\r\n");
    const IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadString("s", "A", ""), std::string(2047, 'a'));
    const std::string p = ini.ReadString("s", "P", "");
    EXPECT_EQ(p.size(), 2046u);
    EXPECT_EQ(p, polish.substr(0, 2046));
}

TEST(IniFile, WritesChangeOnlyTheirKeyAndKeepEveryOtherLine) {
    TempDir dir;
    Put(dir / "tolvak.ini", kWindowsIni);
    IniFile ini(dir / "tolvak.ini");

    ini.WriteString("ustawienia", "FOLDERZAPISU", "E:\\Out\\");  // in place, spelling of the file kept
    ini.WriteInteger("Kompresja", "PlikWynikowy", 3);            // end of its section
    ini.WriteBool("Matryca", "d17", true);                       // end of the last section
    ini.WriteString("PogodaSponsorzy", "Sponsor1Przed", "");     // new section

    std::string expected = kWindowsIni;
    const std::string oldLine = "FolderZapisu = D:\\Serwisy  ";
    expected.replace(expected.find(oldLine), oldLine.size(), "FolderZapisu = E:\\Out\\");
    expected.replace(expected.find("PlikZrodlowy=-6\r\n") + 17, 0, "PlikWynikowy=3\r\n");
    expected += "d17=1\r\n\r\n[PogodaSponsorzy]\r\nSponsor1Przed=\r\n";
    EXPECT_EQ(Get(dir / "tolvak.ini"), expected);
    EXPECT_EQ(ini.ReadString("Ustawienia", "FolderZapisu", ""), "E:\\Out\\");
    EXPECT_EQ(ini.ReadInteger("Kompresja", "PlikWynikowy", 0), 3);
}

TEST(IniFile, CreatesAMissingFileAndWritesCrLfAndKeepsAByteOrderMark) {
    TempDir dir;
    IniFile ini(dir / "tolvak.dat");
    ini.WriteString("Pobrany", "OstPobranyNews", "2015-03-02 14");
    EXPECT_EQ(Get(dir / "tolvak.dat"), "[Pobrany]\r\nOstPobranyNews=2015-03-02 14\r\n");

    Put(dir / "lf.ini", "\xEF\xBB\xBF[S]\nk=1\n;c\n");
    IniFile lf(dir / "lf.ini");
    EXPECT_EQ(lf.ReadInteger("s", "K", 0), 1);
    lf.WriteInteger("S", "k", 2);
    EXPECT_EQ(Get(dir / "lf.ini"), "\xEF\xBB\xBF[S]\r\nk=2\r\n;c\r\n");
}

TEST(IniFile, WritesThatWouldBreakTheFileAreRefusedAndChangeNothing) {
    TempDir dir;
    Put(dir / "a.ini", "[s]\r\nk=1\r\n");
    IniFile ini(dir / "a.ini");
    EXPECT_THROW(ini.WriteString("s", "k", "x\r\n[Matryca]\r\nd16=1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "a=b", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s]", "k", "x"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("s", "", "x"), std::invalid_argument);
    EXPECT_EQ(Get(dir / "a.ini"), "[s]\r\nk=1\r\n");

    // A "file" that exists but cannot be read is not replaced by a one-key file.
    fs::create_directory(dir / "b.ini");
    fs::create_directory(dir / "b.ini" / "keep");
    IniFile b(dir / "b.ini");
    EXPECT_EQ(b.ReadString("s", "k", "def"), "def");
    EXPECT_THROW(b.WriteString("s", "k", "x"), std::system_error);
    EXPECT_TRUE(fs::is_directory(dir / "b.ini" / "keep"));

    // A folder that does not exist: the error reaches the caller.
    IniFile c(dir / "none" / "c.ini");
    EXPECT_THROW(c.WriteString("s", "k", "x"), std::system_error);
}

TEST(AtomicFile, AFailedReplaceLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    Put(dir / "target", "old");
    tolvak::WriteFileAtomically(dir / "target", "new contents");
    EXPECT_EQ(Get(dir / "target"), "new contents");

    // Renaming over a non-empty folder fails after the data was written.
    fs::create_directories(dir / "folder" / "inside");
    EXPECT_THROW(tolvak::WriteFileAtomically(dir / "folder", "x"), std::system_error);
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2);  // "target" and "folder": no leftover temporary file

    // A link is followed: the file it names is replaced, the link stays a link.
    fs::create_symlink("target", dir / "link");
    tolvak::WriteFileAtomically(dir / "link", "via link");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Get(dir / "target"), "via link");
}

// A writer killed at random moments never leaves a half-written file: every state seen
// afterwards parses completely with every key present and well-formed.
TEST(IniFile, KillingAWriterNeverLeavesABrokenFile) {
    TempDir dir;
    const fs::path file = dir / "tolvak.ini";
    IniFile ini(file);
    for (int k = 0; k < 50; ++k) ini.WriteString("Ustawienia", "Key" + std::to_string(k), "initial");

    std::mt19937 rng(12345);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            IniFile w(file);
            for (long n = 0;; ++n)
                w.WriteString("Ustawienia", "Key" + std::to_string(n % 50), std::string(1 + n % 200, 'v'));
        }
        usleep(std::uniform_int_distribution<useconds_t>(1000, 30000)(rng));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const std::string bytes = Get(file);
        ASSERT_TRUE(bytes.starts_with("[Ustawienia]\r\n")) << "round " << round;
        ASSERT_TRUE(bytes.ends_with("\r\n")) << "round " << round;
        const auto keys = ini.ReadSection("Ustawienia");
        ASSERT_EQ(keys.size(), 50u) << "round " << round;
        for (int k = 0; k < 50; ++k) {
            const std::string v = ini.ReadString("Ustawienia", "Key" + std::to_string(k), "");
            ASSERT_TRUE(v == "initial" || (!v.empty() && v.find_first_not_of('v') == std::string::npos))
                << "round " << round << " key " << k << " value " << v;
        }
    }
}
