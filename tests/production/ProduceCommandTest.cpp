// The headless production command: tolvak --dir DIR --produce KIND [--input FILE] [--verbose].

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "GeneratorDzwiekow.h"
#include "platform/Ini.h"
#include "platform/Kodowanie.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

std::string czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

class ProduceCommand : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prog);
        fs::create_directories(out);
        dzwieki::ZapiszMp3((tmp / "serwis.mp3").string(), dzwieki::Mowa(2.0));
        dzwieki::ZapiszWav((tmp / "podklad.wav").string(), dzwieki::Podklad(4.0));
        IniFile ini(prog / "tolvak.ini");
        ini.WriteString("Ustawienia", "FolderZapisu", out.string());
        ini.WriteString("Ustawienia", "SerwisPodklad", (tmp / "podklad.wav").string());
        ini.WriteString("Ustawienia", "NazwaWynikowaTyp", "0");
    }
    /// Runs the program in `tmp` (its working directory); returns the exit status.
    int Uruchom(const std::string& argumenty, const std::string& online = "1",
                const std::string& srodowisko = "") {
        const std::string cmd = "cd '" + tmp.path().string() + "' && TOLVAK_ONLINE=" + online +
                                " " + srodowisko + " '" TOLVAK_BINARY "' --dir '" + prog.string() + "' " + argumenty +
                                " >'" + (tmp / "stdout.txt").string() + "' 2>'" +
                                (tmp / "stderr.txt").string() + "'";
        const int r = std::system(cmd.c_str());
        return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
    }
    test::TempDir tmp;
    fs::path prog = tmp / "prog", out = tmp / "out";
};

TEST_F(ProduceCommand, InputFileIsProducedAndLeftAlone) {
    const std::string przed = czytaj(tmp / "serwis.mp3");
    ASSERT_EQ(Uruchom("--produce News --input serwis.mp3 --verbose"), 0) << czytaj(tmp / "stderr.txt");
    EXPECT_TRUE(fs::exists(out / "N_serwis.wav"));
    EXPECT_EQ(czytaj(tmp / "serwis.mp3"), przed);
    EXPECT_FALSE(fs::exists(tmp / "tvss.mp3"));
    const std::string log = czytaj(prog / "log.txt");
    EXPECT_NE(log.find("AkcjaSerwis: Pobrano serwis: tvss.mp3"), std::string::npos);
    EXPECT_NE(log.find("AkcjaSerwis: Zmiksowano serwis z podkładem."), std::string::npos);
    // --verbose: the same lines on standard error, oldest first, each with its step's time.
    std::istringstream err(czytaj(tmp / "stderr.txt"));
    std::vector<std::string> linie;
    for (std::string l; std::getline(err, l);) {
        const auto ms = l.find(" ms] ");
        if (l.rfind("[", 0) != 0 || ms == std::string::npos) continue;
        const auto p = l.find(": ", ms + 5);
        if (p != std::string::npos) linie.push_back(l.substr(p + 2));
    }
    ASSERT_GE(linie.size(), 6u) << czytaj(tmp / "stderr.txt");
    EXPECT_EQ(linie.front(), "AkcjaSerwis: Pobrano serwis: tvss.mp3");
    EXPECT_EQ(linie.back(), "AkcjaSerwis: Skasowano pliki tymczasowe.");
    EXPECT_NE(czytaj(tmp / "stderr.txt").find("tolvak: dostarczono do " + (out / "N_serwis.wav").string()),
              std::string::npos);
    const int64_t ramki = dzwieki::Czytaj((out / "N_serwis.wav").string()).Ramki();
    EXPECT_NEAR(static_cast<double>(ramki), 2.0 * 44100 + 1, 1200);  // the longer bed is cut
}

TEST_F(ProduceCommand, ExitStatusTellsWhetherTheBulletinWasDelivered) {
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3", "0"), 1);
    EXPECT_NE(czytaj(prog / "log.txt").find("Brak dostępu do Internetu."), std::string::npos);
    EXPECT_EQ(Uruchom("--produce News"), 1);  // no service address is configured
    EXPECT_EQ(Uruchom("--produce Pogoda"), 1);
    EXPECT_EQ(Uruchom("--produce News --input brak.mp3"), 1);
    EXPECT_NE(czytaj(prog / "log.txt").find("AkcjaSerwis: Nieudane pobranie serwisu."), std::string::npos);
    EXPECT_NE(czytaj(prog / "log.txt").find("AkcjaSerwis: Nie można otworzyć pliku brak.mp3: brak takiego pliku"),
              std::string::npos);
    fs::remove_all(out);
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 1);
    EXPECT_NE(czytaj(prog / "log.txt").find("AkcjaSerwis: Nieudane kopiowanie serwisu do lokalizacji docelowej."),
              std::string::npos);
    std::ofstream(tmp / "strona.mp3") << "<html>404</html>";
    fs::create_directories(out);
    EXPECT_EQ(Uruchom("--produce News --input strona.mp3"), 1);
    EXPECT_FALSE(fs::exists(out / "N_serwis.wav"));
}

