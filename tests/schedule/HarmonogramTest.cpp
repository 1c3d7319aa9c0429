// The check cycle, the intervention download, the manual fetch, the presence test and the busy
// flag, on a manual clock with timers ticked by hand, scripted sources and a production run that
// only logs, blinks and records.

#include "schedule/Harmonogram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "ZrodlaBezPobran.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;
using Linie = std::vector<std::string>;

/// Sources whose checks answer as the test says, log that they were asked and may throw.
class ZrodlaTestowe : public test::ZrodlaBezPobran {
public:
    explicit ZrodlaTestowe(Log& log) : log_(log) {}
    bool serwis = true, zPliku = true;
    std::map<std::string, bool> agora{{"Sport", true}, {"Pogoda", true}};
    std::map<std::string, std::string> se{{"Sport", "link-s"}, {"Ekonomia", "link-e"}};
    std::function<void(const std::string&)> przyPytaniu;

    std::string CzyJestSerwisSE(const std::string& r) override {
        pytanie("CzyJestSerwisSE " + r);
        return se[r];
    }
    bool CzyJestSerwis() override {
        pytanie("CzyJestSerwis");
        return serwis;
    }
    bool CzyJestAgoraDodatkowy(const std::string& t) override {
        pytanie("CzyJestAgoraDodatkowy " + t);
        return agora[t];
    }
    bool CzyJestSerwisZPliku() override {
        pytanie("CzyJestSerwisZPliku");
        return zPliku;
    }
    Swiezosc swiezosc;
    Swiezosc SwiezoscSerwisu() override { return swiezosc; }

private:
    void pytanie(const std::string& p) {
        log_.DodajDoLoga("? " + p);
        if (przyPytaniu) przyPytaniu(p);
    }
    Log& log_;
};

// 6 May 2024 was a Monday.
struct HarmonogramTest : ::testing::Test {
    test::TempDir tmp;
    ManualClock clock{LocalTime{2024, 5, 6, 13, 45, 0}};
    Log log{tmp / "log.txt", clock};
    Ustawienia u;
    Matryca matryca{tmp / "tolvak.ini"};
    StanPobran stan{tmp / "tolvak.dat", matryca, log, clock};
    ManualTimer t1, t2, t3, t4;
    StatusDisplay okno{clock, t2, t3};
    ZrodlaTestowe zrodla{log};
    Linie linie;
    Linie blokady;  // what OnLockElements was told
    std::vector<std::string> komunikaty;
    /// What the production run does between switching the busy display on and recording.
    std::function<void(const std::string&)> wTrakcie;
    Harmonogram h{KontekstHarmonogramu{u, stan, zrodla,
                                       [this](const std::string& r, const std::string& l, TrybAkcji) {
                                           AkcjaSerwis(r, l);
                                           return true;
                                       },
                                       log, clock, okno},
                  t1, t4};

    void SetUp() override {
        SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
        log.OnLine = [this](std::string_view l) { linie.emplace_back(l.substr(l.find(": ") + 2)); };
        fs::create_directories(tmp / "out");
        u.FolderZapisu = (tmp / "out").string() + "/";
        u.CzyNews = true;
        h.OnLockElements = [this](bool stan) { blokady.push_back(stan ? "on" : "off"); };
        okno.OnMessageBox = [this](std::string_view t, std::string_view c) {
            komunikaty.push_back(std::string(c) + ": " + std::string(t));
        };
        Chciane("d114=1\r\nd115=1\r\n");  // Monday 14:00 and 15:00
    }
    void Chciane(const std::string& klucze) {
        std::ofstream(tmp / "tolvak.ini", std::ios::binary) << "[Matryca]\r\n" << klucze;
        matryca.Wczytaj();
    }
    void AkcjaSerwis(const std::string& r, const std::string& l) {
        log.DodajDoLoga("AkcjaSerwis " + r + (l.empty() ? "" : " " + l));
        okno.Migotanie(true);
        if (wTrakcie) wTrakcie(r);
        stan.ZapiszPobranyInfo(r);
        okno.Migotanie(false);
    }
    Linie Zabierz() { return std::exchange(linie, {}); }
    void Bezczynny() {
        EXPECT_TRUE(h.BitBtn1Enabled());
        EXPECT_TRUE(t1.isEnabled());
        EXPECT_TRUE(t4.isEnabled());
        EXPECT_FALSE(t2.isEnabled());
        EXPECT_TRUE(t3.isEnabled());
        EXPECT_EQ(okno.Shape1Color(), StatusDisplay::kZielony);
    }
};

