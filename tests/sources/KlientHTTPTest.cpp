// The transfer clients against servers on 127.0.0.1: what they send, redirects, cookies, old TLS,
// the limits that keep a transfer from hanging, the window's messages during a transfer, and the
// end-of-transfer handler.

#include <chrono>
#include <thread>

#include "SrodowiskoSieci.h"
#include "platform/UiQueue.h"
#include "sources/KlientFTP.h"
#include "sources/KlientHTTP.h"
#include "SerwerFTP.h"

namespace tolvak {
namespace {

using namespace std::chrono_literals;
using Zegar = std::chrono::steady_clock;

class Klient : public SrodowiskoSieci {
protected:
    Klient() {
        for (int i = 1; i <= 16; ++i)
            Trasa("/r" + std::to_string(i), Status(302, "Found", {{"Location", "/r" + std::to_string(i - 1)}}));
        Trasa("/r0", Tresc("koniec"));
    }
    KlientHTTP wspolny{okno, UstawieniaHTTP::Wspolny(), limity};
    KlientHTTP kanalu{okno, UstawieniaHTTP::Kanalu(), limity};
};

TEST_F(Klient, SharedClientFailsOnRedirectsFeedClientFollowsUpToFifteen) {
    EXPECT_THROW(wspolny.Get(http.Adres() + "/r1"), BladTransferu);
    EXPECT_EQ(wspolny.ResponseText(), "HTTP/1.1 302 Found");
    EXPECT_EQ(kanalu.Get(http.Adres() + "/r15"), "koniec");
    EXPECT_THROW(kanalu.Get(http.Adres() + "/r16"), BladTransferu);
    EXPECT_THROW(kanalu.Get(http.Adres() + "/brak"), BladTransferu);  // 404 after no redirect
}

TEST_F(Klient, SharedClientKeepsCookiesAndSendsItsHeaders) {
    Trasa("/", Tresc("", {{"Set-Cookie", "sesja=abc; Path=/"}}));
    wspolny.UstawKonto("radio", " ");  // half an account: no credentials
    wspolny.Get(http.Adres() + "/");
    wspolny.Head(http.Adres() + "/");
    const auto r = http.Zadania();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].Naglowek("Cookie"), "");
    EXPECT_EQ(r[1].Naglowek("Cookie"), "sesja=abc");
    EXPECT_EQ(r[1].Naglowek("Accept"), "text/html, */*");
    EXPECT_EQ(r[1].Naglowek("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(r[1].Naglowek("Authorization"), "");
}

TEST_F(Klient, TextFollowsTheAnnouncedCharsetAndOldTlsIsSpoken) {
    Trasa("/", Tresc("Wiadomo\xb6" "ci \xb1", {{"Content-Type", "text/html; charset=\"ISO-8859-2\""}}));
    EXPECT_EQ(wspolny.Get(http.Adres() + "/"), "Wiadomości ą");
    EXPECT_EQ(kanalu.Get(http.Adres() + "/"), "Wiadomo\xb6" "ci \xb1");  // the feed takes bytes as sent
    test::SerwerHTTP stary([](const test::Zadanie&) { return Tresc("tls 1.0"); }, test::SerwerHTTP::Tryb::Tls10);
    EXPECT_EQ(wspolny.Get(stary.Adres() + "/"), "tls 1.0");
    EXPECT_EQ(kanalu.Get(stary.Adres() + "/"), "tls 1.0");
}

TEST_F(Klient, StallsOversizedBodiesAndUnansweredConnectsFail) {
    limity.bezRuchu = 300ms;
    limity.polaczenie = 300ms;
    limity.maksRozmiar = limity.maksTekst = 1000;
    KlientHTTP klient(okno, UstawieniaHTTP::Wspolny(), limity);
    KlientFTP ftp(okno, limity);
    test::Odpowiedz cisza;
    cisza.milcz = true;
    Trasa("/cisza", cisza);
    Trasa("/duzy", Tresc(std::string(1001, 'x')));
    test::Odpowiedz bezDlugosci;
    bezDlugosci.dalej = [](std::string& k) { return k.assign(600, 'y'), true; };
    Trasa("/strumien", bezDlugosci);
    test::ZatkanyPort zatkany;
    const auto t0 = Zegar::now();
    EXPECT_THROW(klient.Get(http.Adres() + "/cisza"), BladTransferu);
    ftp.UstawSerwer("127.0.0.1:" + std::to_string(http.Port()), "zpr", "haslo", true);
    EXPECT_THROW(ftp.CzasModyfikacji("1_pon/x.mp3"), BladTransferu);  // no greeting ever comes
    EXPECT_THROW(klient.Get(http.Adres() + "/duzy"), BladTransferu);
    EXPECT_THROW(klient.Get(http.Adres() + "/strumien"), BladTransferu);
    EXPECT_THROW(klient.Get("http://127.0.0.1:" + std::to_string(zatkany.Port()) + "/"), BladTransferu);
    ftp.UstawSerwer("127.0.0.1:" + std::to_string(zatkany.Port()), "zpr", "haslo", true);
    EXPECT_THROW(ftp.CzasModyfikacji("1_pon/x.mp3"), BladTransferu);
    EXPECT_LT(Zegar::now() - t0, 5s);
}

TEST_F(Klient, WindowRunsDuringATransferThatRefusesASecondOne) {
    UiQueue::instance().bindToCurrentThread();
    test::Odpowiedz wolna;
    wolna.dalej = [n = 0](std::string& k) mutable {
        std::this_thread::sleep_for(100ms);  // 30 pieces: a 3-second transfer
        k = "z";
        return ++n <= 30;
    };
    Trasa("/wolny", wolna);
    int koniec = 0;
    wspolny.OnWorkEnd = [&] { ++koniec; };
    std::vector<Zegar::time_point> wywolania;
    bool odmowa = false;
    std::atomic<bool> stop{false};
    std::thread watek([&] {
        while (!stop) {
            UiQueue::instance().invokeAndWait([&] {
                if (wywolania.empty()) {
                    try {
                        wspolny.Get(http.Adres() + "/r0");
                    } catch (const BladTransferu&) {
                        odmowa = true;
                    }
                }
                wywolania.push_back(Zegar::now());
            });
            std::this_thread::sleep_for(10ms);
        }
    });
    const auto t0 = Zegar::now();
    const std::string tresc = wspolny.Get(http.Adres() + "/wolny");
    const auto t1 = Zegar::now();
    stop = true;
    UiQueue::instance().unbind();
    watek.join();
    EXPECT_EQ(tresc, std::string(30, 'z'));
    EXPECT_TRUE(odmowa);
    EXPECT_EQ(koniec, 1);
    ASSERT_GE(wywolania.size(), 12u);
    auto poprzednie = t0;
    for (auto t : wywolania) {
        if (t > t1) break;
        EXPECT_LE(t - poprzednie, 250ms);
        poprzednie = t;
    }
    EXPECT_LE(t1 - poprzednie, 250ms);
}

TEST_F(Klient, WorkEndFollowsEveryBodyTransferButNotHead) {
    int koniec = 0;
    wspolny.OnWorkEnd = [&] { ++koniec; };
    test::Odpowiedz urwana = Status(200, "OK", {{"Content-Length", "100"}});
    urwana.dalej = [](std::string& k) { return k = "abc", false; };
    Trasa("/urwany", urwana);
    wspolny.Get(http.Adres() + "/r0");
    EXPECT_THROW(wspolny.Get(http.Adres() + "/brak"), BladTransferu);
    EXPECT_THROW(wspolny.Get(http.Adres() + "/urwany"), BladTransferu);
    wspolny.Head(http.Adres() + "/r0");
    EXPECT_EQ(koniec, 3);
    test::ZatkanyPort nikt;  // nothing answers: no transfer, no end of one
    limity.polaczenie = 100ms;
    KlientHTTP krotki(okno, UstawieniaHTTP::Wspolny(), limity);
    krotki.OnWorkEnd = wspolny.OnWorkEnd;
    EXPECT_THROW(krotki.Get("http://127.0.0.1:" + std::to_string(nikt.Port()) + "/"), BladTransferu);
    EXPECT_EQ(koniec, 3);
}

TEST_F(Klient, EachLimitEndsAnEndlessTransferInTimeAndNamesItself) {
    Trasa("/kropla", BezKonca(1, 50ms));  // 20 B/s: never still for long, never done
    Trasa("/strumien", BezKonca(1000, 10ms));
    ZapiszPlik(tmp / "ftp" / "1_pon" / "x.mp3", std::string(4000, 'z'));
    test::SerwerFTP ftp(tmp / "ftp", "zpr", "haslo", 10);
    std::FILE* plik = std::tmpfile();
    const auto pobierz = [&](const char* cel, bool doPliku) {
        return [&, cel, doPliku](const LimityTransferu& l) {
            KlientHTTP k(okno, UstawieniaHTTP::Wspolny(), l);
            doPliku ? k.Get(http.Adres() + cel, plik) : (void)k.Get(http.Adres() + cel);
        };
    };
    const auto ftpKropla = [&](const LimityTransferu& l) {
        KlientFTP k(okno, l);
        k.UstawSerwer("127.0.0.1:" + std::to_string(ftp.Port()), "zpr", "haslo", true), k.Pobierz("1_pon/x.mp3", plik);
    };
    const std::string wolno = "Przesyłanie zbyt wolne: średnio mniej niż 1000 B/s przez 400 ms";
    const struct { LimityTransferu limity; std::function<void(const LimityTransferu&)> przesyl; std::string powod; } przypadki[] = {
        {{.minPredkosc = 1000, .oknoPredkosci = 400ms}, pobierz("/kropla", true), wolno},
        {{.minPredkosc = 1000, .oknoPredkosci = 400ms}, ftpKropla, wolno},
        {{.calyTekst = 600ms}, pobierz("/strumien", false), "Przekroczony łączny limit czasu przesyłania: 600 ms"},
        {{.calyPlik = 800ms}, pobierz("/strumien", true), "Przekroczony łączny limit czasu przesyłania: 800 ms"},
        {{.maksTekst = 5000}, pobierz("/strumien", false), "Odpowiedź serwera jest za duża: ponad 5000 B"},
    };
    for (const auto& p : przypadki) {
        const auto t0 = Zegar::now();
        try {
            p.przesyl(p.limity), ADD_FAILURE() << p.powod;
        } catch (const BladTransferu& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with(p.powod)) << e.what();
        }
        EXPECT_LT(Zegar::now() - t0, 1500ms) << p.powod;
    }
    std::fclose(plik);
}

}  // namespace
}  // namespace tolvak
