#pragma once
// The bulletin sources as the production run sees them: one fetch per source, each returning
// the name of the work file it wrote in the working directory ("tvss" + extension) or the empty
// text on any failure, never an error.

#include <pugixml.hpp>

#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Okno.h"
#include "sources/KlientFTP.h"
#include "sources/KlientHTTP.h"
#include "sources/Swiezosc.h"

namespace tolvak {

struct Ustawienia;
class Log;

/// What every source works with: the live settings record, the program folder (state file),
/// the working directory (where the fetched file lands), the log, the clock and the window.
struct KontekstZrodel {
    const Ustawienia& ustawienia;
    std::filesystem::path folderProgramu;
    std::filesystem::path folderRoboczy;
    Log& log;
    const Clock& clock;
    Okno& okno;
};

/// The availability checks that the check cycle asks and the fetch operations that the
/// production run calls. None of them raises an error to its caller.
class ZrodlaSerwisow {
public:
    virtual ~ZrodlaSerwisow() = default;
    /// General news from the package service or the Agora news service.
    virtual std::string PobierzSerwis() = 0;
    /// Sport or economy from the package service, by the link its check found.
    virtual std::string PobierzSerwisSE(const std::string& FileNameLink) = 0;
    /// Weather ("Pogoda") or sport ("Sport") from the Agora news service.
    virtual std::string PobierzSerwisAgoraDodatkowy(const std::string& typ) = 0;
    virtual std::string PobierzSerwisIAR() = 0;
    virtual std::string PobierzSerwisZPR() = 0;
    virtual std::string PobierzSerwisZPliku() = 0;
    /// The package service's check for sport and economy: the link of the coming hour's
    /// bulletin, or empty.
    virtual std::string CzyJestSerwisSE(const std::string& rodzaj) = 0;
    /// General news: whether the source that the production run's fetch will use (fetch order,
    /// ZrodloNewsDla) shows the coming hour's bulletin.
    virtual bool CzyJestSerwis() = 0;
    /// General news: what that same source knows of the coming hour's bulletin, without log
    /// lines (the intervention asks it before it fetches).
    virtual Swiezosc SwiezoscSerwisu() { return Swiezosc::Nieznany(); }
    /// After general news fetched from here was delivered: the local file source records the
    /// copied file's time, so that the same file is not taken twice.
    virtual void PoDostarczeniuNews() {}
    /// Sport ("Sport") or weather ("Pogoda") at the Agora news service.
    virtual bool CzyJestAgoraDodatkowy(const std::string& typ) = 0;
    /// The local file source: the configured file is newer than its last copy.
    virtual bool CzyJestSerwisZPliku() = 0;
};

/// The source that the production run fetches general news from under these settings.
ZrodloNews ZrodloNewsDla(const Ustawienia& u);

/// "tvss" + `rozszerzenie`, or the empty text when the result would not be a plain name in the
/// working directory (a path separator or ".." in it): names that come from outside — a
/// server's header, a feed's address, a configured path — are names, not paths.
std::string NazwaPlikuPobranego(std::string_view rozszerzenie);

/// The sources of the station. `Zrodla` owns the shared HTTP client `IdHTTP1` and the FTP
/// client `IdFTP1` for its whole life, and the XML document of the feed lookup. The clients
/// take their accounts and the service addresses from the settings record at each request.
/// All operations run on the user-interface thread; while a request waits on the network the
/// window processes its messages.
class Zrodla : public ZrodlaSerwisow {
public:
    explicit Zrodla(KontekstZrodel kontekst, LimityTransferu limity = {});

