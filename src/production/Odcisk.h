#pragma once
// What the run looks at in the decoded bulletin before it builds on it: whether there is a
// bulletin at all (a provider still writing its file, a cut-off download), and whether it is the
// same one that the kind's last delivery carried (a late provider's previous hour, which the
// intervention would otherwise put on air as the coming hour's). The fingerprint is a SHA-256
// of the decoded samples with their rate and channel count, kept in "tolvak.dat" under
// "OstOdcisk" + kind; "OstOdciski" + kind lists the fingerprints of the kind's deliveries of the
// last 24 hours ("yyyyMMddHHmmss:" + fingerprint, newest first, separated by ",").

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace tolvak {

class Log;

/// A decoded bulletin: its length and its fingerprint (64 hexadecimal digits).
struct ObrazSerwisu {
    int64_t ramki = 0;
    int rate = 0;
    std::string odcisk;
};

/// Decodes `wav` once. std::nullopt when it does not exist or does not decode; a read error
/// throws EFOpenError.
std::optional<ObrazSerwisu> ObejrzyjSerwis(const std::string& wav);

/// "OstOdcisk" + rodzaj.
std::string KluczOstOdcisk(std::string_view rodzaj);

/// "OstOdciski" + rodzaj.
std::string KluczOstOdciski(std::string_view rodzaj);

/// The fingerprints of the kind's deliveries within the 24 hours before `teraz`, newest first.
std::vector<std::string> OstatnieOdciski(const std::filesystem::path& dat, std::string_view rodzaj,
                                         const LocalTime& teraz);

/// What the run does with a fetched bulletin.
enum class Przyjecie {
    Odrzuc,      // not delivered: nothing there, or a repeat that must not go on air again
    Przyjmij,    // a new bulletin
    Tymczasowo,  // a repeat, delivered while the hour stays open for a different one
};

/// Who started the run: the operator (or a command), the check cycle or the intervention at
/// minute 59, which never airs a repeat.
enum class TrybAkcji { Reczny, Cykl, Interwencja };

/// How the run was started.
struct OkolicznosciPrzyjecia {
    bool odrzucPowtorzony = false;
    TrybAkcji tryb = TrybAkcji::Reczny;
    std::string stempel;  // the coming-hour stamp the run delivers for
    LocalTime teraz;
};

/// The run's decision on the decoded bulletin `tvvoice` of `rodzaj`. Logs
/// "AkcjaSerwis: Pobrany serwis jest pusty lub za krótki." for less than one second of audio.
/// A bulletin whose fingerprint is the kind's last delivery's logs "AkcjaSerwis: Ten sam serwis
/// co poprzednio.", one delivered earlier within 24 hours "AkcjaSerwis: Ten sam serwis co
/// nadany w ciągu ostatnich 24 godzin."; such a repeat is refused with `odrzucPowtorzony`, by
/// the intervention ("Interwencyjne pobranie przerwane - serwis nieaktualny: " + why) and by the
/// check cycle when the hour already carries a provisional delivery (the cycle fetches again
/// only to find a different one), else delivered provisionally. `odcisk`
/// receives the fingerprint, for the record after the delivery; `powtorzony`, when given,
/// whether the bulletin was such a repeat.
Przyjecie PrzyjmijPobrany(const std::string& tvvoice, const std::filesystem::path& dat,
                          std::string_view rodzaj, const OkolicznosciPrzyjecia& o, Log& log,
                          std::string& odcisk, bool* powtorzony = nullptr);
/// The same decision for a fingerprint already taken.
Przyjecie PrzyjmijOdcisk(const std::string& odcisk, const std::filesystem::path& dat,
                         std::string_view rodzaj, const OkolicznosciPrzyjecia& o, Log& log);

/// After a delivery at `teraz`: the fingerprint and the delivered path under "OstOdcisk" and
/// "OstPlik" + kind, the fingerprint added to "OstOdciski" + kind, and "OstTymczasowy" + kind
/// set to `stempel` for a provisional delivery or removed for a new bulletin. A failed write is
/// logged ("AkcjaSerwis: " + reason); the delivery stands.
void ZapiszSladDostarczenia(const std::filesystem::path& dat, std::string_view rodzaj,
                            const std::string& odcisk, const std::string& sciezka, Log& log,
                            const LocalTime& teraz, Przyjecie przyjecie, const std::string& stempel);

}  // namespace tolvak
