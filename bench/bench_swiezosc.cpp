// Fresh bulletins before the hour: days of a ZPR station under the real scheduler on the manual
// clock, every hour 6 to 22 wanted, each bulletin published at a random second from minute 45 to
// 59:30 (until then the folder holds last week's file). Reports the share of wanted hours whose
// own bulletin was delivered before the hour (target: all of them) and the median lead.
//
//   bench_swiezosc [--dni N] [--ziarno S]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "production/StacjaSymulowana.h"

using namespace tolvak;
using namespace tolvak::test;

int main(int argc, char** argv) {
    int dni = 7;
    unsigned ziarno = 20241210;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--dni")) dni = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--ziarno")) ziarno = static_cast<unsigned>(std::atoll(argv[i + 1]));
    }
    const LocalTime start{2024, 5, 6, 5, 30, 0};
    std::mt19937 los(ziarno);
    std::map<int64_t, int64_t> publikacja;
    StacjaSymulowana s(start, [&](int64_t h, int64_t t) {
        if (!publikacja.contains(h)) publikacja[h] = Przed(h, 45) + std::uniform_int_distribution<int>(0, 870)(los);
        return t >= publikacja[h] ? Plik{true, std::to_string(h)} : Plik{false, std::to_string(h - 168)};
    });
    const int64_t koniec = start.serial() + dni * 24 * kGodzina;
    s.czas.Uplyw((koniec - start.serial()) * 1000);
    int chciane = 0;
    std::vector<int64_t> wyprzedzenia;
    for (const auto& [h, p] : publikacja) {
        const int godzina = LocalTime::fromSerial(h * kGodzina).hour;
        if (godzina < 6 || godzina > 22 || h * kGodzina > koniec) continue;
        ++chciane;
        const auto& d = s.dostawy[h];
        if (!d.empty() && d.back().dzwiek == std::to_string(h) && d.back().chwila < h * kGodzina)
            wyprzedzenia.push_back(h * kGodzina - d.back().chwila);
    }
    std::sort(wyprzedzenia.begin(), wyprzedzenia.end());
    const long long mediana = wyprzedzenia.empty() ? 0 : wyprzedzenia[wyprzedzenia.size() / 2];
    std::printf("%d simulated days, %d wanted hours published 45:00-59:30\n", dni, chciane);
    std::printf("own bulletin before the hour: %zu of %d (%.1f %%)\n", wyprzedzenia.size(), chciane,
                chciane ? 100.0 * static_cast<double>(wyprzedzenia.size()) / chciane : 0.0);
    std::printf("median lead before the hour: %lld s (%lld:%02lld); shortest %lld s\n", mediana, mediana / 60,
                mediana % 60, wyprzedzenia.empty() ? 0LL : static_cast<long long>(wyprzedzenia.front()));
    return static_cast<int>(wyprzedzenia.size()) == chciane ? 0 : 1;
}
