// What keeps a broken, empty or stale bulletin off the air, through the production run on real
// files: the verified hand-off, the empty bulletin, the fingerprint of the last delivery and the
// loudness step; and a full output file system, with the program itself on a small tmpfs.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include "GeneratorDzwiekow.h"
#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "audio/Glosnosc.h"
#include "platform/Ini.h"
#include "platform/UiQueue.h"
#include "production/Odcisk.h"
#include "production/Produkcja.h"
#include "schedule/StanPobran.h"
#include "sources/Zrodla.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;
namespace d = dzwieki;
using Linie = std::vector<std::string>;

std::string Czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

/// The run always takes its bulletin from a file (--input), so no source is ever asked.
class BezZrodel : public ZrodlaSerwisow {
public:
    std::string PobierzSerwis() override { return {}; }
    std::string PobierzSerwisSE(const std::string&) override { return {}; }
    std::string PobierzSerwisAgoraDodatkowy(const std::string&) override { return {}; }
    std::string PobierzSerwisIAR() override { return {}; }
    std::string PobierzSerwisZPR() override { return {}; }
    std::string PobierzSerwisZPliku() override { return {}; }
    std::string CzyJestSerwisSE(const std::string&) override { return {}; }
    bool CzyJestSerwis() override { return false; }
    bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
    bool CzyJestSerwisZPliku() override { return false; }
};

class OchronaTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& p : {prog, work, out, snd}) fs::create_directories(p);
        setenv("TOLVAK_ONLINE", "1", 1);
        UiQueue::instance().bindToCurrentThread();
        u.FolderZapisu = out.string() + "/";
        u.NazwaWynikowaTyp = 0;
        d::ZapiszWav((snd / "a.wav").string(), d::Mowa(3.0, 44100, 2, 0.5));
        d::ZapiszWav((snd / "b.wav").string(), d::Mowa(3.5, 44100, 2, 0.4));
        log.OnLine = [this](std::string_view l) { linie.emplace_back(l.substr(l.find(": ") + 2)); };
    }
    void TearDown() override {
        UiQueue::instance().unbind();
        unsetenv("TOLVAK_ONLINE");
    }
    bool Produkuj(const std::string& plik) {
        linie.clear();
        p.SetPlikWejsciowy((snd / plik).string());
        return p.AkcjaSerwis("News");
    }
    bool Jest(const std::string& linia) const {
        return std::find(linie.begin(), linie.end(), linia) != linie.end();
    }
    std::string Stan(const std::string& klucz) const {
        return IniFile(prog / "tolvak.dat").ReadString("Pobrany", klucz, "");
    }
    bool ZostalyPlikiRobocze() const {
        for (const char* n : {"tvvoice.wav", "tvtemp.wav", "tvtemp2.wav", "tvend.wav", "tvserwis.mp3"})
            if (fs::exists(prog / n)) return true;
        return fs::exists(work / "tvss.wav") || fs::exists(work / "tvss.mp3");
    }

    test::TempDir tmp;
    fs::path prog = tmp / "prog", work = tmp / "work", out = tmp / "out", snd = tmp / "snd";
    ManualClock clock{LocalTime{2024, 5, 6, 9, 40, 0}};
    tolvak::Log log{prog / "log.txt", clock};
    StatusDisplay okno{clock};
    Ustawienia u;
    BezZrodel zrodla;
    Produkcja p{KontekstProdukcji{u, prog, work, log, clock, okno, zrodla}};
    Linie linie;
};

TEST_F(OchronaTest, ABrokenFinishedFileIsRefusedAndThePreviousDeliveryStaysOnAir) {
    struct Usterka {
        int format;
        std::function<void(const std::string&)> psuj;
        std::string powod;
    };
    const std::vector<Usterka> usterki = {
        // A full disk under the WAV: half the samples the header promises.
        {0, [](const std::string& f) { fs::resize_file(f, 44 + (fs::file_size(f) - 44) / 2); },
         "za krótki: zdekodowano 77175 z 154350 ramek"},
        // An encoder run that wrote no audio frames.
        {1, [](const std::string& f) { fs::resize_file(f, 0); }, "plik nie daje się zdekodować"},
        // An MP3 cut off after its first second.
        {1, [](const std::string& f) { fs::resize_file(f, 32000); }, ""},
        // Every sample zero.
        {0, [](const std::string& f) { d::ZapiszWav(f, d::Ton(3.5, 440, 0.0)); },
         "cisza cyfrowa na całej długości"},
    };
    for (const Usterka& usterka : usterki) {
        u.FormatZapisu = usterka.format;
        const fs::path dostarczony = out / (usterka.format ? "N_serwis.mp3" : "N_serwis.wav");
        p.PrzedPrzekazaniem = nullptr;
        ASSERT_TRUE(Produkuj("a.wav"));
        const std::string poprzedni = Czytaj(dostarczony);
        const std::string stan = Stan("OstPobranyNews");
        const auto pliki = std::distance(fs::directory_iterator(out), fs::directory_iterator());
        clock.advance(3600);
        p.PrzedPrzekazaniem = usterka.psuj;
        EXPECT_FALSE(Produkuj("b.wav"));
        const auto l = std::find_if(linie.begin(), linie.end(), [](const std::string& s) {
            return s.starts_with("AkcjaSerwis: Gotowy serwis uszkodzony: ");
        });
        ASSERT_NE(l, linie.end()) << usterka.powod;
        if (!usterka.powod.empty()) EXPECT_EQ(*l, "AkcjaSerwis: Gotowy serwis uszkodzony: " + usterka.powod);
        else EXPECT_TRUE(l->starts_with("AkcjaSerwis: Gotowy serwis uszkodzony: za krótki")) << *l;
        EXPECT_FALSE(Jest("AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej."));
        EXPECT_TRUE(Jest("AkcjaSerwis: Skasowano pliki tymczasowe."));
        EXPECT_EQ(Czytaj(dostarczony), poprzedni);
        EXPECT_EQ(Stan("OstPobranyNews"), stan);
        EXPECT_FALSE(ZostalyPlikiRobocze());
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), pliki);
    }
}

