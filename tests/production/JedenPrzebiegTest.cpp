// One run per program folder and the files around a run, as processes on the real file system:
// runs started together, links planted at the names the program writes, hostile names and
// inputs, stale temporary files and runs killed at random moments.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "GeneratorDzwiekow.h"
#include "platform/FolderLock.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "production/Sprawdzenie.h"
#include "production/Uruchomienie.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<std::string> linie(const fs::path& p) {
    std::istringstream s(czytaj(p));
    std::vector<std::string> w;
    for (std::string l; std::getline(s, l);) w.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
    return w;
}

bool zawiera(const std::string& tekst, const std::string& czesc) { return tekst.find(czesc) != std::string::npos; }

class JedenPrzebieg : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prog);
        fs::create_directories(out);
        dzwieki::ZapiszMp3((tmp / "serwis.mp3").string(), dzwieki::Mowa(1.0));
        dzwieki::ZapiszMp3((tmp / "sport.mp3").string(), dzwieki::Mowa(2.0));
        dzwieki::ZapiszWav((tmp / "podklad.wav").string(), dzwieki::Podklad(3.0));
        dzwieki::ZapiszWav((tmp / "koniec.wav").string(), dzwieki::Zakonczenie(0.5));
        Ustaw("FolderZapisu", out.string());
        Ustaw("SerwisPodklad", (tmp / "podklad.wav").string());
        Ustaw("SerwisZakonczenie", (tmp / "koniec.wav").string());
        Ustaw("NazwaWynikowaTyp", "0");
        ::setenv("TOLVAK_ONLINE", "1", 1);
    }
    void Ustaw(const char* klucz, const std::string& wartosc) {
        IniFile(prog / "tolvak.ini").WriteString("Ustawienia", klucz, wartosc);
    }
    /// Starts the program in `tmp` with `--dir prog` and `argumenty`; its standard error goes to
    /// `tmp/<nazwa>.err`.
    pid_t Start(std::vector<std::string> argumenty, const std::string& nazwa = "stderr") {
        return Start(prog, tmp.path(), std::move(argumenty), tmp / (nazwa + ".err"));
    }
    /// The same for any program folder and working folder. Spawned, not forked: a fork would
    /// copy the test's whole address space, and another thread may hold the allocator's lock.
    static pid_t Start(const fs::path& folder, const fs::path& roboczy, std::vector<std::string> argumenty,
                       const fs::path& err) {
        argumenty.insert(argumenty.begin(), {TOLVAK_BINARY, "--dir", folder.string()});
        std::vector<char*> argv;
        for (auto& a : argumenty) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t akcje;
        ::posix_spawn_file_actions_init(&akcje);
        ::posix_spawn_file_actions_addopen(&akcje, 1, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&akcje, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::posix_spawn_file_actions_addchdir_np(&akcje, roboczy.c_str());
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, argv[0], &akcje, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&akcje);
        return rc == 0 ? pid : -1;
    }
    static int Czekaj(pid_t pid) {
        if (pid < 0) return 127;  // never started: waiting for "any child" would take another's
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Uruchom(const std::vector<std::string>& argumenty) { return Czekaj(Start(argumenty)); }
    std::string Bledy(const std::string& nazwa = "stderr") { return czytaj(tmp / (nazwa + ".err")); }

    /// Names anywhere under `tmp` that look like temporary files of any kind.
    std::vector<std::string> Tymczasowe() const {
        std::vector<std::string> w;
        for (const auto& e : fs::recursive_directory_iterator(tmp.path())) {
            const std::string n = e.path().filename().string();
            if (n.front() == '.' || n.ends_with(".part")) w.push_back(e.path().string());
        }
        return w;
    }

    test::TempDir tmp;
    fs::path prog = tmp / "prog", out = tmp / "out";
};