TEST_F(ProduceCommand, RefusesWithoutSettingsOrOutputFolderAndReadsUtf16Settings) {
    const fs::path ini = prog / "tolvak.ini";
    const std::string ustawienia = czytaj(ini);
    const std::string odmowa = "Brak pliku konfiguracji: " + ini.string();
    fs::remove(ini);
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 1);
    EXPECT_NE(czytaj(tmp / "stderr.txt").find(odmowa), std::string::npos);
    EXPECT_NE(czytaj(prog / "log.txt").find(odmowa), std::string::npos);
    for (const char* tryb : {"--headless", "--check News"}) {
        EXPECT_EQ(Uruchom(tryb), 1) << tryb;
        EXPECT_NE(czytaj(tmp / "stderr.txt").find(odmowa), std::string::npos) << tryb;
    }
    std::ofstream{ini};
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 1);
    fs::remove(ini);
    fs::create_directory(ini);
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 1);
    EXPECT_NE(czytaj(tmp / "stderr.txt").find(odmowa), std::string::npos);
    fs::remove(ini);

    // An empty output folder setting would deliver into the working folder.
    std::ofstream(ini, std::ios::binary) << ustawienia;
    IniFile(ini).WriteString("Ustawienia", "FolderZapisu", "");
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 1);
    EXPECT_NE(czytaj(tmp / "stderr.txt").find("Brak lokalizacji zapisu serwisu.."), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "N_serwis.wav"));

    // Notepad's "Unicode": UTF-16 with its mark.
    std::ofstream(ini, std::ios::binary) << ZapiszTekst(ustawienia, Kodowanie::Utf16LE);
    EXPECT_EQ(Uruchom("--produce News --input serwis.mp3"), 0) << czytaj(tmp / "stderr.txt");
    EXPECT_TRUE(fs::exists(out / "N_serwis.wav"));
}

TEST_F(ProduceCommand, AnInputNamedLikeAWorkFileIsNeverDeleted) {
    fs::copy_file(tmp / "serwis.mp3", tmp / "tvss.mp3");
    const std::string przed = czytaj(tmp / "tvss.mp3");
    ASSERT_EQ(Uruchom("--produce News --input tvss.mp3"), 0) << czytaj(tmp / "stderr.txt");
    EXPECT_EQ(czytaj(tmp / "tvss.mp3"), przed);
    EXPECT_TRUE(fs::exists(out / "N_serwis.wav"));

    // The program folder's work files are overwritten by the run: refused.
    fs::copy_file(tmp / "podklad.wav", prog / "tvtemp.wav");
    EXPECT_EQ(Uruchom("--produce News --input '" + (prog / "tvtemp.wav").string() + "'"), 1);
    EXPECT_EQ(czytaj(prog / "tvtemp.wav"), czytaj(tmp / "podklad.wav"));
    EXPECT_NE(czytaj(prog / "log.txt").find("jest plikiem roboczym programu"), std::string::npos);
}

TEST_F(ProduceCommand, LogLinesFollowTheTimeLocaleAndOutputNamesDoNot) {
    IniFile(prog / "tolvak.ini").WriteString("Ustawienia", "NazwaWynikowaTyp", "1");
    // '9' in a shape stands for any digit.
    auto ksztalt = [](const std::string& tekst, std::string_view wzor) {
        if (tekst.size() < wzor.size()) return false;
        for (std::size_t i = 0; i < wzor.size(); ++i)
            if (wzor[i] == '9' ? !std::isdigit(static_cast<unsigned char>(tekst[i])) : tekst[i] != wzor[i])
                return false;
        return true;
    };
    ASSERT_EQ(Uruchom("--produce News --input serwis.mp3", "1", "LC_ALL= LC_TIME=pl_PL.UTF-8"), 0);
    EXPECT_TRUE(ksztalt(czytaj(prog / "log.txt"), "99.99.9999 99:99:99: AkcjaSerwis: ")) << czytaj(prog / "log.txt");
    ASSERT_EQ(std::distance(fs::directory_iterator(out), {}), 1);
    const std::string nazwa = fs::directory_iterator(out)->path().filename().string();
    EXPECT_TRUE(ksztalt(nazwa, "N_9999-99-99_99.wav") && nazwa.size() == 19) << nazwa;
    ASSERT_EQ(Uruchom("--produce News --input serwis.mp3", "1", "LC_ALL=C"), 0);
    EXPECT_TRUE(ksztalt(czytaj(prog / "log.txt"), "9999-99-99 99:99:99: AkcjaSerwis: ")) << czytaj(prog / "log.txt");
}

TEST_F(ProduceCommand, UsageErrorsExitTwo) {
    EXPECT_EQ(Uruchom("--produce Radio"), 2);
    EXPECT_EQ(Uruchom("--bogus"), 2);
    EXPECT_EQ(Uruchom("--help"), 0);
    EXPECT_NE(czytaj(tmp / "stdout.txt").find("--produce"), std::string::npos);
}

}  // namespace
}  // namespace tolvak
