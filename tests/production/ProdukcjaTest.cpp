// The production run end to end on real files: generated inputs, the delivered file read back.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "GeneratorDzwiekow.h"
#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "audio/AuException.h"
#include "audio/MP3Out.h"
#include "platform/Ini.h"
#include "platform/UiQueue.h"
#include "production/Produkcja.h"
#include "schedule/StanPobran.h"
#include "sources/Zrodla.h"
#include "support/PelnyDysk.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;
namespace d = dzwieki;

/// Sources that hand out a prepared file, recording which fetch was asked.
class ZrodlaTestowe : public ZrodlaSerwisow {
public:
    explicit ZrodlaTestowe(fs::path roboczy) : roboczy_(std::move(roboczy)) {}
    std::string plik;  // what every fetch delivers; empty: the fetch fails
    std::vector<std::string> wywolania;

    std::string PobierzSerwis() override { return daj("PobierzSerwis"); }
    std::string PobierzSerwisSE(const std::string& l) override { return daj("PobierzSerwisSE " + l); }
    std::string PobierzSerwisAgoraDodatkowy(const std::string& t) override {
        return daj("PobierzSerwisAgoraDodatkowy " + t);
    }
    std::string PobierzSerwisIAR() override { return daj("PobierzSerwisIAR"); }
    std::string PobierzSerwisZPR() override { return daj("PobierzSerwisZPR"); }
    std::string PobierzSerwisZPliku() override { return daj("PobierzSerwisZPliku"); }
    std::string CzyJestSerwisSE(const std::string&) override { return {}; }
    bool CzyJestSerwis() override { return false; }
    bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
    bool CzyJestSerwisZPliku() override { return false; }

private:
    std::string daj(std::string co) {
        wywolania.push_back(std::move(co));
        if (plik.empty()) return {};
        const std::string nazwa = "tvss" + fs::path(plik).extension().string();
        fs::copy_file(plik, roboczy_ / nazwa, fs::copy_options::overwrite_existing);
        return nazwa;
    }
    fs::path roboczy_;
};

class ProdukcjaTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& p : {prog, work, out, snd}) fs::create_directories(p);
        setenv("TOLVAK_ONLINE", "1", 1);
        UiQueue::instance().bindToCurrentThread();
        u.FolderZapisu = out.string() + "/";
        u.NazwaWynikowaTyp = 0;
        d::ZapiszWav((snd / "mowa.wav").string(), d::Mowa(3.0, 44100, 2, 0.5, 1.0, 1.5));
        d::ZapiszWav((snd / "podklad.wav").string(), d::Ton(6.0, 220, 0.1));
        d::ZapiszWav((snd / "krotki.wav").string(), d::Ton(2.0, 220, 0.1));
        d::ZapiszWav((snd / "koniec.wav").string(), d::Zakonczenie(0.5));
        zrodla.plik = (snd / "mowa.wav").string();
    }
    void TearDown() override {
        UiQueue::instance().unbind();
        unsetenv("TOLVAK_ONLINE");
    }

    /// The log's messages in the order they were written (the file holds newest first).
    std::vector<std::string> Log() const {
        std::ifstream f(prog / "log.txt");
        std::vector<std::string> linie;
        for (std::string l; std::getline(f, l);) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
            const auto p = l.find(": ");
            linie.insert(linie.begin(), p == std::string::npos ? l : l.substr(p + 2));
        }
        return linie;
    }
    bool ZostalyPlikiRobocze() const {
        for (const char* n : {"tvvoice.wav", "tvtemp.wav", "tvtemp2.wav", "tvend.wav", "tvserwis.mp3"})
            if (fs::exists(prog / n)) return true;
        for (const auto& e : fs::directory_iterator(work))
            if (e.path().filename().string().starts_with("tvss")) return true;
        return false;
    }
    int64_t Ramki(const fs::path& p) { return d::Czytaj(p.string()).Ramki(); }

    test::TempDir tmp;
    fs::path prog = tmp / "prog", work = tmp / "work", out = tmp / "out", snd = tmp / "snd";
    ManualClock clock{LocalTime{2024, 5, 6, 9, 40, 0}};
    tolvak::Log log{prog / "log.txt", clock};
    StatusDisplay okno{clock};
    Ustawienia u;
    ZrodlaTestowe zrodla{work};
    Produkcja p{KontekstProdukcji{u, prog, work, log, clock, okno, zrodla}};
};

