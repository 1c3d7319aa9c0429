#include "audio/WaveIn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tolvak {

namespace {

constexpr uint32_t kWorkArea = 65536;  // all chunks before the data must fit in it
constexpr uint32_t kHeaderLimit = 65535;

constexpr uint8_t kGuidPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                  0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint8_t kGuidFloat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

int32_t FloatToInt32(double v) {
    if (std::isnan(v) || v >= 1.0) return 2147483647;
    if (v <= -1.0) return -2147483647 - 1;
    if (v == 0.0) return 0;
    return static_cast<int32_t>(std::floor(v * 2147483647.0));
}

}  // namespace

TWaveIn::TWaveIn() = default;

TWaveIn::~TWaveIn() {
    try {
        CloseSource();
    } catch (...) {
    }
}

TWavType TWaveIn::WavType() {
    OpenSource();
    return _WavType;
}

bool TWaveIn::ParseHeader() {
    TAuStream& s = *FStream;
    FSize = 0;
    FBPS = 0;
    FChan = 0;
    FSR = 0;
    _WavType = TWavType::wtUnsupported;

    const bool seekable = s.Seekable();
    const int64_t streamEnd = seekable ? s.Size() : -1;
    const int64_t parseStart = seekable ? s.Position() : 0;
    std::vector<uint8_t> work(kWorkArea);
    uint32_t consumed = 0;
    uint8_t win[4] = {0, 0, 0, 0};

    auto readBytes = [&](uint8_t* dst, uint32_t n) -> bool {
        if (static_cast<uint64_t>(consumed) + n > kWorkArea) return false;
        int64_t got = s.Read(dst, n);
        consumed += static_cast<uint32_t>(got);
        return got == n;
    };
    auto readWindow = [&]() -> bool { return readBytes(win, 4); };
    auto slide = [&]() -> bool {
        uint8_t b;
        if (!readBytes(&b, 1)) return false;
        std::memmove(win, win + 1, 3);
        win[3] = b;
        return true;
    };
    auto is = [&](const char* code) {
        for (int i = 0; i < 4; ++i)
            if (std::tolower(win[i]) != code[i]) return false;
        return true;
    };
    auto exhausted = [&]() {
        if (seekable && s.Position() >= streamEnd) return true;
        return consumed >= kHeaderLimit;
    };

    if (!readWindow()) return false;
    while (!is("riff")) {
        if (exhausted() || !slide()) return false;
    }
    if (!readWindow()) return false;  // the RIFF size, not used
    while (!is("wave")) {
        if (exhausted() || !slide()) return false;
    }
    if (!readWindow()) return false;

    enum class Want { Fmt, Fact, Data } want = Want::Fmt;
    TWavType type = TWavType::wtUnsupported;
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    for (;;) {
        if (exhausted()) return false;
        // A pad byte after an odd-sized chunk.
        if (win[0] == 0) {
            if (!slide()) return false;
            continue;
        }
        uint8_t sz[4];
        if (!readBytes(sz, 4)) return false;
        const uint32_t n = U32(sz);
        const bool isFmt = want == Want::Fmt && is("fmt ");
        const bool isFact = want == Want::Fact && is("fact");
        const bool isData = want == Want::Data && is("data");
        if (isData) {
            FSize = (type == TWavType::wtPCM || type == TWavType::wtIEEEFloat || type == TWavType::wtExtPCM ||
                     type == TWavType::wtExtIEEEFloat)
                        ? static_cast<int64_t>(n)
                        : 0;
            FHeaderSize = static_cast<uint16_t>(consumed);
            FDataStart = parseStart + consumed;
            _WavType = type;
            FBPS = bits;
            FChan = channels;
            FSR = rate;
            return true;
        }
        if (static_cast<uint64_t>(consumed) + n > kWorkArea) return false;  // the chunk does not fit
        if (!readBytes(work.data(), n)) return false;
        if (isFmt) {
            if (n < 16) return false;
            const uint8_t* d = work.data();
            tag = U16(d);
            channels = U16(d + 2);
            rate = U32(d + 4);
            FBlockAlign = U16(d + 12);
            bits = U16(d + 14);
            switch (tag) {
                case 1: type = TWavType::wtPCM; break;
                case 2: type = TWavType::wtMSADPCM; break;
                case 3: type = TWavType::wtIEEEFloat; break;
                case 0x11: type = TWavType::wtDVIADPCM; break;
                case 0x55: type = TWavType::wtACM; break;
                case 0xFFFE:
                    if (n < 40) return false;
                    if (std::memcmp(d + n - 16, kGuidPcm, 16) == 0)
                        type = TWavType::wtExtPCM;
                    else if (std::memcmp(d + n - 16, kGuidFloat, 16) == 0)
                        type = TWavType::wtExtIEEEFloat;
                    else
                        return false;
                    break;
                default: return false;
            }
            if (type == TWavType::wtDVIADPCM || type == TWavType::wtMSADPCM || type == TWavType::wtACM) {
                // Recognised, but these encodings are not decoded here: report the type only.
                _WavType = type;
                FBPS = bits;
                FChan = channels;
                FSR = rate;
                return true;
            }
            want = Want::Data;
        } else if (isFact) {
            want = Want::Data;
        }
        if (!readWindow()) return false;
    }
}

