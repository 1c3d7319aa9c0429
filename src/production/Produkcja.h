#pragma once
// The production run: fetch one bulletin of one kind, assemble the finished programme item
// (decode, compress, lay over the bed, cut, append the ending, compress, weather sponsors,
// MP3), deliver it into the output folder and record the delivery.

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "audio/AudioMixer.h"
#include "audio/MP3Out.h"
#include "audio/WaveIn.h"
#include "audio/WaveOut.h"
#include "platform/Clock.h"
#include "platform/Okno.h"
#include "production/Odcisk.h"

namespace tolvak {

struct Ustawienia;
class Log;
class ZrodlaSerwisow;

/// What a run works with: the live settings record, the program folder (configuration, state
/// file, work files), the working directory (where the fetched "tvss…" file lands), the log,
/// the clock, the window and the sources.
struct KontekstProdukcji {
    Ustawienia& ustawienia;
    std::filesystem::path folderProgramu;
    std::filesystem::path folderRoboczy;
    Log& log;
    const Clock& clock;
    Okno& okno;
    ZrodlaSerwisow& zrodla;
};

class Produkcja {
public:
    explicit Produkcja(KontekstProdukcji kontekst);
    ~Produkcja();
    Produkcja(const Produkcja&) = delete;
    Produkcja& operator=(const Produkcja&) = delete;

    /// The production run for `rodzaj` ("News", "Sport", "Ekonomia", "Pogoda"); `FileNameLink`
    /// is the package service's link for "Sport" and "Ekonomia", else empty. Returns true when
    /// the bulletin was delivered and recorded. Never throws: an error that ends the assembly
    /// early is logged as "AkcjaSerwis: " + its message, the blinking is stopped and the work
    /// files stay for inspection.
    /// Its outcome, with the failure's reason, is recorded in "tolvak.dat" (OstBlad and
    /// OstPowtorzony + kind) and shown through the window's setRunOutcome.
    /// `tryb`: who started the run; the intervention at minute 59 never delivers a bulletin
    /// already delivered within 24 hours (production/Odcisk.h).
    bool AkcjaSerwis(const std::string& rodzaj, const std::string& FileNameLink = {},
                     TrybAkcji tryb = TrybAkcji::Reczny);

    /// How the last run ended.
    const WynikAkcji& OstatniWynik() const { return wynik_; }

    /// With a file set, the run skips the fetch and takes a copy of this file as the fetched
    /// bulletin (the file itself is never changed or deleted). A file that already is the
    /// fetched work file ("tvss" + its extension in the working folder) is used in place and
    /// kept; one of the program folder's work files, which the run overwrites, is refused.
    /// std::nullopt returns to the sources.
    void SetPlikWejsciowy(std::optional<std::string> plik) { plikWejsciowy_ = std::move(plik); }
    const std::optional<std::string>& PlikWejsciowy() const { return plikWejsciowy_; }

    /// The path the last run copied the finished bulletin to; empty when it copied nothing.
    const std::string& SciezkaDostarczenia() const { return sciezkaDostarczenia_; }

    /// Full path of a work file in the program folder.
    std::string PlikRoboczy(const char* nazwa) const;

    /// The connectivity test of step 1 (CzyJestInternet unless replaced).
    std::function<bool()> TestPolaczenia;

    /// Called with the finished file just before its hand-off check, so that a test can damage
    /// it as a full disk or a broken encoder run would. Unset in the program.
    std::function<void(const std::string&)> PrzedPrzekazaniem;

    TWaveIn& WaveIn1() { return WaveIn1_; }
    TWaveIn& WaveIn2() { return WaveIn2_; }
    TAudioMixer& AudioMixer1() { return AudioMixer1_; }
    TWaveOut& WaveOut1() { return WaveOut1_; }
    TMP3Out& MP3Out1() { return MP3Out1_; }

private:
    bool Przebieg(const std::string& rodzaj, const std::string& FileNameLink);
    /// Logs "AkcjaSerwis: " + powod and keeps it as the reason the run failed.
    void Nieudane(const std::string& powod);
    /// Records and shows the outcome of the run that has just ended.
    void ZglosWynik(bool dostarczono);
    std::string Pobierz(const std::string& rodzaj, const std::string& FileNameLink);
    std::string PobierzZPlikuWejsciowego();
    /// Steps 6 to 15; returns whether the delivery succeeded.
    bool Montaz(const std::string& rodzaj, const std::string& pobrany);
    /// One pass of WaveOut1 from `wejscie` into "tvtemp2.wav", which then replaces "tvtemp.wav".
    void PrzebiegZapisu(TAuInput& wejscie);
    void CzekajNaZakonczenie();
    void Dostarcz(const std::string& rodzaj, const std::string& prefiks,
                  const std::string& doDostarczenia, bool& dostarczono);
    /// The verified hand-off: delivers `doDostarczenia` only when it decodes back in full to
    /// the `ramki` frames the assembly produced, and then records its fingerprint.
    void PrzekazSprawdzony(const std::string& rodzaj, const std::string& prefiks,
                           const std::string& doDostarczenia, int64_t ramki,
                           const std::string& odcisk, Przyjecie przyjecie, bool& dostarczono);
    void UsunJesliJest(const std::string& sciezka) const;

    void WaveOut1Done(TAuOutput* Sender);
    void MP3Out1Done(TAuOutput* Sender);
    void MP3Out1Progress(TAuOutput* Sender);

    KontekstProdukcji k_;
    std::string znacznik_;  // the program folder's mark on its temporary files
    std::optional<std::string> plikWejsciowy_;
    bool zachowajPobrany_ = false;  // the fetched file is the operator's own: never deleted
    std::string sciezkaDostarczenia_;
    std::atomic<bool> zakonczone_{false};
    TrybAkcji tryb_ = TrybAkcji::Reczny;
    LocalTime poczatek_;  // the start of the run under way: names and records its hour
    WynikAkcji wynik_;

    // Inputs before outputs: the outputs (and their workers) go first.
    TWaveIn WaveIn1_;
    TWaveIn WaveIn2_;
    TAudioMixer AudioMixer1_;
    TWaveOut WaveOut1_;
    TMP3Out MP3Out1_;
};

}  // namespace tolvak
