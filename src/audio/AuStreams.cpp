#include "audio/AuStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tolvak {

// TAuFileStream

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t Mode) : TAuFileStream(FileName, 0, Mode) {}

void TAuFileStream::Raise(OperacjaNaPliku operacja, int err) const {
    ZglosBladPlikuAu(operacja, fileName_, err);
}

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t /*Rights*/, uint32_t Mode)
    : fileName_(FileName) {
    int flags = O_CLOEXEC;
    const bool create = (Mode & fmCreate) == fmCreate;
    const OperacjaNaPliku opening = create ? OperacjaNaPliku::Utworzenie : OperacjaNaPliku::Otwarcie;
    if (create) {
        // A created file is written where it is named: a link planted at the name is removed,
        // never written through (one planted again meanwhile makes the open fail).
        struct stat ln {};
        if (::lstat(FileName.c_str(), &ln) == 0 && S_ISLNK(ln.st_mode)) ::unlink(FileName.c_str());
        flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW;
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
    if (fd_ < 0) Raise(opening, errno);
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        Raise(opening, EISDIR);
    }
}

TAuFileStream::~TAuFileStream() {
    if (fd_ < 0) return;
    if (use_ == Use::Writing) WritePending();  // nobody is left to hear of a failure
    ::close(fd_);
}

int64_t TAuFileStream::ReadAll(uint8_t* p, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            Raise(OperacjaNaPliku::Odczyt, errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::WriteAll(int fd, const uint8_t* p, int64_t count, int& error) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A full disk or a failing device: the caller sees the short count.
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Logical() const {
    switch (use_) {
        case Use::Reading: return filePos_ - (bufLen_ - bufPos_);
        case Use::Writing: return filePos_ + bufLen_;
        default: return filePos_;
    }
}

bool TAuFileStream::WritePending() {
    if (use_ != Use::Writing) return true;
    const int64_t n = WriteAll(fd_, buf_.data(), bufLen_, writeError_);
    filePos_ += n;
    const bool ok = n == bufLen_;
    bufLen_ = 0;
    use_ = Use::None;
    return ok;
}

void TAuFileStream::EndWriting() {
    if (use_ == Use::Writing && !WritePending()) Raise(OperacjaNaPliku::Zapis, writeError_);
}

void TAuFileStream::EndReading() {
    if (use_ != Use::Reading) return;
    const int64_t at = Logical();
    if (at != filePos_) {
        if (::lseek(fd_, static_cast<off_t>(at), SEEK_SET) < 0) Raise(OperacjaNaPliku::Odczyt, errno);
        filePos_ = at;
    }
    bufPos_ = bufLen_ = 0;
    use_ = Use::None;
}

int64_t TAuFileStream::Read(void* Buffer, int64_t Count) {
    EndWriting();
    auto* p = static_cast<uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        if (use_ == Use::Reading && bufPos_ < bufLen_) {
            const int64_t n = std::min(Count - done, bufLen_ - bufPos_);
            std::memcpy(p + done, buf_.data() + bufPos_, static_cast<size_t>(n));
            bufPos_ += n;
            done += n;
            continue;
        }
        if (Count - done >= kBufferSize) {
            // A large request goes straight into the caller's memory.
            EndReading();
            const int64_t n = ReadAll(p + done, Count - done);
            filePos_ += n;
            done += n;
            break;
        }
        if (buf_.empty()) buf_.resize(static_cast<size_t>(kBufferSize));
        EndReading();
        const int64_t n = ReadAll(buf_.data(), kBufferSize);
        filePos_ += n;
        use_ = Use::Reading;
        bufPos_ = 0;
        bufLen_ = n;
        if (n == 0) break;
    }
    return done;
}

int64_t TAuFileStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    EndReading();
    const auto* p = static_cast<const uint8_t*>(Buffer);
    if (use_ == Use::Writing && bufLen_ + Count > kBufferSize && !WritePending()) return 0;
    if (Count >= kBufferSize) {
        const int64_t n = WriteAll(fd_, p, Count, writeError_);
        filePos_ += n;
        return n;
    }
    if (buf_.empty()) buf_.resize(static_cast<size_t>(kBufferSize));
    std::memcpy(buf_.data() + bufLen_, p, static_cast<size_t>(Count));
    bufLen_ += Count;
    use_ = Use::Writing;
    return Count;
}

bool TAuFileStream::FlushBuffer() { return WritePending(); }

int64_t TAuFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    if (Origin == TSeekOrigin::soCurrent && Offset == 0) return Logical();
    if (Origin != TSeekOrigin::soEnd) {
        const int64_t to = Origin == TSeekOrigin::soBeginning ? Offset : Logical() + Offset;
        // A move within what was read ahead (a header parsed, then the data) costs no call.
        if (use_ == Use::Reading && to >= filePos_ - bufLen_ && to <= filePos_) {
            bufPos_ = to - (filePos_ - bufLen_);
            return to;
        }
        if (to < 0) Raise(OperacjaNaPliku::Odczyt, EINVAL);
        EndWriting();
        EndReading();
        if (to == filePos_) return to;
        Offset = to;
        Origin = TSeekOrigin::soBeginning;
    } else {
        EndWriting();
        EndReading();
    }
    const off_t r = ::lseek(fd_, static_cast<off_t>(Offset), Origin == TSeekOrigin::soBeginning ? SEEK_SET : SEEK_END);
    if (r < 0) Raise(OperacjaNaPliku::Odczyt, errno);
    filePos_ = r;
    return r;
}

int64_t TAuFileStream::Size() {
    EndWriting();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Raise(OperacjaNaPliku::Odczyt, errno);
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
