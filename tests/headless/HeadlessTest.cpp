// `tolvak --headless` as a process: started by libfaketime just before minute 59 with a local
// file source, it delivers the coming hour's bulletin at 59:00; SIGTERM lets a production finish
// and a second one abandons it; one instance per program folder; no GUI library is loaded.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../production/GeneratorDzwiekow.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "support/SerwerHTTP.h"
#include "support/TempDir.h"

extern char** environ;

namespace tolvak {
namespace {

namespace fs = std::filesystem;
namespace d = dzwieki;
using Linie = std::vector<std::string>;

std::string Czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

/// The log's messages oldest first, without their time stamps.
Linie Log(const fs::path& plik) {
    std::ifstream f(plik);
    Linie linie;
    for (std::string l; std::getline(f, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        linie.insert(linie.begin(), l);
    }
    return linie;
}

std::string BezCzasu(const std::string& l) {
    // The time of day has colons but no ": ".
    const auto p = l.find(": ");
    return p == std::string::npos ? l : l.substr(p + 2);
}

/// A child process with its standard error read line by line.
class Proces {
public:
    Proces(const Linie& argumenty, const Linie& srodowisko, const fs::path& folder) {
        int rura[2];
        EXPECT_EQ(::pipe2(rura, O_CLOEXEC), 0);
        // The test's environment with the given variables in place of the inherited ones.
        std::vector<std::string> env = srodowisko;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            bool zastapiona = false;
            for (const std::string& s : srodowisko)
                zastapiona = zastapiona || v.substr(0, v.find('=') + 1) == s.substr(0, s.find('=') + 1);
            if (!zastapiona) env.emplace_back(v);
        }
        std::vector<char*> argv, envp;
        for (const std::string& a : argumenty) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int nul = ::open("/dev/null", O_WRONLY);
            if (::chdir(folder.c_str()) != 0 || ::dup2(rura[1], 2) < 0 || ::dup2(nul, 1) < 0) ::_exit(127);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(rura[1]);
        fd_ = rura[0];
    }
    Proces(Proces&& o) noexcept
        : linie(std::move(o.linie)), pid_(std::exchange(o.pid_, -1)), fd_(std::exchange(o.fd_, -1)),
          reszta_(std::move(o.reszta_)) {}
    Proces& operator=(Proces&&) = delete;
    ~Proces() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Zakoncz();
        }
        if (fd_ >= 0) ::close(fd_);
    }
    pid_t Pid() const { return pid_; }

