#pragma once
// The LAME encoder stream of the MP3 writer, and the configuration record it is given.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/AuException.h"

namespace tolvak {

/// The encoder configuration of one run, field for field the record the encoder is given.
/// Booleans are stored as "all bits set" for true where the record does so.
struct BE_CONFIG {
    uint32_t dwConfig = 0;
    uint32_t dwStructVersion = 0;
    uint32_t dwStructSize = 0;
    uint32_t dwSampleRate = 0;
    uint32_t dwReSampleRate = 0;
    int32_t nMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint32_t dwBitrate = 0;
    uint32_t dwMaxBitrate = 0;
    int32_t nPreset = 0;
    uint32_t dwMpegVersion = 0;
    uint32_t dwPsyModel = 0;
    uint32_t dwEmphasis = 0;
    int32_t bPrivate = 0;
    int32_t bCRC = 0;
    int32_t bCopyright = 0;
    int32_t bOriginal = 0;
    int32_t bWriteVBRHeader = 0;
    int32_t bEnableVBR = 0;
    int32_t nVBRQuality = 0;
    uint32_t dwVbrAbr_bps = 0;
    int32_t nVbrMethod = 0;
    int32_t bNoRes = 0;
    int32_t bStrictIso = 0;
    uint16_t nQuality = 0;
};

namespace audiolib {

/// One LAME encoder stream, configured from a BE_CONFIG record.
class Mp3Encoder {
public:
    /// Raises EAuException "LAME Error: " + code when the encoder refuses the configuration.
    Mp3Encoder(const BE_CONFIG& config, int channels);
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder&) = delete;
    Mp3Encoder& operator=(const Mp3Encoder&) = delete;

    /// 16-bit sample values the encoder takes per chunk (one MPEG frame for every channel).
    uint32_t SamplesPerChunk() const { return samplesPerChunk_; }
    /// Bytes of output buffer one chunk (or the flush) may need.
    uint32_t OutputBufferSize() const { return outputBufferSize_; }
    /// Encodes interleaved 16-bit values (at most SamplesPerChunk) into `out`; returns the bytes
    /// produced. Raises EAuException "LAME Error: " + code when the encoder fails.
    std::size_t EncodeChunk(std::span<const int16_t> samples, std::span<uint8_t> out);
    /// Flushes what the encoder holds into `out`; returns the bytes produced.
    std::size_t Deinit(std::span<uint8_t> out);
    /// The VBR/Info frame for the start of the file, after Deinit (empty unless enabled).
    std::vector<uint8_t> VbrHeaderFrame();

private:
    void* gf_ = nullptr;  // lame_global_flags*, owned
    int channels_;
    uint32_t samplesPerChunk_ = 0;
    uint32_t outputBufferSize_ = 0;
};

}  // namespace audiolib
}  // namespace tolvak
