#include "sources/Pliki.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Bledy.h"

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

/// Removes the temporary file unless the copy completed.
class UsunJesliNieUdane {
public:
    explicit UsunJesliNieUdane(std::string path) : path_(std::move(path)) {}
    ~UsunJesliNieUdane() {
        if (!done_) ::unlink(path_.c_str());
    }
    UsunJesliNieUdane(const UsunJesliNieUdane&) = delete;
    UsunJesliNieUdane& operator=(const UsunJesliNieUdane&) = delete;
    void done() { done_ = true; }

private:
    std::string path_;
    bool done_ = false;
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

std::string NazwaTymczasowa(const std::string& cel) {
    const auto p = cel.find_last_of('/');
    const std::string folder = p == std::string::npos ? std::string() : cel.substr(0, p + 1);
    const std::string nazwa = p == std::string::npos ? cel : cel.substr(p + 1);
    return folder + "." + nazwa + ".part";
}

void KopiujPlik(const std::string& zrodlo, const std::string& cel, Okno& okno) {
    const std::string nazwa = nazwaPliku(zrodlo);
    okno.setAction("Kopiowanie pliku " + nazwa + "...");

    Deskryptor src(::open(zrodlo.c_str(), O_RDONLY | O_CLOEXEC));
    if (src.get() < 0) throw BladPliku(Otwarcie, zrodlo, errno);
    struct stat st{};
    if (::fstat(src.get(), &st) != 0) throw BladPliku(Odczyt, zrodlo, errno);
    if (S_ISDIR(st.st_mode)) throw BladPliku(Odczyt, zrodlo, EISDIR);
    okno.setGaugeMax(static_cast<int64_t>(st.st_size) / 1000);

    const std::string tymczasowy = NazwaTymczasowa(cel);
    Deskryptor dst(::open(tymczasowy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (dst.get() < 0) throw BladPliku(Utworzenie, cel, errno);
    UsunJesliNieUdane sprzatanie(tymczasowy);

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
        wyjscie.append(wejscie, wPos, n);
        wPos += n;
        if (wyjscie.size() >= kBufor) {
            if (!zapiszWszystko(dst.get(), wyjscie.data(), wyjscie.size()))
                throw BladPliku(Zapis, cel, errno);
            wyjscie.clear();
        }
        razem += static_cast<int64_t>(n);
        okno.setGaugePosition(razem / 1000);
    }
    if (!wyjscie.empty() && !zapiszWszystko(dst.get(), wyjscie.data(), wyjscie.size()))
        throw BladPliku(Zapis, cel, errno);
    if (::fsync(dst.get()) != 0 && errno != EINVAL && errno != EROFS)
        throw BladPliku(Zapis, cel, errno);
    if (dst.release() != 0) throw BladPliku(Zamkniecie, cel, errno);
    src.release();
    if (::rename(tymczasowy.c_str(), cel.c_str()) != 0) throw BladPliku(Zastapienie, cel, errno);
    sprzatanie.done();

    okno.setAction("Kopiowanie pliku " + nazwa + " zostało zakończone.");
}

}  // namespace tolvak
