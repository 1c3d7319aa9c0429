#pragma once
// The engine under every transfer client: one request at a time on the calling
// (user-interface) thread, driven through a curl multi handle so that the window processes its
// messages at a steady pace while the request waits on the network, with the limits that keep
// an unattended station from hanging on one bad server.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/Okno.h"

namespace tolvak {

/// Limits of one transfer, all in one place. The defaults are the station's; tests shorten them.
/// Every limit that ends a transfer names itself in the failure's text.
struct LimityTransferu {
    /// Connecting (TCP, and for FTP the greeting and login) may take this long.
    std::chrono::milliseconds polaczenie{7000};
    /// A transfer that moves no byte for this long fails.
    std::chrono::milliseconds bezRuchu{60000};
    /// A transfer slower than `minPredkosc` bytes a second on average over each `oknoPredkosci`
    /// fails: a server that trickles a byte now and then never trips the stall limit.
    int64_t minPredkosc = 1024;
    std::chrono::milliseconds oknoPredkosci{60000};
    /// The whole of a text page, a HEAD request, a feed or an FTP time query takes at most this.
    std::chrono::milliseconds calyTekst{60000};
    /// The whole of a bulletin's download takes at most this.
    std::chrono::milliseconds calyPlik{std::chrono::minutes(10)};
    /// A bulletin's body larger than this fails.
    int64_t maksRozmiar = int64_t{512} << 20;
    /// A text page, a HEAD answer or a feed (headers and body) larger than this fails: a page is
    /// kept in memory, a bulletin is not.
    int64_t maksTekst = int64_t{16} << 20;
    /// The window processes its messages at least this often while a transfer waits.
    std::chrono::milliseconds odstepKomunikatow{100};
    /// Not a limit but the end of all of them: once the flag is set (the program is ending) a
    /// transfer under way is abandoned at once and no new one starts. Owned by the sources.
    const std::atomic<bool>* przerwanie = nullptr;
};

/// What a transfer carries, which decides its total time and size limits.
enum class RodzajPrzesylu {
    Tekst,  // a page read as text, a HEAD request, a feed, an FTP time query
    Plik,   // a bulletin written into its work file
};

/// Any failure of a transfer: no connection, time-out, TLS, an answer that is not a success,
/// a body that cannot be stored. The sources catch it and give their failure outcome.
class BladTransferu : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    /// `brakNaSerwerze`: the server answered that the file is not there, which for an
    /// availability check means "not yet published" rather than a fault.
    BladTransferu(const std::string& tekst, bool brakNaSerwerze)
        : std::runtime_error(tekst), brakNaSerwerze_(brakNaSerwerze) {}
    bool BrakNaSerwerze() const { return brakNaSerwerze_; }

private:
    bool brakNaSerwerze_ = false;
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

    /// Runs `easy` to its end under the limits of `rodzaj`, processing the window's messages
    /// every `odstepKomunikatow`. Returns curl's result; when a limit of this pump (stall, low
    /// speed, total time) or the program's end stopped it, Przyczyna() says which.
    CURLcode Wykonaj(CURL* easy, RodzajPrzesylu rodzaj);
    /// Why the pump ended the last transfer ("Brak danych od serwera przez 60 s"); empty when
    /// it ran to curl's own end.
    const std::string& Przyczyna() const { return przyczyna_; }
    /// The size limit of the last transfer, in the failure's words ("ponad 16 MiB").
    std::string OpisLimituRozmiaru() const;

    /// Throws BladTransferu when a request is under way.
    void SprawdzWolny() const;
    bool Zajety() const { return zajety_; }

    /// Called by the clients' data callbacks: `n` bytes arrived (headers or body).
    void Ruch(size_t n);
    /// Counts `n` more bytes of the answer; false once it is over the size limit.
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
    int64_t maksTresc_ = 0;
    bool zaDuzo_ = false;
    std::string przyczyna_;
    std::chrono::steady_clock::time_point ostatniRuch_;
    std::chrono::steady_clock::time_point poczatekOkna_;
    int64_t bajtyOkna_ = 0;
};

/// A duration as the log says it: "60 s", or "300 ms" below whole seconds.
std::string OpisCzasu(std::chrono::milliseconds czas);

/// The text of a failed transfer: a Polish text for the common failures, else the code and
/// curl's own detail.
std::string OpisBledu(CURLcode kod, const char* bladTekst);

}  // namespace tolvak