    /// Reads standard error until a line contains `tekst`; false at its end or after `limit`.
    bool CzekajNa(std::string_view tekst, std::chrono::seconds limit = std::chrono::seconds(60)) {
        std::size_t i = 0;
        for (;;) {
            for (; i < linie.size(); ++i)
                if (linie[i].find(tekst) != std::string::npos) return true;
            if (!CzytajDalej(limit)) return false;
        }
    }
    void Sygnal(int s) { ::kill(pid_, s); }
    /// Reads standard error to its end and waits for the process; its wait status.
    int Zakoncz() {
        while (CzytajDalej(std::chrono::seconds(120))) {
        }
        int status = 0;
        if (pid_ > 0) ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    std::string Wszystko() const {
        std::string s;
        for (const auto& l : linie) s += l + "\n";
        return s;
    }
    Linie linie;

private:
    bool CzytajDalej(std::chrono::seconds limit) {
        if (fd_ < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count() * 1000)) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) {
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        reszta_.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = reszta_.find('\n')) != std::string::npos;) {
            linie.push_back(reszta_.substr(0, nl));
            reszta_.erase(0, nl + 1);
        }
        return true;
    }
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string reszta_;
};

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::path& p : {prog, out, snd, work}) fs::create_directories(p);
        d::ZapiszWav((snd / "podklad.wav").string(), d::Podklad(4.0));
        IniFile ini(prog / "tolvak.ini");
        ini.WriteString("Ustawienia", "FolderZapisu", out.string());
        ini.WriteString("Ustawienia", "SerwisPodklad", (snd / "podklad.wav").string());
        // Both general-news switches on, as a hand-written file may have them: every mode
        // fetches from the package service, as the window would after its first showing.
        ini.WriteString("Ustawienia", "AdresZet", zet.Adres());
        ini.WriteString("Ustawienia", "CzyNews", "1");
        ini.WriteString("Ustawienia", "CzyZPliku", "1");
        ini.WriteString("Ustawienia", "ZPlikuSciezka", (snd / "serwis.mp3").string());
        ini.WriteString("Matryca", "d114", "1");  // Monday 14:00
        // The check cycles keep out of minutes 50 to 59: the intervention is what delivers.
        ini.WriteString("Ustawienia", "ZatrzymajSprawdzanie", "10");
    }
    void Biuletyn(double sekundy) { d::ZapiszMp3((snd / "serwis.mp3").string(), d::Mowa(sekundy)); }
    /// tolvak --headless --verbose on the program folder, its clock started at `czas` when given.
    Proces Uruchom(const std::string& czas = {}, const std::string& online = "1") {
        Linie env{"TOLVAK_ONLINE=" + online};
        if (!czas.empty()) {
            // libfaketime preloaded directly (its wrapper would run the program as a grandchild):
            // the clocks start at `czas` and run on.
            env.push_back("LD_PRELOAD=" TOLVAK_LIBFAKETIME);
            env.push_back("FAKETIME=@" + czas);
            // The sanitizers' runtime wants to come first in the preload list.
            const char* asan = std::getenv("ASAN_OPTIONS");
            env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0");
        }
        Linie argv{TOLVAK_BINARY, "--headless", "--verbose", "--dir", prog.string()};
        return Proces(argv, env, work);
    }
    /// A 12-second bulletin encoded as MP3 at 59:00, the process just past its fetch.
    Proces UruchomDlugaProdukcje() {
        Biuletyn(12.0);
        IniFile(prog / "tolvak.ini").WriteString("Ustawienia", "FormatZapisu", "1");
        Proces p = Uruchom("2024-05-06 13:58:58");
        EXPECT_TRUE(p.CzekajNa("AkcjaSerwis: Pobrano serwis")) << p.Wszystko();
        return p;
    }
    /// The finished bulletins under their final names (hidden temporary files aside).
    Linie Gotowe() const {
        Linie n;
        for (const auto& e : fs::directory_iterator(out))
            if (!e.path().filename().string().starts_with(".")) n.push_back(e.path().filename().string());
        return n;
    }

    test::TempDir tmp;
    fs::path prog = tmp / "prog", out = tmp / "out", snd = tmp / "snd", work = tmp / "work";
    test::SerwerHTTP zet{[this](const test::Zadanie&) {
                             test::Odpowiedz o;
                             o.naglowki = {{"Content-disposition", "attachment; filename=serwis_14.mp3"}};
                             o.tresc = Czytaj(snd / "serwis.mp3");
                             return o;
                         },
                         test::SerwerHTTP::Tryb::Https};
};