TEST_F(ProdukcjaTest, BedLongerThanBulletinIsCutAndTheEndingAppended) {
    u.SerwisPodklad = (snd / "podklad.wav").string();
    u.SerwisZakonczenie = (snd / "koniec.wav").string();
    u.StartSerwisu = 22050;
    std::vector<std::string> etykiety;
    okno.OnAction = [&](std::string_view t) { etykiety.emplace_back(t); };
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    const d::Nagranie wynik = d::Czytaj((out / "N_serwis.wav").string());
    EXPECT_EQ(wynik.Ramki(), 22050 + 3 * 44100 + 1 + 22050);
    // Where the bulletin does not sound (before the mix point and in its silent second) the
    // bed plays at half its level.
    const double bed = 0.1 / std::sqrt(2.0);
    EXPECT_NEAR(wynik.Rms(4096, 20480) / bed, 0.5, 0.08);
    EXPECT_NEAR(wynik.Rms(22050 + 46000, 22050 + 64000) / bed, 0.5, 0.08);
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "AkcjaSerwis: Pobrano serwis: tvss.wav",
                         "AkcjaSerwis: Przekonwertowano serwis do pliku wav.",
                         "AkcjaSerwis: Znormalizowano serwis.",
                         "AkcjaSerwis: Zmiksowano serwis z podkładem.",
                         "AkcjaSerwis: Dodano zakończenie do serwisu.",
                         "AkcjaSerwis: Zakończono kompresję dynamiki gotowego serwisu.",
                         "AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.",
                         "AkcjaSerwis: Skasowano pliki tymczasowe."}));
    EXPECT_FALSE(ZostalyPlikiRobocze());
    EXPECT_EQ(etykiety.back(), "Czekam...");
    EXPECT_NE(std::find(etykiety.begin(), etykiety.end(), "Trwa miksowanie plików..."), etykiety.end());
    EXPECT_NE(std::find(etykiety.begin(), etykiety.end(), "Zakończenie dodane!"), etykiety.end());
    EXPECT_EQ(okno.LOstPobrany().substr(0, okno.LOstPobrany().find('\r')), "N_serwis.wav");
    EXPECT_EQ(okno.StatusBar1().rfind("Ostatnie pobranie: ", 0), 0u);
    EXPECT_EQ(okno.LShapeInfo(), "Czekam na zadanie.");
    EXPECT_EQ(IniFile(prog / NazwaPlikuStanu).ReadString("Pobrany", "OstPobranyNews", ""), "2024-05-06 10");
}

TEST_F(ProdukcjaTest, ARunThatEndsInTheNextHourDeliversTheHourItStartedFor) {
    u.NazwaWynikowaTyp = 1;
    clock.set(LocalTime{2024, 5, 6, 9, 59, 50});
    okno.OnAction = [&](std::string_view t) {
        if (t.starts_with("Kopiowanie pliku tvtemp")) clock.set(LocalTime{2024, 5, 6, 10, 0, 20});
    };
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_TRUE(fs::exists(out / "N_2024-05-06_10.wav"));
    EXPECT_EQ(IniFile(prog / NazwaPlikuStanu).ReadString("Pobrany", "OstPobranyNews", ""), "2024-05-06 10");
}

TEST_F(ProdukcjaTest, BedShorterOrEndingBeforeTheMixPointNothingIsCut) {
    u.SerwisPodklad = (snd / "krotki.wav").string();
    u.StartSerwisu = 20480;  // a whole number of mixer blocks: the start is exact
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Ramki(out / "N_serwis.wav"), 20480 + 3 * 44100);
    // The mix point beyond the bed's end: bed, silence, bulletin.
    u.StartSerwisu = 3 * 44100 + 2048 * 3;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    const d::Nagranie w = d::Czytaj((out / "N_serwis.wav").string());
    EXPECT_EQ(w.Ramki(), 3 * 44100 + 2048 * 3 + 3 * 44100);
    EXPECT_LT(w.Rms(2 * 44100 + 4000, 3 * 44100), 0.001);
    EXPECT_FALSE(ZostalyPlikiRobocze());
    for (const auto& l : Log()) EXPECT_EQ(l.find("Punkt mixu"), std::string::npos) << l;
}

