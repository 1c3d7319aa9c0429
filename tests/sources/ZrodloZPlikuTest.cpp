// The local file source: the availability check against the last copy moment, the fetch into
// the working directory, and the names it builds.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>

#include "CzasPliku.h"
#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "sources/Pliki.h"
#include "sources/Zrodla.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

class ZrodloZPliku : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prog);
        fs::create_directories(work);
        std::ofstream(plik) << "ID3 bulletin bytes";
        ustawCzas(plik, T);
        u.ZPlikuSciezka = plik.string();
    }
    std::string OstatniaLinia() const {
        std::ifstream f(prog / "log.txt");
        std::string l;
        std::getline(f, l);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        return l.substr(l.find(": ") + 2);
    }
    std::string Zapisany() const {
        return IniFile(prog / "tolvak.dat").ReadString("Pobrany", "OstKopiowaniePliku", "");
    }

    const LocalTime T{2024, 5, 6, 7, 5, 9};
    test::TempDir tmp;
    fs::path prog = tmp / "prog", work = tmp / "work", plik = tmp / "wspolny" / "serwis.mp3";
    ManualClock clock{T};
    Log log{prog / "log.txt", clock};
    StatusDisplay okno{clock};
    Ustawienia u;
    Zrodla z{KontekstZrodel{u, prog, work, log, clock, okno}};

public:
    ZrodloZPliku() { fs::create_directories(tmp / "wspolny"); }
};

TEST_F(ZrodloZPliku, TheFileIsStampedWithItsOwnTimeOnceDeliveredAndNotTakenTwice) {
    EXPECT_TRUE(z.CzyJestSerwisZPliku());  // no entry yet
    // A run that fails after the copy leaves no stamp: the next check takes the file again.
    ASSERT_EQ(z.PobierzSerwisZPliku(), "tvss.mp3");
    EXPECT_EQ(OstatniaLinia(), "Serwis z pliku lokalnego pobrany.");
    EXPECT_EQ(Zapisany(), "");
    EXPECT_TRUE(z.CzyJestSerwisZPliku());
    // Delivered while the clock stands a day ahead: the stamp is the file's time all the same.
    clock.set(T.plusSeconds(24 * 3600));
    ASSERT_EQ(z.PobierzSerwisZPliku(), "tvss.mp3");
    z.PoDostarczeniuNews();
    EXPECT_EQ(Zapisany(), "2024-05-06 07:05:09");
    clock.set(T.plusSeconds(60));
    // Unchanged, rewritten a second later, an older file copied into place, written now.
    for (const auto& [sekundy, nowy] : {std::pair{0, false}, {1, true}, {-3600, false}, {60, true}}) {
        ustawCzas(plik, T.plusSeconds(sekundy));
        EXPECT_EQ(z.CzyJestSerwisZPliku(), nowy) << sekundy;
    }
    z.PoDostarczeniuNews();  // nothing pending: the stamp stays
    EXPECT_EQ(Zapisany(), "2024-05-06 07:05:09");
    ustawCzas(plik, LocalTime{2024, 5, 7, 0, 0, 0});
    ASSERT_EQ(z.PobierzSerwisZPliku(), "tvss.mp3");
    z.PoDostarczeniuNews();
    EXPECT_EQ(Zapisany(), "2024-05-07");
}