void TWaveIn::OpenSource() {
    std::lock_guard lock(OpenCS);
    if (FOpened > 0) return;
    FValid = true;
    ShortIEEEFloat = false;
    _WavType = TWavType::wtUnsupported;
    OpenStream();
    bool parsed = false;
    try {
        parsed = FStream && ParseHeader();
    } catch (...) {
        parsed = false;
    }
    if (!parsed) _WavType = TWavType::wtUnsupported;
    const uint32_t ch = FChan, bits = FBPS, sr = FSR;
    switch (_WavType) {
        case TWavType::wtPCM:
        case TWavType::wtExtPCM:
            // A header this reader cannot deliver whole frames from is not usable.
            if (ch == 0 || sr == 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32)) FValid = false;
            break;
        case TWavType::wtIEEEFloat:
        case TWavType::wtExtIEEEFloat:
            if (ch == 0 || sr == 0 || (bits != 32 && bits != 64)) {
                FValid = false;
                break;
            }
            if (bits == 32)
                ShortIEEEFloat = true;
            else
                FSize = FSize / 2;
            FBPS = 32;
            break;
        default:
            // Unsupported, and the ADPCM and codec-manager encodings, which are not decoded.
            FValid = false;
            break;
    }
    if (!FValid) FSize = 0;
    BufStart = 1;
    BufEnd = 0;
    FOpened = 1;  // also when not valid, so that closing releases the file
}

void TWaveIn::CloseSource() {
    std::lock_guard lock(OpenCS);
    if (FOpened <= 0) return;
    CloseStream();
    BufStart = 1;
    BufEnd = 0;
    FOpened = 0;
}

bool TWaveIn::SeekSource(int64_t& SampleNum) {
    BufStart = 1;
    BufEnd = 0;
    if (!FStream || !FValid) return false;
    const int64_t ch = FChan;
    switch (_WavType) {
        case TWavType::wtPCM:
        case TWavType::wtExtPCM:
            FStream->SetPosition(FDataStart + SampleNum * (FBPS / 8) * ch);
            return true;
        case TWavType::wtIEEEFloat:
        case TWavType::wtExtIEEEFloat:
            FStream->SetPosition(FDataStart + SampleNum * ch * (ShortIEEEFloat ? 4 : 8));
            return true;
        default:
            return false;
    }
}

void TWaveIn::ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) {
    if (!Busy) throw EAuException("The Stream is not opened");
    Buffer = buf.data();
    const uint32_t frame = FChan * (FBPS / 8);
    if (!FStream || !FValid || frame == 0) {
        Bytes = 0;
        return;
    }
    if (BufEnd < BufStart) {
        BufStart = 1;
        if (_WavType == TWavType::wtPCM || _WavType == TWavType::wtExtPCM) {
            BufEnd = static_cast<uint32_t>(FStream->Read(buf.data(), kBufferSize - kBufferSize % frame));
        } else {
            const uint32_t want = kBufferSize - kBufferSize % (FChan * 8);
            const auto got = static_cast<uint32_t>(FStream->Read(buf.data(), want));
            uint8_t* p = buf.data();
            if (ShortIEEEFloat) {
                const uint32_t values = got / 4;
                for (uint32_t i = 0; i < values; ++i) {
                    float f;
                    std::memcpy(&f, p + 4 * i, 4);
                    const int32_t v = FloatToInt32(f);
                    std::memcpy(p + 4 * i, &v, 4);
                }
                BufEnd = values * 4;
            } else {
                const uint32_t values = got / 8;
                for (uint32_t i = 0; i < values; ++i) {
                    double d;
                    std::memcpy(&d, p + 8 * i, 8);
                    const int32_t v = FloatToInt32(d);
                    std::memcpy(p + 4 * i, &v, 4);
                }
                BufEnd = values * 4;
            }
        }
    }
    const int64_t avail = (static_cast<int64_t>(BufEnd) - BufStart + 1) / frame * frame;
    const int64_t want = std::max<int64_t>(Bytes, 0) / frame * frame;
    const int64_t n = std::min(avail, want);
    if (avail == 0) {
        // What is left is less than a frame (a file cut inside a frame): the data ends here.
        BufStart = 1;
        BufEnd = 0;
    }
    Buffer = buf.data() + (BufStart - 1);
    BufStart += static_cast<uint32_t>(n);
    Bytes = n;
}

}  // namespace tolvak