TEST_F(ProdukcjaTest, AMixPointOutsideTheBedIsCorrectedAndLogged) {
    u.SerwisPodklad = (snd / "podklad.wav").string();
    // Negative: the bulletin starts with the bed and nothing of it is cut.
    for (const int64_t punkt : {int64_t{-88200}, int64_t{-2000000}}) {
        u.StartSerwisu = punkt;
        ASSERT_TRUE(p.AkcjaSerwis("News")) << punkt;
        const d::Nagranie w = d::Czytaj((out / "N_serwis.wav").string());
        EXPECT_EQ(w.Ramki(), 3 * 44100 + 1) << punkt;  // the cut keeps its end frame
        const auto l = Log();
        EXPECT_EQ(std::count(l.begin(), l.end(), "AkcjaSerwis: Punkt mixu poza podkładem: " + std::to_string(punkt)), 1);
    }
    // Far beyond the bed's end: the bulletin follows the bed at once, no huge silent gap.
    u.StartSerwisu = 2147483647;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_NEAR(static_cast<double>(Ramki(out / "N_serwis.wav")), 9 * 44100, 2048);
    const auto l = Log();
    EXPECT_NE(std::find(l.begin(), l.end(), "AkcjaSerwis: Punkt mixu poza podkładem: 2147483647"), l.end());
    EXPECT_FALSE(ZostalyPlikiRobocze());
}

TEST_F(ProdukcjaTest, SoundsInOtherFormatsMeetInTheBedsFormat) {
    // A 48 kHz bulletin over a 44.1 kHz bed, with a mono 22.05 kHz ending.
    d::ZapiszWav((snd / "mowa48.wav").string(), d::Mowa(3.0, 48000, 2, 0.5, 1.0, 1.5));
    d::ZapiszWav((snd / "koniec_mono.wav").string(), d::Zakonczenie(0.5, 22050, 1));
    zrodla.plik = (snd / "mowa48.wav").string();
    u.SerwisPodklad = (snd / "podklad.wav").string();
    u.SerwisZakonczenie = (snd / "koniec_mono.wav").string();
    u.StartSerwisu = 20480;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    const d::Nagranie w = d::Czytaj((out / "N_serwis.wav").string());
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.channels, 2);
    EXPECT_NEAR(static_cast<double>(w.Ramki()), 20480 + 3 * 44100 + 22050, 4);
    // The ending's one channel sounds on both.
    const int64_t koniec = w.Ramki() - 22050;
    EXPECT_GT(w.Rms(koniec + 100, koniec + 4000), 0.05);
    EXPECT_NEAR(w.Probka(koniec + 500, 0), w.Probka(koniec + 500, 1), 1);
    EXPECT_FALSE(ZostalyPlikiRobocze());
}

TEST_F(ProdukcjaTest, BedThatIsNoSoundOrAFullDiskEndsTheRunNamingTheFile) {
    // An error page as the bed: the run ends before any writer pass, nothing is delivered.
    std::ofstream(snd / "strona.wav") << "<html><body>404</body></html>";
    u.SerwisPodklad = (snd / "strona.wav").string();
    EXPECT_FALSE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Log().back(), "AkcjaSerwis: Plik " + (snd / "strona.wav").string() + " nie zawiera dźwięku");
    EXPECT_FALSE(fs::exists(out / "N_serwis.wav"));
    EXPECT_EQ(IniFile(prog / NazwaPlikuStanu).ReadString("Pobrany", "OstPobranyNews", ""), "");
    // The disk fills up while the bulletin is decoded: the reason and the file, no conversion line.
    u.SerwisPodklad.clear();
    d::ZapiszMp3((snd / "mowa.mp3").string(), d::Mowa(3.0));  // the fetch fits, the decode does not
    zrodla.plik = (snd / "mowa.mp3").string();
    {
        test::PelnyDysk pelny(256 * 1024);
        EXPECT_FALSE(p.AkcjaSerwis("News"));
    }
    const auto l = Log();
    EXPECT_EQ(l.back(), "AkcjaSerwis: Nie można zapisać pliku " + (prog / "tvvoice.wav").string() + ": " +
                            std::strerror(EFBIG));
    EXPECT_EQ(std::count(l.begin(), l.end(), "AkcjaSerwis: Przekonwertowano serwis do pliku wav."), 0);
    EXPECT_FALSE(fs::exists(out / "N_serwis.wav"));
}

