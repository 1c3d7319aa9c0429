#include "app/Konfiguracja.h"
#include "platform/AtomicFile.h"
#include "platform/Ini.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using tolvak::test::TempDir;

namespace {
void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
std::string Get(const fs::path& p) {
    std::string s;
    tolvak::ReadWholeFile(p, s);
    return s;
}
}  // namespace

TEST(Konfiguracja, AnEmptyOrMissingFileGivesEveryDefault) {
    TempDir dir;
    Put(dir / "tolvak.ini", "");
    for (const fs::path& p : {dir / "tolvak.ini", dir / "missing.ini"}) {
        const tolvak::Ustawienia u = tolvak::OdczytajKonfiguracje(p);
        EXPECT_EQ(u.FolderZapisu, tolvak::DefaultOutputFolder());
        EXPECT_TRUE(tolvak::EndsWithPathSeparator(u.FolderZapisu));
        EXPECT_EQ(u.NazwaWynikowa, "serwis");
        EXPECT_EQ(u.NazwaWynikowaTyp, 1);
        EXPECT_EQ(u.FormatZapisu, 0);
        EXPECT_EQ(u.kompresjaPlikuZrodlowego, 0);
        EXPECT_EQ(u.kompresjaPlikuWynikowego, 0);
        EXPECT_TRUE(u.czyLog);
        EXPECT_TRUE(u.ZPRPassiveMode);
        EXPECT_FALSE(u.CzyNews || u.CzySport || u.CzyEkonomia || u.CzyPogoda || u.CzyZPliku || u.CzyIAR);
        EXPECT_FALSE(u.czyZPR || u.AgoraPodklad || u.Agora);
        EXPECT_EQ(u.StartSerwisu, 0);
        EXPECT_EQ(u.PrzesuniecieCzasowe, 0);
        EXPECT_EQ(u.ZatrzymajSprawdzanie, 0);
        EXPECT_TRUE(u.SerwisPodklad.empty() && u.iarURL.empty() && u.ZPRHost.empty());
        EXPECT_TRUE(u.konfiguracjaOdczytana);
    }
    // Reading never writes.
    EXPECT_FALSE(fs::exists(dir / "missing.ini"));
    EXPECT_EQ(Get(dir / "tolvak.ini"), "");
}

TEST(Konfiguracja, ValuesAreTrimmedRangedAndDerivedAsDocumented) {
    TempDir dir;
    Put(dir / "tolvak.ini",
        "[Ustawienia]\r\n"
        "AgoraLogin=  jan  \r\n"
        "AgoraPassword=   \r\n"
        "FolderZapisu=/srv/serwisy\r\n"
        "SerwisPodklad=\"/srv/dzwieki/podklad news.mp3\"\r\n"
        "iarURL=\"  http://feed/  \"\r\n"
        "ZPlikuSciezka=\"  /srv/in.mp3  \"\r\n"
        "StartDzwiekuSerwisu=-5\r\n"
        "StartDzwiekuPogody=0xFFFFFFFE\r\n"
        "PrzesuniecieCzasowe=7\r\n"
        "CzyTworzycLog=0\r\n"
        "CzyNews=5\r\n"
        "CzySport=yes\r\n"
        "ZPRPassiveMode=0\r\n"
        "AdresZet=\" https://zet.example \"\r\n"
        "AdresAgora=http://agora.example/\r\n"
        "[Kompresja]\r\n"
        "PlikZrodlowy=60\r\n"
        "PlikWynikowy=-61\r\n");
    const tolvak::Ustawienia u = tolvak::OdczytajKonfiguracje(dir / "tolvak.ini");
    EXPECT_EQ(u.AgoraLogin, "jan");
    EXPECT_EQ(u.AgoraPassword, "");
    EXPECT_FALSE(u.Agora);
    EXPECT_EQ(u.FolderZapisu, "/srv/serwisy/");
    EXPECT_EQ(u.SerwisPodklad, "/srv/dzwieki/podklad news.mp3");
    EXPECT_EQ(u.iarURL, "  http://feed/  ");  // not trimmed inside its quotes
    EXPECT_EQ(u.ZPlikuSciezka, "/srv/in.mp3");
    EXPECT_EQ(u.StartSerwisu, -5);
    EXPECT_EQ(u.StartPogody, -2);  // 32-bit pattern, sign-extended
    EXPECT_EQ(u.PrzesuniecieCzasowe, 0);
    EXPECT_FALSE(u.czyLog);
    EXPECT_TRUE(u.CzyNews);
    EXPECT_FALSE(u.CzySport);
    EXPECT_FALSE(u.ZPRPassiveMode);
    EXPECT_EQ(u.AdresZet, "https://zet.example");  // the addresses are trimmed
    EXPECT_EQ(u.AdresAgora, "http://agora.example/");
    EXPECT_EQ(u.AdresAgoraPliki, "");
    EXPECT_EQ(u.kompresjaPlikuZrodlowego, 60);
    EXPECT_EQ(u.kompresjaPlikuWynikowego, 0);
    // The file keeps the folder without its separator.
    EXPECT_EQ(tolvak::IniFile(dir / "tolvak.ini").ReadString("Ustawienia", "FolderZapisu", ""), "/srv/serwisy");

    EXPECT_TRUE(tolvak::CzyAgora(" a ", "b"));
    EXPECT_FALSE(tolvak::CzyAgora("a", " \t"));
}

