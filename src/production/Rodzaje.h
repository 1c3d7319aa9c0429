#pragma once
// The bulletin kinds, the station's sounds of each kind, the work files of a production run and
// the file size query.

#include <cstdint>
#include <string>
#include <string_view>

#include "sources/Pliki.h"

namespace tolvak {

struct Ustawienia;

// The four kinds, compared exactly.
inline constexpr std::string_view kNews = "News";
inline constexpr std::string_view kSport = "Sport";
inline constexpr std::string_view kEkonomia = "Ekonomia";
inline constexpr std::string_view kPogoda = "Pogoda";

// Work files in the program folder.
inline constexpr const char* kTvVoice = "tvvoice.wav";
inline constexpr const char* kTvTemp = "tvtemp.wav";
inline constexpr const char* kTvTemp2 = "tvtemp2.wav";
inline constexpr const char* kTvEnd = "tvend.wav";
inline constexpr const char* kTvSerwis = "tvserwis.mp3";
inline constexpr const char* kTvTfn = "tvtfn.wav";
// Stem of the fetched file in the working directory ("tvss" + extension).
inline constexpr const char* kTvSs = "tvss";

/// Bed, ending, mix point and name prefix of one kind.
struct DzwiekiRodzaju {
    std::string Podklad;      // full path or empty: no bed
    std::string Zakonczenie;  // full path or empty: no ending
    int64_t PunktMixu = 0;    // sample frames of the decoded bed before the bulletin starts
    std::string Prefiks;      // "N_", "S_", "E_", "P_"; empty for an unknown kind
};

/// The sounds of `rodzaj`; a text other than the four kinds gives no sounds, mix point 0 and
/// the empty prefix.
DzwiekiRodzaju DzwiekiDlaRodzaju(const Ustawienia& ustawienia, std::string_view rodzaj);

}  // namespace tolvak
