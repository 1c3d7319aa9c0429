// The missed hour at minute 0: the log line once per hour, the window's status bar until general
// news is delivered again, the alarm command with its environment and its end in the log, and a
// command that hangs killed after its limit.

#include "schedule/BrakSerwisu.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "platform/UiQueue.h"
#include "schedule/Harmonogram.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "ZrodlaBezPobran.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Linie = std::vector<std::string>;

std::string Wczytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void CzekajNaPolecenia(PolecenieWTle& p) {
    UiQueue::instance().processUntil([&] { return p.Trwajace() == 0; });
}

// 6 May 2024 was a Monday; the matrix wants 14:00 and 15:00.
struct BrakSerwisuTest : ::testing::Test {
    test::TempDir tmp;
    ManualClock clock{LocalTime{2024, 5, 6, 13, 59, 30}};
    Log log{tmp / "log.txt", clock};
    Ustawienia u;
    Matryca matryca{tmp / "tolvak.ini"};
    StanPobran stan{tmp / "tolvak.dat", matryca, log, clock};
    ManualTimer t1, t2, t3, t4;
    StatusDisplay okno{clock, t2, t3};
    struct Zrodla : test::ZrodlaBezPobran {
        std::string CzyJestSerwisSE(const std::string&) override { return {}; }
        bool CzyJestSerwis() override { return true; }
        bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
        bool CzyJestSerwisZPliku() override { return false; }
    } zrodla;
    Linie linie;
    std::function<void()> wTrakcie;
    bool dostarcz = true;
    Harmonogram h{KontekstHarmonogramu{u, stan, zrodla,
                                       [this](const std::string& r, const std::string&, TrybAkcji) {
                                           // As the run does: the hour it started for.
                                           const LocalTime start = clock.now();
                                           okno.Migotanie(true);
                                           if (wTrakcie) wTrakcie();
                                           if (dostarcz) ZapiszPobranyInfo(stan.FileName(), r, start);
                                           okno.Migotanie(false);
                                           return dostarcz;
                                       },
                                       log, clock, okno},
                  t1, t4};

    void SetUp() override {
        SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
        log.OnLine = [this](std::string_view l) { linie.emplace_back(l.substr(l.find(": ") + 2)); };
        std::ofstream(tmp / "tolvak.ini", std::ios::binary) << "[Matryca]\r\nd114=1\r\nd115=1\r\n";
        matryca.Wczytaj();
        u.CzyNews = true;
        u.FolderZapisu = tmp.path().string() + "/";
    }
    /// Timer4's ticks through the first seconds of the hour `godzina`.
    void PoczatekGodziny(int godzina) {
        for (int ms = 0; ms < 3000; ms += 900) {
            clock.set(LocalTime{2024, 5, 6, godzina, 0, ms / 1000, ms % 1000});
            t4.tick();
        }
    }
    Linie Braki() const {
        Linie b;
        for (const auto& l : linie)
            if (l.starts_with("Brak serwisu") || l.starts_with("PolecenieAlarmu")) b.push_back(l);
        return b;
    }
};

TEST_F(BrakSerwisuTest, AWantedHourWithoutDeliveryIsRaisedOnceAndRunsTheCommandWithItsEnvironment) {
    u.PolecenieAlarmu = "printf '%s|%s|%s' \"$TOLVAK_GODZINA\" \"$TOLVAK_RODZAJ\" \"$TOLVAK_KOMUNIKAT\" > '" +
                        (tmp / "alarm.txt").string() + "'; exit 3";
    PoczatekGodziny(14);
    clock.set(LocalTime{2024, 5, 6, 14, 0, 59, 500});
    t4.tick();
    CzekajNaPolecenia(h.Brak().Polecenie());
    EXPECT_EQ(Braki(), (Linie{"Brak serwisu na godzinę 14.", "PolecenieAlarmu: zakończone z kodem 3."}));
    EXPECT_EQ(Wczytaj(tmp / "alarm.txt"), "14|News|2024-05-06 14:00:00: Brak serwisu na godzinę 14.");
    EXPECT_EQ(okno.StatusBar1BrakSerwisu(), "Brak serwisu na godzinę 14.");

    // The next delivery of general news takes it off the status bar; 15:00 is then served.
    clock.set(LocalTime{2024, 5, 6, 14, 20, 0});
    okno.setStatusBar("Test");
    h.BitBtn1Click();
    EXPECT_EQ(okno.StatusBar1BrakSerwisu(), "");
    linie.clear();
    PoczatekGodziny(15);
    EXPECT_EQ(Braki(), Linie{});
}