TEST_F(ZrodloZPliku, FetchCopiesIntoTheWorkingDirectoryAndKeepsTheSource) {
    std::ofstream(work / "tvss.mp3") << "stary plik z poprzedniego przebiegu, dłuższy";
    ASSERT_EQ(z.PobierzSerwisZPliku(), "tvss.mp3");
    std::ifstream f(work / "tvss.mp3");
    std::string s((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(s, "ID3 bulletin bytes");
    EXPECT_TRUE(fs::exists(plik));
    EXPECT_FALSE(fs::exists(fs::current_path() / "tvss.mp3"));
}

TEST_F(ZrodloZPliku, WorkFileNameKeepsTheExtensionAsWritten) {
    const std::pair<fs::path, std::string> przypadki[] = {
        {tmp / "wspolny" / "SERWIS.MP3", "tvss.MP3"},
        {tmp / "wspolny" / "bez_rozszerzenia", "tvss"},
        {tmp / "folder.z.kropka" / "plik", "tvss"},
        {tmp / "wspolny" / "pusty.wav", "tvss.wav"},
    };
    for (const auto& [sciezka, nazwa] : przypadki) {
        fs::create_directories(sciezka.parent_path());
        std::ofstream{sciezka};  // a zero-byte file is fetched as well
        u.ZPlikuSciezka = "  " + sciezka.string() + " ";  // blanks around are not part of it
        EXPECT_EQ(z.PobierzSerwisZPliku(), nazwa) << sciezka;
        EXPECT_TRUE(fs::exists(work / nazwa));
        EXPECT_EQ(GetFileSize((work / nazwa).string()), 0);
    }
}

TEST_F(ZrodloZPliku, FailuresGiveTheEmptyResultAndTheirLogLine) {
    u.ZPlikuSciezka = "";
    EXPECT_FALSE(z.CzyJestSerwisZPliku());
    EXPECT_EQ(z.PobierzSerwisZPliku(), "");
    EXPECT_EQ(OstatniaLinia(), "Nieudane pobranie serwisu z pliku lokalnego. Brak ścieżki.");
    const std::string brak = (tmp / "brak.mp3").string();
    u.ZPlikuSciezka = brak;
    EXPECT_FALSE(z.CzyJestSerwisZPliku());
    EXPECT_EQ(z.PobierzSerwisZPliku(), "");
    EXPECT_EQ(OstatniaLinia(), "Nieudane pobranie serwisu z pliku lokalnego. Plik " + brak + " nie istnieje.");
    // The working directory is gone: the copy fails, the stored moment stays.
    u.ZPlikuSciezka = plik.string();
    fs::remove_all(work);
    EXPECT_EQ(z.PobierzSerwisZPliku(), "");
    EXPECT_EQ(OstatniaLinia(), "Nieudane pobranie serwisu z pliku lokalnego.");
    EXPECT_EQ(Zapisany(), "");
    if (geteuid() != 0) {
        fs::create_directories(work);
        fs::permissions(plik, fs::perms::none);
        EXPECT_EQ(z.PobierzSerwisZPliku(), "");
        EXPECT_EQ(OstatniaLinia(), "Nieudane pobranie serwisu z pliku lokalnego.");
    }
}

TEST(NazwyZZewnatrz, NamesNotPaths) {
    EXPECT_EQ(NazwaPlikuPobranego(".mp3"), "tvss.mp3");
    EXPECT_EQ(NazwaPlikuPobranego(""), "tvss");
    EXPECT_EQ(NazwaPlikuPobranego("/../../etc/passwd"), "");
    EXPECT_EQ(NazwaPlikuPobranego(".\\..\\x"), "");
    EXPECT_EQ(NazwaPlikuPobranego("..mp3"), "");
    EXPECT_EQ(RozszerzenieZrodla("C:\\serwisy.d\\plik"), "");
    EXPECT_EQ(RozszerzenieZrodla("/srv/serwisy.d/plik"), "");
    EXPECT_EQ(RozszerzenieZrodla("http://host/a.mp3"), ".mp3");
    EXPECT_EQ(RozszerzenieZrodla("D:plik"), "");
    EXPECT_EQ(RozszerzenieZrodla("a.b:c"), "");
}

TEST(GetFileSizeTest, MissingAndEmptyAreZero) {
    test::TempDir tmp;
    EXPECT_EQ(GetFileSize((tmp / "brak").string()), 0);
    std::ofstream(tmp / "pusty");
    EXPECT_EQ(GetFileSize((tmp / "pusty").string()), 0);
    std::ofstream(tmp / "pelny") << "12345";
    EXPECT_EQ(GetFileSize((tmp / "pelny").string()), 5);
    if (geteuid() != 0) {
        fs::permissions(tmp / "pelny", fs::perms::none);
        EXPECT_THROW(GetFileSize((tmp / "pelny").string()), std::runtime_error);
    }
}

}  // namespace
}  // namespace tolvak