TEST_F(ProdukcjaTest, AFailedTagStepStillDeliversTheMp3AndLogsWhy) {
    if (!TagLibAvailable()) GTEST_SKIP() << "built without the tag library";
    u.FormatZapisu = 1;
    const std::string blad = "Nie można zapisać pliku " + (prog / "tvserwis.mp3").string() +
                             ": nie udało się zapisać znaczników ID3v2";
    p.MP3Out1().BeforeTagStep = [&](const std::string&) { throw EAuException(blad); };
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_NEAR(static_cast<double>(Ramki(out / "N_serwis.mp3")), 3 * 44100, 4000);
    EXPECT_EQ(IniFile(prog / NazwaPlikuStanu).ReadString("Pobrany", "OstPobranyNews", ""), "2024-05-06 10");
    const auto l = Log();
    const auto kod = std::find(l.begin(), l.end(), "AkcjaSerwis: Zakończono kodowanie serwisu do formatu docelowego.");
    ASSERT_NE(kod, l.end());
    ASSERT_NE(kod + 1, l.end());
    EXPECT_EQ(*(kod + 1), "AkcjaSerwis: " + blad);
    EXPECT_FALSE(ZostalyPlikiRobocze());
}

TEST_F(ProdukcjaTest, NoBedNoEndingAndAMissingBedFileGiveTheBulletinAlone) {
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Ramki(out / "N_serwis.wav"), 3 * 44100);
    u.SerwisPodklad = (snd / "usuniety.wav").string();
    u.SerwisZakonczenie = (snd / "usuniety2.wav").string();
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Ramki(out / "N_serwis.wav"), 3 * 44100);
    for (const auto& l : Log()) EXPECT_EQ(l.find("Zmiksowano"), std::string::npos);
}

TEST_F(ProdukcjaTest, EveryKindHasItsPrefixSoundsAndSourceMp3Output) {
    d::ZapiszMp3((snd / "mowa.mp3").string(), d::Mowa(2.0));
    zrodla.plik = (snd / "mowa.mp3").string();
    u.AgoraLogin = "a";
    u.AgoraPassword = "b";
    u.FormatZapisu = 1;
    // Each kind gets an ending of its own length, so the result tells whose sounds were used.
    const std::pair<const char*, double> rodzaje[] = {
        {"News", 0.5}, {"Sport", 1.0}, {"Ekonomia", 1.5}, {"Pogoda", 2.0}};
    for (const auto& [rodzaj, s] : rodzaje)
        d::ZapiszWav((snd / (std::string(rodzaj) + ".wav")).string(), d::Zakonczenie(s));
    u.SerwisZakonczenie = (snd / "News.wav").string();
    u.SerwisSportZakonczenie = (snd / "Sport.wav").string();
    u.SerwisEkonomiaZakonczenie = (snd / "Ekonomia.wav").string();
    u.PogodaZakonczenie = (snd / "Pogoda.wav").string();
    const char* prefiksy[] = {"N_", "S_", "E_", "P_"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(p.AkcjaSerwis(rodzaje[i].first, "link-1")) << rodzaje[i].first;
        const fs::path wynik = out / (std::string(prefiksy[i]) + "serwis.mp3");
        ASSERT_TRUE(fs::exists(wynik)) << wynik;
        const d::Nagranie n = d::Czytaj(wynik.string());
        EXPECT_EQ(n.rate, 44100);
        EXPECT_EQ(n.channels, 2);
        // The decoder pads MPEG audio by less than two frames of 1152 samples at either end.
        EXPECT_NEAR(static_cast<double>(n.Ramki()), (2.0 + rodzaje[i].second) * 44100, 4000)
            << rodzaje[i].first;
        std::ifstream f(wynik, std::ios::binary);
        unsigned char b[2] = {};
        f.read(reinterpret_cast<char*>(b), 2);
        EXPECT_TRUE(b[0] == 0xFF && (b[1] & 0xE0) == 0xE0) << "not an MPEG frame at the start";
    }
    EXPECT_EQ(zrodla.wywolania,
              (std::vector<std::string>{"PobierzSerwis", "PobierzSerwisAgoraDodatkowy Sport",
                                        "PobierzSerwisSE link-1", "PobierzSerwisAgoraDodatkowy Pogoda"}));
    EXPECT_FALSE(ZostalyPlikiRobocze());
    // Without Agora, sport goes to the package service with the link.
    u.AgoraPassword = " ";
    ASSERT_TRUE(p.AkcjaSerwis("Sport", "link-2"));
    EXPECT_EQ(zrodla.wywolania.back(), "PobierzSerwisSE link-2");
}

