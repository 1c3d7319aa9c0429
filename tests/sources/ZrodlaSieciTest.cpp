// The package service, the Agora services and the IAR feed against servers on 127.0.0.1: the
// checks with their log lines and status texts, the fetches with their addresses and work files.

#include "SrodowiskoSieci.h"

namespace tolvak {
namespace {

using V = std::vector<std::string>;
const test::Naglowki kNews0800{{"Content-disposition", " attachment; filename=news_0800.mp3 "}};

class Zet : public SrodowiskoSieci {};
class Agora : public SrodowiskoSieci {
protected:
    Agora() {
        u.AgoraLogin = "radio";
        u.AgoraPassword = "tajne";
    }
};
class IAR : public SrodowiskoSieci {
protected:
    IAR() {
        u.CzyIAR = true;
        u.iarURL = " " + http.Adres() + "/rss ";
    }
    void Kanal(const std::string& item) {
        Trasa("/rss", Tresc("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss><channel><title>IAR</title>" + item +
                            "<item><title>starszy 08:00</title></item></channel></rss>"));
    }
};

TEST_F(Zet, CheckLooksForTheBlankPaddedPhraseAndLogsEachStep) {
    V akcje;
    okno.OnAction = [&](std::string_view a) { akcje.emplace_back(a); };
    Trasa("/", Tresc("<li>2024-05-06 Dziennik 08:00</li>"));
    EXPECT_FALSE(z().CzyJestSerwis());
    Trasa("/", Tresc("<li>2024-05-06 Dziennik  8:00 <a href='?dzwiek=IPN1'></li>"));
    EXPECT_TRUE(z().CzyJestSerwis());
    const std::string godzina = "CzyJestSerwis: Sprawdzanie czy jest nowy serwis: 8/07";
    const std::string fraza = "CzyJestSerwis: Sprawdzanie frazy zet:2024-05-06 Dziennik  8:00";
    EXPECT_EQ(Linie(), (V{godzina, fraza, "CzyJestSerwis: NIE MA", "CzyJestSerwis: Wynik negatywny", godzina,
                          fraza, "CzyJestSerwis: JEST", "CzyJestSerwis: Wynik pozytywny"}));
    EXPECT_EQ(akcje, (V{"Sprawdzanie czy jest nowy serwis...", "Pobieranie serwisu zakończone!", "",
                        "Sprawdzanie czy jest nowy serwis...", "Pobieranie serwisu zakończone!", ""}));
}

TEST_F(Zet, ComingHourFollowsTheClockAndTheShift) {
    u.AdresZet.clear();  // no address: every request fails at once
    const auto fraza = [&](LocalTime t, int przesuniecie) {
        clock.set(t);
        u.PrzesuniecieCzasowe = przesuniecie;
        EXPECT_FALSE(z().CzyJestSerwis());
        return Linie()[Linie().size() - 4];  // before the reason, NIE MA and the result
    };
    EXPECT_EQ(fraza({2024, 5, 6, 23, 40, 0}, 0), "CzyJestSerwis: Sprawdzanie frazy zet:2024-05-06 Dziennik 24:00");
    EXPECT_EQ(fraza({2024, 5, 6, 10, 15, 0}, -2), "CzyJestSerwis: Sprawdzanie frazy zet:2024-05-06 Dziennik  9:00");
    EXPECT_EQ(fraza({2024, 5, 6, 10, 15, 0}, 7), "CzyJestSerwis: Sprawdzanie frazy zet:2024-05-06 Dziennik 11:00");
    EXPECT_EQ(Linie().back(), "CzyJestSerwis: Wynik negatywny");
}

TEST_F(Zet, SportAndEconomyIdentifierComesFromTheFirstPhrase) {
    Trasa("/", Tresc("x 2024-05-06 Ekonomia 08:00 <a href='?dzwiek=IPN0'> 2024-05-06 Sport  8:00 "
                     "<a href='?dzwiek=IPN77'> 2024-05-06 Sport  8:00 <a href='?dzwiek=IPN88'>"));
    EXPECT_EQ(z().CzyJestSerwisSE("Sport"), "IPN77");
    EXPECT_EQ(z().CzyJestSerwisSE("Ekonomia"), "");  // 08:00 is not " 8:00"
    Trasa("/", Tresc("2024-05-06 Ekonomia  8:00 IPN5" + std::string(100, 'x') + "'"));
    EXPECT_EQ(z().CzyJestSerwisSE("Ekonomia"), "");  // no "'" within 100 characters
    EXPECT_EQ(okno.LAkcja(), "");
    EXPECT_TRUE(Linie().empty());

    Trasa("/?dzwiek=IPN77", Tresc("ID3 sport"));
    EXPECT_EQ(z().PobierzSerwisSE("IPN77"), "tvss.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), "ID3 sport");
    EXPECT_EQ(z().PobierzSerwisSE("IPN404"), "");
}

TEST_F(Zet, NewsByLinkCarriesTheAccountAndTakesTheQuotedLink) {
    u.AuthLogin = " radio ";
    u.AuthPassword = "tajne";
    Trasa("/", Tresc("<p>Dziennik <a href='?dzwiek=IPN123'>"));
    Trasa("/?dzwiek=IPN123", Tresc("ID3 news"));
    okno.setGaugePosition(40);
    EXPECT_EQ(z().PobierzSerwis(), "tvss.mp3");
    EXPECT_EQ(okno.Gauge1Position(), 0);
    EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), "ID3 news");
    // No "'" within 25 characters: the link is empty and the front page itself is the download.
    Trasa("/", Tresc("<a href='?dzwiek=IPN1234567890123456789'>"));
    EXPECT_EQ(z().PobierzSerwis(), "tvss.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), "<a href='?dzwiek=IPN1234567890123456789'>");
    EXPECT_EQ(Cele(zet), (V{"GET /", "GET /?dzwiek=IPN123", "GET /", "GET /"}));
    for (const auto& r : zet.Zadania()) EXPECT_EQ(r.Naglowek("Authorization"), "Basic cmFkaW86dGFqbmU=");
    EXPECT_EQ(okno.LAkcja(), "Pobieranie serwisu zakończone!");
}

TEST_F(Zet, DirectBulletinIsNamedByItsDisposition) {
    Trasa("/dziennik.php", Tresc("ID3 direct", {{"content-disposition", "attachment; filename=dziennik_17.mp3"}}));
    EXPECT_EQ(z().PobierzSerwis(), "tvss_17.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss_17.mp3"), "ID3 direct");
    EXPECT_EQ(zet.Zadania()[0].Naglowek("Authorization"), "");  // no account, no credentials

