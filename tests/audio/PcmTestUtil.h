#pragma once
// Helpers for the PCM component tests: WAV files built byte by byte, a scripted input, and
// running an output to its end while this thread plays the user-interface thread.

#include "audio/AuOutputs.h"
#include "platform/UiQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tolvak::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutCode(Bytes& b, const char* code) { b.insert(b.end(), code, code + 4); }
inline uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) | (static_cast<uint32_t>(b[at + 2]) << 16) |
           (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint16_t Get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

/// A "fmt " chunk (16 bytes of data).
inline Bytes FmtChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const char* code = "fmt ") {
    Bytes b;
    PutCode(b, code);
    Put32(b, 16);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * (bits / 8));
    Put16(b, static_cast<uint16_t>(channels * (bits / 8)));
    Put16(b, bits);
    return b;
}

inline Bytes Chunk(const char* code, const Bytes& data, bool pad = true) {
    Bytes b;
    PutCode(b, code);
    Put32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (pad && data.size() % 2) b.push_back(0);
    return b;
}

/// RIFF/WAVE around the given chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks, const char* riff = "RIFF", const char* wave = "WAVE") {
    Bytes body;
    for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutCode(b, riff);
    Put32(b, static_cast<uint32_t>(body.size() + 4));
    PutCode(b, wave);
    body.insert(body.begin(), b.begin(), b.end());
    return body;
}

/// A plain PCM WAV file image.
inline Bytes Wav(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data) {
    return Riff({FmtChunk(1, channels, rate, bits), Chunk("data", data)});
}

inline Bytes Pcm16(const std::vector<int16_t>& v) {
    Bytes b(v.size() * 2);
    std::memcpy(b.data(), v.data(), b.size());
    return b;
}
inline std::vector<int16_t> Samples16(const Bytes& b, size_t from = 0) {
    std::vector<int16_t> v((b.size() - from) / 2);
    std::memcpy(v.data(), b.data() + from, v.size() * 2);
    return v;
}

/// Deterministic 16-bit test signal: frames x channels values.
inline std::vector<int16_t> Signal16(int64_t frames, int channels, int seed) {
    std::vector<int16_t> v(static_cast<size_t>(frames * channels));
    uint32_t x = 2463534242u + static_cast<uint32_t>(seed) * 977u;
    for (auto& s : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s = static_cast<int16_t>(static_cast<int32_t>(x % 60001) - 30000);
    }
    return v;
}

inline void WriteFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
inline Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

/// Reads everything an input delivers (Init, GetData until 0, Flush).
inline Bytes Drain(TAuInput& in, int64_t request = 16384) {
    Bytes out;
    in.Init();
    std::vector<uint8_t> buf(static_cast<size_t>(request));
    for (;;) {
        int64_t n = in.CopyData(buf.data(), request);
        if (n <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    in.Flush();
    return out;
}

/// A scripted input: delivers Data in blocks of at most BlockBytes, announces AnnouncedSize;
/// optionally fails every GetData, or never ends.
class TTestInput : public TAuInput {
public:
    Bytes Data;
    int64_t AnnouncedSize = -2;  // -2: Data.size()
    int Bits = 16, Chans = 2, Rate = 44100;
    int64_t BlockBytes = 1 << 20;
    bool FailEveryBlock = false;
    bool Endless = false;
    std::atomic<int> Blocks{0};
    std::atomic<int> Inits{0}, Flushes{0};

    int BitsPerSample() override { return Bits; }
    int Channels() override { return Chans; }
    int SampleRate() override { return Rate; }

protected:
    void StartReading() override {
        ++Inits;
        pos_ = 0;
        FPosition = 0;
        FSize = AnnouncedSize == -2 ? static_cast<int64_t>(Data.size()) : AnnouncedSize;
        Busy = true;
    }
    void StopReading() override {
        ++Flushes;
        Busy = false;
    }
    void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) override {
        ++Blocks;
        if (FailEveryBlock) throw EAuException("test input failure");
        const int64_t frame = Chans * (Bits / 8);
        if (Endless) {
            if (scratch_.size() < 16384) scratch_.assign(16384, 0);
            Bytes = std::min<int64_t>(Bytes, 16384) / frame * frame;
            Buffer = scratch_.data();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            return;
        }
        int64_t n = std::min<int64_t>({Bytes, BlockBytes, static_cast<int64_t>(Data.size()) - pos_});
        n = n / frame * frame;
        Buffer = Data.data() + pos_;
        pos_ += n;
        FPosition = FPosition + n;
        Bytes = n;
    }

private:
    int64_t pos_ = 0;
    std::vector<uint8_t> scratch_;
};

/// This thread is the user-interface thread for the test's duration.
class UiThreadFixture : public ::testing::Test {
protected:
    void SetUp() override { UiQueue::instance().bindToCurrentThread(); }
    void TearDown() override { UiQueue::instance().unbind(); }

    /// Processes user-interface calls until pred holds or the timeout passed.
    template <class Pred>
    bool PumpUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > until) return false;
            UiQueue::instance().processPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    /// Pumps for a while (to see that nothing more arrives).
    void PumpFor(std::chrono::milliseconds d) {
        auto until = std::chrono::steady_clock::now() + d;
        while (std::chrono::steady_clock::now() < until) {
            UiQueue::instance().processPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    /// Runs the output and waits for its OnDone; returns whether it came.
    bool RunToEnd(TAuOutput& out) {
        std::atomic<int> done{0};
        auto prev = out.OnDone;
        out.OnDone = [&](TAuOutput*) { ++done; };
        out.Run();
        bool ok = PumpUntil([&] { return done.load() > 0; });
        out.OnDone = prev;
        return ok;
    }
};

}  // namespace tolvak::test