TEST_F(ProdukcjaTest, NewsSourceOrderIarThenLocalFileThenZpr) {
    u.CzyIAR = u.CzyZPliku = u.czyZPR = true;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    u.CzyIAR = false;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    u.CzyZPliku = false;
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(zrodla.wywolania, (std::vector<std::string>{"PobierzSerwisIAR", "PobierzSerwisZPliku",
                                                          "PobierzSerwisZPR"}));
}

TEST_F(ProdukcjaTest, WeatherWithSponsorsThroughTheRun) {
    d::ZapiszWav((snd / "sponsor.WAV").string(), d::Dzingiel(1.0, 440));
    IniFile(prog / "tolvak.ini").WriteString("PogodaSponsorzy", "Sponsor1Przed", (snd / "sponsor.WAV").string());
    u.AgoraLogin = "a";
    u.AgoraPassword = "b";
    ASSERT_TRUE(p.AkcjaSerwis("Pogoda"));
    EXPECT_EQ(Ramki(out / "P_serwis.wav"), 44100 + 3 * 44100);
    const auto l = Log();
    EXPECT_NE(std::find(l.begin(), l.end(), "AkcjaSerwis: Dodano sponsorów do pogody."), l.end());
    EXPECT_TRUE(IniFile(prog / "tolvak.ini").ValueExists("PogodaSponsorzy", "Sponsor3Po"));
}

TEST_F(ProdukcjaTest, ABrokenSponsorIsLeftOutAndOneInAnotherFormatConverted) {
    std::ofstream(snd / "strona.wav") << "<html><body>502 Bad Gateway</body></html>";
    d::ZapiszWav((snd / "mono.wav").string(), d::Dzingiel(1.0, 440, 22050, 1));
    IniFile ini(prog / "tolvak.ini");
    ini.WriteString("PogodaSponsorzy", "Sponsor1Przed", (snd / "strona.wav").string());
    ini.WriteString("PogodaSponsorzy", "Sponsor3Po", (snd / "mono.wav").string());
    u.AgoraLogin = "a";
    u.AgoraPassword = "b";
    ASSERT_TRUE(p.AkcjaSerwis("Pogoda"));
    const d::Nagranie w = d::Czytaj((out / "P_serwis.wav").string());
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.channels, 2);
    EXPECT_NEAR(static_cast<double>(w.Ramki()), 3 * 44100 + 44100, 2);
    EXPECT_GT(w.Rms(w.Ramki() - 30000, w.Ramki() - 10000), 0.1);  // the sponsor at the end
    const auto l = Log();
    EXPECT_EQ(std::count_if(l.begin(), l.end(), [](const std::string& x) { return x.find("Pominięto") != x.npos; }), 1);
    EXPECT_NE(std::find(l.begin(), l.end(),
                        "AkcjaSerwis: Pominięto sponsora " + (snd / "strona.wav").string() + ": nie zawiera dźwięku"),
              l.end());
    EXPECT_NE(std::find(l.begin(), l.end(), "AkcjaSerwis: Dodano sponsorów do pogody."), l.end());
    for (int i = 1; i <= 6; ++i) EXPECT_FALSE(fs::exists(prog / ("tvspons" + std::to_string(i) + ".wav")));
}

TEST_F(ProdukcjaTest, WeatherWithoutAgoraFailsAndReadsNoSponsors) {
    EXPECT_FALSE(p.AkcjaSerwis("Pogoda"));
    EXPECT_EQ(Log(), (std::vector<std::string>{"AkcjaSerwis: Nieudane pobranie serwisu."}));
    EXPECT_FALSE(IniFile(prog / "tolvak.ini").SectionExists("PogodaSponsorzy"));
    EXPECT_TRUE(zrodla.wywolania.empty());
    EXPECT_EQ(okno.LShapeInfo(), "Czekam na zadanie.");
}

TEST_F(ProdukcjaTest, NoConnectionOnlyLogsIt) {
    setenv("TOLVAK_ONLINE", "0", 1);
    u.CzyZPliku = true;
    EXPECT_FALSE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Log(), (std::vector<std::string>{"Brak dostępu do Internetu."}));
    EXPECT_FALSE(okno.Timer2Enabled());
    EXPECT_EQ(okno.LShapeInfo(), "Pobieranie...");
    EXPECT_TRUE(zrodla.wywolania.empty());
}