TEST_F(HarmonogramTest, TimersStartAsTheWindowIsCreated) {
    EXPECT_EQ(t1.interval(), 1000);  // the first cycle at once
    EXPECT_TRUE(t1.isEnabled());
    EXPECT_EQ(t4.interval(), 900);
    EXPECT_TRUE(t4.isPrecise());
    EXPECT_TRUE(t4.isEnabled());
    EXPECT_TRUE(h.BitBtn1Enabled());
    EXPECT_EQ(Harmonogram::ElementyBlokowane,
              (std::array<std::string_view, 5>{"BitBtn1", "GroupBox5", "GroupBox3", "RadioGroup1",
                                               "GroupBox4"}));
}

TEST_F(HarmonogramTest, InterventionAtMinute59ProducesOnceAndTheSecondTickOfSecondZeroFindsItDone) {
    for (const LocalTime t : {LocalTime{2024, 5, 6, 13, 58, 59, 100}, LocalTime{2024, 5, 6, 13, 59, 1}}) {
        clock.set(t);
        t4.tick();
    }
    EXPECT_TRUE(Zabierz().empty());
    Linie wewnatrz;
    wTrakcie = [&](const std::string&) {
        wewnatrz.push_back(t4.isEnabled() ? "t4 on" : "t4 off");
        wewnatrz.push_back(h.BitBtn1Enabled() ? "idle" : "busy");
    };
    clock.set(LocalTime{2024, 5, 6, 13, 59, 0, 20});
    t4.tick();
    EXPECT_EQ(Zabierz(), (Linie{"Interwencyjne pobranie serwisu - wejście",
                                "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "Interwencyjne pobieranie - ma pobierać",
                                "Interwencyjne pobranie serwisu rozpoczęte", "AkcjaSerwis News",
                                "Interwencyjne pobranie serwisu zakończone"}));
    EXPECT_EQ(wewnatrz, (Linie{"t4 off", "busy"}));
    EXPECT_EQ(blokady, (Linie{"off", "on"}));
    Bezczynny();
    // 900 ms later the timer ticks again within the same second.
    clock.set(LocalTime{2024, 5, 6, 13, 59, 0, 920});
    t4.tick();
    EXPECT_EQ(Zabierz(), (Linie{"Interwencyjne pobranie serwisu - wejście",
                                "CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.",
                                "Interwencyjne pobranie przerwane - ma nie pobierać na tę godzinę"}));
    Bezczynny();
}

