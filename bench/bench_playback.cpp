// Playback of a 3.5-minute 44.1 kHz stereo bed as the mix point editor plays it (from memory,
// 100 ms ring, prefetch), on ALSA's null device held to real time on the device's side.
// Counter "cpu_pct_of_core": the process's processor time over the wall time while it plays.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <thread>

#include "audio/DXAudioOut.h"
#include "audio/WaveIn.h"
#include "support/NullSoundCard.h"

using namespace tolvak;

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 210;

std::vector<uint8_t> BedWav() {
    std::vector<uint8_t> w(44 + static_cast<size_t>(kFrames) * 4);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) w[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(w.data(), "RIFF", 4);
    put(4, static_cast<uint32_t>(w.size() - 8), 4);
    std::memcpy(w.data() + 8, "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 1, 2);
    put(22, 2, 2);
    put(24, kRate, 4);
    put(28, kRate * 4, 4);
    put(32, 4, 2);
    put(34, 16, 2);
    std::memcpy(w.data() + 36, "data", 4);
    put(40, static_cast<uint32_t>(kFrames * 4), 4);
    for (int64_t i = 0; i < kFrames; ++i) {
        const auto s = static_cast<int16_t>(std::lrint(12000 * std::sin(2 * 3.14159265 * 220 * static_cast<double>(i) / kRate)));
        put(44 + static_cast<size_t>(i) * 4, static_cast<uint16_t>(s), 2);
        put(46 + static_cast<size_t>(i) * 4, static_cast<uint16_t>(s), 2);
    }
    return w;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_PlaybackCpu(benchmark::State& state) {
    test::UseNullSoundCard();
    TAuMemoryStream bed(BedWav());
    TWaveIn in;
    in.SetStream(&bed);
    TDXAudioOut out;
    out.SetLatency(100);
    out.SetPollingInterval(200);
    out.SetFramesInBuffer(65536);
    out.SetInput(in);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        test::PacedRecorder device(kRate, 4);
        out.SetPlayedTap(device.Tap());
        out.Run();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the start
        const double c0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(4));
        cpu += CpuSeconds() - c0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        out.Stop(false);
        if (!out.ExceptionMessage().empty()) state.SkipWithError(out.ExceptionMessage().c_str());
    }
    state.counters["cpu_pct_of_core"] = 100.0 * cpu / wall;
    state.counters["underruns"] = out.Underruns();
}
BENCHMARK(BM_PlaybackCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
