#include "audio/OgranicznikSzczytu.h"

#include <algorithm>
#include <cmath>

namespace tolvak::audiolib {

namespace {

// A fall of 12 dB takes 10 ms: steep enough for any peak, slow enough not to click.
constexpr double kSpadekDb = 12.0, kSpadekSekundy = 0.010;
// The reduction decays with a time constant of 100 ms, as a broadcast limiter's release.
constexpr double kPowrotSekundy = 0.100;

}  // namespace

OgranicznikSzczytu::OgranicznikSzczytu(int sampleRate) {
    const double blok = static_cast<double>(kRamkiBloku) / std::max(1, sampleRate);
    spadekNaBlok_ = kSpadekDb * blok / kSpadekSekundy;
    powrotNaBlok_ = std::exp(-blok / kPowrotSekundy);
}

std::vector<float> OgranicznikSzczytu::Krzywa(std::span<const float> szczyty, double wzmocnienie,
                                              double sufit) const {
    const std::size_t n = szczyty.size();
    // The reduction each block needs, in dB (0 or below). The detector's interpolation reaches
    // a block's neighbours, so each block also answers for theirs.
    std::vector<double> db(n, 0.0);
    for (std::size_t b = 0; b < n; ++b) {
        float s = szczyty[b];
        if (b > 0) s = std::max(s, szczyty[b - 1]);
        if (b + 1 < n) s = std::max(s, szczyty[b + 1]);
        const double szczyt = wzmocnienie * s;
        if (szczyt > sufit) db[b] = 20.0 * std::log10(sufit / szczyt);
    }
    // Before a peak: the gain falls at most spadekNaBlok_ per block, so it starts early enough.
    for (std::size_t b = n; b-- > 1;) db[b - 1] = std::min(db[b - 1], db[b] + spadekNaBlok_);
    // After it: the reduction decays with the release time.
    for (std::size_t b = 1; b < n; ++b) db[b] = std::min(db[b], db[b - 1] * powrotNaBlok_);
    // At a boundary the lower of the two blocks' gains, so that the interpolation inside a
    // block never rises above that block's own gain.
    std::vector<float> krzywa(n + 1, 1.0f);
    for (std::size_t b = 0; b <= n; ++b) {
        double d = 0.0;
        if (b < n) d = db[b];
        if (b > 0) d = std::min(d, db[b - 1]);
        krzywa[b] = static_cast<float>(std::pow(10.0, d / 20.0));
    }
    return krzywa;
}

void OgranicznikSzczytu::Zastosuj(std::span<float> ramki, int kanaly, int64_t pierwsza,
                                  std::span<const float> krzywa, float wzmocnienie) {
    const auto ch = static_cast<std::size_t>(kanaly);
    const std::size_t liczba = ramki.size() / ch;
    const auto K = static_cast<int64_t>(kRamkiBloku);
    for (std::size_t i = 0; i < liczba; ++i) {
        const int64_t ramka = pierwsza + static_cast<int64_t>(i);
        const auto b = static_cast<std::size_t>(ramka / K);
        float g = 1.0f;
        if (b + 1 < krzywa.size()) {
            const float t = static_cast<float>(ramka % K) / static_cast<float>(K);
            g = krzywa[b] + (krzywa[b + 1] - krzywa[b]) * t;
        } else if (!krzywa.empty()) {
            g = krzywa.back();
        }
        g *= wzmocnienie;
        for (std::size_t c = 0; c < ch; ++c) ramki[i * ch + c] *= g;
    }
}

}  // namespace tolvak::audiolib
