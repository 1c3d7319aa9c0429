#include "sources/Transfer.h"

#include <openssl/ssl.h>

#include <algorithm>
#include <mutex>

namespace tolvak {

namespace {

using Zegar = std::chrono::steady_clock;

void InicjujCurl() {
    static std::once_flag raz;
    std::call_once(raz, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw BladTransferu("Nie udało się uruchomić biblioteki sieciowej");
    });
}

// Old servers still in service: accept those that predate secure renegotiation, and the
// short keys and SHA-1 signatures that OpenSSL's default security level refuses.
CURLcode UstawKontekstTLS(CURL*, void* kontekst, void*) {
    auto* ctx = static_cast<SSL_CTX*>(kontekst);
    SSL_CTX_set_options(ctx, SSL_OP_LEGACY_SERVER_CONNECT);
    SSL_CTX_set_security_level(ctx, 0);
    return CURLE_OK;
}

}  // namespace

UchwytCurl NowyUchwyt(const LimityTransferu& limity, char (&bladTekst)[CURL_ERROR_SIZE]) {
    InicjujCurl();
    UchwytCurl c(curl_easy_init());
    if (!c) throw BladTransferu("Brak pamięci na klienta sieciowego");
    bladTekst[0] = '\0';
    CURL* e = c.get();
    Ustaw(e, CURLOPT_ERRORBUFFER, bladTekst);
    Ustaw(e, CURLOPT_NOSIGNAL, 1L);
    Ustaw(e, CURLOPT_PROXY, "");
    Ustaw(e, CURLOPT_FORBID_REUSE, 1L);
    Ustaw(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limity.polaczenie.count()));
    Ustaw(e, CURLOPT_BUFFERSIZE, 256L * 1024);
    Ustaw(e, CURLOPT_SSLVERSION,
          static_cast<long>(CURL_SSLVERSION_TLSv1_0) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_3));
    Ustaw(e, CURLOPT_SSL_CIPHER_LIST, "DEFAULT:@SECLEVEL=0");
    Ustaw(e, CURLOPT_SSL_CTX_FUNCTION, &UstawKontekstTLS);
    Ustaw(e, CURLOPT_SSL_VERIFYPEER, 0L);
    Ustaw(e, CURLOPT_SSL_VERIFYHOST, 0L);
    return c;
}

std::string OpisCzasu(std::chrono::milliseconds czas) {
    const auto ms = czas.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms) + " ms";
}

namespace {

std::string OpisBajtow(int64_t n) {
    if (n > 0 && n % (int64_t{1} << 20) == 0) return std::to_string(n >> 20) + " MiB";
    if (n > 0 && n % 1024 == 0) return std::to_string(n >> 10) + " KiB";
    return std::to_string(n) + " B";
}

}  // namespace

std::string OpisBledu(CURLcode kod, const char* bladTekst) {
    switch (kod) {
        case CURLE_COULDNT_RESOLVE_HOST: return "Nie znaleziono serwera";
        case CURLE_COULDNT_CONNECT: return "Nie udało się połączyć z serwerem";
        case CURLE_OPERATION_TIMEDOUT: return "Przekroczony czas oczekiwania na serwer";
        case CURLE_SSL_CONNECT_ERROR: return "Nieudane połączenie TLS";
        case CURLE_LOGIN_DENIED: return "Serwer odrzucił logowanie";
        case CURLE_REMOTE_FILE_NOT_FOUND: return "Brak pliku na serwerze";
        case CURLE_REMOTE_ACCESS_DENIED: return "Brak dostępu do folderu lub pliku na serwerze";
        case CURLE_PARTIAL_FILE: return "Połączenie przerwane w trakcie przesyłania";
        case CURLE_URL_MALFORMAT: return "Niepoprawny adres";
        case CURLE_TOO_MANY_REDIRECTS: return "Za dużo przekierowań";
        default: break;
    }
    const bool szczegoly = bladTekst != nullptr && bladTekst[0] != '\0';
    return "Błąd sieci " + std::to_string(static_cast<int>(kod)) + ": " +
           (szczegoly ? bladTekst : curl_easy_strerror(kod));
}

Przesyl::Przesyl(Okno& okno, LimityTransferu limity) : okno_(okno), limity_(limity) {
    InicjujCurl();
    multi_ = curl_multi_init();
    if (multi_ == nullptr) throw BladTransferu("Brak pamięci na klienta sieciowego");
}

Przesyl::~Przesyl() { curl_multi_cleanup(multi_); }

void Przesyl::SprawdzWolny() const {
    if (zajety_) throw BladTransferu("Klient sieciowy jest zajęty innym przesyłaniem");
}

