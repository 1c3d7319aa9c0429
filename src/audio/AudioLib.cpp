#include "audio/AudioLib.h"

#include <lame/lame.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace tolvak::audiolib {

namespace {

std::string ErrnoText(int err) { return std::generic_category().message(err); }

[[noreturn]] void ThrowOpenError(const std::filesystem::path& path, int err) {
    throw EFOpenError("Cannot open file \"" + path.string() + "\". " + ErrnoText(err));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) ThrowOpenError(path, errno);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) ThrowOpenError(path, EISDIR);

    std::vector<unsigned char> data;
    if (fseeko(f.get(), 0, SEEK_END) == 0) {
        const off_t size = ftello(f.get());
        if (size > 0) data.reserve(static_cast<std::size_t>(size));
        std::rewind(f.get());
    }
    // Read to the end whatever the size said, so a file that changes meanwhile is read as it is.
    unsigned char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        data.insert(data.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f.get())) {
        const int err = errno ? errno : EIO;
        throw EFOpenError("Cannot read file \"" + path.string() + "\". " + ErrnoText(err));
    }
    return data;
}

// ---- decoding stream ----

namespace {

using Memory = DecodeStream::Memory;

struct VirtualMemory {
    static sf_count_t Length(void* user) {
        return static_cast<sf_count_t>(static_cast<const Memory*>(user)->size);
    }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        auto* m = static_cast<Memory*>(user);
        sf_count_t base = 0;
        switch (whence) {
            case SEEK_SET: base = 0; break;
            case SEEK_CUR: base = m->pos; break;
            case SEEK_END: base = m->size; break;
            default: return -1;
        }
        const sf_count_t to = base + offset;
        if (to < 0) return -1;
        m->pos = std::min<sf_count_t>(to, m->size);
        return m->pos;
    }
    static sf_count_t Read(void* ptr, sf_count_t count, void* user) {
        auto* m = static_cast<Memory*>(user);
        if (count <= 0 || m->pos >= m->size) return 0;
        const sf_count_t n = std::min<sf_count_t>(count, m->size - m->pos);
        std::memcpy(ptr, m->data + m->pos, static_cast<std::size_t>(n));
        m->pos += n;
        return n;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* user) { return static_cast<const Memory*>(user)->pos; }
};

SF_VIRTUAL_IO g_virtualIo{&VirtualMemory::Length, &VirtualMemory::Seek, &VirtualMemory::Read,
                          &VirtualMemory::Write, &VirtualMemory::Tell};

}  // namespace

std::unique_ptr<DecodeStream> DecodeStream::Open(std::span<const unsigned char> data) {
    if (data.empty()) return nullptr;
    std::unique_ptr<DecodeStream> s(new DecodeStream());
    s->mem_ = Memory{data.data(), static_cast<int64_t>(data.size()), 0};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&g_virtualIo, SFM_READ, &info, &s->mem_);
    if (!sf) return nullptr;
    s->file_ = sf;
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

