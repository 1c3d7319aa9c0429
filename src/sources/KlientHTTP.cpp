#include "sources/KlientHTTP.h"

#include <iconv.h>

#include <cerrno>

#include "sources/Tekst.h"

namespace tolvak {

namespace {

struct ZwolnijListe {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

/// The charset parameter of a Content-Type value, without quotes; empty when none.
std::string Charset(std::string_view typ) {
    const std::string male = MaleLitery(typ);
    const auto p = male.find("charset=");
    if (p == std::string::npos) return {};
    std::string w = Przytnij(std::string_view(typ).substr(p + 8));
    if (const auto k = w.find(';'); k != std::string::npos) w = Przytnij(w.substr(0, k));
    if (w.size() >= 2 && (w.front() == '"' || w.front() == '\'') && w.back() == w.front())
        w = w.substr(1, w.size() - 2);
    return w;
}

/// `tekst` in `charset` turned into UTF-8; unchanged when the charset is UTF-8, unknown, or
/// the bytes do not fit it. The conversion goes through a fixed piece at a time, so memory grows
/// with the text it makes, not with the worst case of every byte becoming four.
std::string NaUtf8(std::string tekst, const std::string& charset) {
    if (charset.empty() || RowneBezWielkosci(charset, "utf-8") || RowneBezWielkosci(charset, "utf8"))
        return tekst;
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return tekst;
    struct Zamknij {
        iconv_t cd;
        ~Zamknij() { iconv_close(cd); }
    } zamknij{cd};
    std::string wynik;
    wynik.reserve(tekst.size());
    std::string kawalek(64 * 1024, '\0');
    char* we = tekst.data();
    size_t weZostalo = tekst.size();
    for (;;) {
        char* wy = kawalek.data();
        size_t wyZostalo = kawalek.size();
        const bool koniec = weZostalo == 0;
        // The last call, without input, writes out what a stateful charset still holds.
        const size_t r = koniec ? iconv(cd, nullptr, nullptr, &wy, &wyZostalo)
                                : iconv(cd, &we, &weZostalo, &wy, &wyZostalo);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) return tekst;
        wynik.append(kawalek.data(), kawalek.size() - wyZostalo);
        if (koniec && r != static_cast<size_t>(-1)) break;
    }
    return wynik;
}

}  // namespace

UstawieniaHTTP UstawieniaHTTP::Wspolny() { return {"text/html, */*", 0, true}; }

UstawieniaHTTP UstawieniaHTTP::Kanalu() {
    return {"text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", 15, false};
}

/// Where a request's body goes: text, a file, or nowhere (HEAD).
struct KlientHTTP::Odbiorca {
    explicit Odbiorca(KlientHTTP& k) : klient(k) {}
    KlientHTTP& klient;
    bool head = false;
    std::string* tekst = nullptr;
    std::FILE* plik = nullptr;
    bool bladZapisu = false;
    std::string charset;  // of a text body, taken before the window may run another request
};

KlientHTTP::KlientHTTP(Okno& okno, UstawieniaHTTP ustawienia, LimityTransferu limity)
    : przesyl_(okno, limity),
      ustawienia_(std::move(ustawienia)),
      ciasteczka_(curl_share_init(), [](CURLSH* s) { curl_share_cleanup(s); }) {
    if (!ciasteczka_ ||
        curl_share_setopt(ciasteczka_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK)
        throw BladTransferu("Brak pamięci na klienta HTTP");
}

KlientHTTP::~KlientHTTP() = default;

void KlientHTTP::UstawKonto(std::string_view login, std::string_view haslo) {
    login_ = Przytnij(login);
    haslo_ = Przytnij(haslo);
}

std::string KlientHTTP::Naglowek(std::string_view name) const {
    for (const auto& [n, v] : naglowki_)
        if (RowneBezWielkosci(n, name)) return v;
    return {};
}

size_t KlientHTTP::NaglowekCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik) {
    auto& k = *static_cast<KlientHTTP*>(uzytkownik);
    const size_t dlugosc = rozmiar * n;
    k.przesyl_.Ruch(dlugosc);
    // Headers count against the answer's size too: a HEAD answer is text held in memory.
    if (!k.przesyl_.Tresc(dlugosc)) return 0;
    std::string_view linia(dane, dlugosc);
    while (!linia.empty() && (linia.back() == '\n' || linia.back() == '\r')) linia.remove_suffix(1);
    if (linia.starts_with("HTTP/")) {
        // Each response of a redirect chain starts afresh; the last one is kept.
        k.statusLine_ = std::string(linia);
        k.naglowki_.clear();
    } else if (const auto d = linia.find(':'); d != std::string_view::npos && d > 0) {
        k.naglowki_.emplace_back(std::string(linia.substr(0, d)), Przytnij(linia.substr(d + 1)));
    }
    return dlugosc;
}

size_t KlientHTTP::TrescCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik) {
    auto& o = *static_cast<Odbiorca*>(uzytkownik);
    const size_t dlugosc = rozmiar * n;
    o.klient.przesyl_.Ruch(dlugosc);
    if (!o.klient.przesyl_.Tresc(dlugosc)) return 0;
    if (o.tekst != nullptr) {
        o.tekst->append(dane, dlugosc);
    } else if (o.plik != nullptr && std::fwrite(dane, 1, dlugosc, o.plik) != dlugosc) {
        o.bladZapisu = true;
        return 0;
    }
    return dlugosc;
}

