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
// The weather sponsors converted to the bulletin's format, one per sponsor key (1 to 6).
inline constexpr const char* kTvSponsor[6] = {"tvspons1.wav", "tvspons2.wav", "tvspons3.wav",
                                              "tvspons4.wav", "tvspons5.wav", "tvspons6.wav"};

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

/// The longest silent gap before the bulletin that a mix point beyond the bed's end may leave.
inline constexpr int kNajdluzszaPrzerwaSekundy = 60;

/// The mix point as the mixer uses it, for a bed of `ramkiPodkladu` frames at `czestotliwosc`
/// Hz: a negative one counts as 0, one more than kNajdluzszaPrzerwaSekundy beyond the bed's end
/// as the bed's end; any other stays as stored.
int64_t PunktMixuWPodkladzie(int64_t punkt, int64_t ramkiPodkladu, int czestotliwosc);

/// Moves the work file `z` to the name `cel`, replacing a file there. Throws the error of
/// platform/Bledy.h naming `cel` ("Nie można zastąpić pliku X: ...").
void PrzeniesPlik(const std::string& z, const std::string& cel);

}  // namespace tolvak
