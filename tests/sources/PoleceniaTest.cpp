// The program itself against the servers: `tolvak --produce KIND` fetches from each network
// source and delivers the finished bulletin; `tolvak --check KIND` answers yes or no. The
// program reads the real clock, so the servers name the coming hour at the moment they answer.

#include <sys/wait.h>

#include <cstdlib>

#include "CzasPliku.h"
#include "SerwerFTP.h"
#include "SrodowiskoSieci.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "sources/GodzinaSerwisu.h"

namespace tolvak {
namespace {

class Polecenia : public SrodowiskoSieci {
protected:
    Polecenia() {
        const std::string wynik = (tmp / "dzwieki").string();
        EXPECT_EQ(std::system(("'" TOLVAK_DZWIEKI "' '" + wynik + "' 1 2 >/dev/null").c_str()), 0);
        fs::create_directories(tmp / "out");
        Ustaw("FolderZapisu", (tmp / "out").string());
        Ustaw("NazwaWynikowaTyp", "0");
        Ustaw("SerwisPodklad", (tmp / "dzwieki" / "podklad.wav").string());
        Ustaw("AdresZet", u.AdresZet);
        Ustaw("AdresAgora", u.AdresAgora);
        Ustaw("AdresAgoraPliki", u.AdresAgoraPliki);
        mp3 = CzytajPlik(tmp / "dzwieki" / "serwis.mp3");
    }
    void Ustaw(const std::string& klucz, const std::string& wartosc, const char* sekcja = "Ustawienia") {
        IniFile(prog / "tolvak.ini").WriteString(sekcja, klucz, wartosc);
    }
    std::string Podstaw(const std::string& s) const override {
        if (s.find('{') == std::string::npos) return s;
        const LocalTime teraz = SystemClock().now();
        const int h = ComingHour(teraz, 0);
        std::string w = s;
        for (const auto& [z, na] : {std::pair<std::string, std::string>{"{HH}", ZeroPaddedHour(h)},
                                    {"{H}", BlankPaddedHour(h)}, {"{DATA}", FormatDateTime("yyyy-MM-dd", teraz)}})
            for (size_t p; (p = w.find(z)) != std::string::npos;) w.replace(p, z.size(), na);
        return w;
    }
    /// Runs the program in the working directory; returns its exit status, `wyjscie` its output.
    int Tolvak(const std::string& argumenty) {
        const std::string cmd = "cd '" + work.string() + "' && TOLVAK_ONLINE=1 '" TOLVAK_BINARY "' --dir '" +
                                prog.string() + "' " + argumenty + " >'" + (tmp / "stdout").string() + "' 2>'" +
                                (tmp / "stderr").string() + "'";
        const int r = std::system(cmd.c_str());
        wyjscie = CzytajPlik(tmp / "stdout");
        return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
    }
    /// Produces `rodzaj` and expects the fetched work file `pobrany` and the delivery `wynik`.
    void Produkuj(const std::string& rodzaj, const std::string& pobrany, const std::string& wynik) {
        ASSERT_EQ(Tolvak("--produce " + rodzaj), 0) << CzytajPlik(tmp / "stderr") << CzytajPlik(prog / "log.txt");
        EXPECT_NE(CzytajPlik(prog / "log.txt").find("AkcjaSerwis: Pobrano serwis: " + pobrany), std::string::npos);
        EXPECT_TRUE(fs::exists(tmp / "out" / wynik));
        EXPECT_FALSE(fs::exists(work / pobrany));
    }
    /// `--check rodzaj` answers `odpowiedz` with the matching exit status.
    void Sprawdz(const std::string& rodzaj, const std::string& odpowiedz) {
        EXPECT_EQ(Tolvak("--check " + rodzaj), odpowiedz.starts_with("yes") ? 0 : 1) << rodzaj;
        EXPECT_EQ(wyjscie, odpowiedz + "\n") << rodzaj;
    }
    std::string mp3, wyjscie;
};

TEST_F(Polecenia, PackageServiceByLinkDirectAndSportAndEconomy) {
    Trasa("/", Tresc("{DATA} Dziennik {H}:00 <a href='?dzwiek=IPN1'> {DATA} Sport {H}:00 <a href='?dzwiek=IPNS2'>"
                     " {DATA} Ekonomia {H}:00 <a href='?dzwiek=IPNE3'>"));
    Trasa("/dziennik.php", Tresc(mp3, {{"Content-disposition", "attachment; filename=dziennik_{HH}.mp3"}}));
    for (const char* link : {"/?dzwiek=IPN1", "/?dzwiek=IPNS2", "/?dzwiek=IPNE3"}) Trasa(link, Tresc(mp3));
    Sprawdz("News", "yes");
    Sprawdz("Sport", "yes IPNS2");
    Sprawdz("Ekonomia", "yes IPNE3");
    Sprawdz("Pogoda", "no");  // never looked for without the Agora login
    Produkuj("News", "tvss_" + ZeroPaddedHour(ComingHour(SystemClock().now(), 0)) + ".mp3", "N_serwis.wav");
    Produkuj("Sport", "tvss.mp3", "S_serwis.wav");
    Produkuj("Ekonomia", "tvss.mp3", "E_serwis.wav");
    Ustaw("AuthLogin", "radio");
    Ustaw("AuthPassword", "tajne");
    Produkuj("News", "tvss.mp3", "N_serwis.wav");
    EXPECT_EQ(zet.Zadania().back().cel, "/?dzwiek=IPN1");
    WyczyscTrasy();
    Sprawdz("News", "no");
    Sprawdz("Sport", "no");
    EXPECT_EQ(Tolvak("--produce Ekonomia"), 1);
    EXPECT_EQ(Tolvak("--check Radio"), 2);
}

TEST_F(Polecenia, AgoraNewsWithAndWithoutBedAndWeatherWithSponsors) {
    Ustaw("AgoraLogin", "radio");
    Ustaw("AgoraPassword", "tajne");
    Ustaw("Sponsor1Przed", (tmp / "dzwieki" / "sponsor1.wav").string(), "PogodaSponsorzy");
    Ustaw("Sponsor1Po", (tmp / "dzwieki" / "sponsor2.wav").string(), "PogodaSponsorzy");
    const test::Naglowki news{{"Content-disposition", "attachment; filename=news_{HH}00.mp3"}};
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Tresc("", news));
    Trasa("/agora/news.php?login=radio&passwd=tajne", Tresc(mp3, news));
    Trasa("/pliki/?file=news_{HH}00M.mp3&login=radio&passwd=tajne", Tresc(mp3));
    const test::Naglowki pogoda{{"Content-disposition", "attachment; filename=pogoda_{HH}00.mp3"}};
    Trasa("/agora/pogoda.php?&login=radio&passwd=tajne", Tresc("", pogoda));
    Trasa("/agora/pogoda.php?login=radio&passwd=tajne", Tresc(mp3, pogoda));
    const std::string news7 = "tvss" + ZeroPaddedHour(ComingHour(SystemClock().now(), 0)).substr(1) + "00.mp3";
    Sprawdz("News", "yes");
    Sprawdz("Pogoda", "yes");
    Sprawdz("Sport", "no");
    Produkuj("News", news7, "N_serwis.wav");
    Produkuj("Pogoda", "tvss.mp3", "P_serwis.wav");
    EXPECT_NE(CzytajPlik(prog / "log.txt").find("AkcjaSerwis: Dodano sponsorów do pogody."), std::string::npos);
    Ustaw("AgoraPodklad", "1");
    Produkuj("News", news7, "N_serwis.wav");
    EXPECT_EQ(http.Zadania().back().cel.substr(0, 12), "/pliki/?file");
}

TEST_F(Polecenia, ZprServerAndIarFeed) {
    test::SerwerFTP ftp(tmp / "ftp", "zpr", "haslo");
    Ustaw("CzyZPR", "1");
    Ustaw("ZPRHost", "127.0.0.1:" + std::to_string(ftp.Port()));
    Ustaw("ZPRLogin", "zpr");
    Ustaw("ZPRPassword", "haslo");
    Sprawdz("News", "no");
    const LocalTime teraz = SystemClock().now();
    for (const LocalTime& t : {teraz, teraz.plusSeconds(120)}) ZapiszPlik(tmp / "ftp" / SciezkaZPR(t, ComingHour(t, 0)), mp3);
    Sprawdz("News", "yes");
    Produkuj("News", "tvss.mp3", "N_serwis.wav");

    Ustaw("CzyZPR", "0");  // the check would ask the ZPR server first
    Ustaw("CzyIAR", "1");
    Ustaw("iarURL", http.Adres() + "/rss");
    Trasa("/rss", Tresc("<rss><channel><item><title>Serwis {HH}:00</title><enclosure url='" + http.Adres() +
                        "/s/serwis.mp3'/></item></channel></rss>"));
    Trasa("/s/serwis.mp3", Tresc(mp3));
    Sprawdz("News", "yes");
    Produkuj("News", "tvss.mp3", "N_serwis.wav");
    WyczyscTrasy();
    Sprawdz("News", "no");
}

TEST_F(Polecenia, WithTheAgoraAccountSetTheCheckAsksTheZprServerThatTheFetchUses) {
    // Agora shows this hour's bulletin (weather needs the account); the ZPR folder, which the
    // fetch reads first, still holds last week's file of the same name.
    test::SerwerFTP ftp(tmp / "ftp", "zpr", "haslo");
    const LocalTime teraz = SystemClock().now();
    if (teraz.hour < 5 || teraz.hour > 21 || teraz.minute == 59) GTEST_SKIP() << "no wanted hour comes now";
    for (const auto& [k, w] : {std::pair<std::string, std::string>{"CzyZPR", "1"}, {"CzyNews", "1"},
                               {"ZPRHost", "127.0.0.1:" + std::to_string(ftp.Port())}, {"ZPRLogin", "zpr"},
                               {"ZPRPassword", "haslo"}, {"AgoraLogin", "radio"}, {"AgoraPassword", "tajne"}})
        Ustaw(k, w);
    Ustaw("d" + std::to_string(teraz.weekday()) + std::to_string(teraz.hour + 1), "1", "Matryca");
    Trasa("/agora/news.php?&login=radio&passwd=tajne",
          Tresc("", {{"Content-disposition", "attachment; filename=news_{HH}00.mp3"}}));
    const fs::path stary = tmp / "ftp" / SciezkaZPR(teraz, ComingHour(teraz, 0));
    ZapiszPlik(stary, mp3);
    ustawCzas(stary, teraz.plusSeconds(-7 * 24 * 3600));
    // Once by --check, then by --headless, whose first check runs at once and produces nothing.
    const std::string log = (prog / "log.txt").string();
    const std::string cmd = "cd '" + work.string() + "' && { TOLVAK_ONLINE=1 exec '" TOLVAK_BINARY "' --dir '" +
                            prog.string() + "' --headless & p=$!; for i in $(seq 150); do grep -q " +
                            "'CzyJestSerwis: Wynik' '" + log + "' 2>/dev/null && break; sleep 0.1; done; kill $p; wait $p; }";
    for (const std::string tryb : {"--check", "--headless"}) {
        if (tryb == "--check") {
            Sprawdz("News", "no");
        } else {
            fs::remove(log);
            EXPECT_EQ(std::system(cmd.c_str()), 0);
        }
        const std::string linie = CzytajPlik(prog / "log.txt");
        for (const auto& [linia, ile] : {std::pair<std::string, int>{"CzyJestSerwis: Sprawdzamy ZPR", 1},
                                         {"CzyJestSerwis: Wynik negatywny", 1}, {"Sprawdzamy Agor", 0},
                                         {"AkcjaSerwis: Pobrano", 0}}) {
            int n = 0;
            for (size_t p = 0; (p = linie.find(linia, p)) != std::string::npos; ++p) ++n;
            EXPECT_EQ(n, ile) << tryb << ": " << linia << "\n" << linie;
        }
    }
}

}  // namespace
}  // namespace tolvak
