#pragma once
// The small audio layer under decoding, compression and MP3 encoding: a decoding stream over a
// memory copy of a whole file (libsndfile, which reads WAV in its encodings and MPEG audio
// through mpg123, detected by content), the 16-bit PCM WAV file writer with the 44-byte header,
// the conversion from floating point to 16-bit samples, the dynamics compressor, and the MP3
// encoder stream (LAME).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
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

/// A file could not be opened or read.
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace audiolib {

/// Reads the whole file into memory; the file is closed again before the call returns.
/// Throws EFOpenError with a message naming the file and the reason.
std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& path);

/// Bytes per block that the callers request from a stream, as one decoding step.
inline constexpr std::size_t kBlockBytes = 20001;

/// A decoding stream on a memory copy of a file. The copy must outlive the stream.
class DecodeStream {
public:
    /// Opens a stream over `data`; nullptr when the content is not a sound the decoder reads
    /// (empty, an HTML page, damaged, an unknown format).
    static std::unique_ptr<DecodeStream> Open(std::span<const unsigned char> data);
    ~DecodeStream();
    DecodeStream(const DecodeStream&) = delete;
    DecodeStream& operator=(const DecodeStream&) = delete;

    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    /// The decoded length in bytes of 16-bit samples as the decoder announces it (for MPEG audio
    /// without gapless information an estimate: read until a read delivers nothing).
    int64_t Length() const { return length_; }
    /// True while decoded data may remain (until a read delivered nothing).
    bool Active() const { return active_; }

    /// Decodes whole frames into `out` (interleaved, at most out.size() / Channels() frames) and
    /// returns the number of frames delivered; 0 at the end. 16-bit sources come through sample
    /// for sample; everything else passes through floating point, rounded and clipped.
    std::size_t Read(std::span<int16_t> out);
    /// The same, as floating point samples with full scale at 1.0 (16-bit value / 32768).
    std::size_t Read(std::span<float> out);

    /// The memory copy as the decoder reads it.
    struct Memory {
        const unsigned char* data = nullptr;
        int64_t size = 0;
        int64_t pos = 0;
    };

private:
    DecodeStream() = default;
    Memory mem_;
    void* file_ = nullptr;  // SNDFILE*, owned, closed in the destructor
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    bool active_ = true;
    bool exact16_ = false;  // the source holds 16 bits or fewer per sample: read them unchanged
    std::vector<float> scratch_;
};

/// Converts floating point samples (full scale 1.0) to 16-bit: value × 32768, rounded to the
/// nearest integer (halves to even) and clipped to -32768..32767.
void FloatTo16(std::span<const float> in, std::span<int16_t> out);

/// Writes a 16-bit PCM WAV file with the 44-byte header. The data goes into a temporary file
/// beside the target, which replaces the target only on Commit: a failed or abandoned write
/// never leaves a half file under the target's name and an existing target stays as it was.
class WavFileWriter {
public:
    /// nullptr when the file cannot be created.
    static std::unique_ptr<WavFileWriter> Create(const std::filesystem::path& target,
                                                 int sampleRate, int channels);
    ~WavFileWriter();  // discards an uncommitted file
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    /// Appends interleaved samples (whole frames); false once a write failed (disk full, ...).
    bool Write(std::span<const int16_t> samples);
    /// Completes the header, closes the file and puts it under the target's name.
    bool Commit();
    bool Failed() const { return failed_; }
    int64_t DataBytes() const { return dataBytes_; }

private:
    WavFileWriter() = default;
    void Discard();
    std::filesystem::path target_, temp_;
    std::FILE* f_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    int64_t dataBytes_ = 0;
    bool failed_ = false;
};

/// The 44-byte header of a 16-bit PCM WAV file holding `dataBytes` bytes of samples.
std::vector<unsigned char> WavHeader16(int sampleRate, int channels, uint32_t dataBytes);

/// The compressor's parameter record, with the effect's initial values.
struct CompressorParameters {
    float fGain = 0.0f;         // output gain, dB
    float fThreshold = -15.0f;  // dBFS
    float fRatio = 3.0f;        // input dB above the threshold per output dB
    float fAttack = 20.0f;      // ms
    float fRelease = 200.0f;    // ms
};

/// Feed-forward dynamics compressor. The detector follows the loudest channel of every frame,
/// so all channels receive the same gain and the stereo image stays put. Levels above the
/// threshold are reduced by the ratio, with the reduction following the level's rise within the
/// attack time and its fall within the release time; the output gain is added on top.
class Compressor {
public:
    using Parameters = CompressorParameters;

    Compressor(int sampleRate, int channels, const Parameters& p = Parameters());
    const Parameters& GetParameters() const { return p_; }
    void SetParameters(const Parameters& p);
    /// Processes interleaved frames in place; state carries over between calls.
    void Process(std::span<float> interleaved);

private:
    void Derive();
    int rate_, channels_;
    Parameters p_;
    double thresholdLin_ = 0, attackCoef_ = 0, releaseCoef_ = 0, slope_ = 0, makeupLin_ = 1;
    double envDb_ = 0;  // smoothed level above the threshold, dB
};

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