TEST_F(Headless, DeliversTheComingHourAtMinute59AndEndsCleanlyOnSigterm) {
    Biuletyn(3.0);
    Proces p = Uruchom("2024-05-06 13:58:58");
    ASSERT_TRUE(p.CzekajNa("Interwencyjne pobranie serwisu zakończone")) << p.Wszystko();
    p.Sygnal(SIGTERM);
    const int status = p.Zakoncz();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << p.Wszystko();

    const Linie log = Log(prog / "log.txt");
    Linie bez;
    for (const auto& l : log) bez.push_back(BezCzasu(l));
    EXPECT_EQ(bez, (Linie{"Start programu",
                          "Konfiguracja: wyłączono CzyZPliku, bo włączone jest CzyNews (serwis ogólny z jednego źródła).",
                          "Interwencyjne pobranie serwisu - wejście",
                          "CzyMaPobierac: Ma pobierać na najbliższą godzinę.",
                          "Interwencyjne pobieranie - ma pobierać",
                          "Interwencyjne pobranie serwisu rozpoczęte",
                          "AkcjaSerwis: Pobrano serwis: tvss_14.mp3",
                          "AkcjaSerwis: Przekonwertowano serwis do pliku wav.",
                          "AkcjaSerwis: Znormalizowano serwis.",
                          "AkcjaSerwis: Zmiksowano serwis z podkładem.",
                          "AkcjaSerwis: Zakończono kompresję dynamiki gotowego serwisu.",
                          "AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.",
                          "AkcjaSerwis: Skasowano pliki tymczasowe.",
                          "Interwencyjne pobranie serwisu zakończone", "Zamknięcie programu."}));
    ASSERT_GE(log.size(), 3u);
    EXPECT_NE(log[2].find("13:59:00: "), std::string::npos) << log[2];
    EXPECT_EQ(Gotowe(), (Linie{"N_2024-05-06_14.wav"}));
    EXPECT_NEAR(static_cast<double>(d::Czytaj((out / "N_2024-05-06_14.wav").string()).Ramki()),
                3.0 * 44100, 2000);
    const IniFile dat(prog / "tolvak.dat");
    EXPECT_EQ(dat.ReadString("Pobrany", "OstPobranyNews", ""), "2024-05-06 14");
    // The keys written at close.
    const IniFile ini(prog / "tolvak.ini");
    EXPECT_TRUE(ini.ValueExists("Ustawienia", "ZatrzymajSprawdzanie"));
    EXPECT_TRUE(ini.ValueExists("Ustawienia", "AgoraPodklad"));
}

TEST_F(Headless, SigtermDuringAProductionLetsItFinish) {
    Proces p = UruchomDlugaProdukcje();
    p.Sygnal(SIGTERM);
    const int status = p.Zakoncz();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << p.Wszystko();
    // The signal came while the run was under way, and the run went on to its end.
    const std::string err = p.Wszystko();
    const auto uwaga = err.find("SIGTERM: zakończenie po bieżącym pobieraniu");
    ASSERT_NE(uwaga, std::string::npos) << err;
    EXPECT_LT(uwaga, err.find("AkcjaSerwis: Skasowano pliki tymczasowe."));
    const Linie log = Log(prog / "log.txt");
    EXPECT_EQ(BezCzasu(log.back()), "Zamknięcie programu.");
    EXPECT_EQ(BezCzasu(log[log.size() - 2]), "Interwencyjne pobranie serwisu zakończone");
    ASSERT_EQ(Gotowe(), (Linie{"N_2024-05-06_14.mp3"}));
    EXPECT_NEAR(static_cast<double>(d::Czytaj((out / "N_2024-05-06_14.mp3").string()).Ramki()),
                12.0 * 44100, 3000);
}

TEST_F(Headless, ASecondSignalAbandonsTheRunWithoutAPartialFileUnderAFinalName) {
    Proces p = UruchomDlugaProdukcje();
    p.Sygnal(SIGTERM);
    ASSERT_TRUE(p.CzekajNa("zakończenie po bieżącym pobieraniu")) << p.Wszystko();
    p.Sygnal(SIGTERM);
    const int status = p.Zakoncz();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status << "\n" << p.Wszystko();
    for (const std::string& n : Gotowe())  // a bulletin that made it is whole
        EXPECT_NEAR(static_cast<double>(d::Czytaj((out / n).string()).Ramki()), 12.0 * 44100, 3000) << n;
    const bool zapisany = !IniFile(prog / "tolvak.dat").ReadString("Pobrany", "OstPobranyNews", "").empty();
    EXPECT_EQ(zapisany, !Gotowe().empty());
    EXPECT_NE(BezCzasu(Log(prog / "log.txt").back()), "Zamknięcie programu.");
}