TEST_F(HarmonogramTest, InterventionTakesEverySourceAndRefusesWhatItsSourceShowsStale) {
    u.CzyNews = false;
    struct Przypadek {
        bool iar;
        Swiezosc swiezosc;
        Linie koniec;
    };
    const Linie produkcja{"Interwencyjne pobranie serwisu rozpoczęte", "AkcjaSerwis News",
                          "Interwencyjne pobranie serwisu zakończone"};
    for (const Przypadek& p :
         {Przypadek{true, Swiezosc::Nieaktualny("tytuł bez godziny 14"),
                    {"Interwencyjne pobranie przerwane - serwis nieaktualny: tytuł bez godziny 14"}},
          Przypadek{true, Swiezosc::Nieznany(), produkcja}, Przypadek{false, Swiezosc::Aktualny(), produkcja}}) {
        u.CzyIAR = p.iar;
        u.CzyZPliku = !p.iar;
        zrodla.swiezosc = p.swiezosc;
        IniFile(stan.FileName()).DeleteKey("Pobrany", "OstPobranyNews");
        clock.set(LocalTime{2024, 5, 6, 13, 59, 0});
        t4.tick();
        Linie oczekiwane{"Interwencyjne pobranie serwisu - wejście",
                         "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                         "Interwencyjne pobieranie - ma pobierać"};
        oczekiwane.insert(oczekiwane.end(), p.koniec.begin(), p.koniec.end());
        EXPECT_EQ(Zabierz(), oczekiwane);
    }
    // An unwanted hour: the decision line, then the same refusal. The wanted 15:00 went by
    // without a delivery meanwhile, and the first tick in hour 15 says so.
    u.CzyNews = true;
    clock.set(LocalTime{2024, 5, 6, 15, 59, 0});
    t4.tick();
    EXPECT_EQ(Zabierz(), (Linie{"Brak serwisu na godzinę 15.",
                                "Interwencyjne pobranie serwisu - wejście",
                                "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę.",
                                "Interwencyjne pobranie przerwane - ma nie pobierać na tę godzinę"}));
    EXPECT_TRUE(t4.isEnabled());
}

TEST_F(HarmonogramTest, TicksDuringACyclesProductionFindTheSchedulerBusy) {
    clock.set(LocalTime{2024, 5, 6, 13, 58, 40});
    zrodla.serwis = true;
    Linie wewnatrz;
    wTrakcie = [&](const std::string&) {
        clock.set(LocalTime{2024, 5, 6, 13, 59, 0, 300});
        Zabierz();
        EXPECT_FALSE(t1.tick());  // switched off for the cycle
        t4.tick();
        h.BitBtn1Click();  // the disabled button takes no click
        wewnatrz = Zabierz();
    };
    t1.tick();
    EXPECT_EQ(wewnatrz, (Linie{"Interwencyjne pobranie serwisu - wejście",
                               "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                               "Interwencyjne pobieranie - ma pobierać",
                               "Interwencyjne pobranie przerwane - trwało pobieranie główne"}));
    EXPECT_EQ(blokady, (Linie{"off", "on"}));
    Bezczynny();
    // The dropped intervention runs as the cycle ends, and finds the hour served.
    EXPECT_EQ(Zabierz(), (Linie{"Interwencyjne pobranie serwisu - wejście",
                                "CzyMaPobierac: Już pobrał na najblizsza godzine, nie pobierać.",
                                "Interwencyjne pobranie przerwane - ma nie pobierać na tę godzinę"}));
    // A check tick while an intervention produces does nothing at all.
    Chciane("d115=1\r\n");
    clock.set(LocalTime{2024, 5, 6, 14, 59, 0});
    wTrakcie = [&](const std::string&) {
        const Linie przed = Zabierz();
        t1.tick();
        wewnatrz = przed;
        wewnatrz.push_back(Zabierz().empty() ? "nothing" : "something");
    };
    t4.tick();
    EXPECT_EQ(wewnatrz, (Linie{"Interwencyjne pobranie serwisu - wejście",
                               "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                               "Interwencyjne pobieranie - ma pobierać",
                               "Interwencyjne pobranie serwisu rozpoczęte", "AkcjaSerwis News",
                               "nothing"}));
    Bezczynny();
}

TEST_F(HarmonogramTest, CycleAsksTheKindsInOrderEachTestStoppingAtItsFirstNo) {
    u.CzySport = u.CzyEkonomia = u.CzyPogoda = true;
    t1.tick();
    // Without Agora credentials: sport and economy from the package service with their links,
    // no weather.
    EXPECT_EQ(Zabierz(), (Linie{"? CzyJestSerwisSE Sport", "AkcjaSerwis Sport link-s",
                                "? CzyJestSerwisSE Ekonomia", "AkcjaSerwis Ekonomia link-e",
                                "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "? CzyJestSerwis", "AkcjaSerwis News"}));
    // With Agora: sport and weather from the news service; economy has no bulletin.
    u.AgoraLogin = u.AgoraPassword = "x";
    zrodla.se["Ekonomia"] = "";
    clock.set(LocalTime{2024, 5, 6, 15, 5, 0});
    Chciane("");
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"? CzyJestAgoraDodatkowy Sport", "AkcjaSerwis Sport",
                                "? CzyJestSerwisSE Ekonomia", "? CzyJestAgoraDodatkowy Pogoda",
                                "AkcjaSerwis Pogoda",
                                "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę."}));
    // Five minutes later only economy is still wanted for 16:00.
    clock.set(LocalTime{2024, 5, 6, 15, 10, 0});
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"? CzyJestSerwisSE Ekonomia",
                                "CzyMaPobierac: Ma nie pobierać na najbliższą godzinę."}));
    EXPECT_EQ(okno.StatusBar1(), "Test: 2024-05-06 15:10:00.");
    Bezczynny();
    EXPECT_EQ(okno.SekundyDoWlaczenia(), 300);
}

