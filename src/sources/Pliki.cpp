#include "sources/Pliki.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Bledy.h"
#include "platform/PlikiTymczasowe.h"

namespace tolvak {

namespace {

std::string nazwaPliku(const std::string& sciezka) {
    const auto p = sciezka.find_last_of("/\\");
    return p == std::string::npos ? sciezka : sciezka.substr(p + 1);
}

using enum OperacjaNaPliku;

/// A POSIX file descriptor closed on destruction.
class Deskryptor {
public:
    explicit Deskryptor(int fd) : fd_(fd) {}
    ~Deskryptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Deskryptor(const Deskryptor&) = delete;
    Deskryptor& operator=(const Deskryptor&) = delete;
    int get() const { return fd_; }
    /// Closes now and reports the result of close().
    int release() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

ssize_t czytajWszystko(int fd, char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

bool zapiszWszystko(int fd, const char* buf, size_t n) {
    size_t put = 0;
    while (put < n) {
        const ssize_t w = ::write(fd, buf + put, n - put);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        put += static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

std::string RozszerzenieZrodla(std::string_view sciezka) {
    const auto kropka = sciezka.rfind('.');
    if (kropka == std::string_view::npos) return {};
    if (sciezka.find_first_of("/\\:", kropka) != std::string_view::npos) return {};
    return std::string(sciezka.substr(kropka));
}

bool IstniejePlik(const std::string& path) {
    if (path.empty()) return false;
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t GetFileSize(const std::string& FileName) {
    if (!IstniejePlik(FileName)) return 0;
    Deskryptor f(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.get() < 0) throw BladPliku(Otwarcie, FileName, errno);
    struct stat st{};
    if (::fstat(f.get(), &st) != 0) throw BladPliku(Odczyt, FileName, errno);
    return static_cast<int64_t>(st.st_size);
}

namespace {

/// The checks of a source on its status: a regular file, not too big.
void sprawdzStatus(const struct stat& st, const std::string& sciezka, int64_t maksBajtow) {
    if (S_ISDIR(st.st_mode)) throw BladPliku(Odczyt, sciezka, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw BladPliku(Odczyt, sciezka, static_cast<int>(PowodOdmowy::NieZwyklyPlik));
    if (maksBajtow >= 0 && st.st_size > maksBajtow)
        throw BladPliku(Odczyt, sciezka, static_cast<int>(PowodOdmowy::ZaDuzyPlik));
}

}  // namespace

void SprawdzPlikWejsciowy(const std::string& sciezka, int64_t maksBajtow) {
    struct stat st{};
    if (::stat(sciezka.c_str(), &st) != 0) throw BladPliku(Otwarcie, sciezka, errno);
    sprawdzStatus(st, sciezka, maksBajtow);
}

bool MaZnakKoncaWiersza(std::string_view sciezka) {
    return sciezka.find_first_of("\r\n") != std::string_view::npos;
}

std::string SciezkaDoLoga(std::string_view sciezka) {
    std::string s;
    for (const char c : sciezka) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else
            s += c;
    }
    return s;
}

void KopiujPlik(const std::string& zrodlo, const std::string& cel, Okno& okno,
                std::string_view znacznik, int64_t maksBajtow) {
    const std::string nazwa = nazwaPliku(zrodlo);
    okno.setAction("Kopiowanie pliku " + nazwa + "...");

    // Opening a FIFO for reading would wait for a writer: not blocking, then refused below.
    Deskryptor src(::open(zrodlo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (src.get() < 0) throw BladPliku(Otwarcie, zrodlo, errno);
    struct stat st{};
    if (::fstat(src.get(), &st) != 0) throw BladPliku(Odczyt, zrodlo, errno);
    sprawdzStatus(st, zrodlo, maksBajtow);
    okno.setGaugeMax(static_cast<int64_t>(st.st_size) / 1000);

    PlikTymczasowy dst(cel, znacznik);

    // The file is read ahead in large pieces; the window sees blocks of 256 bytes, each after
    // a round of message processing, and the writes are gathered into large pieces too.
    constexpr size_t kBlok = 256;
    constexpr size_t kBufor = 256 * 1024;
    std::string wejscie(kBufor, '\0');
    std::string wyjscie;
    wyjscie.reserve(kBufor);
    size_t wPos = 0, wEnd = 0;
    int64_t razem = 0;
    for (;;) {
        okno.processMessages();
        if (wPos == wEnd) {
            const ssize_t r = czytajWszystko(src.get(), wejscie.data(), kBufor);
            if (r < 0) throw BladPliku(Odczyt, zrodlo, errno);
            wPos = 0;
            wEnd = static_cast<size_t>(r);
        }
        const size_t n = std::min(kBlok, wEnd - wPos);
        if (n == 0) break;
        // A file that another system keeps appending to stops at the limit too.
        if (maksBajtow >= 0 && razem + static_cast<int64_t>(n) > maksBajtow)
            throw BladPliku(Odczyt, zrodlo, static_cast<int>(PowodOdmowy::ZaDuzyPlik));
        wyjscie.append(wejscie, wPos, n);
        wPos += n;
        if (wyjscie.size() >= kBufor) {
            if (!zapiszWszystko(dst.fd(), wyjscie.data(), wyjscie.size()))
                throw BladPliku(Zapis, cel, errno);
            wyjscie.clear();
        }
        razem += static_cast<int64_t>(n);
        okno.setGaugePosition(razem / 1000);
    }
    if (!wyjscie.empty() && !zapiszWszystko(dst.fd(), wyjscie.data(), wyjscie.size()))
        throw BladPliku(Zapis, cel, errno);
    src.release();
    dst.ZastapCel();

    okno.setAction("Kopiowanie pliku " + nazwa + " zostało zakończone.");
}

}  // namespace tolvak
