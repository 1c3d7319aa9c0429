// Output naming, the block copy into the output folder, WAV joining, the weather sponsors and
// the status display's rules.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "GeneratorDzwiekow.h"
#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "production/Dostarczenie.h"
#include "production/Sponsorzy.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

std::string czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void zapisz(const fs::path& p, const std::string& s) {
    std::ofstream f(p, std::ios::binary);
    f << s;
}

constexpr std::string_view kZnacznik = "0badc0de";

uint32_t le32(const std::string& s, size_t off) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[off])) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[off + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[off + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[off + 3])) << 24;
}

TEST(NazwaWynikowa, ComingHourAtTheThreeMomentsOfTheDay) {
    const LocalTime o0900{2024, 5, 6, 9, 0, 0};
    const LocalTime o2330{2024, 5, 6, 23, 30, 0};
    const LocalTime o0010{2024, 5, 6, 0, 10, 0};
    EXPECT_EQ(NazwaWynikowaSerwisu("N_", 1, "serwis", 0, o0900), "N_2024-05-06_10.wav");
    EXPECT_EQ(NazwaWynikowaSerwisu("N_", 2, "serwis", 0, o0900), "N_10_00.wav");
    EXPECT_EQ(NazwaWynikowaSerwisu("P_", 1, "serwis", 1, o2330), "P_2024-05-06_24.mp3");
    EXPECT_EQ(NazwaWynikowaSerwisu("P_", 2, "serwis", 1, o2330), "P_24_00.mp3");
    EXPECT_EQ(NazwaWynikowaSerwisu("E_", 1, "serwis", 0, o0010), "E_2024-05-06_01.wav");
    EXPECT_EQ(NazwaWynikowaSerwisu("E_", 2, "serwis", 0, o0010), "E_01_00.wav");
    for (const auto& t : {o0900, o2330, o0010})
        EXPECT_EQ(NazwaWynikowaSerwisu("S_", 0, "serwis", 0, t), "S_serwis.wav");
    EXPECT_EQ(SciezkaDocelowa("/out/", "N_a.wav"), "/out/N_a.wav");
    EXPECT_EQ(SciezkaDocelowa("/out", "N_a.wav"), "/out/N_a.wav");
}

class Kopiowanie : public ::testing::Test {
protected:
    test::TempDir tmp;
    ManualClock clock{LocalTime{2024, 5, 6, 9, 40, 0}};
    StatusDisplay okno{clock};
};

TEST_F(Kopiowanie, CopiesWithProgressAndLabels) {
    std::string dane(300000, '\0');
    std::minstd_rand los(1);
    for (auto& c : dane) c = static_cast<char>(los());
    zapisz(tmp / "zrodlo.wav", dane);
    std::vector<std::string> etykiety;
    okno.OnAction = [&](std::string_view t) { etykiety.emplace_back(t); };
    KopiujPlik((tmp / "zrodlo.wav").string(), (tmp / "cel.wav").string(), okno, kZnacznik);
    EXPECT_EQ(czytaj(tmp / "cel.wav"), dane);
    EXPECT_EQ(okno.Gauge1Max(), 300);
    EXPECT_EQ(okno.Gauge1Position(), 300);
    ASSERT_EQ(etykiety.size(), 2u);
    EXPECT_EQ(etykiety[0], "Kopiowanie pliku zrodlo.wav...");
    EXPECT_EQ(etykiety[1], "Kopiowanie pliku zrodlo.wav zostało zakończone.");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 2);  // no temporary file
}

TEST_F(Kopiowanie, EmptyAndTinySources) {
    zapisz(tmp / "pusty", "");
    KopiujPlik((tmp / "pusty").string(), (tmp / "cel").string(), okno, kZnacznik);
    EXPECT_TRUE(fs::exists(tmp / "cel"));
    EXPECT_EQ(fs::file_size(tmp / "cel"), 0u);
    zapisz(tmp / "maly", std::string(999, 'x'));
    KopiujPlik((tmp / "maly").string(), (tmp / "cel").string(), okno, kZnacznik);
    EXPECT_EQ(okno.Gauge1Max(), 0);
    EXPECT_EQ(fs::file_size(tmp / "cel"), 999u);
}

