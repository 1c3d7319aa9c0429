#pragma once
// The HTTP client of the sources: the shared client `IdHTTP1` of the package and Agora
// services, and the short-lived feed clients that follow redirects. Every request opens its
// own connection and closes it at its end, so no connection outlives the operation that made it.

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sources/Transfer.h"

namespace tolvak {

/// What tells the two kinds of HTTP client apart.
struct UstawieniaHTTP {
    std::string accept;
    /// 0: redirects are not followed and a 3xx answer is a failure; else the most to follow.
    long przekierowania = 0;
    /// True: a text body is decoded by the charset that the response announces.
    bool dekodujZnaki = true;

    /// `IdHTTP1`: Accept "text/html, */*", no redirects, charset decoding.
    static UstawieniaHTTP Wspolny();
    /// The feed clients: the browser's Accept, up to 15 redirects, the body's bytes as sent.
    static UstawieniaHTTP Kanalu();
};

class KlientHTTP {
public:
    static constexpr const char* UserAgent = "Mozilla/3.0 (compatible; Indy Library)";

    KlientHTTP(Okno& okno, UstawieniaHTTP ustawienia, LimityTransferu limity = {});
    ~KlientHTTP();
    KlientHTTP(const KlientHTTP&) = delete;
    KlientHTTP& operator=(const KlientHTTP&) = delete;

    /// Basic authentication, sent with every request without waiting for a challenge, when
    /// both texts are non-empty after removing surrounding blanks; otherwise none.
    void UstawKonto(std::string_view login, std::string_view haslo);

    /// GET `url`; the body as text. Throws BladTransferu on any failure, and when the answer
    /// passes the text limits of LimityTransferu (`maksTekst`, `calyTekst`) or its speed rules.
    std::string Get(const std::string& url);
    /// GET `url` into `plik` from its current position, under the bulletin's limits
    /// (`maksRozmiar`, `calyPlik`). Throws BladTransferu on any failure, a failed write included.
    void Get(const std::string& url, std::FILE* plik);
    /// HEAD `url`, under the text limits. Throws BladTransferu on any failure.
    void Head(const std::string& url);

    /// The last response's status line ("HTTP/1.1 200 OK"); empty when none arrived.
    const std::string& ResponseText() const { return statusLine_; }
    /// The last response's header `name`, matched without regard to case; empty when absent.
    std::string Naglowek(std::string_view name) const;

    /// End of every body transfer (GET), also a broken one; not for HEAD.
    std::function<void()> OnWorkEnd;

private:
    struct Odbiorca;
    void Wykonaj(const std::string& url, Odbiorca& odbiorca);
    static size_t NaglowekCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik);
    static size_t TrescCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik);

    Przesyl przesyl_;
    UstawieniaHTTP ustawienia_;
    std::string login_, haslo_;
    // Cookies live in the share for the life of the client; each request's handle joins it.
    std::unique_ptr<CURLSH, void (*)(CURLSH*)> ciasteczka_;
    std::string statusLine_;
    std::vector<std::pair<std::string, std::string>> naglowki_;
};

}  // namespace tolvak
