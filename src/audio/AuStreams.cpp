#include "audio/AuStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tolvak {

namespace {

[[noreturn]] void RaisePlatformError(int code) {
    throw EAuException(std::system_category().message(code));
}

}  // namespace

// TAuFileStream

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t Mode) : TAuFileStream(FileName, 0, Mode) {}

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t /*Rights*/, uint32_t Mode) {
    int flags = O_CLOEXEC;
    if ((Mode & fmCreate) == fmCreate) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (Mode & 3) {
            case fmOpenRead: flags |= O_RDONLY; break;
            case fmOpenWrite: flags |= O_WRONLY; break;
            default: flags |= O_RDWR; break;
        }
    }
    // There are no share modes on this platform; bits 4 to 7 have nothing to enforce.
    do {
        fd_ = ::open(FileName.c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) RaisePlatformError(errno);
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        RaisePlatformError(EISDIR);
    }
}

TAuFileStream::~TAuFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TAuFileStream::Read(void* Buffer, int64_t Count) {
    auto* p = static_cast<uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = ::read(fd_, p + done, static_cast<size_t>(Count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            RaisePlatformError(errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Write(const void* Buffer, int64_t Count) {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = ::write(fd_, p + done, static_cast<size_t>(Count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // a full disk or a failing device: the caller sees the short count
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET : (Origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END);
    off_t r = ::lseek(fd_, static_cast<off_t>(Offset), whence);
    if (r < 0) RaisePlatformError(errno);
    return r;
}

int64_t TAuFileStream::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) RaisePlatformError(errno);
    return st.st_size;
}

// TAuMemoryStream

void TAuMemoryStream::LoadFromFile(const std::string& FileName) {
    TAuFileStream f(FileName, TAuFileStream::kInputMode);
    std::vector<uint8_t> d(static_cast<size_t>(f.Size()));
    int64_t n = f.Read(d.data(), static_cast<int64_t>(d.size()));
    d.resize(static_cast<size_t>(n));
    data_ = std::move(d);
    pos_ = 0;
}

int64_t TAuMemoryStream::Read(void* Buffer, int64_t Count) {
    int64_t n = std::clamp<int64_t>(Size() - pos_, 0, std::max<int64_t>(Count, 0));
    if (n > 0) std::memcpy(Buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TAuMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    if (pos_ + Count > Size()) data_.resize(static_cast<size_t>(pos_ + Count));
    std::memcpy(data_.data() + pos_, Buffer, static_cast<size_t>(Count));
    pos_ += Count;
    return Count;
}

int64_t TAuMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = Origin == TSeekOrigin::soBeginning ? 0 : (Origin == TSeekOrigin::soCurrent ? pos_ : Size());
    int64_t p = base + Offset;
    if (p < 0) throw EAuException("Invalid stream position");
    pos_ = p;
    return pos_;
}

}  // namespace tolvak