TEST_F(Headless, OneInstancePerProgramFolderWhichItCleansAtStartAndNoGuiLibrary) {
    Biuletyn(1.0);
    // What killed runs of this folder left behind, and a file of another installation's run.
    const std::string z = ZnacznikFolderu(prog);
    const fs::path stare[] = {out / (".N_2024-05-06_14.wav." + z + "-AbCdEf.part"),
                              work / (".tvss.mp3." + z + "-AbCdEf.part"), prog / ".tolvak.dat.tmp-AbCdEf",
                              work / "tvss_13.mp3"};
    const fs::path obcy = out / ".N_2024-05-06_14.wav.0badc0de-AbCdEf.part";
    for (const fs::path& f : stare) std::ofstream(f) << "stary";
    std::ofstream(obcy) << "obcy";
    Proces pierwszy = Uruchom();
    ASSERT_TRUE(pierwszy.CzekajNa("Start programu")) << pierwszy.Wszystko();
    const std::string mapy = Czytaj("/proc/" + std::to_string(pierwszy.Pid()) + "/maps");
    EXPECT_NE(mapy.find("libQt6Core"), std::string::npos);
    EXPECT_EQ(mapy.find("libQt6Gui"), std::string::npos);
    EXPECT_EQ(mapy.find("libQt6Widgets"), std::string::npos);

    Proces drugi = Uruchom();
    const int status = drugi.Zakoncz();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(drugi.Wszystko(), "Program jest już uruchomiony.\n");

    pierwszy.Sygnal(SIGINT);
    const int s1 = pierwszy.Zakoncz();
    EXPECT_TRUE(WIFEXITED(s1) && WEXITSTATUS(s1) == 0) << s1 << "\n" << pierwszy.Wszystko();
    // The second instance touched neither the log nor the settings.
    Linie log;
    for (const auto& l : Log(prog / "log.txt"))
        if (!BezCzasu(l).starts_with("CzyMaPobierac: ")) log.push_back(BezCzasu(l));  // the check at start
    EXPECT_EQ(log, (Linie{"Start programu",
                          "Konfiguracja: wyłączono CzyZPliku, bo włączone jest CzyNews (serwis ogólny z jednego źródła).",
                          "Usunięto pozostawione pliki tymczasowe: 4", "Zamknięcie programu."}));
    for (const fs::path& f : stare) EXPECT_FALSE(fs::exists(f)) << f;
    EXPECT_TRUE(fs::exists(obcy));
}

