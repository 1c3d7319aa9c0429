// The LAME encoder stream as the MP3 writer configures it.

#include <gtest/gtest.h>

#include "CodecSupport.h"
#include "audio/AudioLib.h"

using namespace tolvak;
using namespace tolvak::test;

namespace {

// The record the writer fills for this program's settings (256 kbit/s CBR, no reservoir,
// original, no CRC, no VBR).
BE_CONFIG StationConfig(uint32_t rate, int channels) {
    BE_CONFIG c{};
    c.dwConfig = 256;
    c.dwStructVersion = 1;
    c.dwStructSize = 331;
    c.dwSampleRate = rate;
    c.nMode = channels == 1 ? 3 : 0;
    c.dwBitrate = 256;
    c.bOriginal = -1;
    c.nVbrMethod = 2;
    c.bNoRes = -1;
    return c;
}

std::string Encode(audiolib::Mp3Encoder& enc, const std::vector<int16_t>& pcm,
                   std::size_t chunkValues) {
    std::string out;
    std::vector<uint8_t> buf(enc.OutputBufferSize());
    for (std::size_t at = 0; at < pcm.size(); at += chunkValues) {
        const std::size_t n = std::min(chunkValues, pcm.size() - at);
        const std::size_t got = enc.EncodeChunk(std::span<const int16_t>(pcm.data() + at, n), buf);
        out.append(reinterpret_cast<const char*>(buf.data()), got);
    }
    const std::size_t got = enc.Deinit(buf);
    out.append(reinterpret_cast<const char*>(buf.data()), got);
    return out;
}

void ExpectStationFrames(const std::string& mp3, int mode, int64_t minFrames) {
    int64_t end = 0;
    const auto frames = MpegFrames(mp3, 0, end);
    EXPECT_EQ(end, static_cast<int64_t>(mp3.size())) << "bytes after the last whole frame";
    EXPECT_GE(static_cast<int64_t>(frames.size()), minFrames);
    for (const auto& f : frames) {
        ASSERT_EQ(f.bitrateKbps, 256) << "at " << f.offset;
        ASSERT_EQ(f.sampleRate, 44100);
        ASSERT_EQ(f.mode, mode) << "at " << f.offset;
        ASSERT_TRUE(f.original);
        ASSERT_FALSE(f.crc);
        ASSERT_EQ(f.mainDataBegin, 0) << "bit reservoir used at " << f.offset;
        ASSERT_FALSE(f.infoFrame);
    }
}

TEST(Mp3Encoder, StereoIsConstant256kbitPlainStereo) {
    const int64_t frames = 2 * 44100 + 99;
    const auto pcm = Sines(44100, 2, frames, 0.8, 0.3);
    audiolib::Mp3Encoder enc(StationConfig(44100, 2), 2);
    EXPECT_EQ(enc.SamplesPerChunk(), 2304u);
    const std::string mp3 = Encode(enc, pcm, enc.SamplesPerChunk());
    ExpectStationFrames(mp3, 0, frames / 1152);
}

TEST(Mp3Encoder, MonoIsMonoInHalfChunks) {
    const int64_t frames = 44100;
    const auto pcm = Sines(44100, 1, frames);
    audiolib::Mp3Encoder enc(StationConfig(44100, 1), 1);
    EXPECT_EQ(enc.SamplesPerChunk(), 1152u);
    // The writer hands a mono encoder half a chunk per call (its buffer is sized in bytes).
    const std::string mp3 = Encode(enc, pcm, enc.SamplesPerChunk() / 2);
    ExpectStationFrames(mp3, 3, frames / 1152);
}

TEST(Mp3Encoder, EmptyInputYieldsOnlyTheFlush) {
    audiolib::Mp3Encoder enc(StationConfig(44100, 2), 2);
    const std::string mp3 = Encode(enc, {}, enc.SamplesPerChunk());
    ExpectStationFrames(mp3, 0, 0);
}

TEST(Mp3Encoder, RefusedSettingsRaiseTheEncodersCode) {
    for (auto [rate, channels] : {std::pair{1234u, 2}, std::pair{44100u, 3}, std::pair{44100u, 0}}) {
        try {
            audiolib::Mp3Encoder enc(StationConfig(rate, channels), channels);
            ADD_FAILURE() << rate << " Hz, " << channels << " channels accepted";
        } catch (const EAuException& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("LAME Error: -")) << e.what();
        }
    }
}

}  // namespace
