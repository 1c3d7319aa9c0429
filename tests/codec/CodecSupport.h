#pragma once
// Helpers of the codec tests: a recording window, sound files written and read back, and
// fixtures encoded by the ffmpeg command.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Okno.h"
#include "platform/UiQueue.h"

namespace tolvak::test {

/// Records what the core shows; the gauge follows the window's clamping rules.
class FakeOkno : public Okno {
public:
    std::vector<std::string> actions;
    int64_t gaugeMax = 100;
    int64_t gaugePos = 0;
    std::vector<int64_t> positions;  // after every gauge change
    int processed = 0;

    void setAction(std::string_view text) override { actions.emplace_back(text); }
    void setGaugeMax(int64_t m) override;
    void setGaugePosition(int64_t p) override;
    void advanceGauge(int64_t d) override;
    void setStatusBar(std::string_view) override {}
    void setLastDelivered(std::string_view) override {}
    void Migotanie(bool) override {}
    MsgResult messageBox(std::string_view, std::string_view, MsgButtons, MsgIcon) override {
        return MsgResult::Ok;
    }
    void processMessages() override { ++processed; }
    void waitUntil(const std::function<bool()>& done) override { UiQueue::instance().processUntil(done); }
};

/// A decoded 16-bit PCM WAV file with the plain 44-byte header (checked field by field).
struct Wav16 {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
    int16_t at(int64_t frame, int ch) const { return samples[static_cast<size_t>(frame * channels + ch)]; }
};
/// Reads a file the decoder or compressor wrote; fails the test when the header is not the
/// 44-byte PCM layout with consistent sizes.
Wav16 ReadWav16(const std::filesystem::path& p);

/// Writes a WAV file through libsndfile. `format` is a libsndfile format (e.g.
/// SF_FORMAT_WAV | SF_FORMAT_PCM_16); samples are given as floats at full scale 1.0, or as
/// exact 16-bit values.
void WriteWavFloat(const std::filesystem::path& p, int rate, int channels, int format,
                   const std::vector<float>& interleaved);
void WriteWav16(const std::filesystem::path& p, int rate, int channels,
                const std::vector<int16_t>& interleaved, int format = 0);
/// A 24-bit WAV file from exact 24-bit values.
void WriteWav24(const std::filesystem::path& p, int rate, int channels,
                const std::vector<int32_t>& interleaved);

/// Stereo sines: left 440 Hz at `ampL`, right 660 Hz at `ampR` (mono: left only).
std::vector<int16_t> Sines(int rate, int channels, int64_t frames, double ampL = 0.5,
                           double ampR = 0.25);

/// Largest absolute sample of one channel over the frame range [from, to).
int PeakOf(const Wav16& w, int ch, int64_t from, int64_t to);

void WriteBytes(const std::filesystem::path& p, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& p);

/// One MPEG audio frame header found in a byte stream.
struct MpegFrame {
    int64_t offset = 0;
    int version = 0;     // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    int layer = 0;       // 1 = Layer III
    bool crc = false;
    int bitrateKbps = 0;
    int sampleRate = 0;
    int mode = 0;        // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool original = false;
    int length = 0;
    int mainDataBegin = 0;
    bool infoFrame = false;  // carries a "Xing" or "Info" header
};
/// Walks MPEG-1 Layer III frames from `from` while they follow each other; `end` receives the
/// offset after the last frame.
std::vector<MpegFrame> MpegFrames(const std::string& bytes, int64_t from, int64_t& end);

bool HaveFfmpeg();
/// Runs ffmpeg on `in` with the given codec arguments into `out`; true on success.
bool Ffmpeg(const std::filesystem::path& in, const std::string& args,
            const std::filesystem::path& out);

}  // namespace tolvak::test