    Trasa("/dziennik.php", Tresc("", {{"Content-Disposition", "attachment; filename=dziennik_18.mp3"}}));
    EXPECT_EQ(z().PobierzSerwis(), "");  // 0 bytes
    EXPECT_FALSE(fs::exists(work / "tvss_18.mp3"));

    Trasa("/dziennik.php", Tresc("ID3"));
    EXPECT_EQ(z().PobierzSerwis(), "");  // no disposition: no GET
    Trasa("/dziennik.php", Tresc("ID3", {{"Content-disposition", "filename=a/../x.m"}}));
    EXPECT_EQ(z().PobierzSerwis(), "");
    EXPECT_EQ(Linie().back(), "PobierzSerwis: Odrzucono nazwę pliku od serwera: tvss/../x.m");
    EXPECT_EQ(Cele(zet), (V{"HEAD /dziennik.php", "GET /dziennik.php", "HEAD /dziennik.php", "GET /dziennik.php",
                            "HEAD /dziennik.php", "HEAD /dziennik.php"}));
}

TEST_F(Agora, NewsCheckAsksTheNewsScriptWhenTheFetchTakesAgora) {
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Tresc("", kNews0800));
    EXPECT_TRUE(z().CzyJestSerwis());
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Status(200, "Unauthorized", kNews0800));
    EXPECT_FALSE(z().CzyJestSerwis());
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Tresc(""));
    EXPECT_FALSE(z().CzyJestSerwis());
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Status(401, "Unauthorized", kNews0800));
    EXPECT_FALSE(z().CzyJestSerwis());
    const V pozytywny{"CzyJestSerwis: Sprawdzanie czy jest nowy serwis:08/07", "CzyJestSerwis: Sprawdzamy Agorę",
                      "CzyJestSerwis: Wynik pozytywny"};
    const V linie = Linie();
    EXPECT_EQ(V(linie.begin(), linie.begin() + 3), pozytywny);
    EXPECT_EQ(linie.size(), 13u);  // the 401's reason too
    EXPECT_EQ(linie.back(), "CzyJestSerwis: Wynik negatywny");
    for (const auto& r : http.Zadania()) {
        EXPECT_EQ(r.metoda, "HEAD");
        EXPECT_EQ(r.Naglowek("Authorization"), "");
    }
}