TEST_F(ProdukcjaTest, MissingOutputFolderGivesTheTwoFailureLinesAndNoStateEntry) {
    u.FolderZapisu = (tmp / "nie_ma").string() + "/";
    EXPECT_FALSE(p.AkcjaSerwis("News"));
    const auto l = Log();
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(l[l.size() - 3], "AkcjaSerwis: Nieudane kopiowanie serwisu do lokalizacji docelowej.");
    EXPECT_EQ(l[l.size() - 2].rfind("AkcjaSerwis: Nie można utworzyć pliku ", 0), 0u) << l[l.size() - 2];
    EXPECT_EQ(l.back(), "AkcjaSerwis: Skasowano pliki tymczasowe.");
    EXPECT_EQ(IniFile(prog / NazwaPlikuStanu).ReadString("Pobrany", "OstPobranyNews", ""), "");
    EXPECT_FALSE(ZostalyPlikiRobocze());
}

TEST_F(ProdukcjaTest, StaleWorkFilesOfAFailedRunAreReplacedNeverDelivered) {
    d::ZapiszWav((prog / "tvtemp.wav").string(), d::Ton(9.0, 100, 0.2));
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Ramki(out / "N_serwis.wav"), 3 * 44100);
    // An error page instead of the bulletin, with a decoded bulletin of an earlier run left
    // behind: the run ends with its error, the old bulletin is not delivered again.
    fs::remove(out / "N_serwis.wav");
    d::ZapiszWav((prog / "tvvoice.wav").string(), d::Ton(9.0, 100, 0.2));
    std::ofstream(snd / "blad.mp3") << "<html><body>502 Bad Gateway</body></html>";
    zrodla.plik = (snd / "blad.mp3").string();
    EXPECT_FALSE(p.AkcjaSerwis("News"));
    EXPECT_FALSE(fs::exists(out / "N_serwis.wav"));
    const auto l = Log();
    EXPECT_EQ(l.back(), "AkcjaSerwis: Plik tvss.mp3 nie zawiera dźwięku");
    EXPECT_EQ(std::count(l.begin(), l.end(), "AkcjaSerwis: Skasowano pliki tymczasowe."), 1);
    EXPECT_EQ(okno.LShapeInfo(), "Czekam na zadanie.");
    EXPECT_FALSE(okno.Timer2Enabled());
    // The next good bulletin goes through.
    zrodla.plik = (snd / "mowa.wav").string();
    ASSERT_TRUE(p.AkcjaSerwis("News"));
    EXPECT_EQ(Ramki(out / "N_serwis.wav"), 3 * 44100);
}

TEST_F(ProdukcjaTest, LocalFileSourceCompleteLogSequence) {
    Zrodla prawdziwe(KontekstZrodel{u, prog, work, log, clock, okno});
    Produkcja q{KontekstProdukcji{u, prog, work, log, clock, okno, prawdziwe}};
    d::ZapiszMp3((snd / "serwis.MP3").string(), d::Mowa(1.0));
    u.CzyZPliku = true;
    u.ZPlikuSciezka = (snd / "serwis.MP3").string();
    u.NazwaWynikowaTyp = 1;
    u.FormatZapisu = 1;
    ASSERT_TRUE(q.AkcjaSerwis("News"));
    EXPECT_TRUE(fs::exists(out / "N_2024-05-06_10.mp3"));
    EXPECT_TRUE(fs::exists(snd / "serwis.MP3"));
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "Serwis z pliku lokalnego pobrany.",
                         "AkcjaSerwis: Pobrano serwis: tvss.MP3",
                         "AkcjaSerwis: Przekonwertowano serwis do pliku wav.",
                         "AkcjaSerwis: Znormalizowano serwis.",
                         "AkcjaSerwis: Zakończono kompresję dynamiki gotowego serwisu.",
                         "AkcjaSerwis: Zakończono kodowanie serwisu do formatu docelowego.",
                         "AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.",
                         "AkcjaSerwis: Skasowano pliki tymczasowe."}));
    EXPECT_FALSE(ZostalyPlikiRobocze());
}

}  // namespace
}  // namespace tolvak
