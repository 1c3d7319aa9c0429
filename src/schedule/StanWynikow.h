#pragma once
// The state file's record of runs that did not end as they should: "OstBlad" + kind holds the
// kind's last failed run, "OstPowtorzony" + kind its last bulletin that was the previous
// delivery again, each "yyyy-MM-dd HH:mm:ss;HH;reason" (when, the two-digit hour it was for, the
// reason as logged without the operation prefix). A failure stands until the kind is delivered;
// a repeat until a different bulletin is delivered. So a restart, `--status` and the window
// tell the same story as the run did.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Okno.h"

namespace tolvak {

inline constexpr std::string_view TekstPowtorzonego = "Ten sam serwis co poprzednio.";

/// "OstBlad" + rodzaj.
std::string KluczOstBlad(std::string_view rodzaj);
/// "OstPowtorzony" + rodzaj.
std::string KluczOstPowtorzony(std::string_view rodzaj);

/// One entry as stored.
struct WpisWyniku {
    LocalTime kiedy;
    std::string godzina;  // "14"
    std::string powod;
};

/// "yyyy-MM-dd HH:mm:ss;HH;reason"; line breaks and other control characters of the reason
/// become blanks, so the entry stays one line.
std::string TekstWpisu(const LocalTime& kiedy, std::string_view godzina, std::string_view powod);
/// The entry of a stored value; std::nullopt for one that is not in that form.
std::optional<WpisWyniku> CzytajWpis(std::string_view wartosc);

/// Records the outcome of a run that ended at `kiedy`: a failure writes OstBlad; a repeat writes
/// OstPowtorzony (and, delivered, removes OstBlad); a delivery of a different bulletin removes
/// both. Throws what the state file's write throws.
void ZapiszWynik(const std::filesystem::path& dat, const WynikAkcji& wynik, const LocalTime& kiedy);

/// The failures and repeats that stand in the state file, kind by kind (News, Sport, Ekonomia,
/// Pogoda; a failure before a repeat of the same kind). Unreadable entries are left out.
std::vector<WynikAkcji> StojaceWyniki(const std::filesystem::path& dat);

}  // namespace tolvak
