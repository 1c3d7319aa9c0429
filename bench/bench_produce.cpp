// The headless production of one news bulletin against ffmpeg doing the same job in one filter
// graph, run alternately so that both see the same load:
//
//   tolvak --produce News --input serwis.mp3   (3-minute 44.1 kHz stereo MP3 at 128 kbit/s over
//   a 3.5-minute WAV bed from mix point 22050, bed cut behind it, 3-second WAV ending, MP3 out)
//
//   ffmpeg: compressor (threshold -15 dB, ratio 3, attack 20 ms, release 200 ms) on the
//   bulletin, delayed by the mix point and mixed over the bed, the bed cut behind it, the ending
//   concatenated, the same compressor again, LAME at its default quality, 256 kbit/s CBR, plain
//   stereo, no bit reservoir.
//
// Reports the medians of wall, user and system time of both and their ratios, the peak resident
// memory, the split of the run into its steps (from the run's --verbose lines), the encode step
// against bare LAME encoding the same samples, and, when strace is installed, the system calls
// of one run. A second case runs a 2-hour bulletin for its peak memory.
//
//   bench_produce [--runs N] [--no-long] [--keep]

#include <fcntl.h>
#include <lame/lame.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Ini.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMixPoint = 22050;

struct Measure {
    double wall = 0, user = 0, sys = 0, rssMiB = 0;
    bool ok = false;
    std::string err;  // the child's standard error
};

