#include "support/SerwerHTTP.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tolvak::test {

namespace {

bool RowneBezWielkosci(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

int Nasluchuj(int kolejka, int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, kolejka) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        throw std::runtime_error("test server: cannot listen");
    port = ntohs(a.sin_port);
    return fd;
}

/// A self-signed P-256 certificate for 127.0.0.1, made once per process.
std::pair<EVP_PKEY*, X509*> Certyfikat() {
    static const auto para = [] {
        EVP_PKEY* klucz = EVP_EC_gen("P-256");
        X509* x = X509_new();
        X509_set_version(x, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(x), 1);
        X509_gmtime_adj(X509_getm_notBefore(x), -3600);
        X509_gmtime_adj(X509_getm_notAfter(x), 86400);
        X509_set_pubkey(x, klucz);
        X509_NAME* nazwa = X509_get_subject_name(x);
        X509_NAME_add_entry_by_txt(nazwa, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(x, nazwa);
        if (klucz == nullptr || X509_sign(x, klucz, EVP_sha256()) == 0)
            throw std::runtime_error("test server: cannot make a certificate");
        return std::pair{klucz, x};
    }();
    return para;
}

class Strumien {
public:
    Strumien(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    long Czytaj(char* b, int n) { return ssl_ ? SSL_read(ssl_, b, n) : ::recv(fd_, b, static_cast<size_t>(n), 0); }
    bool Pisz(std::string_view s) {
        while (!s.empty()) {
            const long w = ssl_ ? SSL_write(ssl_, s.data(), static_cast<int>(std::min<size_t>(s.size(), 1 << 20)))
                                : ::send(fd_, s.data(), s.size(), MSG_NOSIGNAL);
            if (w <= 0) return false;
            s.remove_prefix(static_cast<size_t>(w));
        }
        return true;
    }

private:
    int fd_;
    SSL* ssl_;
};

bool CzytajZadanie(Strumien& s, Zadanie& z) {
    std::string dane;
    char b[4096];
    while (dane.find("\r\n\r\n") == std::string::npos) {
        const long r = s.Czytaj(b, sizeof b);
        if (r <= 0 || dane.size() > 65536) return false;
        dane.append(b, static_cast<size_t>(r));
    }
    size_t p = dane.find("\r\n");
    const std::string pierwsza = dane.substr(0, p);
    const auto s1 = pierwsza.find(' '), s2 = pierwsza.rfind(' ');
    if (s1 == std::string::npos || s2 <= s1) return false;
    z.metoda = pierwsza.substr(0, s1);
    z.cel = pierwsza.substr(s1 + 1, s2 - s1 - 1);
    for (size_t q; (q = dane.find("\r\n", p + 2)) != p + 2 && q != std::string::npos; p = q) {
        const std::string linia = dane.substr(p + 2, q - p - 2);
        const auto d = linia.find(':');
        if (d == std::string::npos) continue;
        const auto v = linia.find_first_not_of(' ', d + 1);
        z.naglowki.emplace_back(linia.substr(0, d), v == std::string::npos ? "" : linia.substr(v));
    }
    return true;
}

}  // namespace

std::string Zadanie::Naglowek(std::string_view nazwa) const {
    for (const auto& [n, v] : naglowki)
        if (RowneBezWielkosci(n, nazwa)) return v;
    return {};
}

SerwerHTTP::SerwerHTTP(Obsluga obsluga, Tryb tryb) : obsluga_(std::move(obsluga)), tryb_(tryb) {
    if (tryb_ != Tryb::Http) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        const auto [klucz, cert] = Certyfikat();
        SSL_CTX_use_certificate(ctx, cert);
        SSL_CTX_use_PrivateKey(ctx, klucz);
        if (tryb_ == Tryb::Tls10) {
            SSL_CTX_set_security_level(ctx, 0);
            SSL_CTX_set_cipher_list(ctx, "DEFAULT:@SECLEVEL=0");
            SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
            SSL_CTX_set_max_proto_version(ctx, TLS1_VERSION);
        }
        tls_ = ctx;
    }
    nasluch_ = Nasluchuj(64, port_);
    if (::pipe2(budzik_, O_CLOEXEC) != 0) throw std::runtime_error("test server: pipe");
    przyjmowanie_ = std::thread([this] { Przyjmuj(); });
}

SerwerHTTP::~SerwerHTTP() {
    {
        std::lock_guard l(m_);
        stop_ = true;
    }
    cv_.notify_all();
    (void)!::write(budzik_[1], "x", 1);
    przyjmowanie_.join();
    {
        std::lock_guard l(m_);
        for (int fd : polaczenia_) ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& w : watki_) w.join();
    for (int fd : polaczenia_) ::close(fd);  // only now: a reused number must not be shut down
    ::close(nasluch_);
    ::close(budzik_[0]);
    ::close(budzik_[1]);
    SSL_CTX_free(static_cast<SSL_CTX*>(tls_));
}

std::string SerwerHTTP::Adres() const {
    return std::string(tryb_ == Tryb::Http ? "http" : "https") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<Zadanie> SerwerHTTP::Zadania() const {
    std::lock_guard l(m_);
    return zadania_;
}

void SerwerHTTP::Przyjmuj() {
    for (;;) {
        pollfd p[2] = {{nasluch_, POLLIN, 0}, {budzik_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 || stop_) return;
        const int fd = ::accept4(nasluch_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard l(m_);
        polaczenia_.push_back(fd);
        watki_.emplace_back([this, fd] { Obsluz(fd); });
    }
}

void SerwerHTTP::Obsluz(int fd) {
    SSL* ssl = nullptr;
    if (tls_ != nullptr) {
        ssl = SSL_new(static_cast<SSL_CTX*>(tls_));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ssl = nullptr;
            ERR_clear_error();
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
    Strumien s(fd, ssl);
    Zadanie z;
    if (CzytajZadanie(s, z)) {
        {
            std::lock_guard l(m_);
            zadania_.push_back(z);
        }
        Odpowiedz o = obsluga_(z);
        if (o.milcz) {
            std::unique_lock l(m_);
            cv_.wait(l, [this] { return stop_.load(); });
        } else {
            std::string naglowek = "HTTP/1.1 " + std::to_string(o.kod) + " " + o.powod + "\r\n";
            for (const auto& [n, v] : o.naglowki) naglowek += n + ": " + v + "\r\n";
            if (!o.dalej) naglowek += "Content-Length: " + std::to_string(o.tresc.size()) + "\r\n";
            naglowek += "Connection: close\r\n\r\n";
            const bool head = z.metoda == "HEAD";
            bool dobrze = s.Pisz(naglowek) && (head || s.Pisz(o.tresc));
            for (std::string kawalek; dobrze && !head && o.dalej && !stop_ && o.dalej(kawalek); kawalek.clear())
                dobrze = s.Pisz(kawalek);
        }
    }
    if (ssl != nullptr) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    ::shutdown(fd, SHUT_RDWR);
}

ZatkanyPort::ZatkanyPort() {
    nasluch_ = Nasluchuj(0, port_);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port_));
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        (void)::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        zatyczki_.push_back(fd);
    }
}

ZatkanyPort::~ZatkanyPort() {
    for (int fd : zatyczki_) ::close(fd);
    ::close(nasluch_);
}

}  // namespace tolvak::test