TEST_F(BrakSerwisuTest, DeliveredUnwantedOrSwitchedOffHoursAreNotRaised) {
    stan.ZapiszPobranyInfo("News");  // at 13:59:30: the 14:00 bulletin
    PoczatekGodziny(14);
    u.CzyNews = false;
    PoczatekGodziny(15);  // wanted, but nothing produces general news by itself
    u.CzyNews = true;
    PoczatekGodziny(16);  // not wanted
    EXPECT_EQ(Braki(), Linie{});
    EXPECT_EQ(okno.StatusBar1BrakSerwisu(), "");
    // The local file source also produces general news by itself.
    u.CzyNews = false;
    u.CzyZPliku = true;
    clock.set(LocalTime{2024, 5, 6, 15, 0, 0});
    h.Brak().Tick();  // 15:00 was looked at already
    EXPECT_EQ(Braki(), Linie{});
}

TEST_F(BrakSerwisuTest, TheHourIsRaisedAtItsStartWhileBusyAndOnceWhateverTheClockSteps) {
    // The intervention of 13:59 on a slow source still fetches at 14:00: Timer4 is its own, so
    // the check timer's tick raises the hour; the late delivery then clears it.
    u.PolecenieAlarmu = "true";
    wTrakcie = [this] {
        clock.set(LocalTime{2024, 5, 6, 14, 0, 0, 20});
        t1.tick();
        EXPECT_EQ(Braki(), Linie{"Brak serwisu na godzinę 14."});
        EXPECT_EQ(IniFile(stan.FileName()).ReadString("Pobrany", "BrakGodziny", ""), "2024-05-06 14");
        clock.set(LocalTime{2024, 5, 6, 14, 1, 10});
    };
    clock.set(LocalTime{2024, 5, 6, 13, 59, 0});
    t4.tick();
    CzekajNaPolecenia(h.Brak().Polecenie());
    EXPECT_EQ(okno.StatusBar1BrakSerwisu(), "");
    EXPECT_FALSE(IniFile(stan.FileName()).ValueExists("Pobrany", "BrakGodziny"));
    wTrakcie = nullptr;
    dostarcz = false;
    u.PolecenieAlarmu.clear();
    linie.clear();
    // Judged hours are never judged again after a step back; a step forward judges each
    // skipped hour once (16:00 is not wanted).
    struct Krok {
        LocalTime t;
        Linie braki;
    };
    for (const Krok& k : {Krok{{2024, 5, 6, 14, 52, 0}, {}}, Krok{{2024, 5, 6, 14, 0, 30}, {}},
                          Krok{{2024, 5, 6, 13, 59, 50}, {}}, Krok{{2024, 5, 6, 14, 0, 1}, {}},
                          Krok{{2024, 5, 6, 16, 0, 2}, {"Brak serwisu na godzinę 15."}},
                          Krok{{2024, 5, 6, 15, 0, 2}, {}}, Krok{{2024, 5, 6, 16, 5, 0}, {}}}) {
        clock.set(k.t);
        t4.tick();
        EXPECT_EQ(Braki(), k.braki) << k.t.hour << ":" << k.t.minute;
        linie.clear();
    }
}

TEST_F(BrakSerwisuTest, AHangingCommandIsKilledWithItsChildrenAfterTheLimit) {
    // The shell starts a child of its own and waits for it: both must go.
    const fs::path pidPlik = tmp / "pid";
    u.PolecenieAlarmu = "sleep 60 & echo $! > '" + pidPlik.string() + "'; wait";
    h.Brak().Polecenie().SetLimit(700ms);
    const auto start = std::chrono::steady_clock::now();
    PoczatekGodziny(14);
    EXPECT_EQ(h.Brak().Polecenie().Trwajace(), 1u) << "the tick waited for the command";
    CzekajNaPolecenia(h.Brak().Polecenie());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(Braki(), (Linie{"Brak serwisu na godzinę 14.",
                              "PolecenieAlarmu: przekroczony limit czasu 700 ms, polecenie zakończone siłą."}));
    const pid_t dziecko = std::stoi(Wczytaj(pidPlik));
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, dziecko, 0));
    if (fd >= 0) {  // still there a moment after the kill: it must end without our help
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 5000), 1) << "the command's child survived the limit";
        close(fd);
    }
}

TEST(PolecenieWTle, ReportsSignalsAndStartFailuresAndEndsWhatRunsWhenDestroyed) {
    std::vector<WynikPolecenia> wyniki;
    {
        PolecenieWTle p(10s);
        p.Uruchom("kill -TERM $$", {}, [&](const WynikPolecenia& w) { wyniki.push_back(w); });
        CzekajNaPolecenia(p);
        ASSERT_EQ(wyniki.size(), 1u);
        EXPECT_EQ(wyniki[0].koniec, WynikPolecenia::Koniec::Sygnal);
        EXPECT_EQ(wyniki[0].kod, SIGTERM);
        // Destroyed while a command runs: it ends, unreported, without waiting for the limit.
        p.Uruchom("sleep 60", {}, [&](const WynikPolecenia& w) { wyniki.push_back(w); });
        EXPECT_EQ(p.Trwajace(), 1u);
    }
    EXPECT_EQ(wyniki.size(), 1u);
}

}  // namespace
}  // namespace tolvak
