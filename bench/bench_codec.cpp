// Decoding to WAV, compression and MP3 encoding of a 3-minute 44.1 kHz stereo bulletin, each
// against the bare library doing the same work. Counters: "x_realtime" (seconds of audio per
// second of work), "x_bare" (time against the bare library's benchmark run just before it),
// "maxrss_MB" (the process's peak resident memory so far).

#include <benchmark/benchmark.h>
#include <lame/lame.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <random>
#include <vector>

#include "audio/AudioLib.h"
#include "audio/Dekoder.h"
#include "audio/Kompresja.h"
#include "audio/MP3Out.h"
#include "audio/WaveIn.h"
#include "platform/Okno.h"
#include "support/Nagrania.h"
#include "platform/UiQueue.h"

namespace fs = std::filesystem;
using namespace tolvak;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 180;
constexpr int64_t kFrames = int64_t{kRate} * kSeconds;

class NullOkno : public Okno {
public:
    void setAction(std::string_view) override {}
    void setGaugeMax(int64_t) override {}
    void setGaugePosition(int64_t) override {}
    void advanceGauge(int64_t) override {}
    void setStatusBar(std::string_view) override {}
    void setLastDelivered(std::string_view) override {}
    void Migotanie(bool) override {}
    MsgResult messageBox(std::string_view, std::string_view, MsgButtons, MsgIcon) override {
        return MsgResult::Ok;
    }
    void processMessages() override {}
    void waitUntil(const std::function<bool()>& done) override { UiQueue::instance().processUntil(done); }
};

// Speech-like material: a few tones with a syllable envelope and some noise.
std::vector<int16_t> Material() {
    std::vector<int16_t> s(static_cast<size_t>(kFrames) * 2);
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    for (int64_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = 0.25 + 0.7 * std::pow(std::sin(std::numbers::pi * 4.1 * t), 2);
        const double v = env * (0.35 * std::sin(2 * std::numbers::pi * 180 * t) +
                                0.15 * std::sin(2 * std::numbers::pi * 910 * t) +
                                0.08 * std::sin(2 * std::numbers::pi * 2630 * t));
        s[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::lrint(32767 * (v + noise(rng))));
        s[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::lrint(32767 * (0.8 * v + noise(rng))));
    }
    return s;
}

struct Fixture {
    fs::path dir, wav, mp3;
    std::vector<int16_t> pcm;
    Fixture() {
        dir = fs::temp_directory_path() / "tolvak-bench-codec";
        fs::create_directories(dir);
        wav = dir / "bulletin.wav";
        mp3 = dir / "bulletin.mp3";
        pcm = Material();
        bench::ZapiszWavIMp3(pcm, kRate, wav, mp3);
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Fixture& Fx() {
    static Fixture fx;
    return fx;
}

double MaxRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

double g_bareDecode = 0, g_bareEncode = 0;  // seconds per iteration

template <class Fn>
double Timed(benchmark::State& state, Fn&& fn) {
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        state.SetIterationTime(d.count());
        total += d.count();
    }
    const double per = total / static_cast<double>(state.iterations());
    state.counters["x_realtime"] = kSeconds / per;
    state.counters["maxrss_MB"] = MaxRssMb();
    return per;
}

// libsndfile alone: open the MP3 and decode it into memory.
void BM_BareDecode(benchmark::State& state) {
    Fixture& fx = Fx();
    std::vector<int16_t> out(static_cast<size_t>(kFrames + 10 * 1152) * 2);
    g_bareDecode = Timed(state, [&] {
        SF_INFO info{};
        SNDFILE* sf = sf_open(fx.mp3.c_str(), SFM_READ, &info);
        const sf_count_t room = static_cast<sf_count_t>(out.size() / 2) - 4096;
        sf_count_t at = 0, n = 0;
        while (at < room && (n = sf_readf_short(sf, out.data() + at * 2, 4096)) > 0) at += n;
        sf_close(sf);
        benchmark::DoNotOptimize(out.data());
    });
}
BENCHMARK(BM_BareDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_DecodeToWav(benchmark::State& state) {
    Fixture& fx = Fx();
    NullOkno okno;
    const std::string out = (fx.dir / "tvvoice.wav").string();
    const double per = Timed(state, [&] { mp3ToWav(fx.mp3.string(), out, okno); });
    if (g_bareDecode > 0) state.counters["x_bare"] = per / g_bareDecode;
}
BENCHMARK(BM_DecodeToWav)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Compress(benchmark::State& state) {
    Fixture& fx = Fx();
    NullOkno okno;
    const fs::path work = fx.dir / "tvtemp.wav";
    fs::copy_file(fx.wav, work, fs::copy_options::overwrite_existing);
    Timed(state, [&] { Kompresuj(work.string(), 0, okno); });
}
BENCHMARK(BM_Compress)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

// LAME alone, with the writer's settings, from memory into memory.
void BM_BareEncode(benchmark::State& state) {
    Fixture& fx = Fx();
    std::vector<unsigned char> out(static_cast<size_t>(kFrames) + (size_t{1} << 20));
    g_bareEncode = Timed(state, [&] {
        lame_t gf = lame_init();
        lame_set_num_channels(gf, 2);
        lame_set_in_samplerate(gf, kRate);
        lame_set_out_samplerate(gf, kRate);
        lame_set_mode(gf, STEREO);
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, 256);
        lame_set_disable_reservoir(gf, 1);
        lame_set_original(gf, 1);
        lame_set_error_protection(gf, 0);
        lame_set_bWriteVbrTag(gf, 0);
        lame_set_write_id3tag_automatic(gf, 0);
        lame_init_params(gf);
        size_t at = 0;
        for (size_t i = 0; i < fx.pcm.size(); i += 2304) {
            const int frames = static_cast<int>(std::min<size_t>(2304, fx.pcm.size() - i) / 2);
            at += static_cast<size_t>(lame_encode_buffer_interleaved(
                gf, fx.pcm.data() + i, frames, out.data() + at, static_cast<int>(out.size() - at)));
        }
        at += static_cast<size_t>(lame_encode_flush(gf, out.data() + at, static_cast<int>(out.size() - at)));
        lame_close(gf);
        benchmark::DoNotOptimize(at);
    });
}
BENCHMARK(BM_BareEncode)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5);

// The writer as the production run uses it: a WAV reader into TMP3Out, waiting for OnDone.
void BM_EncodeMp3(benchmark::State& state) {
    Fixture& fx = Fx();
    UiQueue::instance().bindToCurrentThread();
    TWaveIn in;
    TMP3Out out;
    out.SetBitRate(TMP3BitRate::mbr256);
    out.SetInput(&in);
    out.SetFileName((fx.dir / "tvserwis.mp3").string());
    bool done = false;
    out.OnDone = [&](TAuOutput*) { done = true; };
    const double per = Timed(state, [&] {
        in.SetFileName(fx.wav.string());
        out.Id3v1Tags().Clear();
        out.Id3v2Tags().Clear();
        done = false;
        out.Run();
        UiQueue::instance().processUntil([&] { return done; });
    });
    if (!out.ExceptionMessage().empty()) state.SkipWithError(out.ExceptionMessage().c_str());
    if (g_bareEncode > 0) state.counters["x_bare"] = per / g_bareEncode;
}
BENCHMARK(BM_EncodeMp3)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5);

}  // namespace

BENCHMARK_MAIN();
