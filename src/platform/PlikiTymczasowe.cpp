#include "platform/PlikiTymczasowe.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "platform/Bledy.h"

namespace tolvak {

namespace fs = std::filesystem;

namespace {

using enum OperacjaNaPliku;

constexpr std::string_view kZnaki = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kLosowe = 6;
constexpr std::string_view kKoncowka = ".part";
constexpr std::string_view kTmp = ".tmp-";

std::string losoweZnaki() {
    std::array<unsigned char, kLosowe> bajty{};
    std::size_t mam = 0;
    while (mam < bajty.size()) {
        const ssize_t n = ::getrandom(bajty.data() + mam, bajty.size() - mam, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        mam += static_cast<std::size_t>(n);
    }
    std::string s;
    for (const unsigned char b : bajty) s += kZnaki[b % kZnaki.size()];
    return s;
}

bool losowe(std::string_view s) {
    return s.size() == kLosowe &&
           std::all_of(s.begin(), s.end(), [](char c) { return kZnaki.find(c) != std::string_view::npos; });
}

/// Creates "." + the target's name + przed + six random characters + po beside `cel`. Six random
/// letters or digits leave 56 billion names: a clash with a file that is already there (or was
/// planted there) only makes the next name be tried.
int utworzLosowy(const fs::path& cel, const std::string& przed, std::string_view po, fs::path& sciezka) {
    const std::string przedrostek = "." + cel.filename().string() + przed;
    for (int proba = 0; proba < 100; ++proba) {
        sciezka = cel.parent_path() / (przedrostek + losoweZnaki() + std::string(po));
        const int fd = ::open(sciezka.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || (errno != EEXIST && errno != EINTR)) return fd;
    }
    return -1;
}

bool jedenZ(std::string_view nazwa, std::initializer_list<std::string_view> wlasne) {
    return std::find(wlasne.begin(), wlasne.end(), nazwa) != wlasne.end();
}

}  // namespace

std::string ZnacznikFolderu(const fs::path& folderProgramu) {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0) host[0] = '\0';
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(fs::absolute(folderProgramu, ec), ec);
    if (ec) folder = folderProgramu;
    // FNV-1a: stable across builds and machines, unlike std::hash.
    uint64_t h = 14695981039346656037ull;
    auto dodaj = [&h](std::string_view s) {
        for (const unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    };
    dodaj(host.data());
    dodaj(std::string_view("\0", 1));
    dodaj(folder.native());
    char b[9];
    std::snprintf(b, sizeof b, "%08x", static_cast<unsigned>(h ^ (h >> 32)));
    return b;
}

PlikTymczasowy::PlikTymczasowy(const fs::path& cel, std::string_view znacznik) : cel_(cel) {
    fd_ = utworzLosowy(cel, "." + std::string(znacznik) + "-", kKoncowka, sciezka_);
    if (fd_ < 0) ZglosBladPliku(Utworzenie, cel.native(), errno);
}

int UtworzTymczasowyRoboczy(const fs::path& cel, fs::path& sciezka) {
    return utworzLosowy(cel, std::string(kTmp), "", sciezka);
}

PlikTymczasowy::~PlikTymczasowy() {
    if (fd_ >= 0) ::close(fd_);
    if (!zastapiony_) ::unlink(sciezka_.c_str());
}

void PlikTymczasowy::ZastapCel() {
    // Some file systems (a network share, a pipe-backed one) cannot sync; that is no failure.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        ZglosBladPliku(Zapis, cel_.native(), errno);
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) ZglosBladPliku(Zamkniecie, cel_.native(), errno);
    if (::rename(sciezka_.c_str(), cel_.c_str()) != 0) ZglosBladPliku(Zastapienie, cel_.native(), errno);
    zastapiony_ = true;
    SynchronizujFolder(cel_.parent_path(), cel_);
}

int UtworzPlikRoboczy(const fs::path& plik) {
    // What cannot be removed (a folder, no rights) makes the open below fail with its reason.
    ::unlink(plik.c_str());
    for (;;) {
        const int fd = ::open(plik.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) return fd;
        if (errno != EINTR) ZglosBladPliku(Utworzenie, plik.native(), errno);
    }
}

void SynchronizujFolder(const fs::path& folder, const fs::path& plik) {
    const fs::path f = folder.empty() ? fs::path(".") : folder;
    const int fd = ::open(f.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // a folder that cannot be opened for reading cannot be synced either
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0 && err != EINVAL && err != EROFS && err != ENOTSUP && err != EBADF)
        ZglosBladPliku(Zapis, plik.native(), err);
}

bool CzyPlikTymczasowy(std::string_view nazwa, std::string_view znacznik,
                       std::initializer_list<std::string_view> wlasne) {
    // ".NAME.<znacznik>-XXXXXX.part"
    const std::size_t ogon = 1 + znacznik.size() + 1 + kLosowe + kKoncowka.size();
    if (!znacznik.empty() && nazwa.size() > 1 + ogon && nazwa.front() == '.' &&
        nazwa.ends_with(kKoncowka)) {
        const std::string_view t = nazwa.substr(nazwa.size() - ogon);
        if (t[0] == '.' && t.substr(1, znacznik.size()) == znacznik && t[1 + znacznik.size()] == '-' &&
            losowe(t.substr(2 + znacznik.size(), kLosowe)))
            return true;
    }
    // ".NAME.tmp-XXXXXX" of the atomic writes and the work files.
    if (nazwa.size() <= 1 + kTmp.size() + kLosowe || nazwa.front() != '.') return false;
    const std::string_view rdzen = nazwa.substr(1, nazwa.size() - 1 - kTmp.size() - kLosowe);
    const std::string_view t = nazwa.substr(1 + rdzen.size());
    return t.starts_with(kTmp) && losowe(t.substr(kTmp.size())) && jedenZ(rdzen, wlasne);
}

int UsunPlikiTymczasowe(const fs::path& folder, std::string_view znacznik,
                        std::initializer_list<std::string_view> wlasne) {
    int usuniete = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), koniec; !ec && it != koniec; it.increment(ec)) {
        const fs::path& p = it->path();
        if (!CzyPlikTymczasowy(p.filename().native(), znacznik, wlasne)) continue;
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        if (::unlink(p.c_str()) == 0) ++usuniete;
    }
    return usuniete;
}

int UsunPlikiPobrane(const fs::path& folder, std::string_view przedrostek, const fs::path& zachowaj) {
    int usuniete = 0;
    // Compared by device and inode: the file to keep may be a FIFO, which fs::equivalent refuses.
    struct stat doZachowania {};
    const bool jestDoZachowania = !zachowaj.empty() && ::stat(zachowaj.c_str(), &doZachowania) == 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), koniec; !ec && it != koniec; it.increment(ec)) {
        const fs::path& p = it->path();
        if (przedrostek.empty() || !p.filename().native().starts_with(przedrostek)) continue;
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        struct stat cel {};
        if (jestDoZachowania && ::stat(p.c_str(), &cel) == 0 && cel.st_dev == doZachowania.st_dev &&
            cel.st_ino == doZachowania.st_ino)
            continue;
        if (::unlink(p.c_str()) == 0) ++usuniete;
    }
    return usuniete;
}

}  // namespace tolvak
