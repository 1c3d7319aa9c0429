// The ZPR source against a real FTP server: weekday folders and codes, the modification date of
// the coming hour's file, binary downloads in passive and active mode, and no state carried over
// from a failed operation.

#include "CzasPliku.h"
#include "SerwerFTP.h"
#include "SrodowiskoSieci.h"

namespace tolvak {
namespace {

using V = std::vector<std::string>;

class ZPR : public SrodowiskoSieci {
protected:
    ZPR() {
        u.czyZPR = true;
        u.ZPRHost = " 127.0.0.1:" + std::to_string(ftp.Port()) + " ";
        u.ZPRLogin = "zpr";
        u.ZPRPassword = "haslo";
    }
    /// A file on the server, last written at the local time `t`.
    void Plik(const std::string& sciezka, const std::string& tresc, LocalTime t) {
        ZapiszPlik(root / sciezka, tresc);
        ustawCzas(root / sciezka, t);
    }
    fs::path root = tmp / "ftp";
    test::SerwerFTP ftp{(tmp / "ftp"), "zpr", "haslo"};
};

TEST_F(ZPR, CheckWantsTheComingHoursFileWrittenToday) {
    EXPECT_FALSE(z().CzyJestSerwis());  // missing: the next check must not inherit anything
    Plik("1_pon/SERWIS_PON_0800.mp3", "ID3", {2024, 4, 29, 7, 55});  // last Monday's
    EXPECT_FALSE(z().CzyJestSerwis());
    Plik("1_pon/SERWIS_PON_0800.mp3", "ID3", {2024, 5, 5, 23, 59});  // yesterday
    EXPECT_FALSE(z().CzyJestSerwis());
    Plik("1_pon/SERWIS_PON_0800.mp3", "ID3", {2024, 5, 6, 0, 1});
    EXPECT_TRUE(z().CzyJestSerwis());
    const V linie = Linie();
    EXPECT_EQ(V(linie.end() - 3, linie.end()), (V{"CzyJestSerwis: Sprawdzanie czy jest nowy serwis: 8/07",
                                                   "CzyJestSerwis: Sprawdzamy ZPR", "CzyJestSerwis: Wynik pozytywny"}));
    EXPECT_EQ(linie.size(), 13u);
    EXPECT_EQ(linie[2], "CzyJestZPR: Brak dostępu do folderu lub pliku na serwerze (1_pon/SERWIS_PON_0800.mp3)");
    clock.set({2024, 5, 6, 23, 30, 0});
    Plik("1_pon/SERWIS_PON_2300.mp3", "ID3", {2024, 5, 6, 22, 55});
    EXPECT_FALSE(z().CzyJestSerwis());  // looks for _2400
    u.ZPRPassword = "zle";
    clock.set({2024, 5, 6, 7, 30, 0});
    EXPECT_FALSE(z().CzyJestSerwis());
}

TEST_F(ZPR, FetchIsBinaryInBothModesAndUsesFridaysCode) {
    const std::string mp3("ID3\r\n\n\r\0\xff\xfb\x90\x64\r\n", 14);
    clock.set({2024, 5, 10, 7, 10, 0});
    u.PrzesuniecieCzasowe = 1;
    EXPECT_EQ(z().PobierzSerwisZPR(), "");
    EXPECT_NE(Linie().back().find("PobierzSerwisZPR: "), std::string::npos);
    Plik("5_pia/SERWIS_PT_0900.mp3", mp3, {2024, 5, 10, 7, 0});
    for (bool pasywny : {true, false}) {
        u.ZPRPassiveMode = pasywny;
        fs::remove(work / "tvss.mp3");
        okno.setAction("");
        EXPECT_EQ(z().PobierzSerwisZPR(), "tvss.mp3") << pasywny;
        EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), mp3);
        EXPECT_EQ(okno.LAkcja(), "Pobieranie serwisu zakończone!");
    }
    Plik("5_pia/SERWIS_PT_0900.mp3", "", {2024, 5, 10, 7, 0});
    EXPECT_EQ(z().PobierzSerwisZPR(), "tvss.mp3");  // 0 bytes still count as fetched
    EXPECT_EQ(fs::file_size(work / "tvss.mp3"), 0u);
}

TEST(AdresSerweraFTPTest, HostWithOptionalPort) {
    EXPECT_EQ(AdresSerweraFTP(" ftp.zpr.pl "), "ftp.zpr.pl:21");
    EXPECT_EQ(AdresSerweraFTP("10.0.0.5:2121"), "10.0.0.5:2121");
    for (const char* zly : {"", "host:", "host:0", "host:65536", "host:2x", "a/b", "u@host", ":21"})
        EXPECT_EQ(AdresSerweraFTP(zly), "") << zly;
}

}  // namespace
}  // namespace tolvak
