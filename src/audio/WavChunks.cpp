#include "audio/WavChunks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "audio/DecodeStream.h"

namespace tolvak::audiolib {

namespace {

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// Chunk codes are compared ignoring ASCII case, as the reader of the components does.
bool Is(const unsigned char* code, const char* name) {
    for (int i = 0; i < 4; ++i)
        if (std::tolower(code[i]) != name[i]) return false;
    return true;
}

}  // namespace

std::optional<WavLayout> ParseWavLayout(const ReadAt& read, int64_t size) {
    unsigned char h[12];
    if (size < 12 || read(0, h, 12) != 12 || !Is(h, "riff") || !Is(h + 8, "wave")) return std::nullopt;
    WavLayout w;
    bool haveFmt = false, haveData = false;
    int64_t at = 12;
    while (at + 8 <= size && !(haveFmt && haveData)) {
        unsigned char c[8];
        if (read(at, c, 8) != 8) break;
        const int64_t bytes = U32(c + 4);
        const int64_t body = at + 8;
        if (Is(c, "fmt ")) {
            unsigned char f[40] = {};
            const int64_t want = std::min<int64_t>(bytes, sizeof f);
            if (want < 16 || read(body, f, want) != want) return std::nullopt;
            w.FormatTag = U16(f);
            w.Channels = U16(f + 2);
            w.SampleRate = U32(f + 4);
            w.BlockAlign = U16(f + 12);
            w.BitsPerSample = U16(f + 14);
            // The extensible form keeps the real tag in the first two bytes of its sub-format.
            if (w.FormatTag == kWaveExtensible && want >= 26) w.FormatTag = U16(f + 24);
            haveFmt = true;
        } else if (Is(c, "data")) {
            w.DataOffset = body;
            w.DataBytes = (bytes == 0 || body + bytes > size) ? size - body : bytes;
            haveData = true;
            if (body + bytes > size || bytes == 0) break;  // nothing can follow the samples
        }
        at = body + bytes + (bytes & 1);
    }
    if (!haveFmt || !haveData) return std::nullopt;
    return w;
}

std::optional<WavLayout> ReadWavLayout(const std::filesystem::path& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw EFOpenError(OperacjaNaPliku::Otwarcie, path, errno);
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } close{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw EFOpenError(OperacjaNaPliku::Odczyt, path, errno);
    if (S_ISDIR(st.st_mode)) throw EFOpenError(OperacjaNaPliku::Otwarcie, path, EISDIR);
    int error = 0;
    auto result = ParseWavLayout(
        [&](int64_t offset, void* into, int64_t count) -> int64_t {
            ssize_t n;
            do {
                n = ::pread(fd, into, static_cast<size_t>(count), static_cast<off_t>(offset));
            } while (n < 0 && errno == EINTR);
            if (n < 0) error = errno;
            return n < 0 ? 0 : n;
        },
        st.st_size);
    if (error != 0) throw EFOpenError(OperacjaNaPliku::Odczyt, path, error);
    return result;
}

std::vector<unsigned char> PlainWavHeader(int sampleRate, int channels, int bitsPerSample,
                                          uint32_t dataBytes) {
    std::vector<unsigned char> h(44, 0);
    const auto rate = static_cast<uint32_t>(sampleRate);
    const auto align = static_cast<uint32_t>(channels) * static_cast<uint32_t>(bitsPerSample / 8);
    std::memcpy(&h[0], "RIFF", 4);
    Put32(&h[4], dataBytes + 36u);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    Put32(&h[16], 16);
    Put16(&h[20], kWavePcm);
    Put16(&h[22], static_cast<uint32_t>(channels));
    Put32(&h[24], rate);
    Put32(&h[28], rate * align);
    Put16(&h[32], align);
    Put16(&h[34], static_cast<uint32_t>(bitsPerSample));
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], dataBytes);
    return h;
}

}  // namespace tolvak::audiolib