TEST_F(HarmonogramTest, GeneralNewsFromTheFeedOrTheLocalFileHasItsOwnTest) {
    u.CzyNews = false;
    u.CzyIAR = true;
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "? CzyJestSerwis", "AkcjaSerwis News"}));
    u.CzyIAR = false;
    u.CzyZPliku = true;
    clock.set(LocalTime{2024, 5, 6, 14, 5, 0});
    zrodla.zPliku = false;
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "? CzyJestSerwisZPliku"}));
    Bezczynny();
}

TEST_F(HarmonogramTest, StopMinutesLeaveTheEndOfTheHourToTheIntervention) {
    log.SetCzyLog(false);  // 240 cycles: the lines are enough, the file would only be slow
    for (const auto& [minuty, cykle] : std::vector<std::pair<int, int>>{{0, 60}, {-5, 60}, {10, 50}, {60, 0}}) {
        u.ZatrzymajSprawdzanie = minuty;
        int n = 0;
        h.OnLockElements = [&](bool stan) { n += stan ? 0 : 1; };
        for (int m = 0; m < 60; ++m) {
            clock.set(LocalTime{2024, 5, 6, 15, m, 0});  // 16:00 is not wanted: nothing produced
            t1.tick();
        }
        EXPECT_EQ(n, cykle) << "ZatrzymajSprawdzanie " << minuty;
    }
    // A skipped tick still counts down to the next one.
    for (int i = 0; i < 400; ++i) t3.tick();
    u.ZatrzymajSprawdzanie = 60;
    t1.tick();
    EXPECT_EQ(okno.SekundyDoWlaczenia(), 300);
    EXPECT_TRUE(t1.isEnabled());
}

TEST_F(HarmonogramTest, MissingOutputFolderFailsEveryCheckButNotTheIntervention) {
    u.FolderZapisu.clear();
    for (auto [m, odliczanie] : {std::pair{45, 300}, {50, 30}, {55, 30}}) {
        clock.set(LocalTime{2024, 5, 6, 13, m, 0});
        for (int i = 0; i < 10; ++i) t3.tick();
        t1.tick();
        // Restarted by the failed test, to the next cycle: every 30 s near the hour.
        EXPECT_EQ(okno.SekundyDoWlaczenia(), odliczanie) << m;
    }
    const std::string para[] = {"Brak lokalizacji zapisu serwisu..",
                                "Timer1: Test obecności folderu zapisu nieudany"};
    EXPECT_EQ(Zabierz(), (Linie{para[0], para[1], para[0], para[1], para[0], para[1]}));
    EXPECT_EQ(okno.StatusBar1(), "Test: 2024-05-06 13:55:00.Brak lokalizacji zapisu serwisu. ");
    EXPECT_TRUE(blokady.empty());
    clock.set(LocalTime{2024, 5, 6, 13, 59, 0});
    t4.tick();
    EXPECT_EQ(Zabierz().at(4), "AkcjaSerwis News");
}

