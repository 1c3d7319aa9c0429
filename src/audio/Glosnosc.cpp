#include "audio/Glosnosc.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <memory>
#include <new>
#include <vector>

#include "audio/DecodeStream.h"
#include "audio/OgranicznikSzczytu.h"
#include "audio/WavFileWriter.h"

namespace tolvak {

namespace {

using audiolib::OgranicznikSzczytu;

constexpr std::size_t kRamkiOdczytu = 4096;  // a multiple of the limiter's block
static_assert(kRamkiOdczytu % OgranicznikSzczytu::kRamkiBloku == 0);
// The limiter aims this far below the ceiling: the detector sees the signal before the gain
// curve, which widens its spectrum a little.
constexpr double kZapasSzczytuDb = 0.2;
// The gain is refined until the loudness is this close to the target.
constexpr double kDokladnoscLu = 0.1;
constexpr int kPrzebiegiWzmocnienia = 5;
constexpr int kPrzebiegiZapisu = 3;
// No bulletin needs more: beyond it the file holds almost nothing but noise.
constexpr double kMaksWzmocnienieDb = 40.0;

struct ZwolnijStan {
    void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};
using Stan = std::unique_ptr<ebur128_state, ZwolnijStan>;

Stan NowyStan(int kanaly, int rate, int tryb) {
    Stan st(ebur128_init(static_cast<unsigned>(kanaly), static_cast<unsigned long>(rate), tryb));
    if (!st) throw std::bad_alloc();
    // A mono bulletin plays on both loudspeakers.
    if (kanaly == 1) ebur128_set_channel(st.get(), 0, EBUR128_DUAL_MONO);
    return st;
}

double Db(double liniowo) { return liniowo > 0 ? 20.0 * std::log10(liniowo) : -HUGE_VAL; }

PomiarGlosnosci Wynik(ebur128_state* st, int kanaly) {
    PomiarGlosnosci p;
    p.lufs = -HUGE_VAL;
    ebur128_loudness_global(st, &p.lufs);
    ebur128_loudness_range(st, &p.zakres);
    double szczyt = 0;
    for (int c = 0; c < kanaly; ++c) {
        double s = 0;
        if (ebur128_true_peak(st, static_cast<unsigned>(c), &s) == EBUR128_SUCCESS) szczyt = std::max(szczyt, s);
    }
    p.szczyt = Db(szczyt);
    return p;
}

/// Reads a file through the decoder block by block.
class Odczyt {
public:
    explicit Odczyt(const std::string& plik) : zrodlo_(audiolib::OpenDecoder(plik)) {
        if (zrodlo_) bufor_.resize(kRamkiOdczytu * static_cast<std::size_t>(zrodlo_->Channels()));
    }
    explicit operator bool() const { return zrodlo_ != nullptr; }
    int Kanaly() const { return zrodlo_->Channels(); }
    int Rate() const { return zrodlo_->SampleRate(); }
    /// The next block as interleaved floats; empty at the end.
    std::span<float> Nastepny() {
        const std::size_t n = zrodlo_->Active() ? zrodlo_->Read(std::span<float>(bufor_)) : 0;
        if (n == 0) zrodlo_->CheckRead();
        return std::span<float>(bufor_.data(), n * static_cast<std::size_t>(Kanaly()));
    }

private:
    std::unique_ptr<audiolib::PcmSource> zrodlo_;
    std::vector<float> bufor_;
};

/// The first reading of the file: its loudness and the true peak of every limiter block.
struct Analiza {
    PomiarGlosnosci pomiar;
    std::vector<float> szczyty;
    int kanaly = 0, rate = 0;
};

std::optional<Analiza> Analizuj(const std::string& plik) {
    Odczyt o(plik);
    if (!o) return std::nullopt;
    Analiza a;
    a.kanaly = o.Kanaly();
    a.rate = o.Rate();
    const Stan st = NowyStan(a.kanaly, a.rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    const auto ch = static_cast<std::size_t>(a.kanaly);
    const std::size_t K = OgranicznikSzczytu::kRamkiBloku;
    // Blocks are counted from the file's first frame, whatever size the reads come in.
    std::size_t wBloku = 0;
    double szczyt = 0;
    for (std::span<float> blok = o.Nastepny(); !blok.empty(); blok = o.Nastepny()) {
        for (std::size_t i = 0; i < blok.size();) {
            const std::size_t ramki = std::min(K - wBloku, (blok.size() - i) / ch);
            ebur128_add_frames_float(st.get(), blok.data() + i, ramki);
            for (std::size_t c = 0; c < ch; ++c) {
                double s = 0;
                ebur128_prev_true_peak(st.get(), static_cast<unsigned>(c), &s);
                szczyt = std::max(szczyt, s);
            }
            i += ramki * ch;
            wBloku += ramki;
            if (wBloku == K) {
                a.szczyty.push_back(static_cast<float>(szczyt));
                wBloku = 0;
                szczyt = 0;
            }
        }
    }
    if (wBloku > 0) a.szczyty.push_back(static_cast<float>(szczyt));
    a.pomiar = Wynik(st.get(), a.kanaly);
    return a;
}

/// The integrated loudness of the file with the gain and the curve applied.
double ZmierzZKrzywa(const std::string& plik, const Analiza& a, std::span<const float> krzywa,
                     float wzmocnienie) {
    Odczyt o(plik);
    if (!o) return -HUGE_VAL;
    const Stan st = NowyStan(a.kanaly, a.rate, EBUR128_MODE_I);
    const auto ch = static_cast<std::size_t>(a.kanaly);
    int64_t ramka = 0;
    for (std::span<float> blok = o.Nastepny(); !blok.empty(); blok = o.Nastepny()) {
        OgranicznikSzczytu::Zastosuj(blok, a.kanaly, ramka, krzywa, wzmocnienie);
        ebur128_add_frames_float(st.get(), blok.data(), blok.size() / ch);
        ramka += static_cast<int64_t>(blok.size() / ch);
    }
    double lufs = -HUGE_VAL;
    ebur128_loudness_global(st.get(), &lufs);
    return lufs;
}

/// Writes the file with the gain and the curve applied into `cel`, measuring what it writes.
/// A failed write throws; `cel` then stays as it was.
std::optional<PomiarGlosnosci> Zapisz(const std::string& plik, const std::string& cel,
                                      const Analiza& a, std::span<const float> krzywa,
                                      float wzmocnienie) {
    Odczyt o(plik);
    if (!o) return std::nullopt;
    auto wav = audiolib::WavFileWriter::Create(cel, a.rate, a.kanaly);
    if (!wav) return std::nullopt;
    const Stan st = NowyStan(a.kanaly, a.rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    const auto ch = static_cast<std::size_t>(a.kanaly);
    std::vector<int16_t> pcm(kRamkiOdczytu * ch);
    int64_t ramka = 0;
    for (std::span<float> blok = o.Nastepny(); !blok.empty(); blok = o.Nastepny()) {
        OgranicznikSzczytu::Zastosuj(blok, a.kanaly, ramka, krzywa, wzmocnienie);
        const std::span<int16_t> wyjscie(pcm.data(), blok.size());
        audiolib::FloatTo16(blok, wyjscie);
        // What is measured is what goes into the file.
        ebur128_add_frames_short(st.get(), wyjscie.data(), blok.size() / ch);
        wav->Write(wyjscie);
        ramka += static_cast<int64_t>(blok.size() / ch);
    }
    wav->Commit();
    return Wynik(st.get(), a.kanaly);
}

}  // namespace

std::string TekstWartosci(double v, const char* jednostka, bool plus) {
    if (std::isinf(v)) return std::string(v < 0 ? "\u2212\u221e " : "\u221e ") + jednostka;
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", std::fabs(v));
    const bool zero = std::string_view(b) == "0.0";
    const char* znak = zero ? "" : v < 0 ? "\u2212" : plus ? "+" : "";
    return std::string(znak) + b + " " + jednostka;
}

std::string TekstPomiaru(const PomiarGlosnosci& p) {
    return TekstWartosci(p.lufs, "LUFS") + ", zakres " + TekstWartosci(p.zakres, "LU") + ", szczyt " +
           TekstWartosci(p.szczyt, "dBTP");
}

std::optional<PomiarGlosnosci> ZmierzGlosnosc(const std::string& plik) {
    Odczyt o(plik);
    if (!o) return std::nullopt;
    const Stan st = NowyStan(o.Kanaly(), o.Rate(), EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    const auto ch = static_cast<std::size_t>(o.Kanaly());
    for (std::span<float> blok = o.Nastepny(); !blok.empty(); blok = o.Nastepny())
        ebur128_add_frames_float(st.get(), blok.data(), blok.size() / ch);
    return Wynik(st.get(), o.Kanaly());
}

std::optional<KorektaGlosnosci> UstawGlosnosc(const std::string& plik, double celLufs,
                                              double szczytMaxDbtp, Okno& okno) {
    okno.setAction("Korekta głośności...");
    okno.processMessages();
    const std::optional<Analiza> a = Analizuj(plik);
    if (!a) return std::nullopt;
    KorektaGlosnosci k;
    k.przed = k.po = a->pomiar;
    if (!std::isfinite(a->pomiar.lufs)) return k;  // below the gate: no loudness to correct

    const OgranicznikSzczytu ogranicznik(a->rate);
    double zapas = kZapasSzczytuDb;
    double wzmocnienie = std::min(celLufs - a->pomiar.lufs, kMaksWzmocnienieDb);
    std::vector<float> krzywa;
    auto liczKrzywa = [&] {
        krzywa = ogranicznik.Krzywa(a->szczyty, std::pow(10.0, wzmocnienie / 20.0),
                                    std::pow(10.0, (szczytMaxDbtp - zapas) / 20.0));
    };
    // The limiter takes away loudness where it works: raise the gain until the limited file
    // reaches the target (the ceiling wins where both cannot be had).
    for (int i = 0; i < kPrzebiegiWzmocnienia; ++i) {
        liczKrzywa();
        const double lufs = ZmierzZKrzywa(plik, *a, krzywa, static_cast<float>(std::pow(10.0, wzmocnienie / 20.0)));
        const double brak = celLufs - lufs;
        if (!std::isfinite(lufs) || std::fabs(brak) <= kDokladnoscLu) break;
        const double nowe = std::min(wzmocnienie + brak, kMaksWzmocnienieDb);
        if (std::fabs(nowe - wzmocnienie) < 0.01) break;  // the limiter holds it back
        wzmocnienie = nowe;
    }
    liczKrzywa();
    // The corrected file goes beside the original and replaces it once its peak is right, so a
    // second attempt still starts from the original.
    const std::string nowy = plik + ".glosnosc";
    std::error_code ec;
    for (int i = 0;; ++i) {
        std::optional<PomiarGlosnosci> po;
        try {
            po = Zapisz(plik, nowy, *a, krzywa, static_cast<float>(std::pow(10.0, wzmocnienie / 20.0)));
        } catch (const std::exception&) {
            po.reset();  // a full disk: the bulletin goes out uncorrected
        }
        if (!po) {
            std::filesystem::remove(nowy, ec);
            return std::nullopt;
        }
        k.po = *po;
        if (k.po.szczyt <= szczytMaxDbtp || i + 1 == kPrzebiegiZapisu) break;
        // Rare: the written file's peak still overshoots. Aim lower.
        zapas += k.po.szczyt - szczytMaxDbtp + 0.1;
        liczKrzywa();
    }
    std::filesystem::rename(nowy, plik, ec);
    if (ec) {
        std::filesystem::remove(nowy, ec);
        return std::nullopt;
    }
    k.wzmocnienie = wzmocnienie;
    k.zmieniono = true;
    return k;
}

}  // namespace tolvak
