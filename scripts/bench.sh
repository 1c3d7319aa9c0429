#!/usr/bin/env bash
# Builds Release and runs every benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAK_TESTS=OFF -DTOLVAK_BENCH=ON >/dev/null
cmake --build build/bench -j"$(nproc)"
for b in build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
