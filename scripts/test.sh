#!/usr/bin/env bash
# Installs the dependencies, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (warnings as errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${TOLVAK_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DTOLVAK_SANITIZE=address,undefined -DTOLVAK_WERROR=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