TEST_F(Headless, ATricklingBulletinFailsTheNextInterventionRunsAndSigtermEndsItAtOnce) {
    using namespace std::chrono_literals;
    std::atomic<int> pobrania{0};  // the first bulletin trickles, the next flows fast enough, neither ends
    test::SerwerHTTP zet([&](const test::Zadanie& r) {
        test::Odpowiedz o;
        o.naglowki = {{"Content-disposition", "attachment; filename=dziennik_08.mp3"}};
        if (r.metoda == "GET" && r.cel == "/dziennik.php")
            o.dalej = [n = pobrania++ ? 4096 : 1](std::string& k) { return std::this_thread::sleep_for(50ms), k.assign(n, 'x'), true; };
        return o;
    });
    IniFile ini(prog / "tolvak.ini");
    ini.WriteString("Ustawienia", "CzyZPliku", "0");
    ini.WriteString("Ustawienia", "AdresZet", zet.Adres());
    for (const char* k : {"d18", "d19"}) ini.WriteString("Matryca", k, "1");  // Monday 8:00 and 9:00
    Proces p = Uruchom("2024-05-06 07:55:00 x60");  // a minute a second: the speed rule ends the first
    ASSERT_TRUE(p.CzekajNa("PobierzSerwis: Przesyłanie zbyt wolne", 30s)) << p.Wszystko();
    ASSERT_TRUE(p.CzekajNa("08:59:0", 120s)) << p.Wszystko();  // the next intervention
    std::this_thread::sleep_for(300ms);                         // into its transfer
    const auto t0 = (p.Sygnal(SIGTERM), std::chrono::steady_clock::now());
    const int status = p.Zakoncz();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << p.Wszystko();
    EXPECT_EQ(BezCzasu(Log(prog / "log.txt").back()), "Zamknięcie programu.");
    EXPECT_NE(p.Wszystko().find("PobierzSerwis: Przesyłanie przerwane: program kończy pracę"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(Headless, WithoutAConnectionTheStartUpEndsBeforeTheLog) {
    Proces p = Uruchom({}, "0");
    const int status = p.Zakoncz();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(p.Wszystko(), "Brak dostępu do internetu.\n");
    EXPECT_FALSE(fs::exists(prog / "log.txt"));
}

/// The exit status of `tolvak ARGS --dir PROG` run in `work`, its standard output and error.
struct Wynik {
    int kod = -1;
    std::string out, err;
};
Wynik Tolvak(const Linie& argumenty, const fs::path& prog, const fs::path& work) {
    const std::string o = (work / "stdout.txt").string(), e = (work / "stderr.txt").string();
    std::string cmd = "cd '" + work.string() + "' && TOLVAK_ONLINE=1 '" TOLVAK_BINARY "' --dir '" + prog.string() + "'";
    for (const std::string& a : argumenty) cmd += " '" + a + "'";
    const int r = std::system((cmd + " >'" + o + "' 2>'" + e + "'").c_str());
    return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, Czytaj(o), Czytaj(e)};
}

TEST_F(Headless, EveryModeFetchesGeneralNewsFromTheOneSourceTheWindowWouldUse) {
    Biuletyn(1.0);
    const std::string ustawienia = Czytaj(prog / "tolvak.ini");
    const std::string wylaczono = "Konfiguracja: wyłączono CzyZPliku, bo włączone jest CzyNews";
    // The package service answers the check with a page without today's bulletin, and the
    // fetch of --produce with the bulletin: the local file is never touched.
    for (const Linie& tryb : {Linie{"--check", "News"}, Linie{"--produce", "News"}}) {
        std::ofstream(prog / "tolvak.ini", std::ios::binary) << ustawienia;
        const Wynik w = Tolvak(tryb, prog, work);
        EXPECT_EQ(w.kod, tryb[0] == "--check" ? 1 : 0) << tryb[0] << w.err;
        EXPECT_EQ(IniFile(prog / "tolvak.ini").ReadString("Ustawienia", "CzyZPliku", ""), "0") << tryb[0];
        const std::string log = Czytaj(prog / "log.txt");
        EXPECT_NE(log.find(wylaczono), std::string::npos) << tryb[0];
        EXPECT_EQ(log.find("pliku lokalnego"), std::string::npos) << tryb[0] << log;
    }
    EXPECT_EQ(zet.Zadania().size(), 3u);  // the check's page, the fetch's HEAD and GET
    std::ofstream(prog / "tolvak.ini", std::ios::binary) << ustawienia;
    Proces p = Uruchom("2024-05-06 10:10:00");
    ASSERT_TRUE(p.CzekajNa("pierwsze sprawdzenie")) << p.Wszystko();
    EXPECT_NE(p.Wszystko().find("tolvak: Harmonogram: News z serwis paczek, podkład " +
                                (snd / "podklad.wav").string() + ", najbliższa chciana godzina 2024-05-06 14"),
              std::string::npos)
        << p.Wszystko();
    EXPECT_EQ(IniFile(prog / "tolvak.ini").ReadString("Ustawienia", "CzyZPliku", ""), "0");

    // Beside the running scheduler a check answers at once, and --status names its holder.
    const auto start = std::chrono::steady_clock::now();
    const Wynik w = Tolvak({"--check", "News"}, prog, work);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(w.kod, 1) << w.err;
    EXPECT_EQ(w.out, "no\n");
    const Wynik s = Tolvak({"--status"}, prog, work);
    EXPECT_NE(s.out.find("Harmonogram: działa (pid " + std::to_string(p.Pid()) + ")"), std::string::npos) << s.out;
    p.Sygnal(SIGTERM);
    EXPECT_TRUE(WIFEXITED(p.Zakoncz()));
}

}  // namespace
}  // namespace tolvak