TEST_F(HarmonogramTest, PresenceTestWarnsOfMissingSoundsAndFailsOnAMissingFolder) {
    std::ofstream(tmp / "podklad.wav") << "x";
    PolaObecnosci pola{(tmp / "podklad.wav").string(), (tmp / "brak.wav").string(),
                       (tmp / "out").string()};
    h.PolaOkna = [&] { return pola; };
    EXPECT_TRUE(h.TestObecnosci());
    EXPECT_EQ(okno.StatusBar1(), "Test: 2024-05-06 13:45:00.Brak zakończenia. ");
    pola.LEPodklad = (tmp / "out").string();  // a folder is no sound file
    pola.LEFolderZapisu = (tmp / "brak").string();
    EXPECT_FALSE(h.TestObecnosci());
    EXPECT_EQ(okno.StatusBar1(),
              "Test: 2024-05-06 13:45:00.Brak podkładu. Brak zakończenia. Folder zapisu serwisu nie istnieje. ");
    EXPECT_EQ(Zabierz(), (Linie{"Brak zakończenia.", "Brak podkładu.", "Brak zakończenia.",
                                "Folder zapisu serwisu nie istnieje."}));
    // At exactly midnight the regional date and time is the date alone.
    clock.set(LocalTime{2024, 5, 7, 0, 0, 0});
    pola = {"", "", (tmp / "out").string()};
    EXPECT_TRUE(h.TestObecnosci());
    EXPECT_EQ(okno.StatusBar1(), "Test: 2024-05-07.");
    EXPECT_TRUE(Zabierz().empty());
}

TEST_F(HarmonogramTest, ManualFetchProducesGeneralNewsWhateverTheSettingsSay) {
    u.CzyNews = false;
    stan.ZapiszPobranyInfo("News");
    h.BitBtn1Click();
    EXPECT_EQ(Zabierz(), (Linie{"Rozpoczeto sprawdzanie serwisu.", "AkcjaSerwis News",
                                "Zakończono sprawdzanie serwisu."}));
    EXPECT_EQ(blokady, (Linie{"off", "on"}));
    // Sport and economy as in the cycle; never weather; the check timer keeps running.
    u.CzySport = u.CzyEkonomia = u.CzyPogoda = true;
    u.AgoraLogin = u.AgoraPassword = "x";
    clock.set(LocalTime{2024, 5, 6, 14, 0, 0});
    bool t1wTrakcie = false;
    wTrakcie = [&](const std::string&) { t1wTrakcie = t1.isEnabled(); };
    h.BitBtn1Click();
    EXPECT_EQ(Zabierz(), (Linie{"Rozpoczeto sprawdzanie serwisu.", "? CzyJestAgoraDodatkowy Sport",
                                "AkcjaSerwis Sport", "? CzyJestSerwisSE Ekonomia",
                                "AkcjaSerwis Ekonomia link-e", "AkcjaSerwis News",
                                "Zakończono sprawdzanie serwisu."}));
    EXPECT_TRUE(t1wTrakcie);
    Bezczynny();
    // No output folder: the message box and its log line, nothing else.
    u.FolderZapisu = (tmp / "brak").string();
    h.BitBtn1Click();
    EXPECT_EQ(Zabierz(), (Linie{"Folder zapisu serwisu nie istnieje.",
                                "Folder zapisu serwisu nie istnieje!"}));
    EXPECT_EQ(komunikaty, (Linie{"Błąd: Folder zapisu serwisu nie istnieje!"}));
    EXPECT_EQ(blokady.size(), 4u);
}

