#include "audio/DecodeStream.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include "audio/WavChunks.h"

namespace tolvak::audiolib {

namespace {

/// A file read through one fixed buffer, with the calls the decoder makes on it. A window
/// (Window) makes a stretch of the file look like the whole file.
class FileReader {
public:
    static constexpr std::size_t kBufferBytes = 256 * 1024;

    /// Raises EFOpenError naming the file.
    explicit FileReader(const std::filesystem::path& path) : path_(path), buf_(kBufferBytes) {
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) throw EFOpenError(OperacjaNaPliku::Otwarcie, path_, errno);
        struct stat st {};
        const int rc = ::fstat(fd_, &st);
        const int err = rc != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
        if (err != 0) {
            ::close(fd_);
            throw EFOpenError(OperacjaNaPliku::Otwarcie, path_, err);
        }
        size_ = st.st_size;
    }
    ~FileReader() { ::close(fd_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    /// From here on only the `length` bytes from `offset` on are seen, as a file of their own.
    void Window(int64_t offset, int64_t length) {
        base_ += offset;
        size_ = std::clamp<int64_t>(length, 0, size_ - offset);
        pos_ = 0;
        bufLen_ = 0;
    }
    /// Reads at an offset without moving the position the decoder sees.
    int64_t ReadAt(int64_t offset, void* ptr, int64_t count) {
        const int64_t keep = pos_;
        Seek(offset, SEEK_SET);
        const int64_t n = pos_ == offset ? Read(ptr, count) : 0;
        pos_ = keep;
        return n;
    }

    int64_t Length() const { return size_; }
    int64_t Tell() const { return pos_; }
    int64_t Seek(int64_t offset, int whence) {
        int64_t base = 0;
        switch (whence) {
            case SEEK_SET: base = 0; break;
            case SEEK_CUR: base = pos_; break;
            case SEEK_END: base = size_; break;
            default: return -1;
        }
        if (base + offset < 0) return -1;
        pos_ = std::min(base + offset, size_);
        return pos_;
    }
    int64_t Read(void* ptr, int64_t count) {
        auto* out = static_cast<unsigned char*>(ptr);
        int64_t done = 0;
        while (done < count && pos_ < size_) {
            if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
                const int64_t n = std::min(count - done, bufStart_ + bufLen_ - pos_);
                std::memcpy(out + done, buf_.data() + (pos_ - bufStart_), static_cast<std::size_t>(n));
                done += n;
                pos_ += n;
                continue;
            }
            // Large requests go straight into the caller's memory; small ones through the buffer.
            const bool direct = count - done >= static_cast<int64_t>(buf_.size());
            unsigned char* into = direct ? out + done : buf_.data();
            const auto want = direct ? static_cast<std::size_t>(count - done) : buf_.size();
            const ssize_t n = ::pread(fd_, into, want, static_cast<off_t>(base_ + pos_));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n < 0) error_ = errno;
                size_ = n == 0 ? pos_ : size_;  // the file got shorter: its end is here
                break;
            }
            if (direct) {
                done += n;
                pos_ += n;
            } else {
                bufStart_ = pos_;
                bufLen_ = n;
            }
        }
        return done;
    }
    void CheckRead() const {
        if (error_ != 0) throw EFOpenError(OperacjaNaPliku::Odczyt, path_, error_);
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    int64_t base_ = 0;  // where the window starts in the file
    int64_t size_ = 0;
    int64_t pos_ = 0;
    std::vector<unsigned char> buf_;
    int64_t bufStart_ = 0;
    int64_t bufLen_ = 0;
    int error_ = 0;
};

FileReader& Reader(void* user) { return *static_cast<FileReader*>(user); }

SF_VIRTUAL_IO g_fileIo{
    [](void* user) -> sf_count_t { return Reader(user).Length(); },
    [](sf_count_t offset, int whence, void* user) -> sf_count_t { return Reader(user).Seek(offset, whence); },
    [](void* ptr, sf_count_t count, void* user) -> sf_count_t { return Reader(user).Read(ptr, count); },
    [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },
    [](void* user) -> sf_count_t { return Reader(user).Tell(); },
};

/// The libsndfile path: WAV in its encodings and MPEG audio through mpg123, detected by content.
class DecodeStream final : public PcmSource {
public:
    /// nullptr when libsndfile does not read the content.
    static std::unique_ptr<DecodeStream> Open(std::unique_ptr<FileReader> file) {
        if (file->Length() == 0) return nullptr;
        std::unique_ptr<DecodeStream> s(new DecodeStream(std::move(file)));
        SF_INFO info{};
        SNDFILE* sf = sf_open_virtual(&g_fileIo, SFM_READ, &info, s->file_.get());
        if (!sf) return nullptr;
        s->sf_ = sf;
        if (info.channels <= 0 || info.channels > 0xFFFF || info.samplerate <= 0) return nullptr;
        s->rate_ = info.samplerate;
        s->channels_ = info.channels;
        const sf_count_t maxFrames = std::numeric_limits<int64_t>::max() / 2 / info.channels;
        s->length_ = (info.frames > 0 && info.frames < maxFrames)
                         ? static_cast<int64_t>(info.frames) * info.channels * 2
                         : 0;
        switch (info.format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_16:
            case SF_FORMAT_PCM_S8:
            case SF_FORMAT_PCM_U8:
                s->exact16_ = true;
                break;
            default:
                s->exact16_ = false;
        }
        sf_command(sf, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        return s;
    }
    ~DecodeStream() override {
        if (sf_) sf_close(sf_);
    }

    int SampleRate() const override { return rate_; }
    int Channels() const override { return channels_; }
    int64_t Length() const override { return length_; }
    bool Active() const override { return active_; }
    void CheckRead() const override { file_->CheckRead(); }

    std::size_t Read(std::span<int16_t> out) override {
        const std::size_t frames = out.size() / static_cast<std::size_t>(channels_);
        if (!active_ || frames == 0) return 0;
        sf_count_t got = 0;
        if (exact16_) {
            got = sf_readf_short(sf_, out.data(), static_cast<sf_count_t>(frames));
        } else {
            scratch_.resize(frames * static_cast<std::size_t>(channels_));
            got = sf_readf_float(sf_, scratch_.data(), static_cast<sf_count_t>(frames));
            if (got > 0) {
                const auto n = static_cast<std::size_t>(got) * static_cast<std::size_t>(channels_);
                FloatTo16(std::span<const float>(scratch_.data(), n), out.first(n));
            }
        }
        return Delivered(got);
    }
    std::size_t Read(std::span<float> out) override {
        const std::size_t frames = out.size() / static_cast<std::size_t>(channels_);
        if (!active_ || frames == 0) return 0;
        return Delivered(sf_readf_float(sf_, out.data(), static_cast<sf_count_t>(frames)));
    }

private:
    explicit DecodeStream(std::unique_ptr<FileReader> file) : file_(std::move(file)) {}
    std::size_t Delivered(sf_count_t got) {
        if (got > 0) return static_cast<std::size_t>(got);
        active_ = false;
        return 0;
    }

    std::unique_ptr<FileReader> file_;  // before sf_, which reads it until it is closed
    SNDFILE* sf_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    bool active_ = true;
    bool exact16_ = false;  // the source holds 16 bits or fewer per sample: read them unchanged
    std::vector<float> scratch_;
};

}  // namespace

std::unique_ptr<PcmSource> OpenDecoder(const std::filesystem::path& path) {
    auto file = std::make_unique<FileReader>(path);
    // MPEG audio in a WAV container: libsndfile reads layer III there but not layer II, while
    // both decode through mpg123 from the bare stream of the data chunk.
    FileReader& f = *file;
    const auto layout = ParseWavLayout(
        [&f](int64_t offset, void* into, int64_t count) { return f.ReadAt(offset, into, count); },
        f.Length());
    f.CheckRead();
    if (layout && (layout->FormatTag == kWaveMpeg || layout->FormatTag == kWaveMpegLayer3))
        f.Window(layout->DataOffset, layout->DataBytes);
    return DecodeStream::Open(std::move(file));
}

void FloatTo16(std::span<const float> in, std::span<int16_t> out) {
    const std::size_t n = std::min(in.size(), out.size());
    // Without branches, so the loop runs on vectors: not a number becomes 0, the rest is clipped,
    // and adding 1.5 × 2^23 rounds to the nearest integer, halves to even.
    constexpr float kShift = 12582912.0f;
    for (std::size_t i = 0; i < n; ++i) {
        float v = in[i] * 32768.0f;
        v = v == v ? v : 0.0f;
        v = std::min(std::max(v, -32768.0f), 32767.0f);
        out[i] = static_cast<int16_t>(static_cast<int>((v + kShift) - kShift));
    }
}

}  // namespace tolvak::audiolib
