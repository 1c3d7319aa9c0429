#include "audio/WavFileWriter.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include <unistd.h>

#include "platform/PlikiTymczasowe.h"

namespace tolvak::audiolib {

namespace {

void Put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace

std::vector<unsigned char> WavHeader16(int sampleRate, int channels, uint32_t dataBytes) {
    std::vector<unsigned char> h(44, 0);
    const auto rate = static_cast<uint32_t>(sampleRate);
    const auto align = static_cast<uint32_t>(channels) * 2u;
    std::memcpy(&h[0], "RIFF", 4);
    Put32(&h[4], dataBytes + 36u);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    Put32(&h[16], 16);
    Put16(&h[20], 1);
    Put16(&h[22], static_cast<uint32_t>(channels));
    Put32(&h[24], rate);
    Put32(&h[28], rate * align);
    Put16(&h[32], align);
    Put16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], dataBytes);
    return h;
}

namespace {
// The sizes in the header are 32-bit: a data chunk holds at most this many bytes.
constexpr int64_t kMaxDataBytes = 0xFFFFFFFFll - 36;
}  // namespace

std::unique_ptr<WavFileWriter> WavFileWriter::Create(const std::filesystem::path& target,
                                                     int sampleRate, int channels) {
    if (sampleRate <= 0 || channels <= 0 || channels > 0xFFFF) return nullptr;
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) return nullptr;
    std::unique_ptr<WavFileWriter> w(new WavFileWriter());
    w->target_ = target;
    w->channels_ = channels;
    // Under a name nobody can predict, created with O_EXCL: a link planted beside the target
    // never redirects the write.
    const int fd = UtworzTymczasowyRoboczy(target, w->temp_);
    if (fd < 0) return nullptr;
    w->f_ = ::fdopen(fd, "wb");
    if (!w->f_) {
        ::close(fd);
        ::unlink(w->temp_.c_str());
        return nullptr;
    }
    // The buffer must be given: without one the C library takes the block size (4 KiB).
    w->buf_.resize(kBufferBytes);
    std::setvbuf(w->f_, w->buf_.data(), _IOFBF, w->buf_.size());
    const auto header = WavHeader16(sampleRate, channels, 0);
    if (std::fwrite(header.data(), 1, header.size(), w->f_) != header.size()) return nullptr;
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

bool WavFileWriter::Write(std::span<const int16_t> samples) {
    if (failed_ || !f_) return false;
    const int64_t frameBytes = static_cast<int64_t>(channels_) * 2;
    int64_t bytes = static_cast<int64_t>(samples.size()) * 2;
    const int64_t room = (kMaxDataBytes - dataBytes_) / frameBytes * frameBytes;
    bytes = std::min(bytes, room);  // beyond what the header can describe nothing is kept
    if (bytes <= 0) return true;
    if (std::fwrite(samples.data(), 1, static_cast<std::size_t>(bytes), f_) !=
        static_cast<std::size_t>(bytes)) {
        failed_ = true;
        return false;
    }
    dataBytes_ += bytes;
    return true;
}

bool WavFileWriter::Commit() {
    if (!f_ || failed_) {
        Discard();
        return false;
    }
    const auto header = WavHeader16(rate_, channels_, static_cast<uint32_t>(dataBytes_));
    bool ok = std::fflush(f_) == 0 && std::fseek(f_, 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), f_) == header.size();
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp_, target_, ec);
        ok = !ec;
    }
    if (!ok) {
        failed_ = true;
        std::filesystem::remove(temp_, ec);
    }
    return ok;
}

}  // namespace tolvak::audiolib