    std::string PobierzSerwis() override;
    std::string PobierzSerwisSE(const std::string& FileNameLink) override;
    std::string PobierzSerwisAgoraDodatkowy(const std::string& typ) override;
    std::string PobierzSerwisIAR() override;
    std::string PobierzSerwisZPR() override;
    std::string PobierzSerwisZPliku() override;
    std::string CzyJestSerwisSE(const std::string& rodzaj) override;
    bool CzyJestSerwis() override;
    Swiezosc SwiezoscSerwisu() override;
    void PoDostarczeniuNews() override;
    bool CzyJestAgoraDodatkowy(const std::string& typ) override;
    /// True when the configured file exists and its modification time is later than the last
    /// copy moment in the state file.
    bool CzyJestSerwisZPliku() override;

    /// End of a transfer of the HTTP client and of the FTP client: "Pobieranie serwisu
    /// zakończone!", the window's messages, the gauge back to 0.
    void IdHTTP1WorkEnd();
    void IdFTP1WorkEnd();

    /// The program is ending (a signal, the window closing): the transfer under way is
    /// abandoned at once and every later one fails before it starts. Never undone.
    void PrzerwijPrzesyly() { przerwane_ = true; }

    const KontekstZrodel& Kontekst() const { return k_; }
    KlientHTTP& IdHTTP1();
    KlientFTP& IdFTP1();

private:
    // What each general news source knows of the bulletin for the coming hour `godzina`; the
    // feed's failed download is logged as a line of `operacja` when one is given.
    Swiezosc SwiezoscAgora(int godzina);
    Swiezosc SwiezoscZPR(const LocalTime& teraz, int godzina);
    Swiezosc SwiezoscIAR(int godzina, std::string_view operacja);
    Swiezosc SwiezoscZPliku();
    bool CzyJestZet(const LocalTime& teraz, int godzina);
    /// The Agora branch of PobierzSerwis.
    std::string PobierzSerwisAgora();
    /// An Agora fetch: HEAD `adresHead` for the disposition, work file "tvss" + its last
    /// `znakiNazwy` characters, GET `adresGet` (or the file service's variant with bed) into it.
    /// The empty text when no name came (a failed HEAD is logged) or the file is empty; throws
    /// on a failed download.
    std::string PobierzAgore(std::string_view operacja, const std::string& adresHead,
                             const std::string& adresGet, size_t znakiNazwy);
    /// The coming hour of the sources at `teraz`.
    int GodzinaSerwisu(const LocalTime& teraz) const;
    /// Creates the work file `nazwa` anew in the working directory, lets `pobierz` write the
    /// body into it and closes it, also after a failure. Throws on any failure.
    void PobierzDoPliku(const std::string& nazwa, const std::function<void(std::FILE*)>& pobierz);
    /// "tvss" + `rozszerzenie` as a work-file name; a name that would leave the working
    /// directory is refused with a log line of `operacja` and gives the empty text.
    std::string NazwaZSerwera(std::string_view operacja, std::string_view rozszerzenie);
    /// The reason of a failed fetch, as a log line of `operacja`.
    void ZalogujBlad(std::string_view operacja, const std::exception& e);
    /// The reason of a failed availability check, as a log line of `operacja`, unless the
    /// server only said that the file is not there yet.
    void ZalogujBladSprawdzenia(std::string_view operacja, const std::exception& e);
    /// Removes the work file `nazwa` of a fetch that failed, so that no broken download piles up.
    void UsunPobrany(const std::string& nazwa);
    /// True (and the file removed) when the work file `nazwa` is empty.
    bool PustyPobrany(const std::string& nazwa);
    /// Service addresses; an empty one fails the request at once.
    std::string AdresZetu() const;
    std::string AdresAgory() const;
    std::string AdresAgoryPliki() const;

    KontekstZrodel k_;
    std::atomic<bool> przerwane_{false};
    LimityTransferu limity_;  // watches przerwane_
    KlientHTTP IdHTTP1_;
    KlientFTP IdFTP1_;
    pugi::xml_document XMLDocument1_;
    // The local file's time read before its last copy, written as its stamp once delivered.
    std::string stempelPliku_;
};

}  // namespace tolvak