void Przesyl::Ruch(size_t n) {
    ostatniRuch_ = Zegar::now();
    bajtyOkna_ += static_cast<int64_t>(n);
}

bool Przesyl::Tresc(size_t n) {
    tresc_ += static_cast<int64_t>(n);
    if (tresc_ > maksTresc_) zaDuzo_ = true;
    return !zaDuzo_;
}

std::string Przesyl::OpisLimituRozmiaru() const { return "ponad " + OpisBajtow(maksTresc_); }

CURLcode Przesyl::Wykonaj(CURL* easy, RodzajPrzesylu rodzaj) {
    SprawdzWolny();
    przyczyna_.clear();
    const auto przerwane = [this] {
        return limity_.przerwanie != nullptr && limity_.przerwanie->load();
    };
    if (przerwane()) {
        przyczyna_ = "Przesyłanie przerwane: program kończy pracę";
        return CURLE_ABORTED_BY_CALLBACK;
    }
    const bool plik = rodzaj == RodzajPrzesylu::Plik;
    maksTresc_ = plik ? limity_.maksRozmiar : limity_.maksTekst;
    const std::chrono::milliseconds calosc = plik ? limity_.calyPlik : limity_.calyTekst;
    Ustaw(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maksTresc_));
    zajety_ = true;
    tresc_ = 0;
    zaDuzo_ = false;
    struct Zwolnij {
        Przesyl& p;
        CURL* e;
        ~Zwolnij() {
            curl_multi_remove_handle(p.multi_, e);
            p.zajety_ = false;
        }
    };
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        zajety_ = false;
        throw BladTransferu("Nie udało się rozpocząć przesyłania");
    }
    Zwolnij zwolnij{*this, easy};

    const auto poczatek = Zegar::now();
    const auto koniecCalosci = poczatek + calosc;
    ostatniRuch_ = poczatek;
    poczatekOkna_ = poczatek;
    bajtyOkna_ = 0;
    auto nastepnaPompa = poczatek + limity_.odstepKomunikatow;
    for (;;) {
        int trwa = 0;
        if (curl_multi_perform(multi_, &trwa) != CURLM_OK) return CURLE_RECV_ERROR;
        if (trwa == 0) break;
        auto teraz = Zegar::now();
        if (teraz >= nastepnaPompa) {
            // The window's handlers may run here; this client refuses them while it is busy.
            okno_.processMessages();
            teraz = Zegar::now();
            nastepnaPompa = teraz + limity_.odstepKomunikatow;
        }
        // A handler that ran above may have asked the program to end: nothing of a transfer
        // is worth finishing then.
        if (przerwane()) {
            przyczyna_ = "Przesyłanie przerwane: program kończy pracę";
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (teraz >= koniecCalosci) {
            przyczyna_ = "Przekroczony łączny limit czasu przesyłania: " + OpisCzasu(calosc);
            return CURLE_OPERATION_TIMEDOUT;
        }
        const auto koniecCzekania = ostatniRuch_ + limity_.bezRuchu;
        if (teraz >= koniecCzekania) {
            przyczyna_ = "Brak danych od serwera przez " + OpisCzasu(limity_.bezRuchu);
            return CURLE_OPERATION_TIMEDOUT;
        }
        auto koniecOkna = poczatekOkna_ + limity_.oknoPredkosci;
        if (teraz >= koniecOkna) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(teraz - poczatekOkna_).count();
            if (bajtyOkna_ * 1000 < limity_.minPredkosc * ms) {
                przyczyna_ = "Przesyłanie zbyt wolne: średnio mniej niż " + OpisBajtow(limity_.minPredkosc) +
                             "/s przez " + OpisCzasu(limity_.oknoPredkosci);
                return CURLE_OPERATION_TIMEDOUT;
            }
            poczatekOkna_ = teraz;
            bajtyOkna_ = 0;
            koniecOkna = teraz + limity_.oknoPredkosci;
        }
        const auto czekaj = std::min({nastepnaPompa, koniecCzekania, koniecCalosci, koniecOkna}) - teraz;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(czekaj).count();
        if (curl_multi_poll(multi_, nullptr, 0, static_cast<int>(std::max<int64_t>(ms, 1)),
                            nullptr) != CURLM_OK)
            return CURLE_RECV_ERROR;
    }
    int zostalo = 0;
    while (CURLMsg* m = curl_multi_info_read(multi_, &zostalo)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == easy) return m->data.result;
    }
    return CURLE_RECV_ERROR;
}

}  // namespace tolvak
