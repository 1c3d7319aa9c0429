// A server station as its monitoring sees it: `tolvak --check-config` finds what is wrong with
// a hand-written "tolvak.ini", `tolvak --status [--json]` answers with the monitoring-plugin exit
// statuses. Both as processes on prepared program folders.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "../production/GeneratorDzwiekow.h"
#include "platform/Ini.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

std::string Czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

class Stacja : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prog);
        fs::create_directories(out);
        dzwieki::ZapiszWav((tmp / "podklad.wav").string(), dzwieki::Podklad(1.0));
        std::ofstream(tmp / "tekst.wav") << "to nie jest dźwięk";
    }
    /// A clean station: general news from the package service at 14:00 on Mondays; then the
    /// lines of `dodatek` ("[Sekcja]" or "Klucz=wartość", section "Ustawienia" first) and the
    /// matrix keys written over it.
    void Ustawienia(const std::string& dodatek, const std::string& matryca = "d114=1") {
        fs::remove(prog / "tolvak.ini");
        IniFile ini(prog / "tolvak.ini");
        for (const auto& [k, v] : {std::pair{"CzyNews", std::string("1")}, {"AdresZet", std::string("https://p.example.pl")},
                                   {"FolderZapisu", out.string()}, {"SerwisPodklad", (tmp / "podklad.wav").string()}})
            ini.WriteString("Ustawienia", k, v);
        auto zapisz = [&](std::string sekcja, const std::string& linie) {
            std::istringstream in(linie);
            for (std::string l; std::getline(in, l);)
                if (l.starts_with("[")) sekcja = l.substr(1, l.size() - 2);
                else if (const auto r = l.find('='); r != std::string::npos) ini.WriteString(sekcja, l.substr(0, r), l.substr(r + 1));
        };
        zapisz("Ustawienia", dodatek);
        zapisz("Matryca", matryca);
    }
    int Tolvak(const std::string& argumenty) {
        const std::string cmd = "TOLVAK_ONLINE=1 '" TOLVAK_BINARY "' --dir '" + prog.string() + "' " + argumenty + " >'" +
                                (tmp / "out.txt").string() + "' 2>'" + (tmp / "err.txt").string() + "'";
        const int r = std::system(cmd.c_str());
        wyjscie = Czytaj(tmp / "out.txt");
        bledy = Czytaj(tmp / "err.txt");
        return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
    }
    test::TempDir tmp;
    fs::path prog = tmp / "prog", out = tmp / "out";
    std::string wyjscie, bledy;
};

TEST_F(Stacja, AFailedProductionSaysWhyOnStandardErrorInOneLine) {
    Ustawienia("AdresZet=https://127.0.0.1:9");  // nothing listens there
    EXPECT_EQ(Tolvak("--produce News"), 1);
    EXPECT_TRUE(bledy.starts_with("tolvak: PobierzSerwis: ")) << bledy;
    EXPECT_EQ(std::count(bledy.begin(), bledy.end(), '\n'), 1) << bledy;
    EXPECT_NE(Czytaj(prog / "log.txt").find(bledy.substr(8, bledy.size() - 9)), std::string::npos);
}

TEST_F(Stacja, CheckConfigNamesEachFindingWithItsKeyAndFile) {
    const std::string ini = (prog / "tolvak.ini").string() + ": ";
    const std::string brak = (tmp / "brak.wav").string(), tekst = (tmp / "tekst.wav").string();
    struct Przypadek {
        std::string dodatek, matryca, linia;
        int kod;
    };
    const std::vector<Przypadek> przypadki{
        {"", "d114=1", "Ustawienia bez uwag: " + (prog / "tolvak.ini").string(), 0},
        {"SerwisPodkald=x", "d114=1", "Ostrzeżenie: " + ini + "[Ustawienia] SerwisPodkald: nieznany klucz", 1},
        {"koncowkaod=45\nKoncowkaCo=20", "D114=1", "Ustawienia bez uwag", 0},  // in any case
        {"", "d114=1\nd123=1", "Ostrzeżenie: " + ini + "[Matryca] d123: nieznany klucz", 1},
        {"FormatZapisu=mp3", "d114=1", "[Ustawienia] FormatZapisu: niedozwolona wartość \"mp3\"", 1},
        {"SerwisZakonczenie=" + brak, "d114=1", "Błąd: " + ini + "[Ustawienia] SerwisZakonczenie: plik " + brak + " nie istnieje", 2},
        {"SerwisPodklad=" + tekst, "d114=1", "[Ustawienia] SerwisPodklad: plik " + tekst + " nie zawiera dźwięku", 2},
        // A kind switched off: its wrong sound is only a warning.
        {"SerwisSportPodklad=" + tekst, "d114=1", "Ostrzeżenie: " + ini + "[Ustawienia] SerwisSportPodklad", 1},
        {"CzyPogoda=1\nAgoraLogin=a\nAgoraPassword=b\nAdresAgora=http://a.example.pl/\n[PogodaSponsorzy]\nSponsor1Po=" + brak,
         "d114=1", "Ostrzeżenie: " + ini + "[PogodaSponsorzy] Sponsor1Po: plik " + brak + " nie istnieje", 1},
        {"FolderZapisu=" + (tmp / "nie-ma").string(), "d114=1", "[Ustawienia] FolderZapisu: folder " + (tmp / "nie-ma/").string() + " nie istnieje", 2},
        {"AdresZet=", "d114=1", "Błąd: " + ini + "[Ustawienia] AdresZet: brak adresu, a włączone jest CzyNews=1", 2},
        {"CzyZPR=1", "d114=1", "[Ustawienia] ZPRLogin: brak konta, a włączone jest CzyZPR=1", 2},
        {"CzyPogoda=1", "d114=1", "[Ustawienia] AgoraLogin: brak konta, a włączone jest CzyPogoda=1", 2},
        {"AgoraLogin=a", "d114=1", "[Ustawienia] AgoraPassword: puste, więc konto Agora nie będzie używane", 1},
        {"CzyZPliku=1", "d114=1", "Ostrzeżenie: " + ini + "[Ustawienia] CzyZPliku: włączone razem z CzyNews=1", 1},
        {"CzyNews=0\nCzyZPliku=1\nCzyIAR=1\niarURL=http://k.example.pl/\nZPlikuSciezka=" + (tmp / "podklad.wav").string(),
         "d114=1", "Błąd: " + ini + "[Ustawienia] CzyIAR: włączone razem z CzyZPliku=1", 2},
        {"", "d114=0", "[Matryca] d16…d722: żadna godzina nie jest zaznaczona, a włączone jest CzyNews=1", 2},
    };
    for (const Przypadek& p : przypadki) {
        Ustawienia(p.dodatek, p.matryca);
        EXPECT_EQ(Tolvak("--check-config"), p.kod) << p.dodatek << "\n" << wyjscie;
        EXPECT_NE(wyjscie.find(p.linia), std::string::npos) << p.dodatek << "\n" << wyjscie;
    }
    fs::remove(prog / "tolvak.ini");
    EXPECT_EQ(Tolvak("--check-config"), 2);
    EXPECT_EQ(wyjscie, "Błąd: Brak pliku konfiguracji: " + (prog / "tolvak.ini").string() + "\n");
}

