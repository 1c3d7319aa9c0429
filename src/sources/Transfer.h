#pragma once
// The engine under every transfer client: one request at a time on the calling
// (user-interface) thread, driven through a curl multi handle so that the window processes its
// messages at a steady pace while the request waits on the network, with the limits that keep
// an unattended station from hanging on one bad server.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/Okno.h"

namespace tolvak {

/// Limits of one transfer. The defaults are the station's; tests shorten them.
struct LimityTransferu {
    /// Connecting (TCP, and for FTP the greeting and login) may take this long.
    std::chrono::milliseconds polaczenie{7000};
    /// A transfer that moves no byte for this long fails.
    std::chrono::milliseconds bezRuchu{60000};
    /// A body larger than this fails.
    int64_t maksRozmiar = int64_t{512} << 20;
    /// The window processes its messages at least this often while a transfer waits.
    std::chrono::milliseconds odstepKomunikatow{100};
};

/// Any failure of a transfer: no connection, time-out, TLS, an answer that is not a success,
/// a body that cannot be stored. The sources catch it and give their failure outcome.
class BladTransferu : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ZwolnijCurl {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
using UchwytCurl = std::unique_ptr<CURL, ZwolnijCurl>;

/// Sets one option of a handle; an option the library refuses is a BladTransferu.
template <typename T>
void Ustaw(CURL* uchwyt, CURLoption opcja, T wartosc) {
    if (curl_easy_setopt(uchwyt, opcja, wartosc) != CURLE_OK)
        throw BladTransferu("Nieobsługiwane ustawienie klienta sieciowego");
}

/// A fresh easy handle with the settings every client shares: no proxy, no signals, no
/// connection kept after the request, the connect limit, the body limit, an error text buffer,
/// and TLS 1.0 to 1.3 with a security level low enough for old servers, without verifying the
/// peer (the providers rely on that).
UchwytCurl NowyUchwyt(const LimityTransferu& limity, char (&bladTekst)[CURL_ERROR_SIZE]);

/// Runs one request at a time for one client. A second request started while one is under way
/// (from a handler that the window ran during the pause) is refused with BladTransferu; the
/// first goes on untouched.
class Przesyl {
public:
    Przesyl(Okno& okno, LimityTransferu limity);
    ~Przesyl();
    Przesyl(const Przesyl&) = delete;
    Przesyl& operator=(const Przesyl&) = delete;

    /// Runs `easy` to its end, processing the window's messages every `odstepKomunikatow`.
    /// Returns curl's result; a transfer without a byte for `bezRuchu` ends with
    /// CURLE_OPERATION_TIMEDOUT.
    CURLcode Wykonaj(CURL* easy);

    /// Throws BladTransferu when a request is under way.
    void SprawdzWolny() const;
    bool Zajety() const { return zajety_; }

    /// Called by the clients' data callbacks: bytes arrived.
    void Ruch();
    /// Counts `n` more body bytes; false once the body is over the size limit.
    bool Tresc(size_t n);
    bool ZaDuzo() const { return zaDuzo_; }

    const LimityTransferu& Limity() const { return limity_; }
    Okno& okno() { return okno_; }

private:
    Okno& okno_;
    LimityTransferu limity_;
    CURLM* multi_ = nullptr;
    bool zajety_ = false;
    int64_t tresc_ = 0;
    bool zaDuzo_ = false;
    std::chrono::steady_clock::time_point ostatniRuch_;
};

/// The text of a failed transfer: a Polish text for the common failures, else the code and
/// curl's own detail.
std::string OpisBledu(CURLcode kod, const char* bladTekst);

}  // namespace tolvak