TEST_F(Kopiowanie, FailuresLeaveTheDestinationAsItWasAndNoTemporaryFile) {
    zapisz(tmp / "cel.wav", "poprzedni");
    EXPECT_THROW(KopiujPlik((tmp / "brak.wav").string(), (tmp / "cel.wav").string(), okno, kZnacznik),
                 std::runtime_error);
    EXPECT_EQ(czytaj(tmp / "cel.wav"), "poprzedni");
    zapisz(tmp / "zrodlo.wav", "nowy");
    try {
        KopiujPlik((tmp / "zrodlo.wav").string(), (tmp / "nie_ma" / "cel.wav").string(), okno, kZnacznik);
        FAIL() << "copy into a missing folder succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("nie_ma/cel.wav"), std::string::npos) << e.what();
    }
    // A destination that is a folder cannot be replaced: the temporary file goes again.
    fs::create_directory(tmp / "katalog.wav");
    zapisz(tmp / "katalog.wav" / "x", "x");
    EXPECT_THROW(KopiujPlik((tmp / "zrodlo.wav").string(), (tmp / "katalog.wav").string(), okno, kZnacznik),
                 std::runtime_error);
    for (const auto& e : fs::directory_iterator(tmp.path()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(Kopiowanie, OnlyARegularFileOfALimitedSizeIsCopied) {
    // A FIFO without a writer would block the open; a device never ends.
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0644), 0);
    zapisz(tmp / "duzy.wav", std::string(5000, 'x'));
    const std::pair<fs::path, const char*> przypadki[] = {
        {tmp / "fifo", "to nie jest zwykły plik"},
        {"/dev/zero", "to nie jest zwykły plik"},
        {tmp / "duzy.wav", "plik jest za duży"}};
    for (const auto& [zrodlo, powod] : przypadki) {
        try {
            KopiujPlik(zrodlo.string(), (tmp / "tvss.mp3").string(), okno, kZnacznik, 4999);
            ADD_FAILURE() << zrodlo << " copied";
        } catch (const std::system_error& e) {
            EXPECT_EQ(std::string(e.what()), "Nie można odczytać pliku " + zrodlo.string() + ": " + powod);
        }
    }
    EXPECT_FALSE(fs::exists(tmp / "tvss.mp3"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 2);
    EXPECT_THROW(SprawdzPlikWejsciowy("/dev/zero"), std::system_error);
    EXPECT_NO_THROW(SprawdzPlikWejsciowy((tmp / "duzy.wav").string()));
    EXPECT_EQ(SciezkaDoLoga("a\r\nb"), "a\\r\\nb");
}

TEST(NazwaWynikowa, OnlyANameThatStaysInTheOutputFolderIsAllowed) {
    for (const char* n : {"serwis", "Serwis Radia 1", "a.b", ".ukryty"}) EXPECT_TRUE(CzyDozwolonaNazwaWynikowa(n)) << n;
    for (const char* n : {"", "  ", "x/../../../escaped", "a\\b", "..", "a..b", "/etc", "a\nb", "a\rb"})
        EXPECT_FALSE(CzyDozwolonaNazwaWynikowa(n)) << n;
}

// The playout may take the file at any moment: a copy killed at a random moment must never
// leave a partial file under the final name; the previous delivery stays whole until replaced.
TEST_F(Kopiowanie, KilledCopyNeverLeavesAPartialFileUnderTheFinalName) {
    const std::string stary(200000, 'o');
    std::string nowy(3000000, '\0');
    std::minstd_rand los(5);
    for (auto& c : nowy) c = static_cast<char>('a' + los() % 26);
    zapisz(tmp / "nowy.wav", nowy);
    std::uniform_int_distribution<int> opoznienie(0, 40000);
    int zabite = 0;
    for (int proba = 0; proba < 25; ++proba) {
        zapisz(tmp / "N_serwis.wav", stary);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ManualClock c;
            StatusDisplay o(c);
            try {
                KopiujPlik((tmp / "nowy.wav").string(), (tmp / "N_serwis.wav").string(), o, kZnacznik);
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(opoznienie(los)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++zabite;
        const std::string jest = czytaj(tmp / "N_serwis.wav");
        ASSERT_TRUE(jest == stary || jest == nowy) << "partial file of " << jest.size() << " bytes";
    }
    EXPECT_GT(zabite, 0);
}

TEST(JoinWaves, OnlyTheSamplesOfEveryFileJoinUnderOnePlainHeader) {
    test::TempDir tmp;
    namespace d = dzwieki;
    d::ZapiszWav((tmp / "a.wav").string(), d::Ton(0.1, 440, 0.3));
    d::ZapiszWav((tmp / "b.wav").string(), d::Ton(0.2, 660, 0.3));
    d::ZapiszWav((tmp / "krotki.wav").string(), d::Nagranie{});  // a header without samples
    const std::string a = czytaj(tmp / "a.wav"), b = czytaj(tmp / "b.wav");
    JoinWaves({(tmp / "a.wav").string(), (tmp / "brak.wav").string(), (tmp / "krotki.wav").string(),
               (tmp / "b.wav").string(), (tmp / "b.wav").string()},
              (tmp / "out.wav").string());
    const std::string out = czytaj(tmp / "out.wav");
    ASSERT_EQ(out.size(), a.size() + 2 * (b.size() - 44));
    EXPECT_EQ(out.substr(8, 32), a.substr(8, 32));
    EXPECT_EQ(out.substr(44, a.size() - 44), a.substr(44));
    EXPECT_EQ(out.substr(a.size(), b.size() - 44), b.substr(44));
    EXPECT_EQ(le32(out, 4), out.size() - 8);
    EXPECT_EQ(le32(out, 40), out.size() - 44);
    EXPECT_EQ(d::Czytaj((tmp / "out.wav").string()).Ramki(), 4410 + 2 * 8820);
    EXPECT_THROW(JoinWaves({(tmp / "a.wav").string()}, (tmp / "nie_ma" / "o.wav").string()),
                 std::runtime_error);
    // A first file as editors write it: an odd-sized LIST chunk before "data", a chunk after it.
    const std::string lista = "LIST" + std::string("\x0d\0\0\0", 4) + std::string(13, 'x') + '\0';
    const std::string tail = "id3 " + std::string("\x04\0\0\0", 4) + "TAG!";
    zapisz(tmp / "list.wav", "RIFF" + std::string(4, '\0') + "WAVE" + a.substr(12, 24) + lista + a.substr(36) + tail);
    JoinWaves({(tmp / "list.wav").string(), (tmp / "b.wav").string()}, (tmp / "out2.wav").string());
    const std::string out2 = czytaj(tmp / "out2.wav");
    ASSERT_EQ(out2.size(), a.size() + b.size() - 44);
    EXPECT_EQ(out2.substr(8, 28) + out2.substr(36, 4), a.substr(8, 28) + "data");
    EXPECT_EQ(le32(out2, 4), out2.size() - 8);
    EXPECT_EQ(le32(out2, 40), out2.size() - 44);
    EXPECT_EQ(out2.substr(44), a.substr(44) + b.substr(44));
    // An entry that is no sound is refused naming it.
    zapisz(tmp / "strona.wav", "<html>502</html>");
    try {
        JoinWaves({(tmp / "a.wav").string(), (tmp / "strona.wav").string()}, (tmp / "out3.wav").string());
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Plik " + (tmp / "strona.wav").string() + " nie zawiera dźwięku");
    }
}

class Sponsorzy : public ::testing::Test {
protected:
    void SetUp() override {
        dzwieki::ZapiszWav(tvtemp, dzwieki::Ton(0.5, 300, 0.3));
        dzwieki::ZapiszWav((tmp / "s1.wav").string(), dzwieki::Ton(0.25, 500, 0.3));
        dzwieki::ZapiszWav((tmp / "S2.WAV").string(), dzwieki::Ton(0.1, 700, 0.3));
        dzwieki::ZapiszMp3((tmp / "s3.mp3").string(), dzwieki::Ton(0.5, 900, 0.3));
        bulletin = czytaj(tvtemp);
    }
    static constexpr const char* kKlucze[6] = {"Sponsor1Przed", "Sponsor2Przed", "Sponsor3Przed",
                                               "Sponsor1Po", "Sponsor2Po", "Sponsor3Po"};
    bool Dodaj() {
        return DodajSponsorow(ini, tvtemp, tvtemp2, okno, [this](const std::string& l) { linie.push_back(l); });
    }
    test::TempDir tmp;
    ManualClock clock;
    StatusDisplay okno{clock};
    std::vector<std::string> linie;
    fs::path ini = tmp / "tolvak.ini";
    std::string tvtemp = (tmp / "tvtemp.wav").string();
    std::string tvtemp2 = (tmp / "tvtemp2.wav").string();
    std::string bulletin;
};

TEST_F(Sponsorzy, NoKeysWritesAllSixEmptyAndLeavesTheBulletin) {
    EXPECT_FALSE(Dodaj());
    EXPECT_EQ(czytaj(tvtemp), bulletin);
    IniFile f(ini);
    for (const char* k : kKlucze) {
        EXPECT_TRUE(f.ValueExists("PogodaSponsorzy", k)) << k;
        EXPECT_EQ(f.ReadString("PogodaSponsorzy", k, "x"), "");
    }
}

TEST_F(Sponsorzy, OnlySponsor2PoTheHeaderComesFromTheBulletin) {
    IniFile(ini).WriteString("PogodaSponsorzy", "Sponsor2Po", (tmp / "s1.wav").string());
    EXPECT_TRUE(Dodaj());
    const std::string s1 = czytaj(tmp / "s1.wav");
    const std::string out = czytaj(tvtemp);
    EXPECT_EQ(out.substr(44, bulletin.size() - 44), bulletin.substr(44));
    EXPECT_EQ(out.substr(bulletin.size()), s1.substr(44));
    EXPECT_FALSE(fs::exists(tvtemp2));
    EXPECT_EQ(IniFile(ini).ReadString("PogodaSponsorzy", "Sponsor2Po", ""), (tmp / "s1.wav").string());
}

TEST_F(Sponsorzy, UpperCaseWavUsedMp3AndMissingIgnoredOrderKept) {
    IniFile f(ini);
    f.WriteString("PogodaSponsorzy", "Sponsor1Przed", (tmp / "S2.WAV").string());
    f.WriteString("PogodaSponsorzy", "Sponsor2Przed", (tmp / "s3.mp3").string());
    f.WriteString("PogodaSponsorzy", "Sponsor3Przed", (tmp / "brak.wav").string());
    f.WriteString("PogodaSponsorzy", "Sponsor1Po", (tmp / "s1.wav").string());
    EXPECT_TRUE(Dodaj());
    const std::string s2 = czytaj(tmp / "S2.WAV"), s1 = czytaj(tmp / "s1.wav");
    const std::string out = czytaj(tvtemp);
    ASSERT_EQ(out.size(), s2.size() + (bulletin.size() - 44) + (s1.size() - 44));
    EXPECT_EQ(out.substr(44, s2.size() - 44), s2.substr(44));  // starts with the sponsor
    EXPECT_EQ(out.substr(s2.size(), bulletin.size() - 44), bulletin.substr(44));
    EXPECT_EQ(le32(out, 40), out.size() - 44);
    // Every value is written back as read.
    EXPECT_EQ(IniFile(ini).ReadString("PogodaSponsorzy", "Sponsor2Przed", ""), (tmp / "s3.mp3").string());
    EXPECT_EQ(IniFile(ini).ReadString("PogodaSponsorzy", "Sponsor3Przed", ""), (tmp / "brak.wav").string());
}

TEST(StatusDisplayRules, GaugeLampAndCountdown) {
    ManualClock clock{LocalTime{2024, 5, 6, 13, 45, 7}};
    StatusDisplay s(clock);
    EXPECT_EQ(s.LAkcja(), "Czekam...");
    EXPECT_EQ(s.LShapeInfo(), "Pobieranie...");
    s.setGaugeMax(100);
    s.setGaugePosition(80);
    s.setGaugeMax(50);
    EXPECT_EQ(s.Gauge1Position(), 50);
    s.advanceGauge(1000);
    EXPECT_EQ(s.Gauge1Position(), 50);
    s.setGaugePosition(-5);
    EXPECT_EQ(s.Gauge1Position(), 0);
    s.setGaugeMax(0);
    s.advanceGauge(20001);
    EXPECT_EQ(s.Gauge1Position(), 0);

    s.Migotanie(true);
    EXPECT_TRUE(s.Timer2Enabled());
    EXPECT_FALSE(s.Timer3Enabled());
    EXPECT_EQ(s.LShapeInfo(), "Pobieram...");
    s.Timer2Timer();
    s.Timer2Timer();
    s.Timer2Timer();
    EXPECT_EQ(s.Shape1Color(), StatusDisplay::kCzerwony);
    s.Migotanie(false);
    EXPECT_EQ(s.Shape1Color(), StatusDisplay::kZielony);
    EXPECT_EQ(s.LShapeInfo(), "Czekam na zadanie.");
    EXPECT_EQ(s.SekundyDoWlaczenia(), 300);
    s.Timer3Timer();
    EXPECT_EQ(s.LShapeInfo(), "Jest 13:45:07. Do następnego testu: ~4:59");
    for (int i = 0; i < 400; ++i) s.Timer3Timer();
    EXPECT_EQ(s.SekundyDoWlaczenia(), 0);
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(61), "1:01");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(3600), "60:00");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(0), "0:00");
}

}  // namespace
}  // namespace tolvak
