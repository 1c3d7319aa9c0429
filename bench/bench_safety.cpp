// The cost of the on-air safety steps as shares of a whole production run, in process: a
// 3-minute news bulletin (MP3) over a 3.5-minute bed with a 3-second ending, WAV and MP3 output.
//
//   hand-off check   one decode of the finished file (inside every run)
//   loudness         the measurement (Pomiar=1) and the correction to -23 LUFS / -1 dBTP (Cel)
//
// Each is timed on its own on the finished file of the run, and the run is timed without and
// with the loudness target. Medians of N rounds (default 5).
//
//   bench_safety [--runs N]

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "audio/Glosnosc.h"
#include "platform/UiQueue.h"
#include "production/Produkcja.h"
#include "production/Weryfikacja.h"
#include "sources/Zrodla.h"

namespace fs = std::filesystem;
using namespace tolvak;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <typename F>
double Sekundy(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    int rundy = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) rundy = std::max(1, std::atoi(argv[i + 1]));
    const fs::path tmp = fs::temp_directory_path() / ("bench_safety_" + std::to_string(getpid()));
    const fs::path prog = tmp / "prog", work = tmp / "work", out = tmp / "out";
    for (const auto& p : {prog, work, out}) fs::create_directories(p);
    const std::string gen = std::string("'") + TOLVAK_DZWIEKI + "' '" + tmp.string() + "' 180 210 >/dev/null";
    if (std::system(gen.c_str()) != 0) {
        std::fprintf(stderr, "bench_safety: the sound generator failed\n");
        return 1;
    }
    setenv("TOLVAK_ONLINE", "1", 1);
    UiQueue::instance().bindToCurrentThread();
    SystemClock clock;
    Log log(prog / "log.txt", clock);
    StatusDisplay okno(clock);
    Ustawienia u;
    u.FolderZapisu = out.string() + "/";
    u.NazwaWynikowaTyp = 0;
    u.SerwisPodklad = (tmp / "podklad.wav").string();
    u.SerwisZakonczenie = (tmp / "zakonczenie.wav").string();
    u.StartSerwisu = 22050;
    Zrodla zrodla(KontekstZrodel{u, prog, work, log, clock, okno});
    Produkcja p(KontekstProdukcji{u, prog, work, log, clock, okno, zrodla});
    p.SetPlikWejsciowy((tmp / "serwis.mp3").string());

    std::printf("%-8s %9s %9s %7s %9s %7s %9s %7s %11s %7s\n", "output", "run s", "check s", "share",
                "measure s", "share", "target s", "share", "run+target", "share");
    for (const int format : {0, 1}) {
        u.FormatZapisu = format;
        const fs::path gotowy = out / (format ? "N_serwis.mp3" : "N_serwis.wav");
        std::vector<double> run, check, measure, target, runTarget;
        for (int r = 0; r < rundy; ++r) {
            u.GlosnoscCel.reset();
            run.push_back(Sekundy([&] { p.AkcjaSerwis("News"); }));
            // The WAV round's finished file: the length the MP3 is checked against, and the file
            // the loudness steps are timed on.
            const int64_t ramki = RamkiZmontowane((out / "N_serwis.wav").string());
            check.push_back(Sekundy([&] { (void)UsterkaGotowego(gotowy.string(), ramki, format == 1); }));
            fs::copy_file(out / "N_serwis.wav", tmp / "kopia.wav", fs::copy_options::overwrite_existing);
            measure.push_back(Sekundy([&] { (void)ZmierzGlosnosc((tmp / "kopia.wav").string()); }));
            target.push_back(Sekundy([&] { (void)UstawGlosnosc((tmp / "kopia.wav").string(), -23, -1, okno); }));
            u.GlosnoscCel = -23.0;
            runTarget.push_back(Sekundy([&] { p.AkcjaSerwis("News"); }));
        }
        const double R = Median(run), T = Median(runTarget);
        std::printf("%-8s %9.3f %9.3f %6.1f%% %9.3f %6.1f%% %9.3f %6.1f%% %11.3f %6.1f%%\n",
                    format ? "mp3" : "wav", R, Median(check), 100 * Median(check) / R, Median(measure),
                    100 * Median(measure) / R, Median(target), 100 * Median(target) / T, T,
                    100 * (T - R) / T);
    }
    UiQueue::instance().unbind();
    std::error_code ec;
    fs::remove_all(tmp, ec);
    return 0;
}
