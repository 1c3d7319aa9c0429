#pragma once
// What a source knows of the bulletin it would fetch for the coming hour: evidence that it is
// that hour's (a ZPR file dated today, an Agora disposition naming the hour, a feed title with
// the hour, a local file newer than its last copy), evidence that it is not, or nothing either
// way. The sources only report; what the check cycle and the intervention do with it is the
// scheduler's business.

#include <string>
#include <utility>

namespace tolvak {

struct Swiezosc {
    enum class Ocena { Aktualny, Nieaktualny, Nieznany };
    Ocena ocena = Ocena::Nieznany;
    /// For Nieaktualny: why, in words fit for the log.
    std::string powod;

    static Swiezosc Aktualny() { return {Ocena::Aktualny, {}}; }
    static Swiezosc Nieaktualny(std::string powod) { return {Ocena::Nieaktualny, std::move(powod)}; }
    static Swiezosc Nieznany() { return {}; }
    bool CzyAktualny() const { return ocena == Ocena::Aktualny; }
};

/// The general news sources in the production run's fetch order: the IAR feed, the local file,
/// the ZPR server, then the package service (its account set), the Agora news service (its
/// login set) or the package service's direct address.
enum class ZrodloNews { IAR, ZPliku, ZPR, Zet, Agora };

}  // namespace tolvak