DecodeStream::~DecodeStream() {
    if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

std::size_t DecodeStream::Read(std::span<int16_t> out) {
    const std::size_t frames = out.size() / static_cast<std::size_t>(channels_);
    if (!active_ || frames == 0) return 0;
    auto* sf = static_cast<SNDFILE*>(file_);
    sf_count_t got = 0;
    if (exact16_) {
        got = sf_readf_short(sf, out.data(), static_cast<sf_count_t>(frames));
    } else {
        scratch_.resize(frames * static_cast<std::size_t>(channels_));
        got = sf_readf_float(sf, scratch_.data(), static_cast<sf_count_t>(frames));
        if (got > 0) {
            const auto n = static_cast<std::size_t>(got) * static_cast<std::size_t>(channels_);
            FloatTo16(std::span<const float>(scratch_.data(), n), out.first(n));
        }
    }
    if (got <= 0) {
        active_ = false;
        return 0;
    }
    return static_cast<std::size_t>(got);
}

std::size_t DecodeStream::Read(std::span<float> out) {
    const std::size_t frames = out.size() / static_cast<std::size_t>(channels_);
    if (!active_ || frames == 0) return 0;
    const sf_count_t got =
        sf_readf_float(static_cast<SNDFILE*>(file_), out.data(), static_cast<sf_count_t>(frames));
    if (got <= 0) {
        active_ = false;
        return 0;
    }
    return static_cast<std::size_t>(got);
}

void FloatTo16(std::span<const float> in, std::span<int16_t> out) {
    const std::size_t n = std::min(in.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) {
        float v = in[i] * 32768.0f;
        if (!(v >= -32768.0f)) v = std::isnan(v) ? 0.0f : -32768.0f;
        if (v > 32767.0f) v = 32767.0f;
        out[i] = static_cast<int16_t>(std::lrint(v));  // current rounding: halves to even
    }
}

// ---- WAV writer ----

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
    w->temp_ = target;
    w->temp_ += ".tvpart";
    w->channels_ = channels;
    w->f_ = std::fopen(w->temp_.c_str(), "wb");
    if (!w->f_) return nullptr;
    std::setvbuf(w->f_, nullptr, _IOFBF, 1 << 18);
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

// ---- compressor ----

Compressor::Compressor(int sampleRate, int channels, const Parameters& p)
    : rate_(std::max(1, sampleRate)), channels_(std::max(1, channels)), p_(p) {
    Derive();
}

void Compressor::SetParameters(const Parameters& p) {
    p_ = p;
    Derive();
}

void Compressor::Derive() {
    auto coef = [this](float ms) {
        const double samples = static_cast<double>(ms) * 1e-3 * rate_;
        return samples > 0 ? std::exp(-1.0 / samples) : 0.0;
    };
    thresholdLin_ = std::pow(10.0, p_.fThreshold / 20.0);
    attackCoef_ = coef(p_.fAttack);
    releaseCoef_ = coef(p_.fRelease);
    slope_ = p_.fRatio > 1.0f ? 1.0 - 1.0 / p_.fRatio : 0.0;
    makeupLin_ = std::pow(10.0, p_.fGain / 20.0);
}

void Compressor::Process(std::span<float> x) {
    const auto ch = static_cast<std::size_t>(channels_);
    const std::size_t frames = x.size() / ch;
    const double thrDb = p_.fThreshold;
    constexpr double kDbToLn = 0.11512925464970229;  // ln(10) / 20
    float* s = x.data();
    for (std::size_t i = 0; i < frames; ++i, s += ch) {
        float peak = 0.0f;
        for (std::size_t c = 0; c < ch; ++c) peak = std::max(peak, std::fabs(s[c]));
        const double over = peak > thresholdLin_ ? 20.0 * std::log10(peak) - thrDb : 0.0;
        const double coef = over > envDb_ ? attackCoef_ : releaseCoef_;
        envDb_ = over + coef * (envDb_ - over);
        if (envDb_ < 1e-9) envDb_ = 0.0;
        const double g =
            envDb_ == 0.0 ? makeupLin_ : makeupLin_ * std::exp(-envDb_ * slope_ * kDbToLn);
        const auto gf = static_cast<float>(g);
        for (std::size_t c = 0; c < ch; ++c) s[c] *= gf;
    }
}

// ---- the MP3 encoder ----

namespace {

[[noreturn]] void LameError(int code) { throw EAuException("LAME Error: " + std::to_string(code)); }

lame_t Gf(void* p) { return static_cast<lame_t>(p); }

}  // namespace

Mp3Encoder::Mp3Encoder(const BE_CONFIG& c, int channels) : channels_(channels) {
    lame_t gf = lame_init();
    if (!gf) LameError(-1);
    gf_ = gf;
    auto check = [this](int rc) {
        if (rc < 0) {
            lame_close(Gf(gf_));
            gf_ = nullptr;
            LameError(rc);
        }
    };
    if (channels < 1 || channels > 2) check(-1);
    check(lame_set_num_channels(gf, channels));
    check(lame_set_in_samplerate(gf, static_cast<int>(c.dwSampleRate)));
    check(lame_set_out_samplerate(
        gf, static_cast<int>(c.dwReSampleRate ? c.dwReSampleRate : c.dwSampleRate)));
    MPEG_mode mode = STEREO;
    switch (c.nMode) {
        case 1: mode = JOINT_STEREO; break;
        case 2: mode = DUAL_CHANNEL; break;
        case 3: mode = MONO; break;
        default: mode = STEREO;
    }
    check(lame_set_mode(gf, mode));
    check(lame_set_error_protection(gf, c.bCRC ? 1 : 0));
    check(lame_set_original(gf, c.bOriginal ? 1 : 0));
    check(lame_set_copyright(gf, c.bCopyright ? 1 : 0));
    check(lame_set_extension(gf, c.bPrivate ? 1 : 0));
    check(lame_set_disable_reservoir(gf, c.bNoRes ? 1 : 0));
    check(lame_set_strict_ISO(gf, c.bStrictIso ? 1 : 0));
    lame_set_write_id3tag_automatic(gf, 0);  // the writer appends its own ID3v1 block
    check(lame_set_bWriteVbrTag(gf, c.bWriteVBRHeader ? 1 : 0));
    if (c.bEnableVBR) {
        if (c.nVbrMethod == 4) {
            check(lame_set_VBR(gf, vbr_abr));
            check(lame_set_VBR_mean_bitrate_kbps(gf, static_cast<int>(c.dwVbrAbr_bps)));
        } else {
            check(lame_set_VBR(gf, vbr_default));
            check(lame_set_VBR_q(gf, c.nVBRQuality));
        }
        if (c.dwBitrate) check(lame_set_VBR_min_bitrate_kbps(gf, static_cast<int>(c.dwBitrate)));
        if (c.dwMaxBitrate) check(lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(c.dwMaxBitrate)));
    } else {
        check(lame_set_VBR(gf, vbr_off));
        if (c.dwBitrate) check(lame_set_brate(gf, static_cast<int>(c.dwBitrate)));
    }
    // The quality field counts only in its checked form (low byte = complement of high byte);
    // otherwise the encoder keeps its default quality.
    if ((c.nQuality & 0xFF) == ((~c.nQuality >> 8) & 0xFF)) check(lame_set_quality(gf, c.nQuality & 0xFF));
    check(lame_init_params(gf));

    const int frame = lame_get_framesize(gf);
    samplesPerChunk_ = static_cast<uint32_t>(frame * channels);
    outputBufferSize_ = static_cast<uint32_t>(frame + frame / 4 + 7200);
}