TEST_F(Agora, NewsFetchNamesTheWorkFileAndTheBedVariant) {
    Trasa("/agora/news.php?&login=radio&passwd=tajne", Tresc("", kNews0800));
    Trasa("/agora/news.php?login=radio&passwd=tajne", Tresc("ID3 bez podkladu"));
    EXPECT_EQ(z().PobierzSerwis(), "tvss800.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss800.mp3"), "ID3 bez podkladu");
    u.AgoraPodklad = true;
    Trasa("/pliki/?file=news_0800M.mp3&login=radio&passwd=tajne", Tresc("ID3 z podkladem"));
    EXPECT_EQ(z().PobierzSerwis(), "tvss800.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss800.mp3"), "ID3 z podkladem");
    // Quotes stay in both names; every "." gets its "M".
    Trasa("/agora/news.php?&login=radio&passwd=tajne",
          Tresc("", {{"Content-disposition", "attachment; filename=\"a.news_0800.mp3\""}}));
    Trasa("/pliki/?file=\"aM.news_0800M.mp3\"&login=radio&passwd=tajne", Tresc("ID3 cytat"));
    EXPECT_EQ(z().PobierzSerwis(), "tvss00.mp3\"");
    EXPECT_EQ(CzytajPlik(work / "tvss00.mp3\""), "ID3 cytat");
}

