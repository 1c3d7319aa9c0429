#include "audio/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <string>

namespace tolvak::audiolib {

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