TEST_F(JedenPrzebieg, TwoRunsStartedTogetherEachDeliverTheirOwnBulletinInTurn) {
    const pid_t a = Start({"--produce", "News", "--input", "serwis.mp3"}, "a");
    const pid_t b = Start({"--produce", "Sport", "--input", "sport.mp3"}, "b");
    EXPECT_EQ(Czekaj(a), 0) << Bledy("a");
    EXPECT_EQ(Czekaj(b), 0) << Bledy("b");
    // News: the bed cut behind its 1 s bulletin and the 0.5 s ending; sport has no sounds.
    EXPECT_NEAR(static_cast<double>(dzwieki::Czytaj((out / "N_serwis.wav").string()).Ramki()), 1.5 * 44100, 1500);
    EXPECT_NEAR(static_cast<double>(dzwieki::Czytaj((out / "S_serwis.wav").string()).Ramki()), 2.0 * 44100, 1500);
    // The log holds both runs, one after the other.
    std::string kolejnosc;
    for (const std::string& l : linie(prog / "log.txt")) {
        if (zawiera(l, "AkcjaSerwis: Pobrano serwis: tvss.mp3")) kolejnosc.insert(0, "P");
        if (zawiera(l, "AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.")) kolejnosc.insert(0, "D");
        if (zawiera(l, "AkcjaSerwis: Skasowano pliki tymczasowe.")) kolejnosc.insert(0, "K");
    }
    EXPECT_EQ(kolejnosc, "PDKPDK");
}

TEST_F(JedenPrzebieg, ARunThatFindsTheFolderTakenWaitsThenRefusesTouchingNothing) {
    const std::optional<FolderLock> zajety = FolderLock::tryLock(prog / "tolvak.lock");
    ASSERT_TRUE(zajety);
    CommandLine cl;
    cl.dir = prog.string();
    cl.produce = "News";
    cl.input = (tmp / "serwis.mp3").string();
    std::ostringstream err, wyjscie;
    EXPECT_EQ(UruchomProdukcje(cl, err, 50ms), 1);
    EXPECT_EQ(err.str(), "Program jest już uruchomiony.\n");
    EXPECT_FALSE(fs::exists(prog / "log.txt"));
    // A check only reads and logs: it answers beside the holder at once.
    cl.produce.reset();
    cl.check = "News";
    EXPECT_EQ(UruchomSprawdzenie(cl, wyjscie, err), 1);
    EXPECT_EQ(wyjscie.str(), "no\n");
    EXPECT_EQ(Uruchom({"--headless"}), 1);  // refuses at once
    EXPECT_EQ(Bledy(), "Program jest już uruchomiony.\n");
}

TEST_F(JedenPrzebieg, LinksPlantedAtTheNamesTheProgramWritesAreNeverFollowed) {
    Ustaw("FormatZapisu", "1");
    std::ofstream(tmp / "ofiara") << "nietknieta";
    const std::vector<fs::path> linki{prog / "tvvoice.wav", prog / "tvtemp.wav", prog / "tvtemp2.wav",
                                      prog / "tvend.wav",   prog / "tvserwis.mp3", tmp / "tvss.mp3",
                                      out / "N_serwis.mp3"};
    for (const fs::path& l : linki) fs::create_symlink(tmp / "ofiara", l);
    ASSERT_EQ(Uruchom({"--produce", "News", "--input", "serwis.mp3"}), 0) << Bledy();
    EXPECT_EQ(czytaj(tmp / "ofiara"), "nietknieta");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "N_serwis.mp3")));
    EXPECT_GT(fs::file_size(out / "N_serwis.mp3"), 10000u);

    fs::remove(prog / "tolvak.lock");
    fs::create_symlink(tmp / "ofiara", prog / "tolvak.lock");
    EXPECT_EQ(Uruchom({"--produce", "News", "--input", "serwis.mp3"}), 1);
    EXPECT_TRUE(zawiera(Bledy(), "dowiązanie symboliczne nie jest dozwolone")) << Bledy();
    EXPECT_EQ(czytaj(tmp / "ofiara"), "nietknieta");
}

