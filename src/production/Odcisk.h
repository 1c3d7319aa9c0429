#pragma once
// What the run looks at in the decoded bulletin before it builds on it: whether there is a
// bulletin at all (a provider still writing its file, a cut-off download), and whether it is the
// same one that the kind's last delivery carried (a late provider's previous hour, which the
// intervention would otherwise put on air as the coming hour's). The fingerprint is a SHA-256
// of the decoded samples with their rate and channel count, kept in "tolvak.dat" under
// "OstOdcisk" + kind.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

/// The run's decision on the decoded bulletin `tvvoice` of `rodzaj`. Logs
/// "AkcjaSerwis: Pobrany serwis jest pusty lub za krótki." for less than one second of audio
/// (false), "AkcjaSerwis: Ten sam serwis co poprzednio." when its fingerprint is the one of the
/// kind's last delivery (false with `odrzucPowtorzony`, else true). `odcisk` receives the
/// fingerprint, for the record after the delivery; `powtorzony`, when given, whether it was the
/// last delivery's.
bool PrzyjmijPobrany(const std::string& tvvoice, const std::filesystem::path& dat,
                     std::string_view rodzaj, bool odrzucPowtorzony, Log& log, std::string& odcisk,
                     bool* powtorzony = nullptr);

/// After a delivery: the fingerprint and the delivered path under "OstOdcisk" and "OstPlik" +
/// kind. A failed write is logged ("AkcjaSerwis: " + reason); the delivery stands.
void ZapiszSladDostarczenia(const std::filesystem::path& dat, std::string_view rodzaj,
                            const std::string& odcisk, const std::string& sciezka, Log& log);

}  // namespace tolvak
