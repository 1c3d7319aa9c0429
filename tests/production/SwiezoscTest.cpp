// The scheduler against a ZPR station on the manual clock: the weekday folder holds last week's
// files under this week's names until the provider replaces them, at its own minute or never.
// Every hour ends with its own bulletin before the hour, or with nothing and the alarm; never
// with an older one. The run is scripted, but decides on the bulletin as the production does.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "schedule/CzasSymulowany.h"
#include "schedule/ZrodlaBezPobran.h"
#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Regional.h"
#include "production/Odcisk.h"
#include "schedule/Harmonogram.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

constexpr int64_t kGodzina = 3600;

/// What the folder holds for the hour `h` at a moment: dated today or not, and whose audio ("" for
/// 0 bytes, "h-168" for last week's).
struct Plik {
    bool dzisiaj = false;
    std::string dzwiek;
};
/// The provider's script for hour `h` (serial hours): the file at serial second `t`.
using Skrypt = std::function<Plik(int64_t h, int64_t t)>;

struct Stacja : test::ZrodlaBezPobran {
    Stacja(const Clock& c, Skrypt s) : clock(c), skrypt(std::move(s)) {}
    Plik Teraz() const {
        const int64_t t = clock.now().serial();
        return skrypt(t / kGodzina + 1, t);
    }
    std::string CzyJestSerwisSE(const std::string&) override { return {}; }
    bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
    bool CzyJestSerwisZPliku() override { return false; }
    bool CzyJestSerwis() override { return Teraz().dzisiaj; }
    Swiezosc SwiezoscSerwisu() override {
        return Teraz().dzisiaj ? Swiezosc::Aktualny() : Swiezosc::Nieaktualny("plik z zeszłego tygodnia");
    }
    const Clock& clock;
    Skrypt skrypt;
    std::function<int(int64_t t)> czasPobrania = [](int64_t) { return 5000; };  // negative: stalls, fails
};

struct Dostawa {
    std::string dzwiek;
    int64_t chwila;
};

/// A day of the station from `start`; the deliveries by the hour they were for.
struct Symulacja {
    Symulacja(LocalTime start, Skrypt skrypt) : clock(start), czas(clock), zrodla(clock, std::move(skrypt)) {
        SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
        std::string m = "[Matryca]\r\n";
        for (int d = 1; d <= 7; ++d)
            for (int h = 6; h <= 22; ++h) m += "d" + std::to_string(d) + std::to_string(h) + "=1\r\n";
        std::FILE* f = std::fopen((tmp / "tolvak.ini").c_str(), "wb");
        std::fputs(m.c_str(), f);
        std::fclose(f);
        matryca.Wczytaj();
        u.CzyNews = true;
        u.FolderZapisu = tmp.path().string() + "/";
        log.OnLine = [this](std::string_view l) { linie.emplace_back(l.substr(l.find(": ") + 2)); };
    }
    bool Akcja(bool interwencja) {
        const LocalTime poczatek = clock.now();
        okno.Migotanie(true);
        const Plik p = zrodla.Teraz();
        const int ms = zrodla.czasPobrania(poczatek.serial());
        czas.Uplyw(std::abs(ms));
        bool wynik = false;
        if (ms > 0 && !p.dzwiek.empty()) {
            const std::string stempel = ComingHourStamp(poczatek);
            const Przyjecie decyzja = PrzyjmijOdcisk(
                "odcisk-" + p.dzwiek, stan.FileName(), "News", {false, interwencja, stempel, clock.now()}, log);
            if (decyzja != Przyjecie::Odrzuc) {
                czas.Uplyw(10000);  // the assembly
                ZapiszPobranyInfo(stan.FileName(), "News", poczatek);
                ZapiszSladDostarczenia(stan.FileName(), "News", "odcisk-" + p.dzwiek, "N", log, clock.now(),
                                       decyzja, stempel);
                dostawy[poczatek.serial() / kGodzina + 1].push_back({p.dzwiek, clock.now().serial()});
                wynik = true;
            }
        }
        okno.Migotanie(false);
        return wynik;
    }
    int Ile(const std::string& linia) const { return static_cast<int>(std::count(linie.begin(), linie.end(), linia)); }

    // The state file and the log are rewritten thousands of times: in memory where possible.
    test::TempDir tmp{std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path()};
    ManualClock clock;
    test::CzasSymulowany czas;
    Log log{tmp / "log.txt", clock};
    Matryca matryca{tmp / "tolvak.ini"};
    StanPobran stan{tmp / "tolvak.dat", matryca, log, clock};
    Ustawienia u;
    Stacja zrodla;
    StatusDisplay okno{clock, czas.NowyTimer(), czas.NowyTimer()};
    std::map<int64_t, std::vector<Dostawa>> dostawy;
    std::vector<std::string> linie;
    Harmonogram h{KontekstHarmonogramu{u, stan, zrodla,
                                       [this](const std::string&, const std::string&, bool i) { return Akcja(i); },
                                       log, clock, okno},
                  czas.NowyTimer(), czas.NowyTimer()};
};

/// Serial second of minute `m`, second `s` of the hour before `h`.
int64_t Przed(int64_t h, int m, int s = 0) { return (h - 1) * kGodzina + m * 60 + s; }