Mp3Encoder::~Mp3Encoder() {
    if (gf_) lame_close(Gf(gf_));
}

std::size_t Mp3Encoder::EncodeChunk(std::span<const int16_t> samples, std::span<uint8_t> out) {
    const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(channels_));
    if (frames == 0) return 0;
    const int room = static_cast<int>(std::min<std::size_t>(out.size(), 0x7FFFFFFF));
    // LAME does not change the samples; its interface merely lacks the const.
    auto* pcm = const_cast<int16_t*>(samples.data());
    const int n = channels_ == 1
                      ? lame_encode_buffer(Gf(gf_), pcm, nullptr, frames, out.data(), room)
                      : lame_encode_buffer_interleaved(Gf(gf_), pcm, frames, out.data(), room);
    if (n < 0) LameError(n);
    return static_cast<std::size_t>(n);
}

std::size_t Mp3Encoder::Deinit(std::span<uint8_t> out) {
    const int n = lame_encode_flush(Gf(gf_), out.data(),
                                    static_cast<int>(std::min<std::size_t>(out.size(), 0x7FFFFFFF)));
    if (n < 0) LameError(n);
    return static_cast<std::size_t>(n);
}

std::vector<uint8_t> Mp3Encoder::VbrHeaderFrame() {
    if (!lame_get_bWriteVbrTag(Gf(gf_))) return {};
    unsigned char probe = 0;
    const std::size_t size = lame_get_lametag_frame(Gf(gf_), &probe, 0);
    std::vector<uint8_t> frame(size);
    if (size) frame.resize(lame_get_lametag_frame(Gf(gf_), frame.data(), frame.size()));
    return frame;
}

}  // namespace tolvak::audiolib
