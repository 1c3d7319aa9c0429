#!/usr/bin/env bash
# The main job: builds Tolvak (Release) and shows what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAK_TESTS=OFF -DTOLVAK_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tolvak
build/release/tolvak --help
