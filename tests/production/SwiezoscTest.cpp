// Each hour of a ZPR station ends with its own bulletin before the hour, or with nothing and the
// alarm; never with an older one: an ordinary, a late (59:30), a silent and a stalled (58:00 to
// 59:14) hour, a 0-byte file before the real one, last hour's audio before this hour's at :57.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "StacjaSymulowana.h"

namespace tolvak::test {
namespace {

TEST(Swiezosc, EachHourEndsWithItsOwnBulletinBeforeTheHourOrWithNothingAndTheAlarm) {
    const LocalTime start{2024, 5, 6, 9, 40, 0};  // a Monday; the first hour is 10:00
    const int64_t h0 = start.serial() / kGodzina + 1;
    enum Typ { Zwykla, Spozniona, Cicha, Zawieszona, Pusta, Powtorka };
    const Typ godziny[] = {Zwykla, Spozniona, Cicha, Zawieszona, Pusta, Powtorka, Zwykla};
    const auto typ = [&](int64_t h) { return h - h0 < 7 ? godziny[h - h0] : Cicha; };
    StacjaSymulowana s(start, [&](int64_t h, int64_t t) {
        const Plik stary{false, std::to_string(h - 168)}, nowy{true, std::to_string(h)};
        const auto od = [&](int m, int sek = 0) { return t >= Przed(h, m, sek); };
        switch (typ(h)) {
            case Zwykla: return od(52) ? nowy : stary;
            case Spozniona: return od(59, 30) ? nowy : stary;
            case Zawieszona: return od(58) ? nowy : stary;
            case Pusta: return od(56) ? nowy : od(53) ? Plik{true, ""} : stary;
            case Powtorka: return od(57) ? nowy : od(50) ? Plik{true, std::to_string(h - 1)} : stary;
            default: return stary;
        }
    });
    bool zawieszony = false;
    s.czasPobrania = [&](int64_t t) {
        const int64_t h = t / kGodzina + 1;
        if (typ(h) != Zawieszona || t < Przed(h, 58) || std::exchange(zawieszony, true)) return 5000;
        return -static_cast<int>((Przed(h, 59, 14) - t) * 1000);
    };
    s.czas.Uplyw((7 * kGodzina - 20 * 60 + 60) * 1000);

    for (int64_t h = h0; h < h0 + 7; ++h) {
        const auto& d = s.dostawy[h];
        ASSERT_EQ(d.empty(), typ(h) == Cicha) << h - h0;
        if (d.empty()) continue;
        EXPECT_EQ(d.back().dzwiek, std::to_string(h)) << h - h0;
        EXPECT_LT(d.back().chwila, h * kGodzina) << h - h0;
        EXPECT_EQ(d.size(), typ(h) == Powtorka ? 2u : 1u) << h - h0;  // the repeat, then replaced
    }
    const auto ile = [&](const std::string& l) { return std::count(s.linie.begin(), s.linie.end(), l); };
    EXPECT_EQ(ile("Brak serwisu na godzinę 12."), 1);
    EXPECT_EQ(ile("Powtórzony serwis News na godzinę 15."), 1);
    EXPECT_EQ(ile("Interwencyjne pobranie przerwane - serwis nieaktualny: plik z zeszłego tygodnia"), 2);
    EXPECT_EQ(ile("Interwencyjne pobranie przerwane - trwało pobieranie główne"), 1);
    EXPECT_EQ(std::count_if(s.linie.begin(), s.linie.end(), [](auto& l) { return l.starts_with("Brak serwisu"); }), 1);
}

}  // namespace
}  // namespace tolvak::test
