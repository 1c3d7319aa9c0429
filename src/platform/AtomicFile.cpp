#include "platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/Bledy.h"

namespace tolvak {

namespace fs = std::filesystem;

namespace {

using enum OperacjaNaPliku;

// Closes the descriptor and removes the temporary file unless the rename went through.
class TempFile {
public:
    TempFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    int Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }
    void Keep() { name_.clear(); }

private:
    int fd_;
    std::string name_;
};

fs::path ResolveTarget(const fs::path& target) {
    fs::path p = target;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        fs::path link = fs::read_symlink(p, ec);
        if (ec) break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p;
}

}  // namespace

void WriteFileAtomically(const fs::path& target, std::string_view bytes) {
    const fs::path file = ResolveTarget(target);
    fs::path dir = file.parent_path();
    if (dir.empty()) dir = ".";

    std::string tmpl = (dir / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) ZglosBladPliku(Utworzenie, file.native(), errno);
    TempFile tmp(fd, tmpl);

    // Keep the permissions of the file being replaced; a new file gets the usual 0644.
    struct stat st {};
    const mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(tmp.fd(), mode);

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(tmp.fd(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ZglosBladPliku(Zapis, file.native(), errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(tmp.fd()) != 0) ZglosBladPliku(Zapis, file.native(), errno);
    if (tmp.Close() != 0) ZglosBladPliku(Zapis, file.native(), errno);
    if (::rename(tmp.name().c_str(), file.c_str()) != 0) ZglosBladPliku(Zastapienie, file.native(), errno);
    tmp.Keep();

    // Make the rename itself durable (best effort: not every file system allows it).
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        ZglosBladPliku(Otwarcie, file.native(), errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ZglosBladPliku(Odczyt, file.native(), errno);
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace tolvak
