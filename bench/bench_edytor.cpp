// Opening the mix point editor on a 3.5-minute 44.1 kHz stereo bed, as "Punkt mixu" does:
// creating the window, decoding the bed (MP3 or WAV) into its work file, opening it, the
// waveform over 556 columns and its drawing; then closing it. And the peak memory of opening a
// one-hour bed (the process's resident peak, reset before the opening). On the offscreen
// platform and ALSA's null device.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "audio/AudioLib.h"
#include "audio/WavFileWriter.h"
#include "app/qt/QtEventPump.h"
#include "dialogs/FStartSerwis.h"
#include "platform/Okno.h"
#include "support/Nagrania.h"
#include "support/NullSoundCard.h"

namespace fs = std::filesystem;
using namespace tolvak;

namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrames = int64_t{kRate} * 210;

class BezOkna : public Okno {
public:
    void setAction(std::string_view) override {}
    void setGaugeMax(int64_t) override {}
    void setGaugePosition(int64_t) override {}
    void advanceGauge(int64_t) override {}
    void setStatusBar(std::string_view) override {}
    void setLastDelivered(std::string_view) override {}
    void Migotanie(bool) override {}
    MsgResult messageBox(std::string_view, std::string_view, MsgButtons, MsgIcon) override { return MsgResult::Ok; }
    void processMessages() override { QtEventPump::processMessages(); }
    void waitUntil(const std::function<bool()>& done) override { QtEventPump::waitUntil(done); }
};

struct Podklady {
    fs::path dir = fs::temp_directory_path() / "tolvak-bench-edytor";
    fs::path wav = dir / "podklad.wav", mp3 = dir / "podklad.mp3";
    Podklady() {
        fs::create_directories(dir);
        std::vector<int16_t> pcm(static_cast<size_t>(kFrames) * 2);
        for (int64_t i = 0; i < kFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double v = (0.3 + 0.2 * std::sin(2 * std::numbers::pi * 0.5 * t)) *
                             (std::sin(2 * std::numbers::pi * 110 * t) + 0.3 * std::sin(2 * std::numbers::pi * 1375 * t));
            pcm[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::lrint(20000 * v));
            pcm[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::lrint(18000 * v));
        }
        bench::ZapiszWavIMp3(pcm, kRate, wav, mp3);
    }
    ~Podklady() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Podklady& P() {
    static Podklady p;
    return p;
}

void Otwarcie(benchmark::State& state, const fs::path& podklad) {
    BezOkna okno;
    int64_t punkt = 44100 * 20;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        TFStartSerwis edytor(nullptr, okno, podklad.string(), P().dir, punkt);
        if (!edytor.FormShow()) state.SkipWithError("the bed did not open");
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        state.SetIterationTime(d.count());
        edytor.FormClose();
    }
}

void BM_OpenEditorMp3Bed(benchmark::State& state) { Otwarcie(state, P().mp3); }
BENCHMARK(BM_OpenEditorMp3Bed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

void BM_OpenEditorWavBed(benchmark::State& state) { Otwarcie(state, P().wav); }
BENCHMARK(BM_OpenEditorWavBed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

/// VmRSS or VmHWM of this process in MiB.
double PamiecMiB(const char* pole) {
    std::ifstream f("/proc/self/status");
    for (std::string l; std::getline(f, l);)
        if (l.rfind(pole, 0) == 0) return std::stod(l.substr(std::string(pole).size())) / 1024.0;
    return -1;
}

void BM_OpenEditorOneHourBedPeakMemory(benchmark::State& state) {
    // Written block by block, so that making the bed does not raise the peak itself.
    const fs::path bed = P().dir / "godzina.wav";
    {
        auto w = audiolib::WavFileWriter::Create(bed, kRate, 2);
        std::vector<int16_t> blok(static_cast<size_t>(kRate) * 2);
        for (int s = 0; s < 3600; ++s) {
            for (int i = 0; i < kRate; ++i)
                blok[2 * static_cast<size_t>(i)] = blok[2 * static_cast<size_t>(i) + 1] =
                    static_cast<int16_t>(std::lrint(12000 * std::sin(2 * std::numbers::pi * 220 * (s * kRate + i) / kRate)));
            w->Write(blok);
        }
        w->Commit();
    }
    BezOkna okno;
    int64_t punkt = int64_t{kRate} * 1800;
    for (auto _ : state) {
        const double przed = PamiecMiB("VmRSS:");
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        const auto t0 = std::chrono::steady_clock::now();
        {
            TFStartSerwis edytor(nullptr, okno, bed.string(), P().dir, punkt);
            if (!edytor.FormShow()) state.SkipWithError("the bed did not open");
            edytor.FormClose();
        }
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        state.SetIterationTime(d.count());
        state.counters["peak_MiB"] = PamiecMiB("VmHWM:");
        state.counters["growth_MiB"] = PamiecMiB("VmHWM:") - przed;
    }
    std::error_code ec;
    fs::remove(bed, ec);
}
BENCHMARK(BM_OpenEditorOneHourBedPeakMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    test::UseNullSoundCard();
    QApplication app(argc, argv);
    QtEventPump pompa;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
