#pragma once
// The MP3 file writer: encodes the 16-bit PCM its input delivers with the LAME encoder into an
// MPEG audio layer III file, ends it with a 128-byte ID3v1 block, and then lets the tag library
// write the ID3v2 tag into the finished file (when the program is built with it).

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/AuOutputs.h"
#include "audio/Mp3Encoder.h"
#include "audio/Mp3Parallel.h"

namespace tolvak {

enum class TMP3BitRate {
    mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96, mbr112, mbr128,
    mbr144, mbr160, mbr192, mbr224, mbr256, mbr320
};
/// kbit/s; 0 for mbrAuto.
int BitRateKbps(TMP3BitRate r);

enum class TMP3Quality { mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9 };
enum class TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

/// The 128-byte ID3v1 block: "TAG", title, artist, album (30 bytes each), the year as four
/// digits when it has exactly four, comment (30 bytes), genre 0. Texts are converted from UTF-8
/// to the single-byte Central European code page; what it cannot hold becomes "?".
std::array<uint8_t, 128> BuildId3v1(const TAuTags& tags);

/// Whether the program was built with the tag library (the ID3v2 step runs only then).
bool TagLibAvailable();

class TMP3Out : public TAuTaggedFileOut {
public:
    TMP3Out();
    ~TMP3Out() override;

    TMP3BitRate BitRate() const { return FBitRate; }
    void SetBitRate(TMP3BitRate v) { FBitRate = v; }
    TMP3Mode Mode() const { return FMode; }
    void SetMode(TMP3Mode v) { FMode = v; }
    bool CRC() const { return FCRC; }
    void SetCRC(bool v) { FCRC = v; }
    bool Original() const { return FOriginal; }
    void SetOriginal(bool v) { FOriginal = v; }
    bool EnableBitReservoir() const { return FEnableBitReservoir; }
    void SetEnableBitReservoir(bool v) { FEnableBitReservoir = v; }
    bool StrictISO() const { return FStrictISO; }
    void SetStrictISO(bool v) { FStrictISO = v; }
    bool EnableVBR() const { return FEnableVBR; }
    void SetEnableVBR(bool v) { FEnableVBR = v; }
    TMP3Quality VBRQuality() const { return FVBRQuality; }
    void SetVBRQuality(TMP3Quality v) { FVBRQuality = v; }
    TMP3BitRate AverageBitrate() const { return FAverageBitrate; }
    void SetAverageBitrate(TMP3BitRate v) { FAverageBitrate = v; }
    TMP3BitRate MaximumBitrate() const { return FMaximumBitrate; }
    void SetMaximumBitrate(TMP3BitRate v) { FMaximumBitrate = v; }

    /// The configuration the last run gave the encoder.
    const BE_CONFIG& Config() const { return FConfig; }
    /// The configuration for an input of `channels` channels at `sampleRate` Hz.
    BE_CONFIG MakeConfig(int sampleRate, int channels) const;

    /// True when the last run's ExceptionMessage comes from the ID3v2 step: the file itself
    /// (encoded audio and ID3v1 block) was complete and closed before the tag step failed.
    bool TagStepFailed() const { return FTagStepFailed.load(); }
    /// Runs on the worker at the start of the ID3v2 step with the file's name; what it raises
    /// counts as the failure of that step. A seam for tests (a tag library that refuses).
    std::function<void(const std::string&)> BeforeTagStep;

protected:
    void BeginOutput() override;
    bool OutputBlock(bool Abort) override;
    void FinishOutput() override;

private:
    /// Encoder threads at most (each holds a stretch of about half a minute of samples).
    static constexpr int kMaxEncoderThreads = 4;
    void WriteTags();
    /// Raises the write error naming the file when the file takes fewer bytes.
    void WriteEncoded(const uint8_t* data, std::size_t n);

    std::vector<int16_t> Buffer;
    uint32_t BufferSize = 0;  // bytes
    TMP3BitRate FBitRate = TMP3BitRate::mbr128;
    BE_CONFIG FConfig;
    std::unique_ptr<audiolib::Mp3Encoder> _Stream;
    std::unique_ptr<audiolib::ParallelMp3Encoder> FParallel;  // instead of _Stream, on several cores
    std::vector<uint8_t> FEncoded;
    std::vector<uint8_t> mp3buf;
    TMP3Quality FVBRQuality = TMP3Quality::mp3ql0;
    bool FOriginal = true;
    bool FEnableVBR = false;
    bool FCRC = false;
    TMP3Mode FMode = TMP3Mode::mmStereo;
    TMP3BitRate FAverageBitrate = TMP3BitRate::mbrAuto;
    TMP3BitRate FMaximumBitrate = TMP3BitRate::mbrAuto;
    bool FEnableBitReservoir = false;
    bool FStrictISO = false;
    int64_t FAudioStart = 0;   // where the encoded audio begins in the stream
    bool FInputStarted = false;
    std::atomic<bool> FTagStepFailed{false};
};

}  // namespace tolvak
