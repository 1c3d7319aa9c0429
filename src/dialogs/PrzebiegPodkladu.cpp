#include "dialogs/PrzebiegPodkladu.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "audio/AuInputs.h"

namespace tolvak::podklad {

std::vector<TKolumna> Przebieg(TAuInput& Mono8, int W) {
    std::vector<TKolumna> values(static_cast<size_t>(std::max(W, 0)));
    Mono8.Init();
    struct Flush {
        TAuInput& in;
        ~Flush() {
            try {
                in.Flush();
            } catch (...) {
            }
        }
    } flush{Mono8};
    const int64_t S = Mono8.Size();
    int64_t A = S;
    size_t i = 0;
    int64_t low = 0, high = 0, c = 0;
    std::array<uint8_t, 1024> block{};
    for (;;) {
        bool end = false;
        const int64_t n = Mono8.FillBuffer(block.data(), static_cast<int64_t>(block.size()), end);
        if (n <= 0) break;
        for (int64_t k = 0; k < n; ++k) {
            const uint8_t b = block[static_cast<size_t>(k)];
            A -= W;
            if (b >= 128)
                high += b;
            else
                low += b;
            ++c;
            if (A <= 0) {
                if (i < values.size()) values[i++] = {static_cast<uint8_t>(low / c), static_cast<uint8_t>(high / c)};
                low = high = c = 0;
                A += S;
            }
        }
    }
    return values;
}

int64_t Najblizsza(double x) { return static_cast<int64_t>(std::nearbyint(x)); }

int64_t MaksimumSuwaka(int64_t T, int64_t N, int SampleRate) {
    if (T > 0) return 10 * T;
    if (N <= 0 || SampleRate <= 0) return 0;
    return (N * 10 + SampleRate - 1) / SampleRate;
}

int64_t PunktZPozycji(int64_t P, int64_t M, int64_t N) {
    if (M <= 0) return 0;
    return Najblizsza(static_cast<double>(N * P) / static_cast<double>(M));
}

int64_t PozycjaZPunktu(int64_t X, int64_t M, int64_t N) {
    if (N <= 0 || M <= 0) return 0;
    return std::clamp<int64_t>(Najblizsza(static_cast<double>(M * X) / static_cast<double>(N)), 0, M);
}

std::string CzasRamki(int64_t ramka, int SampleRate) {
    if (SampleRate <= 0) return "0:00.00";
    const int64_t setne = std::max<int64_t>(Najblizsza(static_cast<double>(ramka) * 100 / SampleRate), 0);
    char tekst[32];
    std::snprintf(tekst, sizeof tekst, "%lld:%02lld.%02lld", static_cast<long long>(setne / 6000),
                  static_cast<long long>(setne / 100 % 60), static_cast<long long>(setne % 100));
    return tekst;
}

}  // namespace tolvak::podklad
