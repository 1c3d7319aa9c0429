#pragma once
// Synthetic station sounds for the demo, the tests and the benchmarks: a music-like bed, a
// spoken-like bulletin, an ending chime and sponsor jingles, written as 16-bit PCM WAV
// (libsndfile) or MP3 (LAME), and read back for checking. Deterministic: the same call gives
// the same samples. Header-only, so the tools and the benchmarks can share it.

#include <lame/lame.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolvak::dzwieki {

/// Interleaved 16-bit samples with their format.
struct Nagranie {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> probki;

    int64_t Ramki() const { return channels > 0 ? static_cast<int64_t>(probki.size()) / channels : 0; }
    int16_t Probka(int64_t ramka, int kanal) const {
        return probki[static_cast<size_t>(ramka * channels + kanal)];
    }
    /// Root mean square of frames [od, do) over all channels, as a fraction of full scale.
    double Rms(int64_t od, int64_t do_) const {
        od = std::clamp<int64_t>(od, 0, Ramki());
        do_ = std::clamp<int64_t>(do_, od, Ramki());
        double suma = 0;
        for (int64_t i = od * channels; i < do_ * channels; ++i) {
            const double v = probki[static_cast<size_t>(i)] / 32768.0;
            suma += v * v;
        }
        const int64_t n = (do_ - od) * channels;
        return n > 0 ? std::sqrt(suma / static_cast<double>(n)) : 0.0;
    }
};

namespace detail {
inline int16_t doInt16(double v) {
    v = std::clamp(v, -1.0, 1.0);
    return static_cast<int16_t>(std::lrint(v * 32767.0));
}
constexpr double kPi = std::numbers::pi;
}  // namespace detail

/// Music-like bed: a slowly changing chord with tremolo, a soft pulse every half second and a
/// little stereo spread; `glosnosc` is the peak level (fraction of full scale).
inline Nagranie Podklad(double sekundy, int rate = 44100, double glosnosc = 0.15, int channels = 2) {
    Nagranie n{rate, channels, {}};
    const int64_t ramki = static_cast<int64_t>(sekundy * rate);
    n.probki.resize(static_cast<size_t>(ramki * channels));
    const double akordy[4][3] = {{220.0, 277.18, 329.63},
                                 {196.0, 246.94, 293.66},
                                 {174.61, 220.0, 261.63},
                                 {196.0, 246.94, 311.13}};
    std::minstd_rand los(7);
    std::uniform_real_distribution<double> szum(-1.0, 1.0);
    for (int64_t i = 0; i < ramki; ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto& a = akordy[static_cast<int>(t / 2.0) % 4];
        double v = 0;
        for (double f : a) v += std::sin(2 * detail::kPi * f * t) + 0.3 * std::sin(4 * detail::kPi * f * t);
        v /= 4.0;
        v *= 0.8 + 0.2 * std::sin(2 * detail::kPi * 0.25 * t);
        const double faza = std::fmod(t, 0.5);
        v += 0.3 * std::exp(-faza * 30.0) * szum(los);
        for (int c = 0; c < channels; ++c) {
            const double pan = channels == 1 ? 1.0 : (c == 0 ? 0.9 + 0.1 * std::sin(t) : 0.9 - 0.1 * std::sin(t));
            n.probki[static_cast<size_t>(i * channels + c)] = detail::doInt16(glosnosc * v * pan);
        }
    }
    return n;
}