void KlientHTTP::Wykonaj(const std::string& url, Odbiorca& o) {
    przesyl_.SprawdzWolny();
    statusLine_.clear();
    naglowki_.clear();
    if (url.empty()) throw BladTransferu("Brak adresu");

    char blad[CURL_ERROR_SIZE];
    UchwytCurl uchwyt = NowyUchwyt(przesyl_.Limity(), blad);
    CURL* c = uchwyt.get();
    Ustaw(c, CURLOPT_URL, url.c_str());
    Ustaw(c, CURLOPT_PROTOCOLS_STR, "http,https");
    Ustaw(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Ustaw(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    Ustaw(c, CURLOPT_USERAGENT, UserAgent);
    const std::string accept = "Accept: " + ustawienia_.accept;
    std::unique_ptr<curl_slist, ZwolnijListe> naglowki(curl_slist_append(nullptr, accept.c_str()));
    if (!naglowki) throw BladTransferu("Brak pamięci na klienta HTTP");
    Ustaw(c, CURLOPT_HTTPHEADER, naglowki.get());
    Ustaw(c, CURLOPT_COOKIEFILE, "");
    Ustaw(c, CURLOPT_SHARE, ciasteczka_.get());
    if (!login_.empty() && !haslo_.empty()) {
        Ustaw(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        Ustaw(c, CURLOPT_USERNAME, login_.c_str());
        Ustaw(c, CURLOPT_PASSWORD, haslo_.c_str());
    }
    Ustaw(c, CURLOPT_FOLLOWLOCATION, ustawienia_.przekierowania > 0 ? 1L : 0L);
    Ustaw(c, CURLOPT_MAXREDIRS, ustawienia_.przekierowania);
    Ustaw(c, CURLOPT_FAILONERROR, 1L);
    Ustaw(c, CURLOPT_HEADERFUNCTION, &KlientHTTP::NaglowekCb);
    Ustaw(c, CURLOPT_HEADERDATA, this);
    Ustaw(c, CURLOPT_WRITEFUNCTION, &KlientHTTP::TrescCb);
    Ustaw(c, CURLOPT_WRITEDATA, &o);
    if (o.head) Ustaw(c, CURLOPT_NOBODY, 1L);

    const CURLcode wynik =
        przesyl_.Wykonaj(c, o.plik != nullptr ? RodzajPrzesylu::Plik : RodzajPrzesylu::Tekst);
    long kod = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &kod);

    std::string bladOpis;
    if (o.bladZapisu) bladOpis = "Nie udało się zapisać pobieranego pliku";
    else if (!przesyl_.Przyczyna().empty()) bladOpis = przesyl_.Przyczyna();
    else if (przesyl_.ZaDuzo() || wynik == CURLE_FILESIZE_EXCEEDED)
        bladOpis = "Odpowiedź serwera jest za duża: " + przesyl_.OpisLimituRozmiaru();
    else if (wynik == CURLE_OK ? kod < 200 || kod > 299 : wynik == CURLE_HTTP_RETURNED_ERROR)
        bladOpis = "Odpowiedź serwera: " + statusLine_;
    else if (wynik != CURLE_OK) bladOpis = OpisBledu(wynik, blad);

    if (o.tekst != nullptr) o.charset = Charset(Naglowek("Content-Type"));
    if (!o.head && !statusLine_.empty() && OnWorkEnd) OnWorkEnd();
    // The query stays out of the text: the Agora account travels in it.
    if (!bladOpis.empty()) throw BladTransferu(bladOpis + " (" + url.substr(0, url.find('?')) + ")");
}

std::string KlientHTTP::Get(const std::string& url) {
    std::string tresc;
    Odbiorca o(*this);
    o.tekst = &tresc;
    Wykonaj(url, o);
    return ustawienia_.dekodujZnaki ? NaUtf8(std::move(tresc), o.charset) : tresc;
}

void KlientHTTP::Get(const std::string& url, std::FILE* plik) {
    Odbiorca o(*this);
    o.plik = plik;
    Wykonaj(url, o);
    if (std::fflush(plik) != 0) throw BladTransferu("Nie udało się zapisać pobieranego pliku");
}

void KlientHTTP::Head(const std::string& url) {
    Odbiorca o(*this);
    o.head = true;
    Wykonaj(url, o);
}

}  // namespace tolvak