TEST(Konfiguracja, SafetyKeysAreOffByDefaultAndTheLoudnessValuesAreReadAsStationsWriteThem) {
    TempDir dir;
    const auto czytaj = [&](const std::string& tekst) {
        Put(dir / "tolvak.ini", tekst);
        return tolvak::OdczytajKonfiguracje(dir / "tolvak.ini");
    };
    const tolvak::Ustawienia d = czytaj("[Ustawienia]\r\n");
    EXPECT_FALSE(d.GlosnoscPomiar || d.OdrzucPowtorzony || d.GlosnoscCel);
    EXPECT_EQ(d.GlosnoscSzczytMax, -1.0);
    EXPECT_EQ(d.PolecenieAlarmu, "");

    const tolvak::Ustawienia u = czytaj(
        "[Ustawienia]\r\nPolecenieAlarmu=  mail -s alarm dyzurny@radio  \r\nOdrzucPowtorzony=1\r\n"
        "[Glosnosc]\r\nPomiar=1\r\nCel=\xe2\x88\x92" "18,5\r\nSzczytMax=-2\r\n");
    EXPECT_EQ(u.PolecenieAlarmu, "mail -s alarm dyzurny@radio");
    EXPECT_TRUE(u.OdrzucPowtorzony && u.GlosnoscPomiar);
    EXPECT_EQ(u.GlosnoscCel, -18.5);  // U+2212 minus and a decimal comma
    EXPECT_EQ(u.GlosnoscSzczytMax, -2.0);
    // A target or ceiling that is no number, or outside the scale, is no target.
    for (const char* zly : {"abc", "-23 LUFS", "+5", "-99", "5", "nan"}) {
        const tolvak::Ustawienia z = czytaj(std::string("[Glosnosc]\r\nCel=") + zly + "\r\nSzczytMax=" + zly + "\r\n");
        EXPECT_FALSE(z.GlosnoscCel) << zly;
        EXPECT_EQ(z.GlosnoscSzczytMax, -1.0) << zly;
    }
    EXPECT_EQ(czytaj("[Glosnosc]\r\nCel=-23\r\n").GlosnoscCel, -23.0);
}

TEST(Konfiguracja, ClosingWritesItsKeysInOrderWithTheShiftForcedIntoRange) {
    TempDir dir;
    Put(dir / "tolvak.ini", "[Ustawienia]\r\nPrzesuniecieCzasowe=7\r\nZatrzymajSprawdzanie=3\r\nZPRHost= ftp.zpr \r\n");
    tolvak::Ustawienia u = tolvak::OdczytajKonfiguracje(dir / "tolvak.ini");
    u.AgoraPodklad = true;
    tolvak::ZapiszPrzyZamknieciu(dir / "tolvak.ini", u);
    EXPECT_EQ(Get(dir / "tolvak.ini"),
              "[Ustawienia]\r\nPrzesuniecieCzasowe=0\r\nZatrzymajSprawdzanie=3\r\nZPRHost= ftp.zpr\r\n"
              "CzyZPR=0\r\nZPRLogin=\r\nZPRPassword=\r\nZPRPassiveMode=1\r\nAgoraPodklad=1\r\n");

    // On a fresh file the keys appear in the order of writing.
    tolvak::ZapiszPrzyZamknieciu(dir / "new.ini", tolvak::Ustawienia{});
    EXPECT_EQ(Get(dir / "new.ini"),
              "[Ustawienia]\r\nZatrzymajSprawdzanie=0\r\nPrzesuniecieCzasowe=0\r\nCzyZPR=0\r\nZPRHost=\r\n"
              "ZPRLogin=\r\nZPRPassword=\r\nZPRPassiveMode=1\r\nAgoraPodklad=0\r\n");
}
