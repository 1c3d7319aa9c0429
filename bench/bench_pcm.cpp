// Speed of the PCM chains the production run uses: two 3-minute 44.1 kHz stereo WAV files mixed
// into a WAV file, and a WAV reader straight into a WAV writer. Reported as multiples of real
// time ("x_realtime") and as memory allocations per run ("allocs_per_run"; a per-block
// allocation would show as thousands).

#include <benchmark/benchmark.h>

#include "audio/AudioMixer.h"
#include "audio/WaveIn.h"
#include "audio/WaveOut.h"
#include "platform/UiQueue.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<long> gAllocs{0};

}  // namespace

// Counting replacement of the global allocation functions (malloc and free behind them).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    gAllocs.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace tolvak;
namespace fs = std::filesystem;

constexpr int kSeconds = 180;
constexpr int kRate = 44100;

struct Files {
    fs::path dir;
    std::string bed, voice, out;
    Files() {
        dir = fs::temp_directory_path() / ("tolvak-bench-pcm-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        bed = (dir / "bed.wav").string();
        voice = (dir / "voice.wav").string();
        out = (dir / "out.wav").string();
        Write(bed, 1);
        Write(voice, 2);
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void Write(const std::string& name, uint32_t seed) {
        const uint32_t frames = kSeconds * kRate, bytes = frames * 4;
        std::vector<uint8_t> b(44 + static_cast<size_t>(bytes));
        auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
        auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); };
        std::memcpy(&b[0], "RIFF", 4);
        put32(4, bytes + 36);
        std::memcpy(&b[8], "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1);
        put16(22, 2);
        put32(24, kRate);
        put32(28, kRate * 4);
        put16(32, 4);
        put16(34, 16);
        std::memcpy(&b[36], "data", 4);
        put32(40, bytes);
        uint32_t x = 2463534242u * seed;
        for (size_t i = 44; i + 1 < b.size(); i += 2) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            auto s = static_cast<int16_t>(static_cast<int32_t>(x % 40001) - 20000);
            std::memcpy(&b[i], &s, 2);
        }
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
};

Files& TheFiles() {
    static Files f;
    return f;
}

// Runs the output and waits for its end while this thread is the user-interface thread.
void RunToEnd(TAuOutput& out) {
    std::atomic<bool> done{false};
    out.OnDone = [&](TAuOutput*) { done = true; };
    out.Run();
    while (!done) {
        UiQueue::instance().processPending();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void Report(benchmark::State& state, long allocs) {
    state.counters["x_realtime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["allocs_per_run"] = benchmark::Counter(static_cast<double>(allocs) / static_cast<double>(state.iterations()));
}

void BM_MixTwoWavsIntoWav(benchmark::State& state) {
    Files& f = TheFiles();
    UiQueue::instance().bindToCurrentThread();
    TWaveIn bed, voice;
    TAudioMixer mix;
    TWaveOut out;
    mix.SetInput1(bed);
    mix.SetInput2(voice);
    mix.SetMode(TAudioMixerMode::amMix);
    out.SetInput(mix);
    out.SetFileName(f.out);
    long allocs = 0;
    for (auto _ : state) {
        bed.SetFileName(f.bed);
        voice.SetFileName(f.voice);
        mix.SetInput2StartSample(5 * kRate);
        const long before = gAllocs.load();
        RunToEnd(out);
        allocs += gAllocs.load() - before;
        if (!out.ExceptionMessage().empty()) state.SkipWithError(out.ExceptionMessage().c_str());
    }
    Report(state, allocs);
    UiQueue::instance().unbind();
}
BENCHMARK(BM_MixTwoWavsIntoWav)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_WavReaderIntoWavWriter(benchmark::State& state) {
    Files& f = TheFiles();
    UiQueue::instance().bindToCurrentThread();
    TWaveIn in;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName(f.out);
    long allocs = 0;
    for (auto _ : state) {
        in.SetFileName(f.bed);
        const long before = gAllocs.load();
        RunToEnd(out);
        allocs += gAllocs.load() - before;
        if (!out.ExceptionMessage().empty()) state.SkipWithError(out.ExceptionMessage().c_str());
    }
    Report(state, allocs);
    UiQueue::instance().unbind();
}
BENCHMARK(BM_WavReaderIntoWavWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The mixer alone (read straight from the mixer, no writer, no worker thread).
void BM_MixerBlocksOnly(benchmark::State& state) {
    Files& f = TheFiles();
    TWaveIn bed, voice;
    TAudioMixer mix;
    mix.SetInput1(bed);
    mix.SetInput2(voice);
    std::vector<uint8_t> sink(16384);
    long allocs = 0;
    for (auto _ : state) {
        bed.SetFileName(f.bed);
        voice.SetFileName(f.voice);
        const long before = gAllocs.load();
        mix.Init();
        int64_t total = 0, n;
        while ((n = mix.CopyData(sink.data(), 16384)) > 0) total += n;
        mix.Flush();
        allocs += gAllocs.load() - before;
        benchmark::DoNotOptimize(total);
    }
    Report(state, allocs);
}
BENCHMARK(BM_MixerBlocksOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