TEST_F(Agora, SportAndWeatherUseTheirScripts) {
    Trasa("/agora/sport.php?&login=radio&passwd=tajne", Tresc("", {{"Content-disposition", "f=sport_0800.mp3"}}));
    Trasa("/agora/sport.php?login=radio&passwd=tajne", Tresc("ID3 sport", {{"Content-disposition", "f=sport.mp3"}}));
    Trasa("/agora/pogoda.php?login=radio&passwd=tajne", Tresc("", {{"Content-disposition", "f=pogoda.mp3"}}));
    EXPECT_TRUE(z().CzyJestAgoraDodatkowy("Sport"));
    EXPECT_FALSE(z().CzyJestAgoraDodatkowy("Pogoda"));  // 404
    EXPECT_EQ(z().PobierzSerwisAgoraDodatkowy("Sport"), "tvss.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), "ID3 sport");
    EXPECT_EQ(z().PobierzSerwisAgoraDodatkowy("Pogoda"), "");  // 0 bytes
    u.AdresAgora.clear();
    EXPECT_FALSE(z().CzyJestAgoraDodatkowy("Pogoda"));
    EXPECT_EQ(Linie(), (V{"CzyJestAgoraDodatkowy (Sport): Sprawdzamy Agorę", "CzyJestAgoraDodatkowy (Pogoda): Sprawdzamy Agorę",
                          "CzyJestAgoraDodatkowy (Pogoda): Odpowiedź serwera: HTTP/1.1 404 Not Found (" +
                              http.Adres() + "/agora/pogoda.php)",
                          "CzyJestAgoraDodatkowy (Pogoda): niepowodzenie sprawdzania Agory",
                          "CzyJestAgoraDodatkowy (Pogoda): Sprawdzamy Agorę",
                          "CzyJestAgoraDodatkowy (Pogoda): Brak adresu serwisu (AdresAgora)",
                          "CzyJestAgoraDodatkowy (Pogoda): niepowodzenie sprawdzania Agory"}));
    EXPECT_EQ(okno.LAkcja(), "");
}

TEST_F(IAR, CheckReadsTheNewestTitleThroughRedirects) {
    u.iarURL = http.Adres() + "/stary";
    Trasa("/stary", Status(301, "Moved", {{"Location", "/posredni"}}));
    Trasa("/posredni", Status(302, "Found", {{"Location", http.Adres() + "/rss"}}));
    Kanal("<item><title><![CDATA[Serwis z 1 sierpnia (2024-08-01)]]></title></item>");
    EXPECT_TRUE(z().CzyJestSerwis());  // the hour's digits stand in the date
    Kanal("<item><title>Serwis 17:00</title></item>");
    EXPECT_FALSE(z().CzyJestSerwis());
    Trasa("/rss", Tresc("to nie jest XML"));
    EXPECT_FALSE(z().CzyJestSerwis());
    u.iarURL = "  ";
    EXPECT_FALSE(z().CzyJestSerwis());
    const V iar{"CzyJestSerwis: Sprawdzanie czy jest nowy serwis: 8/07", "CzyJestSerwis: Sprawdzamy IAR"};
    const V linie = Linie();
    EXPECT_EQ(V(linie.end() - 4, linie.end()),
              (V{iar[0], iar[1], "CzyJestSerwis: Nie udało się pobrać pliku XML z IAR", "CzyJestSerwis: Wynik negatywny"}));
    EXPECT_EQ(linie.size(), 14u);
    EXPECT_TRUE(linie[8].starts_with("CzyJestSerwis: Nieprawidłowy plik XML: ")) << linie[8];
    const auto r = http.Zadania().front();
    EXPECT_EQ(r.Naglowek("Accept"), "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    EXPECT_EQ(r.Naglowek("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(IAR, FetchTakesTheFirstEnclosure) {
    ZapiszPlik(work / "tvss.mp3", std::string(1000, 'o'));  // older and longer
    Kanal("<item><title>17:00</title><enclosure url=' " + http.Adres() + "/przekieruj '/></item>");
    Trasa("/przekieruj", Status(302, "Found", {{"Location", "/serwis.mp3"}}));
    Trasa("/serwis.mp3", Tresc("ID3 iar"));
    EXPECT_EQ(z().PobierzSerwisIAR(), "tvss");  // the address has no extension of its own
    Kanal("<item><enclosure url='" + http.Adres() + "/serwis.mp3'/></item>");
    EXPECT_EQ(z().PobierzSerwisIAR(), "tvss.mp3");
    EXPECT_EQ(CzytajPlik(work / "tvss.mp3"), "ID3 iar");
    Trasa("/serwis.mp3?x=1", Tresc("ID3 x"));
    Kanal("<item><enclosure url='" + http.Adres() + "/serwis.mp3?x=1'/></item>");
    EXPECT_EQ(z().PobierzSerwisIAR(), "tvss.mp3?x=1");
    Kanal("<item><enclosure url='" + http.Adres() + "/brak.mp3'/></item>");
    EXPECT_EQ(z().PobierzSerwisIAR(), "");  // 404
    Kanal("<item><enclosure href='x.mp3'/></item>");
    EXPECT_EQ(z().PobierzSerwisIAR(), "");
    u.iarURL = http.Adres() + "/brak";
    EXPECT_EQ(z().PobierzSerwisIAR(), "");
    EXPECT_EQ(Linie().back(), "PobierzSerwisIAR: Nie udało się pobrać pliku XML z IAR");
}

TEST_F(Agora, FailedFetchesLeaveNoWorkFileHourAfterHour) {
    limity.calyPlik = std::chrono::milliseconds(300);
    const test::Odpowiedz porazki[] = {BezKonca(100, std::chrono::milliseconds(10)), Status(500, "Blad"), Tresc("")};
    for (int h = 0; h < 3; ++h) {
        clock.set({2024, 5, 6, 7 + h, 20, 0});
        Trasa("/agora/news.php?&login=radio&passwd=tajne", Status(200, "OK", {{"Content-disposition", "news_0" + std::to_string(8 + h) + "00.mp3"}}));
        Trasa("/agora/news.php?login=radio&passwd=tajne", porazki[h]);
        EXPECT_EQ(z().PobierzSerwis(), "");
        EXPECT_TRUE(fs::is_empty(work)) << h;
    }
    EXPECT_EQ(Linie().front(), "PobierzSerwis: Przekroczony łączny limit czasu przesyłania: 300 ms (" +
                                   http.Adres() + "/agora/news.php)");
}

}  // namespace
}  // namespace tolvak