TEST_F(JedenPrzebieg, FixedNamesThatLeaveTheOutputFolderFailTheRun) {
    for (const std::string nazwa : {"x/../../../escaped", "a\\b", "..", ""}) {
        Ustaw("NazwaWynikowa", nazwa);
        EXPECT_EQ(Uruchom({"--produce", "News", "--input", "serwis.mp3"}), 1) << nazwa;
        EXPECT_TRUE(linie(prog / "log.txt").front().ends_with(": AkcjaSerwis: Niedozwolona nazwa wynikowa: " + nazwa))
            << linie(prog / "log.txt").front();
    }
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_FALSE(fs::exists(tmp.path().parent_path() / "escaped.wav"));
    EXPECT_FALSE(fs::exists(tmp / "tvss.mp3"));  // refused before the fetch
}

TEST_F(JedenPrzebieg, InputsThatWouldHangFloodOrForgeLogLinesAreRefused) {
    ASSERT_EQ(::mkfifo((tmp / "fifo.mp3").c_str(), 0644), 0);
    const std::string falszywa = "01.01.2024 00:00:00: AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.";
    for (const std::string& wejscie : {std::string("fifo.mp3"), std::string("/dev/zero"), "serwis.mp3\n" + falszywa, std::string("serwis.mp3\r")})
        EXPECT_EQ(Uruchom({"--produce", "News", "--input", wejscie}), 1) << wejscie;
    // The local file source, and a FIFO at the fetched file's own name, used in place.
    Ustaw("CzyZPliku", "1");
    Ustaw("ZPlikuSciezka", (tmp / "fifo.mp3").string());
    EXPECT_EQ(Uruchom({"--produce", "News"}), 1);
    ASSERT_EQ(::mkfifo((tmp / "tvss.mp3").c_str(), 0644), 0);
    EXPECT_EQ(Uruchom({"--produce", "News", "--input", "tvss.mp3"}), 1);

    const std::string log = czytaj(prog / "log.txt");
    EXPECT_TRUE(zawiera(log, "AkcjaSerwis: Nie można odczytać pliku fifo.mp3: to nie jest zwykły plik"));
    EXPECT_TRUE(zawiera(log, "AkcjaSerwis: Nie można odczytać pliku /dev/zero: to nie jest zwykły plik"));
    EXPECT_TRUE(zawiera(log, "AkcjaSerwis: Niedozwolony znak końca wiersza w ścieżce serwis.mp3\\n01.01.2024"));
    EXPECT_TRUE(zawiera(log, "PobierzSerwisZPliku: Nie można odczytać pliku " + (tmp / "fifo.mp3").string()));
    EXPECT_TRUE(zawiera(log, "AkcjaSerwis: Nie można odczytać pliku tvss.mp3: to nie jest zwykły plik"));
    for (const std::string& l : linie(prog / "log.txt")) EXPECT_NE(l, falszywa);
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(JedenPrzebieg, StaleTemporaryFilesOfThisFolderGoAndNothingElse) {
    const std::string z = ZnacznikFolderu(prog);
    const std::vector<fs::path> nasze{out / (".N_2024-05-06_10.wav." + z + "-AbCdEf.part"),
                                      tmp / (".tvss.mp3." + z + "-AbCdEf.part"), prog / ".log.txt.tmp-AbCdEf",
                                      prog / ".tolvak.ini.tmp-AbCdEf", prog / ".tvtemp.wav.tmp-AbCdEf"};
    const std::vector<fs::path> obce{out / ".N_serwis.wav.0badc0de-AbCdEf.part", out / "N_2024-05-06_09.wav",
                                     out / "obcy.part", tmp / ".log.txt.tmp-AbCdEf"};
    for (const fs::path& p : nasze) std::ofstream(p) << "stary";
    for (const fs::path& p : obce) std::ofstream(p) << "obcy";
    const std::string ini = czytaj(prog / "tolvak.ini");
    ASSERT_EQ(Uruchom({"--produce", "News", "--input", "serwis.mp3"}), 0) << Bledy();
    for (const fs::path& p : nasze) EXPECT_FALSE(fs::exists(p)) << p;
    for (const fs::path& p : obce) EXPECT_EQ(czytaj(p), "obcy") << p;
    EXPECT_EQ(czytaj(prog / "tolvak.ini"), ini);
    EXPECT_TRUE(zawiera(czytaj(prog / "log.txt"), "Usunięto pozostawione pliki tymczasowe: 5"));
}

// Kills at random moments of runs with hourly names: the next run leaves no temporary file,
// and every delivered file and the stored files are whole. Four installations deliver into one
// playout folder, each killed at its own moments: a quarter of the waiting, and each one's
// cleanup must spare the files of the others' runs under way.
TEST_F(JedenPrzebieg, RunsKilledAtRandomMomentsLeaveNothingBehindAfterTheNextRun) {
    Ustaw("NazwaWynikowaTyp", "1");
    // Just over the second below which a bulletin counts as empty.
    dzwieki::ZapiszMp3((tmp / "serwis.mp3").string(), dzwieki::Mowa(1.2));
    dzwieki::ZapiszWav((tmp / "podklad.wav").string(), dzwieki::Podklad(2.0));
    constexpr int kInstalacje = 4, kZabicia = 50;
    std::vector<fs::path> foldery;
    for (int i = 0; i < kInstalacje; ++i) {
        const fs::path f = tmp / ("inst" + std::to_string(i));
        fs::create_directories(f / "praca");
        fs::copy_file(prog / "tolvak.ini", f / "tolvak.ini");
        foldery.push_back(f);
    }
    const std::vector<std::string> produkcja{"--produce", "News", "--input", (tmp / "serwis.mp3").string()};
    const auto uruchom = [&](const fs::path& f) { return Czekaj(Start(f, f / "praca", produkcja, f / "err")); };
    // The kill moments spread over a whole run, as long as the quicker of two runs takes while
    // the others run too.
    std::vector<int> zabite(kInstalacje, 0);
    std::vector<std::thread> watki;
    for (int i = 0; i < kInstalacje; ++i)
        watki.emplace_back([&, i] {
            const fs::path& f = foldery[i];
            auto trwanie = std::chrono::microseconds::max();
            for (int j = 0; j < 2; ++j) {
                const auto t0 = std::chrono::steady_clock::now();
                if (uruchom(f) != 0) return;
                trwanie = std::min(trwanie, std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - t0));
            }
            std::minstd_rand los(15 + i);
            std::uniform_int_distribution<long> chwila(0, trwanie.count());
            for (int j = 0; j < 4 * kZabicia && zabite[i] < kZabicia; ++j) {
                const pid_t pid = Start(f, f / "praca", produkcja, f / "err");
                std::this_thread::sleep_for(std::chrono::microseconds(chwila(los)));
                ::kill(pid, SIGKILL);
                if (Czekaj(pid) == -1) ++zabite[i];
            }
        });
    for (std::thread& w : watki) w.join();
    for (int i = 0; i < kInstalacje; ++i) {
        EXPECT_EQ(zabite[i], kZabicia) << czytaj(foldery[i] / "err");
        ASSERT_EQ(uruchom(foldery[i]), 0) << czytaj(foldery[i] / "err");
        EXPECT_TRUE(zawiera(linie(foldery[i] / "log.txt").front(), "AkcjaSerwis: Skasowano pliki tymczasowe."));
        EXPECT_EQ(IniFile(foldery[i] / "tolvak.ini").ReadString("Ustawienia", "FolderZapisu", ""), out.string());
    }
    EXPECT_EQ(Tymczasowe(), std::vector<std::string>{});
    for (const auto& e : fs::directory_iterator(out))
        EXPECT_GT(dzwieki::Czytaj(e.path().string()).Ramki(), 44100 / 2) << e.path();
}

}  // namespace
}  // namespace tolvak
