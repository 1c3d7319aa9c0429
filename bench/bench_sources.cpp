// The transfer clients: a 64 MiB download from a local HTTP server into a work file, against the
// curl command-line tool fetching the same file in the same run (target: within 1.2x), and the
// processor share of the user-interface thread while a transfer waits on a slow server
// (target: under 2% of one core); and the peak memory of `tolvak --check News` against a
// front page of 500 MiB in ISO-8859-2 (target: under 64 MiB).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "app/StatusDisplay.h"
#include "platform/UiQueue.h"
#include "sources/KlientHTTP.h"
#include "support/SerwerHTTP.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Zegar = std::chrono::steady_clock;
using tolvak::test::Odpowiedz;

double Sekundy(Zegar::duration d) { return std::chrono::duration<double>(d).count(); }

double CzasWatku() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_Pobranie64MiBDoPliku(benchmark::State& state) {
    if (std::system("curl --version >/dev/null 2>&1") != 0) {
        state.SkipWithError("the curl command-line tool is not installed");
        return;
    }
    Odpowiedz plik;
    plik.tresc.assign(size_t{64} << 20, 'x');
    tolvak::test::SerwerHTTP serwer([&](const tolvak::test::Zadanie&) { return plik; });
    tolvak::test::TempDir tmp;
    tolvak::ManualClock clock;
    tolvak::StatusDisplay okno(clock);
    tolvak::KlientHTTP klient(okno, tolvak::UstawieniaHTTP::Wspolny());
    const std::string url = serwer.Adres() + "/serwis.mp3", cel = (tmp / "tvss.mp3").string();
    const std::string polecenie = "curl -s -o '" + (tmp / "curl.mp3").string() + "' '" + url + "'";
    double razemKlient = 0, razemCurl = 0;
    for (auto _ : state) {
        auto t0 = Zegar::now();
        std::FILE* f = std::fopen(cel.c_str(), "wb");
        klient.Get(url, f);
        std::fclose(f);
        const double klientS = Sekundy(Zegar::now() - t0);
        t0 = Zegar::now();
        if (std::system(polecenie.c_str()) != 0) state.SkipWithError("curl failed");
        razemCurl += Sekundy(Zegar::now() - t0);
        razemKlient += klientS;
        state.SetIterationTime(klientS);
    }
    state.counters["klient_s"] = razemKlient / static_cast<double>(state.iterations());
    state.counters["curl_s"] = razemCurl / static_cast<double>(state.iterations());
    state.counters["stosunek"] = razemKlient / razemCurl;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(plik.tresc.size()));
}
BENCHMARK(BM_Pobranie64MiBDoPliku)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_PompaPodczasWolnegoTransferu(benchmark::State& state) {
    tolvak::UiQueue::instance().bindToCurrentThread();
    tolvak::test::SerwerHTTP* serwerPtr = nullptr;
    tolvak::test::SerwerHTTP serwer([&](const tolvak::test::Zadanie&) {
        Odpowiedz o;
        o.dalej = [&, n = 0](std::string& k) mutable {
            for (int i = 0; i < 10 && !serwerPtr->Zatrzymany(); ++i) std::this_thread::sleep_for(50ms);
            k.assign(1, 'z');
            return ++n <= 6;  // a byte every half second for 3 seconds
        };
        return o;
    });
    serwerPtr = &serwer;
    tolvak::ManualClock clock;
    tolvak::StatusDisplay okno(clock);
    tolvak::KlientHTTP klient(okno, tolvak::UstawieniaHTTP::Wspolny());
    double procent = 0;
    for (auto _ : state) {
        const double cpu0 = CzasWatku();
        const auto t0 = Zegar::now();
        benchmark::DoNotOptimize(klient.Get(serwer.Adres() + "/wolny"));
        procent = 100.0 * (CzasWatku() - cpu0) / Sekundy(Zegar::now() - t0);
    }
    state.counters["cpu_procent"] = procent;
    tolvak::UiQueue::instance().unbind();
}
BENCHMARK(BM_PompaPodczasWolnegoTransferu)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SprawdzenieZeStrona500MiB(benchmark::State& state) {
    // "Wiadomości" in ISO-8859-2, a mebibyte at a time, to the 500th.
    std::string mebibajt;
    while (mebibajt.size() < (size_t{1} << 20)) mebibajt += "Wiadomo\xb6" "ci \xb1\xea ";
    mebibajt.resize(size_t{1} << 20);
    tolvak::test::SerwerHTTP serwer([&](const tolvak::test::Zadanie&) {
        Odpowiedz o;
        o.naglowki = {{"Content-Type", "text/html; charset=ISO-8859-2"}};
        o.dalej = [&, n = 0](std::string& k) mutable { return k = mebibajt, ++n <= 500; };
        return o;
    });
    tolvak::test::TempDir tmp;
    std::ofstream(tmp / "tolvak.ini") << "[Ustawienia]\nCzyNews=1\nAdresZet=" << serwer.Adres() << "\n";
    double szczytMiB = 0;
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TOLVAK_ONLINE", "1", 1);
            ::execl(TOLVAK_BINARY, TOLVAK_BINARY, "--check", "News", "--dir", tmp.path().c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage zuzycie{};
        ::wait4(pid, &status, 0, &zuzycie);
        szczytMiB = static_cast<double>(zuzycie.ru_maxrss) / 1024.0;  // kibibytes on Linux
    }
    state.counters["szczyt_MiB"] = szczytMiB;
    if (szczytMiB >= 64) state.SkipWithError("peak memory of --check is 64 MiB or more");
}
BENCHMARK(BM_SprawdzenieZeStrona500MiB)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
