#pragma once
// The mix point editor's arithmetic, free of the window: the bed's waveform columns, the track
// bar's scale and the conversions between track bar positions and mix points (sample frames).

#include <cstdint>
#include <string>
#include <vector>

namespace tolvak {

class TAuInput;

namespace podklad {

/// One pixel column of the waveform: the mean of the 8-bit samples below 128 and of those from
/// 128 up (128 is silence).
struct TKolumna {
    uint8_t low = 0;
    uint8_t high = 0;
    bool operator==(const TKolumna&) const = default;
};

/// The waveform over W columns, read from an 8-bit mono input (the converter over the bed): it
/// is started, read in blocks of up to 1024 bytes to its end, and flushed. Each column closes
/// when an accumulator that starts at the input's size and loses W per byte reaches 0, so the
/// last one closes at the last byte; columns never closed stay (0, 0).
std::vector<TKolumna> Przebieg(TAuInput& Mono8, int W);

/// The integer nearest to x, a half going to the even neighbour.
int64_t Najblizsza(double x);

/// The track bar's maximum: ten steps a second over the bed's T whole seconds. A bed shorter
/// than half a second (T = 0) gets a step for every tenth of a second begun, so that every
/// frame can still be reached; an empty bed gets 0.
int64_t MaksimumSuwaka(int64_t T, int64_t N, int SampleRate);

/// The mix point of track bar position P on a scale of M steps over a bed of N frames:
/// nearest(N * P / M), the product exact in 64 bits, the division in floating point. 0 when
/// the scale is empty.
int64_t PunktZPozycji(int64_t P, int64_t M, int64_t N);

/// The track bar position that shows mix point X: nearest(M * X / N), kept within 0 to M.
int64_t PozycjaZPunktu(int64_t X, int64_t M, int64_t N);

/// Frame `ramka` of a bed at `SampleRate` as minutes, seconds and hundredths ("0:27.80"; the
/// minutes go on past 59, "60:00.00"), the hundredths taken to the nearest.
std::string CzasRamki(int64_t ramka, int SampleRate);

}  // namespace podklad
}  // namespace tolvak
