#include <benchmark/benchmark.h>
#include "platform/Clock.h"

static void BM_ClockArithmetic(benchmark::State& state) {
    tolvak::LocalTime t{2026, 12, 9, 13, 45, 0};
    for (auto _ : state) benchmark::DoNotOptimize(t = t.plusSeconds(1));
}
BENCHMARK(BM_ClockArithmetic);
BENCHMARK_MAIN();