/// Runs argv in `dir` with its standard error in a file; times it and takes its resource use.
Measure Run(const std::vector<std::string>& argv, const fs::path& dir) {
    const fs::path errFile = dir / "stderr.txt";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (chdir(dir.c_str()) != 0) _exit(126);
        setenv("TOLVAK_ONLINE", "1", 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    Measure m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    m.user = static_cast<double>(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec / 1e6;
    m.sys = static_cast<double>(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec / 1e6;
    m.rssMiB = static_cast<double>(ru.ru_maxrss) / 1024.0;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream f(errFile);
    m.err.assign(std::istreambuf_iterator<char>(f), {});
    return m;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

/// The steps of a run and the log line that ends each, in order.
const std::vector<std::pair<std::string, std::string>> kSteps = {
    {"fetch", "Pobrano serwis"},
    {"decode", "Przekonwertowano serwis do pliku wav."},
    {"compress", "Znormalizowano serwis."},
    {"mix", "Zmiksowano serwis z podkładem."},
    {"ending", "Dodano zakończenie do serwisu."},
    {"compress2", "Zakończono kompresję dynamiki gotowego serwisu."},
    {"encode", "Zakończono kodowanie serwisu do formatu docelowego."},
    {"copy", "Skopiowano serwis do lokalizacji docelowej."},
    {"cleanup", "Skasowano pliki tymczasowe."},
};

/// Seconds per step from the "[   123 ms] ... AkcjaSerwis: ..." lines of --verbose.
std::map<std::string, double> Steps(const std::string& err) {
    std::map<std::string, double> s;
    std::istringstream in(err);
    for (std::string l; std::getline(in, l);) {
        const auto ms = l.find(" ms] ");
        if (l.rfind("[", 0) != 0 || ms == std::string::npos) continue;
        for (const auto& [name, text] : kSteps)
            if (l.find("AkcjaSerwis: " + text) != std::string::npos)
                s[name] += std::stod(l.substr(1, ms - 1)) / 1000.0;
    }
    return s;
}

void WriteSettings(const fs::path& dir, int format) {
    tolvak::IniFile ini(dir / "prog" / "tolvak.ini");
    ini.WriteString("Ustawienia", "FolderZapisu", (dir / "out").string());
    ini.WriteString("Ustawienia", "SerwisPodklad", (dir / "podklad.wav").string());
    ini.WriteString("Ustawienia", "SerwisZakonczenie", (dir / "zakonczenie.wav").string());
    ini.WriteString("Ustawienia", "StartDzwiekuSerwisu", std::to_string(kMixPoint));
    ini.WriteString("Ustawienia", "NazwaWynikowaTyp", "0");  // a fixed name, replaced each run
    ini.WriteString("Ustawienia", "NazwaWynikowa", "serwis");
    ini.WriteString("Ustawienia", "FormatZapisu", std::to_string(format));
    ini.WriteString("Ustawienia", "CzyTworzycLog", "1");
}

/// Makes the inputs with the project's sound generator: the bulletin and the bed repeated
/// `repeat` times (3 minutes and 3.5 minutes each).
void MakeInputs(const fs::path& dir, int repeat) {
    fs::create_directories(dir / "prog");
    fs::create_directories(dir / "out");
    const Measure g = Run({TOLVAK_DZWIEKI, dir.string(), "180", "210", std::to_string(repeat)}, dir);
    if (!g.ok) throw std::runtime_error("sound generator failed: " + g.err);
}

std::vector<std::string> TolvakArgs(const fs::path& dir) {
    return {TOLVAK_BINARY, "--dir", (dir / "prog").string(), "--produce", "News",
            "--input", "serwis.mp3", "--verbose"};
}

std::vector<std::string> FfmpegArgs() {
    const std::string c = "acompressor=threshold=-15dB:ratio=3:attack=20:release=200:detection=peak:link=maximum:knee=1";
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
            "-i", "serwis.mp3", "-i", "podklad.wav", "-i", "zakonczenie.wav",
            "-filter_complex",
            "[0:a]" + c + ",adelay=" + std::to_string(kMixPoint) + "S:all=1[v];"
            "[v][1:a]amix=inputs=2:duration=first:dropout_transition=0[m];"
            "[m][2:a]concat=n=2:v=0:a=1[c];[c]" + c + "[o]",
            "-map", "[o]", "-c:a", "libmp3lame", "-b:a", "256k", "-joint_stereo", "0",
            "-reservoir", "0", "out/ffmpeg.mp3"};
}

/// Seconds LAME alone needs for the samples of `wav`, from memory into memory, with the
/// writer's settings at the encoder's default quality.
double BareLame(const fs::path& wav) {
    SF_INFO info{};
    SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
    if (!f) throw std::runtime_error("cannot read " + wav.string());
    std::vector<int16_t> pcm(static_cast<size_t>(info.frames * info.channels));
    sf_readf_short(f, pcm.data(), info.frames);
    sf_close(f);
    std::vector<unsigned char> out(pcm.size() + (size_t{1} << 20));
    const auto t0 = std::chrono::steady_clock::now();
    lame_t gf = lame_init();
    lame_set_num_channels(gf, info.channels);
    lame_set_in_samplerate(gf, info.samplerate);
    lame_set_out_samplerate(gf, info.samplerate);
    lame_set_mode(gf, info.channels == 1 ? MONO : STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 256);
    lame_set_disable_reservoir(gf, 1);
    lame_set_original(gf, 1);
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    lame_init_params(gf);
    size_t at = 0;
    const size_t chunk = 1152 * static_cast<size_t>(info.channels);
    for (size_t i = 0; i < pcm.size(); i += chunk) {
        const int frames = static_cast<int>(std::min(chunk, pcm.size() - i) / info.channels);
        at += static_cast<size_t>(lame_encode_buffer_interleaved(gf, pcm.data() + i, frames, out.data() + at,
                                                                 static_cast<int>(out.size() - at)));
    }
    at += static_cast<size_t>(lame_encode_flush(gf, out.data() + at, static_cast<int>(out.size() - at)));
    lame_close(gf);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

/// One traced run: the count of each system call that matters here.
void Strace(const fs::path& dir) {
    if (std::system("command -v strace >/dev/null 2>&1") != 0) {
        std::printf("strace: not installed, skipped\n");
        return;
    }
    std::vector<std::string> args = {"strace", "-c", "-f", "-o", (dir / "strace.txt").string()};
    for (const auto& a : TolvakArgs(dir)) args.push_back(a);
    Run(args, dir);
    std::ifstream f(dir / "strace.txt");
    std::printf("strace -c -f tolvak --produce News --input serwis.mp3:\n");
    std::map<std::string, long> calls;
    for (std::string l; std::getline(f, l);) {
        std::istringstream in(l);
        std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
        if (w.size() >= 5 && std::isdigit(static_cast<unsigned char>(w[0][0]))) calls[w.back()] = std::stol(w[3]);
    }
    for (const char* name : {"sched_yield", "write", "read", "futex", "fsync", "total"})
        std::printf("  %-12s %8ld\n", name, calls.count(name) ? calls[name] : 0L);
}

void Check(const char* what, double value, double limit) {
    std::printf("  %-44s %8.3f  (target <= %.3f)  %s\n", what, value, limit, value <= limit ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool longCase = true, keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--no-long") longCase = false;
        else if (a == "--keep") keep = true;
        else if (a.rfind("--benchmark", 0) == 0) continue;  // scripts/bench.sh passes these to every program
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--no-long] [--keep]\n", argv[0]);
            return 2;
        }
    }
    const fs::path dir = fs::temp_directory_path() / ("tolvak-bench-produce-" + std::to_string(getpid()));
    try {
        MakeInputs(dir, 1);
        WriteSettings(dir, 1);
        std::vector<double> tw, tu, ts, tr, fw, fu, fs_, fr;
        std::map<std::string, std::vector<double>> steps;
        for (int i = 0; i < runs; ++i) {
            // Alternating, and each one first every other time.
            for (int k = 0; k < 2; ++k) {
                if ((i + k) % 2 == 0) {
                    const Measure m = Run(TolvakArgs(dir), dir);
                    if (!m.ok) throw std::runtime_error("tolvak --produce failed: " + m.err);
                    tw.push_back(m.wall), tu.push_back(m.user), ts.push_back(m.sys), tr.push_back(m.rssMiB);
                    for (const auto& [k2, v] : Steps(m.err)) steps[k2].push_back(v);
                } else {
                    const Measure m = Run(FfmpegArgs(), dir);
                    if (!m.ok) throw std::runtime_error("ffmpeg failed: " + m.err);
                    fw.push_back(m.wall), fu.push_back(m.user), fs_.push_back(m.sys), fr.push_back(m.rssMiB);
                }
            }
        }
        long cores = sysconf(_SC_NPROCESSORS_ONLN);
        double load[3] = {0, 0, 0};
        getloadavg(load, 3);
        std::printf("3-minute bulletin, %d alternating runs each; %ld cores, load %.1f %.1f %.1f\n", runs, cores,
                    load[0], load[1], load[2]);
        std::printf("  %-10s %8s %8s %8s %9s\n", "median", "wall s", "user s", "sys s", "rss MiB");
        std::printf("  %-10s %8.3f %8.3f %8.3f %9.1f\n", "tolvak", Median(tw), Median(tu), Median(ts), Median(tr));
        std::printf("  %-10s %8.3f %8.3f %8.3f %9.1f\n", "ffmpeg", Median(fw), Median(fu), Median(fs_), Median(fr));
        std::printf("  %-10s %8.3f %8.3f %8.3f\n", "ratio", Median(tw) / Median(fw), Median(tu) / Median(fu),
                    Median(ts) / Median(fs_));
        std::printf("steps of the tolvak run (median s):\n");
        for (const auto& [name, text] : kSteps) std::printf("  %-10s %8.3f\n", name.c_str(), Median(steps[name]));

        // The same samples as the encode step gets: the run once more with WAV output.
        WriteSettings(dir, 0);
        const Measure w = Run(TolvakArgs(dir), dir);
        if (!w.ok) throw std::runtime_error("tolvak --produce (wav) failed: " + w.err);
        std::vector<double> lame;
        for (int i = 0; i < std::min(runs, 3); ++i) lame.push_back(BareLame(dir / "out" / "N_serwis.wav"));
        const double encode = Median(steps["encode"]), bare = Median(lame);
        std::printf("encode step %.3f s, bare LAME on the same samples %.3f s\n", encode, bare);
        WriteSettings(dir, 1);

        std::printf("targets:\n");
        Check("wall / ffmpeg wall", Median(tw) / Median(fw), 0.9);
        Check("sys / user", Median(ts) / Median(tu), 0.10);
        Check("peak rss MiB, 3-minute bulletin", Median(tr), 64);
        Check("encode step / bare LAME", encode / bare, 1.1);
        Strace(dir);

        if (longCase) {
            const fs::path dir2 = dir / "long";
            MakeInputs(dir2, 40);
            WriteSettings(dir2, 1);
            const Measure m = Run(TolvakArgs(dir2), dir2);
            if (!m.ok) throw std::runtime_error("tolvak --produce (2 hours) failed: " + m.err);
            std::printf("2-hour bulletin, one run: wall %.1f s, user %.1f s, sys %.1f s\n", m.wall, m.user, m.sys);
            Check("peak rss MiB, 2-hour bulletin", m.rssMiB, 64);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_produce: %s\n", e.what());
        if (!keep) fs::remove_all(dir);
        return 1;
    }
    if (!keep) fs::remove_all(dir);
    return 0;
}