TEST_F(OchronaTest, AnEmptyOrCutOffBulletinIsAFailedFetchAndTheNextCycleTriesAgain) {
    d::ZapiszWav((snd / "pusty.wav").string(), d::Ton(0.0, 440, 0.5));
    d::ZapiszWav((snd / "krotki.wav").string(), d::Ton(0.9, 440, 0.5));
    std::ofstream(snd / "zero.mp3");
    d::ZapiszMp3((snd / "caly.mp3").string(), d::Mowa(3.0));
    {
        const std::string mp3 = Czytaj(snd / "caly.mp3");
        std::ofstream(snd / "poczatek.mp3", std::ios::binary) << mp3.substr(0, 1024);
    }
    for (const char* plik : {"pusty.wav", "krotki.wav", "zero.mp3", "poczatek.mp3"}) {
        EXPECT_FALSE(Produkuj(plik)) << plik;
        EXPECT_TRUE(Jest("AkcjaSerwis: Pobrany serwis jest pusty lub za krótki.")) << plik;
        EXPECT_FALSE(Jest("AkcjaSerwis: Znormalizowano serwis.")) << plik;
        EXPECT_TRUE(fs::is_empty(out)) << plik;
        EXPECT_EQ(Stan("OstPobranyNews"), "") << plik;
        EXPECT_FALSE(ZostalyPlikiRobocze()) << plik;
        EXPECT_FALSE(okno.Timer2Enabled());
    }
    EXPECT_TRUE(fs::exists(snd / "poczatek.mp3"));  // the operator's file is never deleted
    EXPECT_TRUE(Produkuj("caly.mp3"));
}

TEST_F(OchronaTest, TheSameBulletinTwiceIsNamedAndWithOdrzucPowtorzonyNotDeliveredAgain) {
    u.NazwaWynikowaTyp = 1;  // one file per hour
    ASSERT_TRUE(Produkuj("a.wav"));
    EXPECT_FALSE(Jest("AkcjaSerwis: Ten sam serwis co poprzednio."));
    const std::string odcisk = Stan("OstOdcisk" "News");
    EXPECT_EQ(odcisk.size(), 64u);
    EXPECT_EQ(Stan("OstPlikNews"), (out / "N_2024-05-06_10.wav").string());
    // The provider is late: last hour's bulletin again. A warning; it still goes out.
    clock.advance(3600);
    ASSERT_TRUE(Produkuj("a.wav"));
    EXPECT_TRUE(Jest("AkcjaSerwis: Ten sam serwis co poprzednio."));
    EXPECT_TRUE(fs::exists(out / "N_2024-05-06_11.wav"));
    // The station refuses repeats: it stops there, as a failed fetch does.
    u.OdrzucPowtorzony = true;
    clock.advance(3600);
    EXPECT_FALSE(Produkuj("a.wav"));
    EXPECT_TRUE(Jest("AkcjaSerwis: Ten sam serwis co poprzednio."));
    EXPECT_FALSE(fs::exists(out / "N_2024-05-06_12.wav"));
    EXPECT_EQ(Stan("OstPobranyNews"), "2024-05-06 11");
    EXPECT_FALSE(ZostalyPlikiRobocze());
    // Another bulletin, and other kinds, are not compared with it.
    ASSERT_TRUE(Produkuj("b.wav"));
    EXPECT_FALSE(Jest("AkcjaSerwis: Ten sam serwis co poprzednio."));
    EXPECT_NE(Stan("OstOdcisk" "News"), odcisk);
    p.SetPlikWejsciowy((snd / "a.wav").string());
    linie.clear();
    EXPECT_TRUE(p.AkcjaSerwis("Sport"));
    EXPECT_FALSE(Jest("AkcjaSerwis: Ten sam serwis co poprzednio."));
}

