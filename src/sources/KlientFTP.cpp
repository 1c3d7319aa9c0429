#include "sources/KlientFTP.h"

#include <cctype>

#include "sources/Tekst.h"

namespace tolvak {

namespace {

bool ZnakNazwyHosta(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
}

}  // namespace

std::string AdresSerweraFTP(std::string_view tekst) {
    const std::string host = Przytnij(tekst);
    std::string nazwa = host, port = "21";
    if (const auto d = host.rfind(':'); d != std::string::npos) {
        nazwa = host.substr(0, d);
        port = host.substr(d + 1);
        if (port.empty() || port.size() > 5) return {};
        for (char c : port)
            if (c < '0' || c > '9') return {};
        const int numer = std::stoi(port);
        if (numer < 1 || numer > 65535) return {};
        port = std::to_string(numer);
    }
    if (nazwa.empty()) return {};
    for (char c : nazwa)
        if (!ZnakNazwyHosta(c)) return {};
    return nazwa + ":" + port;
}

/// Where the download goes, and whether the server began sending the file.
struct KlientFTP::Odbiorca {
    explicit Odbiorca(KlientFTP& k) : klient(k) {}
    KlientFTP& klient;
    std::FILE* plik = nullptr;
    bool bladZapisu = false;
    bool przesylRozpoczety = false;
};

KlientFTP::KlientFTP(Okno& okno, LimityTransferu limity) : przesyl_(okno, limity) {}

void KlientFTP::UstawSerwer(std::string_view host, std::string_view login, std::string_view haslo,
                            bool pasywny) {
    adres_ = AdresSerweraFTP(host);
    login_ = Przytnij(login);
    haslo_ = Przytnij(haslo);
    pasywny_ = pasywny;
}

size_t KlientFTP::OdpowiedzCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik) {
    auto& o = *static_cast<Odbiorca*>(uzytkownik);
    const size_t dlugosc = rozmiar * n;
    o.klient.przesyl_.Ruch(dlugosc);
    // 125 and 150 open the data transfer of a RETR.
    const std::string_view linia(dane, dlugosc);
    if (linia.starts_with("125") || linia.starts_with("150")) o.przesylRozpoczety = true;
    return dlugosc;
}

size_t KlientFTP::TrescCb(char* dane, size_t rozmiar, size_t n, void* uzytkownik) {
    auto& o = *static_cast<Odbiorca*>(uzytkownik);
    const size_t dlugosc = rozmiar * n;
    o.klient.przesyl_.Ruch(dlugosc);
    if (o.plik == nullptr) return dlugosc;  // the headers curl makes up for a time query
    if (!o.klient.przesyl_.Tresc(dlugosc)) return 0;
    if (std::fwrite(dane, 1, dlugosc, o.plik) != dlugosc) {
        o.bladZapisu = true;
        return 0;
    }
    return dlugosc;
}

UchwytCurl KlientFTP::Przygotuj(const std::string& sciezka, char (&blad)[CURL_ERROR_SIZE]) {
    przesyl_.SprawdzWolny();
    if (adres_.empty()) throw BladTransferu("Brak poprawnego adresu serwera FTP");
    if (sciezka.empty() || sciezka.find("..") != std::string::npos)
        throw BladTransferu("Niedozwolona ścieżka pliku na serwerze FTP");
    UchwytCurl uchwyt = NowyUchwyt(przesyl_.Limity(), blad);
    CURL* c = uchwyt.get();
    const std::string url = "ftp://" + adres_ + "/" + sciezka;
    Ustaw(c, CURLOPT_URL, url.c_str());
    Ustaw(c, CURLOPT_PROTOCOLS_STR, "ftp");
    if (!login_.empty()) {
        Ustaw(c, CURLOPT_USERNAME, login_.c_str());
        Ustaw(c, CURLOPT_PASSWORD, haslo_.c_str());
    }
    Ustaw(c, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
    // Passive: the client connects for data (EPSV, then PASV); active: the server does.
    Ustaw(c, CURLOPT_FTPPORT, pasywny_ ? nullptr : "-");
    Ustaw(c, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(przesyl_.Limity().polaczenie.count()));
    Ustaw(c, CURLOPT_TRANSFERTEXT, 0L);
    Ustaw(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
    Ustaw(c, CURLOPT_HEADERFUNCTION, &KlientFTP::OdpowiedzCb);
    Ustaw(c, CURLOPT_WRITEFUNCTION, &KlientFTP::TrescCb);
    return uchwyt;
}

std::time_t KlientFTP::CzasModyfikacji(const std::string& sciezka) {
    char blad[CURL_ERROR_SIZE];
    UchwytCurl uchwyt = Przygotuj(sciezka, blad);
    CURL* c = uchwyt.get();
    Odbiorca o(*this);
    Ustaw(c, CURLOPT_HEADERDATA, &o);
    Ustaw(c, CURLOPT_WRITEDATA, &o);
    Ustaw(c, CURLOPT_NOBODY, 1L);
    Ustaw(c, CURLOPT_FILETIME, 1L);
    const CURLcode wynik = przesyl_.Wykonaj(c, RodzajPrzesylu::Tekst);
    if (!przesyl_.Przyczyna().empty()) throw BladTransferu(przesyl_.Przyczyna() + " (" + sciezka + ")");
    if (wynik != CURLE_OK)
        throw BladTransferu(OpisBledu(wynik, blad) + " (" + sciezka + ")", wynik == CURLE_REMOTE_FILE_NOT_FOUND);
    curl_off_t czas = -1;
    if (curl_easy_getinfo(c, CURLINFO_FILETIME_T, &czas) != CURLE_OK || czas < 0)
        throw BladTransferu("Serwer FTP nie podał czasu modyfikacji pliku " + sciezka);
    return static_cast<std::time_t>(czas);
}

void KlientFTP::Pobierz(const std::string& sciezka, std::FILE* plik) {
    char blad[CURL_ERROR_SIZE];
    UchwytCurl uchwyt = Przygotuj(sciezka, blad);
    CURL* c = uchwyt.get();
    Odbiorca o(*this);
    o.plik = plik;
    Ustaw(c, CURLOPT_HEADERDATA, &o);
    Ustaw(c, CURLOPT_WRITEDATA, &o);
    const CURLcode wynik = przesyl_.Wykonaj(c, RodzajPrzesylu::Plik);

    std::string bladOpis;
    if (o.bladZapisu || std::fflush(plik) != 0) bladOpis = "Nie udało się zapisać pobieranego pliku";
    else if (!przesyl_.Przyczyna().empty()) bladOpis = przesyl_.Przyczyna();
    else if (przesyl_.ZaDuzo() || wynik == CURLE_FILESIZE_EXCEEDED)
        bladOpis = "Plik na serwerze FTP jest za duży: " + przesyl_.OpisLimituRozmiaru();
    else if (wynik != CURLE_OK) bladOpis = OpisBledu(wynik, blad);
    if (o.przesylRozpoczety && OnWorkEnd) OnWorkEnd();
    if (!bladOpis.empty()) throw BladTransferu(bladOpis + " (" + sciezka + ")");
}

}  // namespace tolvak
