#include "CodecSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace tolvak::test {

void FakeOkno::setGaugeMax(int64_t m) {
    gaugeMax = std::max<int64_t>(0, m);
    gaugePos = std::min(gaugePos, gaugeMax);
    positions.push_back(gaugePos);
}
void FakeOkno::setGaugePosition(int64_t p) {
    gaugePos = std::clamp<int64_t>(p, 0, gaugeMax);
    positions.push_back(gaugePos);
}
void FakeOkno::advanceGauge(int64_t d) { setGaugePosition(gaugePos + d); }

namespace {
uint32_t Le32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}
uint32_t Le16(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8;
}
}  // namespace

Wav16 ReadWav16(const std::filesystem::path& p) {
    Wav16 w;
    const std::string b = ReadBytes(p);
    EXPECT_GE(b.size(), 44u) << p;
    if (b.size() < 44) return w;
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(b, 16), 16u);
    EXPECT_EQ(Le16(b, 20), 1u);
    w.channels = static_cast<int>(Le16(b, 22));
    w.rate = static_cast<int>(Le32(b, 24));
    EXPECT_EQ(Le32(b, 28), static_cast<uint32_t>(w.rate * w.channels * 2));
    EXPECT_EQ(Le16(b, 32), static_cast<uint32_t>(w.channels * 2));
    EXPECT_EQ(Le16(b, 34), 16u);
    EXPECT_EQ(b.substr(36, 4), "data");
    EXPECT_EQ(Le32(b, 40), b.size() - 44);
    w.samples.resize((b.size() - 44) / 2);
    if (!w.samples.empty()) std::memcpy(w.samples.data(), b.data() + 44, w.samples.size() * 2);
    return w;
}

void WriteWavFloat(const std::filesystem::path& p, int rate, int channels, int format,
                   const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_write_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size()));
    sf_close(f);
}

void WriteWav16(const std::filesystem::path& p, int rate, int channels,
                const std::vector<int16_t>& interleaved, int format) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format ? format : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_write_short(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size()));
    sf_close(f);
}

void WriteWav24(const std::filesystem::path& p, int rate, int channels,
                const std::vector<int32_t>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<int> left;
    for (int32_t v : interleaved) left.push_back(static_cast<int>(static_cast<uint32_t>(v) << 8));
    sf_write_int(f, left.data(), static_cast<sf_count_t>(left.size()));
    sf_close(f);
}

std::vector<int16_t> Sines(int rate, int channels, int64_t frames, double ampL, double ampR) {
    std::vector<int16_t> s;
    s.reserve(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        s.push_back(static_cast<int16_t>(std::lrint(ampL * 32767 * std::sin(2 * std::numbers::pi * 440 * t))));
        if (channels > 1)
            s.push_back(static_cast<int16_t>(std::lrint(ampR * 32767 * std::sin(2 * std::numbers::pi * 660 * t))));
        for (int c = 2; c < channels; ++c) s.push_back(0);
    }
    return s;
}

int PeakOf(const Wav16& w, int ch, int64_t from, int64_t to) {
    int peak = 0;
    for (int64_t i = std::max<int64_t>(0, from); i < std::min(to, w.frames()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(w.at(i, ch))));
    return peak;
}

void WriteBytes(const std::filesystem::path& p, std::string_view bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<MpegFrame> MpegFrames(const std::string& b, int64_t from, int64_t& end) {
    static constexpr int kRates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kSampleRates[] = {44100, 48000, 32000, 0};
    std::vector<MpegFrame> frames;
    auto byte = [&](int64_t i) { return static_cast<unsigned char>(b[static_cast<size_t>(i)]); };
    int64_t at = from;
    while (at + 4 <= static_cast<int64_t>(b.size())) {
        const uint32_t h = static_cast<uint32_t>(byte(at)) << 24 | static_cast<uint32_t>(byte(at + 1)) << 16 |
                           static_cast<uint32_t>(byte(at + 2)) << 8 | byte(at + 3);
        if ((h >> 21) != 0x7FF) break;
        MpegFrame f;
        f.offset = at;
        f.version = static_cast<int>((h >> 19) & 3);
        f.layer = static_cast<int>((h >> 17) & 3);
        f.crc = ((h >> 16) & 1) == 0;
        f.bitrateKbps = kRates[(h >> 12) & 15];
        f.sampleRate = kSampleRates[(h >> 10) & 3];
        const int padding = static_cast<int>((h >> 9) & 1);
        f.mode = static_cast<int>((h >> 6) & 3);
        f.original = ((h >> 2) & 1) != 0;
        if (f.version != 3 || f.layer != 1 || !f.bitrateKbps || !f.sampleRate) break;
        f.length = 144000 * f.bitrateKbps / f.sampleRate + padding;
        if (at + f.length > static_cast<int64_t>(b.size())) break;
        const int64_t side = at + 4 + (f.crc ? 2 : 0);
        f.mainDataBegin = (byte(side) << 1) | (byte(side + 1) >> 7);
        const int64_t xing = side + (f.mode == 3 ? 17 : 32);
        const std::string tag = b.substr(static_cast<size_t>(xing), 4);
        f.infoFrame = tag == "Xing" || tag == "Info";
        frames.push_back(f);
        at += f.length;
    }
    end = at;
    return frames;
}

bool HaveFfmpeg() {
    static const bool have = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
    return have;
}

bool Ffmpeg(const std::filesystem::path& in, const std::string& args,
            const std::filesystem::path& out) {
    const std::string cmd = "ffmpeg -nostdin -v error -y -i '" + in.string() + "' " + args +
                            " '" + out.string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace tolvak::test