TEST_F(OchronaTest, LoudnessIsMeasuredAfterTheFinalCompressionAndSetToTheTarget) {
    u.GlosnoscPomiar = true;
    ASSERT_TRUE(Produkuj("a.wav"));
    const auto kompresja = std::find(linie.begin(), linie.end(),
                                     "AkcjaSerwis: Zakończono kompresję dynamiki gotowego serwisu.");
    ASSERT_NE(kompresja, linie.end());
    ASSERT_TRUE(kompresja[1].starts_with("AkcjaSerwis: Głośność: \u2212")) << kompresja[1];
    EXPECT_NE(kompresja[1].find(" LUFS, zakres "), std::string::npos);
    EXPECT_NE(kompresja[1].find(" dBTP"), std::string::npos);

    u.GlosnoscPomiar = false;
    u.GlosnoscCel = -23.0;
    u.FormatZapisu = 1;
    ASSERT_TRUE(Produkuj("b.wav"));
    EXPECT_EQ(std::count_if(linie.begin(), linie.end(),
                            [](const std::string& s) { return s.starts_with("AkcjaSerwis: Głośność: "); }),
              1);
    const auto korekta = std::find_if(linie.begin(), linie.end(), [](const std::string& s) {
        return s.starts_with("AkcjaSerwis: Korekta głośności: wzmocnienie ");
    });
    ASSERT_NE(korekta, linie.end());
    EXPECT_NE(korekta->find(" dB, po korekcie: \u22122"), std::string::npos) << *korekta;
    const auto po = ZmierzGlosnosc((out / "N_serwis.mp3").string());
    ASSERT_TRUE(po);
    EXPECT_NEAR(po->lufs, -23.0, 0.5);
}

/// The program on an output folder that is a small tmpfs of its own mount namespace, nearly full.
TEST(PelnyDysk, AFullOutputFileSystemNeverLeavesAPartialFileAndKeepsThePreviousDelivery) {
    if (std::system("unshare --mount --propagation private true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no mount namespace here (not root?)";
    test::TempDir tmp;
    const fs::path prog = tmp / "prog", out = tmp / "out";
    fs::create_directories(prog);
    fs::create_directories(out);
    d::ZapiszWav((tmp / "serwis.wav").string(), d::Mowa(6.0));  // about 1 MiB finished
    d::ZapiszWav((tmp / "poprzedni.wav").string(), d::Mowa(1.0));
    IniFile ini(prog / "tolvak.ini");
    ini.WriteString("Ustawienia", "FolderZapisu", out.string());
    ini.WriteString("Ustawienia", "NazwaWynikowaTyp", "0");
    // The mount lives in the shell's own namespace and ends with it; what the folder held is
    // listed from inside.
    std::ofstream(tmp / "dysk.sh")
        << "set -e\n"
        << "mount -t tmpfs -o size=768k tmpfs '" << out.string() << "'\n"
        << "cp '" << (tmp / "poprzedni.wav").string() << "' '" << (out / "N_serwis.wav").string() << "'\n"
        << "rc=0\n"
        << "TOLVAK_ONLINE=1 '" TOLVAK_BINARY "' --dir '" << prog.string() << "' --produce News --input '"
        << (tmp / "serwis.wav").string() << "' || rc=$?\n"
        << "ls -A '" << out.string() << "' > '" << (tmp / "lista.txt").string() << "'\n"
        << "cmp -s '" << (tmp / "poprzedni.wav").string() << "' '" << (out / "N_serwis.wav").string()
        << "' && echo same > '" << (tmp / "cmp.txt").string() << "'\n"
        << "exit $rc\n";
    const int r = std::system(("cd '" + tmp.path().string() +
                               "' && unshare --mount --propagation private sh dysk.sh").c_str());
    ASSERT_TRUE(WIFEXITED(r));
    EXPECT_EQ(WEXITSTATUS(r), 1);
    EXPECT_EQ(Czytaj(tmp / "lista.txt"), "N_serwis.wav\n");  // nothing half-written beside it
    EXPECT_EQ(Czytaj(tmp / "cmp.txt"), "same\n");
    const std::string logi = Czytaj(prog / "log.txt");
    EXPECT_NE(logi.find("AkcjaSerwis: Nieudane kopiowanie serwisu do lokalizacji docelowej."), std::string::npos);
    EXPECT_NE(logi.find("brak miejsca na dysku"), std::string::npos) << logi;
    EXPECT_EQ(IniFile(prog / "tolvak.dat").ReadString("Pobrany", "OstPobranyNews", ""), "");
}

}  // namespace
}  // namespace tolvak