TEST(Swiezosc, EachHourEndsWithItsOwnBulletinBeforeTheHourOrWithNothingAndTheAlarm) {
    const LocalTime start{2024, 5, 6, 9, 40, 0};  // a Monday
    const int64_t h0 = start.serial() / kGodzina + 1;  // 10:00
    enum Typ { Zwykla, Spozniona, Cicha, Zawieszona, Pusta, Powtorka };
    const std::vector<Typ> godziny{Zwykla, Spozniona, Cicha, Zawieszona, Pusta, Powtorka, Zwykla};
    const auto typ = [&](int64_t h) { return h - h0 < 7 ? godziny[static_cast<size_t>(h - h0)] : Cicha; };
    Symulacja s(start, [&](int64_t h, int64_t t) -> Plik {
        const Plik stary{false, std::to_string(h - 168)}, nowy{true, std::to_string(h)};
        switch (typ(h)) {
            case Zwykla: return t >= Przed(h, 52) ? nowy : stary;
            case Spozniona: return t >= Przed(h, 59, 30) ? nowy : stary;
            case Cicha: return stary;
            case Zawieszona: return t >= Przed(h, 58) ? nowy : stary;
            case Pusta: return t >= Przed(h, 56) ? nowy : t >= Przed(h, 53) ? Plik{true, ""} : stary;
            case Powtorka: return t >= Przed(h, 57) ? nowy : t >= Przed(h, 50) ? Plik{true, std::to_string(h - 1)} : stary;
        }
        return stary;
    });
    // The transfer begun at :58 of the stalling hour hangs until :59:14 and fails.
    bool zawieszony = false;
    s.zrodla.czasPobrania = [&](int64_t t) {
        const int64_t h = t / kGodzina + 1;
        if (typ(h) != Zawieszona || t < Przed(h, 58) || std::exchange(zawieszony, true)) return 5000;
        return -static_cast<int>((Przed(h, 59, 14) - t) * 1000);
    };
    s.czas.Uplyw((godziny.size() * kGodzina - 20 * 60 + 60) * 1000);

    for (int64_t h = h0; h < h0 + static_cast<int64_t>(godziny.size()); ++h) {
        const auto& d = s.dostawy[h];
        if (typ(h) == Cicha) {
            EXPECT_TRUE(d.empty()) << h - h0;
            continue;
        }
        ASSERT_FALSE(d.empty()) << h - h0;
        EXPECT_EQ(d.back().dzwiek, std::to_string(h)) << h - h0;
        EXPECT_LT(d.back().chwila, h * kGodzina) << h - h0;
        for (const Dostawa& x : d) EXPECT_TRUE(x.dzwiek == std::to_string(h) || typ(h) == Powtorka) << x.dzwiek;
    }
    EXPECT_EQ(s.dostawy[h0 + 5].size(), 2u);  // the repeat, replaced by the hour's own
    EXPECT_EQ(s.Ile("Brak serwisu na godzinę 12."), 1);
    EXPECT_EQ(s.Ile("Powtórzony serwis News na godzinę 15."), 1);
    EXPECT_EQ(s.Ile("Interwencyjne pobranie przerwane - serwis nieaktualny: plik z zeszłego tygodnia"), 2);
    EXPECT_EQ(s.Ile("Interwencyjne pobranie przerwane - trwało pobieranie główne"), 1);
    int braki = 0;
    for (const std::string& l : s.linie) braki += l.starts_with("Brak serwisu");
    EXPECT_EQ(braki, 1);
}

TEST(Swiezosc, ADayOfBulletinsPublishedBetweenMinute45And5930GoesOutBeforeEachHour) {
    // Five days of wanted hours 6 to 22; each bulletin comes out at a random second of its
    // hour's last quarter, up to 59:30.
    const LocalTime start{2024, 5, 6, 5, 30, 0};
    std::mt19937 los(20241210);
    std::map<int64_t, int64_t> publikacja;
    Symulacja s(start, [&](int64_t h, int64_t t) -> Plik {
        if (!publikacja.contains(h)) publikacja[h] = Przed(h, 45) + std::uniform_int_distribution<int>(0, 870)(los);
        return t >= publikacja[h] ? Plik{true, std::to_string(h)} : Plik{false, std::to_string(h - 168)};
    });
    s.czas.Uplyw(5LL * 24 * kGodzina * 1000);
    int chciane = 0, naCzas = 0;
    std::vector<int64_t> wyprzedzenia;
    for (const auto& [h, p] : publikacja) {
        const int godzina = LocalTime::fromSerial(h * kGodzina).hour;
        if (godzina < 6 || godzina > 22 || h * kGodzina > start.serial() + 5 * 24 * kGodzina) continue;
        ++chciane;
        const auto& d = s.dostawy[h];
        if (d.empty() || d.back().dzwiek != std::to_string(h) || d.back().chwila >= h * kGodzina) continue;
        ++naCzas;
        wyprzedzenia.push_back(h * kGodzina - d.back().chwila);
    }
    std::sort(wyprzedzenia.begin(), wyprzedzenia.end());
    ASSERT_FALSE(wyprzedzenia.empty());
    const int64_t mediana = wyprzedzenia[wyprzedzenia.size() / 2];
    std::printf("Wanted hours with their own bulletin before the hour: %d of %d; median lead %lld s\n", naCzas,
                chciane, static_cast<long long>(mediana));
    EXPECT_EQ(naCzas, chciane);
    EXPECT_GE(chciane, 5 * 17 - 1);
}

}  // namespace
}  // namespace tolvak