TEST_F(HarmonogramTest, AnEscapingErrorEndsOnlyItsKindAndLeavesTheSchedulerIdle) {
    u.CzySport = true;
    zrodla.przyPytaniu = [](const std::string& p) {
        if (p == "CzyJestSerwisSE Sport") throw std::runtime_error("zerwane połączenie");
    };
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"? CzyJestSerwisSE Sport", "Timer1: zerwane połączenie",
                                "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "? CzyJestSerwis", "AkcjaSerwis News"}));
    Bezczynny();
    // A production that breaks off while blinking, in the intervention and the manual fetch.
    wTrakcie = [](const std::string&) { throw 42; };
    clock.set(LocalTime{2024, 5, 6, 14, 59, 0});
    t4.tick();
    EXPECT_EQ(Zabierz(), (Linie{"Interwencyjne pobranie serwisu - wejście",
                                "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                                "Interwencyjne pobieranie - ma pobierać",
                                "Interwencyjne pobranie serwisu rozpoczęte", "AkcjaSerwis News",
                                "Timer4: nieznany błąd"}));
    Bezczynny();
    u.CzySport = false;
    wTrakcie = [](const std::string&) { throw std::runtime_error("dysk pełny"); };
    h.BitBtn1Click();
    EXPECT_EQ(Zabierz(), (Linie{"Rozpoczeto sprawdzanie serwisu.", "AkcjaSerwis News",
                                "BitBtn1: dysk pełny", "Zakończono sprawdzanie serwisu."}));
    Bezczynny();
    // The window's own part failing (enabling the controls) is contained as well.
    wTrakcie = nullptr;
    int zawodzi = 1;
    h.OnLockElements = [&](bool stan) {
        if (!stan && zawodzi-- > 0) throw std::runtime_error("okno");
    };
    clock.set(LocalTime{2024, 5, 6, 14, 40, 0});
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"Timer1: okno"}));
    Bezczynny();
}

TEST_F(HarmonogramTest, AnErrorInsideAnotherHandlersWorkLeavesThatWorkItsBusyFlag) {
    clock.set(LocalTime{2024, 5, 6, 13, 58, 50});
    bool zajetyPo = false, t4Po = false;
    wTrakcie = [&](const std::string&) {
        clock.set(LocalTime{2024, 5, 6, 13, 59, 0});
        auto zwykla = std::move(log.OnLine);
        log.OnLine = [&](std::string_view l) {
            zwykla(l);
            if (l.ends_with("wejście")) throw 7;
        };
        t4.tick();
        log.OnLine = std::move(zwykla);
        zajetyPo = !h.BitBtn1Enabled();
        t4Po = t4.isEnabled();
    };
    t1.tick();
    EXPECT_TRUE(zajetyPo);  // the cycle still owns the flag and the lamp
    EXPECT_TRUE(t4Po);
    const Linie l = Zabierz();
    EXPECT_EQ(Linie(l.begin() + 3, l.end()),
              (Linie{"Interwencyjne pobranie serwisu - wejście", "Timer4: nieznany błąd"}));
    Bezczynny();
}

TEST_F(HarmonogramTest, AfterAStopRequestTheWorkUnderWayFinishesAndNothingNewStarts) {
    u.CzySport = true;
    int konce = 0;
    h.OnKoniecPracy = [&] { ++konce; };
    wTrakcie = [&](const std::string& r) {
        if (r == "Sport") h.ZatrzymajPoBiezacej();
    };
    t1.tick();
    EXPECT_EQ(Zabierz(), (Linie{"? CzyJestSerwisSE Sport", "AkcjaSerwis Sport link-s"}));
    EXPECT_EQ(konce, 1);
    Bezczynny();
    clock.set(LocalTime{2024, 5, 6, 13, 59, 0});
    t4.tick();
    t1.tick();
    h.BitBtn1Click();
    EXPECT_TRUE(Zabierz().empty());
    EXPECT_EQ(konce, 1);
}

}  // namespace
}  // namespace tolvak
