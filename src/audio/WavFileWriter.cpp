#include "audio/WavFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <unistd.h>

#include "audio/WavChunks.h"
#include "platform/Bledy.h"
#include "platform/PlikiTymczasowe.h"

namespace tolvak::audiolib {

std::vector<unsigned char> WavHeader16(int sampleRate, int channels, uint32_t dataBytes) {
    return PlainWavHeader(sampleRate, channels, 16, dataBytes);
}

namespace {
// The sizes in the header are 32-bit: a data chunk holds at most this many bytes.
constexpr int64_t kMaxDataBytes = 0xFFFFFFFFll - 36;
}  // namespace

std::unique_ptr<WavFileWriter> WavFileWriter::Create(const std::filesystem::path& target,
                                                     int sampleRate, int channels) {
    if (sampleRate <= 0 || channels <= 0 || channels > 0xFFFF)
        ZglosBladPliku(OperacjaNaPliku::Utworzenie, target.native(), EINVAL);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        ZglosBladPliku(OperacjaNaPliku::Utworzenie, target.native(), EISDIR);
    std::unique_ptr<WavFileWriter> w(new WavFileWriter());
    w->target_ = target;
    w->channels_ = channels;
    // Under a name nobody can predict, created with O_EXCL: a link planted beside the target
    // never redirects the write.
    const int fd = UtworzTymczasowyRoboczy(target, w->temp_);
    if (fd < 0) ZglosBladPliku(OperacjaNaPliku::Utworzenie, target.native(), errno);
    w->f_ = ::fdopen(fd, "wb");
    if (!w->f_) {
        const int err = errno;
        ::close(fd);
        ::unlink(w->temp_.c_str());
        ZglosBladPliku(OperacjaNaPliku::Utworzenie, target.native(), err);
    }
    // The buffer must be given: without one the C library takes the block size (4 KiB).
    w->buf_.resize(kBufferBytes);
    std::setvbuf(w->f_, w->buf_.data(), _IOFBF, w->buf_.size());
    const auto header = WavHeader16(sampleRate, channels, 0);
    if (std::fwrite(header.data(), 1, header.size(), w->f_) != header.size())
        ZglosBladPliku(OperacjaNaPliku::Zapis, target.native(), errno != 0 ? errno : EIO);
    w->rate_ = sampleRate;  // the header is completed on Commit
    return w;
}

WavFileWriter::~WavFileWriter() { Discard(); }

void WavFileWriter::Discard() {
    if (f_) {
        std::fclose(f_);
        f_ = nullptr;
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void WavFileWriter::Write(std::span<const int16_t> samples) {
    if (failed_ || !f_) ZglosBladPliku(OperacjaNaPliku::Zapis, target_.native(), EIO);
    const int64_t frameBytes = static_cast<int64_t>(channels_) * 2;
    int64_t bytes = static_cast<int64_t>(samples.size()) * 2;
    const int64_t room = (kMaxDataBytes - dataBytes_) / frameBytes * frameBytes;
    bytes = std::min(bytes, room);  // beyond what the header can describe nothing is kept
    if (bytes <= 0) return;
    errno = 0;
    if (std::fwrite(samples.data(), 1, static_cast<std::size_t>(bytes), f_) !=
        static_cast<std::size_t>(bytes)) {
        const int err = errno != 0 ? errno : EIO;
        failed_ = true;
        Discard();
        ZglosBladPliku(OperacjaNaPliku::Zapis, target_.native(), err);
    }
    dataBytes_ += bytes;
}

void WavFileWriter::Commit() {
    if (!f_ || failed_) {
        Discard();
        ZglosBladPliku(OperacjaNaPliku::Zapis, target_.native(), EIO);
    }
    const auto header = WavHeader16(rate_, channels_, static_cast<uint32_t>(dataBytes_));
    // The buffered samples reach the disk here: a full disk shows at the flush or the close.
    errno = 0;
    bool ok = std::fflush(f_) == 0 && std::fseek(f_, 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), f_) == header.size();
    int err = ok ? 0 : errno;
    if (std::fclose(f_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    f_ = nullptr;
    OperacjaNaPliku operacja = OperacjaNaPliku::Zapis;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp_, target_, ec);
        ok = !ec;
        err = ec.value();
        operacja = OperacjaNaPliku::Zastapienie;
    }
    if (!ok) {
        failed_ = true;
        std::filesystem::remove(temp_, ec);
        ZglosBladPliku(operacja, target_.native(), err != 0 ? err : EIO);
    }
}

}  // namespace tolvak::audiolib