TEST_F(Stacja, StatusExitsAsAMonitoringPluginAndSaysTheSameInJson) {
    struct Przypadek {
        std::string dodatek, dat, stan;
        int kod;
    };
    const std::vector<Przypadek> przypadki{
        {"", "OstSprawdzenie=2024-05-06 13:45:00", "OK", 0},
        {"", "OstPowtorzonyNews=2024-05-06 13:59:00;14;Ten sam serwis co poprzednio.", "WARNING", 1},
        {"Nieznany=1", "", "WARNING", 1},
        {"", "OstBladNews=2024-05-06 13:59:30;14;Nieudane pobranie serwisu.", "CRITICAL", 2},
        // Sport is switched off: its old failure no longer alarms.
        {"", "OstBladSport=2024-05-06 13:45:10;14;Nieudane pobranie serwisu.", "OK", 0},
        {"", "BrakGodziny=2024-05-06 14", "CRITICAL", 2},
        {"AdresZet=", "", "CRITICAL", 2},
    };
    for (const Przypadek& p : przypadki) {
        Ustawienia(p.dodatek);
        std::ofstream(prog / "tolvak.dat") << "[Pobrany]\n" << p.dat << "\n";
        EXPECT_EQ(Tolvak("--status"), p.kod) << p.dat << p.dodatek;
        EXPECT_TRUE(wyjscie.starts_with("Stan: " + p.stan)) << wyjscie;
        EXPECT_EQ(Tolvak("--status --json"), p.kod);
        const auto j = nlohmann::json::parse(wyjscie);
        EXPECT_EQ(j["stan"], p.stan);
        EXPECT_EQ(j["kod"], p.kod);
        EXPECT_EQ(j["harmonogram"]["dziala"], false);
        EXPECT_EQ(j["rodzaje"].size(), 4u);
        EXPECT_EQ(j["rodzaje"][0]["zrodlo"], "serwis paczek");
        EXPECT_EQ(j["rodzaje"][1]["zrodlo"], nullptr);
    }
    // The last case's fields in full.
    Ustawienia("");
    std::ofstream(prog / "tolvak.dat") << "[Pobrany]\nOstSprawdzenie=2024-05-06 13:45:00\nBrakGodziny=2024-05-06 14\n"
                                          "OstBladNews=2024-05-06 13:59:30;14;Nieudane pobranie serwisu.\n";
    ASSERT_EQ(Tolvak("--status --json"), 2);
    const auto j = nlohmann::json::parse(wyjscie);
    EXPECT_EQ(j["ostatnie_sprawdzenie"], "2024-05-06 13:45:00");
    EXPECT_EQ(j["brak_godziny"], "2024-05-06 14");
    EXPECT_EQ(j["rodzaje"][0]["ostatni_blad"],
              (nlohmann::json{{"czas", "2024-05-06 13:59:30"}, {"godzina", "14"}, {"powod", "Nieudane pobranie serwisu."}}));
    EXPECT_EQ(j["podsumowanie"], "Stan: CRITICAL - Brak serwisu na godzinę 2024-05-06 14; Nieudane News: Nieudane pobranie serwisu.");
    EXPECT_TRUE(j["uwagi"].empty());

    prog = tmp / "nie-ma";
    EXPECT_EQ(Tolvak("--status --json"), 3);
    EXPECT_EQ(nlohmann::json::parse(wyjscie)["stan"], "UNKNOWN");
}

}  // namespace
}  // namespace tolvak
