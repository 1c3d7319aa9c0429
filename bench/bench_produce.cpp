// The headless production of one news bulletin against the floor of what it cannot avoid:
// `tolvak --produce News --input` a 3-minute 44.1 kHz stereo MP3 over a 3.5-minute bed with a
// 3-second ending and MP3 output, against decoding the three inputs and encoding the result
// with the same libraries; and the block copy into the output folder.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <lame/lame.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "production/GeneratorDzwiekow.h"
#include "sources/Pliki.h"

namespace fs = std::filesystem;
namespace d = tolvak::dzwieki;

namespace {

fs::path g_dir;
double g_floorSeconds = 0;

void Przygotuj() {
    g_dir = fs::temp_directory_path() / ("tolvak-bench-" + std::to_string(getpid()));
    fs::create_directories(g_dir / "prog");
    fs::create_directories(g_dir / "out");
    d::ZapiszMp3((g_dir / "serwis.mp3").string(), d::Mowa(180.0), 128);
    d::ZapiszWav((g_dir / "podklad.wav").string(), d::Podklad(210.0));
    d::ZapiszWav((g_dir / "zakonczenie.wav").string(), d::Zakonczenie(3.0));
    tolvak::IniFile ini(g_dir / "prog" / "tolvak.ini");
    ini.WriteString("Ustawienia", "FolderZapisu", (g_dir / "out").string());
    ini.WriteString("Ustawienia", "SerwisPodklad", (g_dir / "podklad.wav").string());
    ini.WriteString("Ustawienia", "SerwisZakonczenie", (g_dir / "zakonczenie.wav").string());
    ini.WriteString("Ustawienia", "StartDzwiekuSerwisu", "0");
    ini.WriteString("Ustawienia", "NazwaWynikowaTyp", "0");
    ini.WriteString("Ustawienia", "FormatZapisu", "1");
    ini.WriteString("Ustawienia", "CzyTworzycLog", "1");
    std::string duzy(64 << 20, '\0');
    for (size_t i = 0; i < duzy.size(); i += 4096) duzy[i] = static_cast<char>(i / 4096);
    std::ofstream(g_dir / "duzy.bin", std::ios::binary) << duzy;
}

/// Decodes a whole file with libsndfile as 16-bit samples; returns them.
std::vector<int16_t> Dekoduj(const fs::path& p, int& rate, int& ch) {
    SF_INFO info{};
    SNDFILE* f = sf_open(p.c_str(), SFM_READ, &info);
    if (!f) throw std::runtime_error("cannot decode " + p.string());
    rate = info.samplerate;
    ch = info.channels;
    std::vector<int16_t> all, buf(static_cast<size_t>(20001 / 2));
    for (;;) {
        const sf_count_t n = sf_read_short(f, buf.data(), static_cast<sf_count_t>(buf.size()) / ch * ch);
        if (n <= 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + n);
    }
    sf_close(f);
    return all;
}

/// The floor: decode bulletin, bed and ending; encode bulletin + ending at 256 kbit/s CBR.
double Podloga() {
    const auto t0 = std::chrono::steady_clock::now();
    int rate = 0, ch = 0;
    auto mowa = Dekoduj(g_dir / "serwis.mp3", rate, ch);
    auto bed = Dekoduj(g_dir / "podklad.wav", rate, ch);
    auto end = Dekoduj(g_dir / "zakonczenie.wav", rate, ch);
    benchmark::DoNotOptimize(bed.data());
    mowa.insert(mowa.end(), end.begin(), end.end());
    lame_global_flags* l = lame_init();
    lame_set_in_samplerate(l, rate);
    lame_set_out_samplerate(l, rate);
    lame_set_num_channels(l, ch);
    lame_set_mode(l, STEREO);
    lame_set_VBR(l, vbr_off);
    lame_set_brate(l, 256);
    lame_set_disable_reservoir(l, 1);
    lame_set_original(l, 1);
    lame_set_bWriteVbrTag(l, 0);
    lame_set_quality(l, 5);
    lame_init_params(l);
    std::FILE* out = std::fopen((g_dir / "podloga.mp3").c_str(), "wb");
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * 8192 + 7200));
    const int frames = static_cast<int>(mowa.size() / 2);
    for (int i = 0; i < frames; i += 8192) {
        const int n = std::min(8192, frames - i);
        const int w = lame_encode_buffer_interleaved(l, mowa.data() + 2 * i, n, mp3.data(), static_cast<int>(mp3.size()));
        std::fwrite(mp3.data(), 1, static_cast<size_t>(w), out);
    }
    const int w = lame_encode_flush(l, mp3.data(), static_cast<int>(mp3.size()));
    std::fwrite(mp3.data(), 1, static_cast<size_t>(w), out);
    std::fclose(out);
    lame_close(l);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

/// Runs the program; returns its standard error and sets `ok`.
std::string Produkuj(bool& ok) {
    const fs::path err = g_dir / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        if (chdir(g_dir.c_str()) != 0) _exit(9);
        setenv("TOLVAK_ONLINE", "1", 1);
        const std::string dir = (g_dir / "prog").string();
        execl(TOLVAK_BINARY, TOLVAK_BINARY, "--dir", dir.c_str(), "--produce", "News", "--input",
              "serwis.mp3", "--verbose", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream f(err);
    return {std::istreambuf_iterator<char>(f), {}};
}

void BM_ProduceNewsMp3(benchmark::State& state) {
    std::map<std::string, double> kroki;
    double razem = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        bool ok = false;
        const std::string err = Produkuj(ok);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(s);
        razem += s;
        if (!ok) {
            state.SkipWithError(("tolvak --produce failed: " + err).c_str());
            break;
        }
        std::istringstream in(err);
        for (std::string l; std::getline(in, l);) {
            const auto ms = l.find(" ms] ");
            const auto p = l.find("AkcjaSerwis: ");
            if (l.rfind("[", 0) != 0 || ms == std::string::npos || p == std::string::npos) continue;
            std::string krok = l.substr(p + 13);
            if (krok.rfind("Pobrano", 0) == 0) krok = "Pobrano";
            kroki[krok.substr(0, 24)] += std::stod(l.substr(1, ms - 1)) / 1000.0;
        }
    }
    for (const auto& [k, v] : kroki)
        state.counters["s:" + k] = benchmark::Counter(v, benchmark::Counter::kAvgIterations);
    state.counters["floor_s"] = g_floorSeconds;
    if (state.iterations() > 0)
        state.counters["ratio_to_floor"] = razem / static_cast<double>(state.iterations()) / g_floorSeconds;
}

void BM_Floor(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(Podloga());
}

void BM_KopiujPlik(benchmark::State& state) {
    tolvak::ManualClock clock;
    tolvak::StatusDisplay okno(clock);
    const std::string zrodlo = (g_dir / "duzy.bin").string();
    const std::string cel = (g_dir / "out" / "kopia.bin").string();
    for (auto _ : state) tolvak::KopiujPlik(zrodlo, cel, okno);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(zrodlo)));
}

}  // namespace

int main(int argc, char** argv) {
    Przygotuj();
    g_floorSeconds = 1e9;
    for (int i = 0; i < 3; ++i) g_floorSeconds = std::min(g_floorSeconds, Podloga());
    benchmark::RegisterBenchmark("BM_Floor", BM_Floor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ProduceNewsMp3", BM_ProduceNewsMp3)
        ->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_KopiujPlik", BM_KopiujPlik)->Iterations(5)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(g_dir, ec);
    return 0;
}
