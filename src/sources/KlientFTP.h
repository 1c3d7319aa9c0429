#pragma once
// The FTP client `IdFTP1` of the ZPR source. Every operation connects, logs in, addresses its
// file by a path from the login folder, and disconnects: no operation inherits the state of one
// that failed. Transfers are binary; IPv4 only.

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "sources/Transfer.h"

namespace tolvak {

class KlientFTP {
public:
    explicit KlientFTP(Okno& okno, LimityTransferu limity = {});

    /// The server: `host` is a host name or address, optionally followed by ":" and a port
    /// (21 when none is given); the texts lose their surrounding blanks.
    void UstawSerwer(std::string_view host, std::string_view login, std::string_view haslo,
                     bool pasywny);

    /// The modification time (the server's MDTM answer, as seconds since the epoch, UTC) of the
    /// file at `sciezka` below the login folder. Throws BladTransferu on any failure, a missing
    /// file or an unknown time included (BladTransferu::BrakNaSerwerze() for a missing file);
    /// under the text limits of LimityTransferu.
    std::time_t CzasModyfikacji(const std::string& sciezka);
    /// Downloads the file at `sciezka` below the login folder into `plik`, writing the bytes as
    /// they arrive, under the bulletin's limits. Throws BladTransferu on any failure.
    void Pobierz(const std::string& sciezka, std::FILE* plik);

    /// End of every file transfer, also a broken one.
    std::function<void()> OnWorkEnd;

private:
    struct Odbiorca;
    UchwytCurl Przygotuj(const std::string& sciezka, char (&blad)[CURL_ERROR_SIZE]);
    static size_t OdpowiedzCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik);
    static size_t TrescCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik);

    Przesyl przesyl_;
    std::string adres_;  // "host:port"; empty when the host is not usable
    std::string login_, haslo_;
    bool pasywny_ = true;
};

/// "host:port" from a `ZPRHost` text ("host" or "host:port"); empty when it is empty or not a
/// plain host name or IPv4 address with an optional port from 1 to 65535.
std::string AdresSerweraFTP(std::string_view host);

}  // namespace tolvak
