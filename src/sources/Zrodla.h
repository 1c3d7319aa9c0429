#pragma once
// The bulletin sources as the production run sees them: one fetch per source, each returning
// the name of the work file it wrote in the working directory ("tvss" + extension) or the empty
// text on any failure, never an error.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Okno.h"

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
    /// General news: whether the selected network source (Agora, ZPR, IAR or the package
    /// service, in that order of settings) shows the coming hour's bulletin.
    virtual bool CzyJestSerwis() = 0;
    /// Sport ("Sport") or weather ("Pogoda") at the Agora news service.
    virtual bool CzyJestAgoraDodatkowy(const std::string& typ) = 0;
    /// The local file source: the configured file is newer than its last copy.
    virtual bool CzyJestSerwisZPliku() = 0;
};

/// "tvss" + `rozszerzenie`, or the empty text when the result would not be a plain name in the
/// working directory (a path separator or ".." in it): names that come from outside — a
/// server's header, a feed's address, a configured path — are names, not paths.
std::string NazwaPlikuPobranego(std::string_view rozszerzenie);

/// The sources of this build. The local file source is complete; the network sources give the
/// empty result (no network client is built in yet).
class Zrodla : public ZrodlaSerwisow {
public:
    explicit Zrodla(KontekstZrodel kontekst) : k_(std::move(kontekst)) {}

    std::string PobierzSerwis() override;
    std::string PobierzSerwisSE(const std::string& FileNameLink) override;
    std::string PobierzSerwisAgoraDodatkowy(const std::string& typ) override;
    std::string PobierzSerwisIAR() override;
    std::string PobierzSerwisZPR() override;
    std::string PobierzSerwisZPliku() override;
    std::string CzyJestSerwisSE(const std::string& rodzaj) override;
    bool CzyJestSerwis() override;
    bool CzyJestAgoraDodatkowy(const std::string& typ) override;
    /// True when the configured file exists and its modification time is later than the last
    /// copy moment in the state file.
    bool CzyJestSerwisZPliku() override;

    const KontekstZrodel& Kontekst() const { return k_; }

private:
    KontekstZrodel k_;
};

}  // namespace tolvak