/// Spoken-like bulletin: voiced syllables (a gliding pitch with formant-weighted harmonics) at
/// about four per second, with word gaps and a pause every few seconds. Frames listed in
/// `ciszaOd`..`ciszaDo` (seconds) are exact silence, when given.
inline Nagranie Mowa(double sekundy, int rate = 44100, int channels = 2, double glosnosc = 0.5,
                     double ciszaOd = -1, double ciszaDo = -1) {
    Nagranie n{rate, channels, {}};
    const int64_t ramki = static_cast<int64_t>(sekundy * rate);
    n.probki.resize(static_cast<size_t>(ramki * channels));
    std::minstd_rand los(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double faza = 0;
    double f0 = 140, formant1 = 600, formant2 = 1500;
    int64_t nastepnaSylaba = 0, dlugoscSylaby = 1;
    bool przerwa = false;
    for (int64_t i = 0; i < ramki; ++i) {
        const double t = static_cast<double>(i) / rate;
        if (i >= nastepnaSylaba) {
            dlugoscSylaby = static_cast<int64_t>((0.15 + 0.15 * u(los)) * rate);
            nastepnaSylaba = i + dlugoscSylaby;
            przerwa = u(los) < 0.15 || std::fmod(t, 6.0) > 5.6;
            f0 = 110 + 70 * u(los);
            formant1 = 400 + 500 * u(los);
            formant2 = 1100 + 1200 * u(los);
        }
        const double wSylabie = 1.0 - static_cast<double>(nastepnaSylaba - i) / static_cast<double>(dlugoscSylaby);
        const double obwiednia = przerwa ? 0.0 : std::sin(detail::kPi * wSylabie);
        faza += 2 * detail::kPi * f0 * (1.0 + 0.05 * wSylabie) / rate;
        double v = 0;
        for (int h = 1; h <= 20; ++h) {
            const double fh = f0 * h;
            const double w = std::exp(-std::pow((fh - formant1) / 250.0, 2)) +
                             0.6 * std::exp(-std::pow((fh - formant2) / 350.0, 2)) + 0.05 / h;
            v += w * std::sin(faza * h);
        }
        v *= 0.35 * obwiednia;
        if (t >= ciszaOd && t < ciszaDo) v = 0;
        for (int c = 0; c < channels; ++c)
            n.probki[static_cast<size_t>(i * channels + c)] = detail::doInt16(glosnosc * v);
    }
    return n;
}

/// A chime of decaying partials (the station's ending).
inline Nagranie Zakonczenie(double sekundy, int rate = 44100, int channels = 2, double glosnosc = 0.4) {
    Nagranie n{rate, channels, {}};
    const int64_t ramki = static_cast<int64_t>(sekundy * rate);
    n.probki.resize(static_cast<size_t>(ramki * channels));
    const double nuty[3] = {523.25, 659.25, 783.99};
    for (int64_t i = 0; i < ramki; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (int k = 0; k < 3; ++k) {
            const double start = 0.25 * k;
            if (t >= start) v += std::exp(-(t - start) * 2.0) * std::sin(2 * detail::kPi * nuty[k] * (t - start));
        }
        for (int c = 0; c < channels; ++c)
            n.probki[static_cast<size_t>(i * channels + c)] = detail::doInt16(glosnosc * v / 3.0);
    }
    return n;
}

/// A sponsor jingle: two alternating tones around `czestotliwosc`.
inline Nagranie Dzingiel(double sekundy, double czestotliwosc, int rate = 44100, int channels = 2,
                         double glosnosc = 0.3) {
    Nagranie n{rate, channels, {}};
    const int64_t ramki = static_cast<int64_t>(sekundy * rate);
    n.probki.resize(static_cast<size_t>(ramki * channels));
    for (int64_t i = 0; i < ramki; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = static_cast<int>(t * 4) % 2 == 0 ? czestotliwosc : czestotliwosc * 1.5;
        const double v = std::sin(2 * detail::kPi * f * t) * std::min(1.0, (sekundy - t) * 10.0);
        for (int c = 0; c < channels; ++c)
            n.probki[static_cast<size_t>(i * channels + c)] = detail::doInt16(glosnosc * v);
    }
    return n;
}

/// A steady sine (for level checks).
inline Nagranie Ton(double sekundy, double czestotliwosc, double glosnosc, int rate = 44100,
                    int channels = 2) {
    Nagranie n{rate, channels, {}};
    const int64_t ramki = static_cast<int64_t>(sekundy * rate);
    n.probki.resize(static_cast<size_t>(ramki * channels));
    for (int64_t i = 0; i < ramki; ++i) {
        const double v = glosnosc * std::sin(2 * detail::kPi * czestotliwosc * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) n.probki[static_cast<size_t>(i * channels + c)] = detail::doInt16(v);
    }
    return n;
}

/// Writes a 16-bit PCM WAV file with the plain 44-byte header; the recording `powtorzenia`
/// times over (a long sound without computing all of it).
inline void ZapiszWav(const std::string& sciezka, const Nagranie& n, int powtorzenia = 1) {
    SF_INFO info{};
    info.samplerate = n.rate;
    info.channels = n.channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(sciezka.c_str(), SFM_WRITE, &info);
    if (f == nullptr) throw std::runtime_error("cannot create " + sciezka + ": " + sf_strerror(nullptr));
    const sf_count_t ramki = n.Ramki();
    bool ok = true;
    for (int r = 0; r < powtorzenia && ok; ++r) ok = sf_writef_short(f, n.probki.data(), ramki) == ramki;
    sf_close(f);
    if (!ok) throw std::runtime_error("cannot write " + sciezka);
}

/// Writes an MP3 file (constant bit rate, with the encoder's info frame so that decoders know
/// the exact length); the recording `powtorzenia` times over.
inline void ZapiszMp3(const std::string& sciezka, const Nagranie& n, int kbps = 128, int powtorzenia = 1) {
    std::unique_ptr<lame_global_flags, decltype(&lame_close)> l(lame_init(), &lame_close);
    if (!l) throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(l.get(), n.rate);
    lame_set_out_samplerate(l.get(), n.rate);
    lame_set_num_channels(l.get(), n.channels);
    lame_set_mode(l.get(), n.channels == 1 ? MONO : STEREO);
    lame_set_VBR(l.get(), vbr_off);
    lame_set_brate(l.get(), kbps);
    lame_set_bWriteVbrTag(l.get(), 1);
    lame_set_quality(l.get(), 7);
    if (lame_init_params(l.get()) < 0) throw std::runtime_error("lame_init_params failed");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(sciezka.c_str(), "w+b"), &std::fclose);
    if (!f) throw std::runtime_error("cannot create " + sciezka);
    const int64_t ramki = n.Ramki();
    constexpr int kKawalek = 8192;
    std::vector<unsigned char> wyjscie(static_cast<size_t>(1.25 * kKawalek + 7200));
    std::vector<int16_t> mono;
    const int64_t razem = ramki * powtorzenia;
    for (int64_t j = 0, ile = 0; j < razem; j += ile) {
        const int64_t i = j % ramki;
        ile = std::min<int64_t>(kKawalek, ramki - i);
        int w;
        if (n.channels == 1) {
            w = lame_encode_buffer(l.get(), n.probki.data() + i, nullptr, static_cast<int>(ile),
                                   wyjscie.data(), static_cast<int>(wyjscie.size()));
        } else {
            w = lame_encode_buffer_interleaved(l.get(), const_cast<short*>(n.probki.data() + i * 2),
                                               static_cast<int>(ile), wyjscie.data(),
                                               static_cast<int>(wyjscie.size()));
        }
        if (w < 0) throw std::runtime_error("lame_encode_buffer failed");
        std::fwrite(wyjscie.data(), 1, static_cast<size_t>(w), f.get());
    }
    const int w = lame_encode_flush(l.get(), wyjscie.data(), static_cast<int>(wyjscie.size()));
    if (w > 0) std::fwrite(wyjscie.data(), 1, static_cast<size_t>(w), f.get());
    std::vector<unsigned char> tag(4096);
    const size_t t = lame_get_lametag_frame(l.get(), tag.data(), tag.size());
    if (t > 0 && t <= tag.size()) {
        std::fseek(f.get(), 0, SEEK_SET);
        std::fwrite(tag.data(), 1, t, f.get());
    }
    if (std::fflush(f.get()) != 0) throw std::runtime_error("cannot write " + sciezka);
}

/// Reads any sound file libsndfile reads (WAV, MP3) as 16-bit samples, until the decoder
/// delivers nothing.
inline Nagranie Czytaj(const std::string& sciezka) {
    SF_INFO info{};
    SNDFILE* f = sf_open(sciezka.c_str(), SFM_READ, &info);
    if (f == nullptr) throw std::runtime_error("cannot read " + sciezka);
    Nagranie n{info.samplerate, info.channels, {}};
    std::vector<int16_t> bufor(static_cast<size_t>(4096 * info.channels));
    for (;;) {
        const sf_count_t r = sf_readf_short(f, bufor.data(), 4096);
        if (r <= 0) break;
        n.probki.insert(n.probki.end(), bufor.begin(), bufor.begin() + r * info.channels);
    }
    sf_close(f);
    return n;
}

}  // namespace tolvak::dzwieki
