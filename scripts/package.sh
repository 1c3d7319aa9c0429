#!/usr/bin/env bash
# Builds the Debian package of a station server: a Release build without tests and benchmarks
# (warnings not fatal: GCC 12 at -O3 warns falsely of overlapping copies in std::string),
# then `cpack -G DEB`. The package lands in build/package/ (tolvak_VERSION_ARCH.deb). Arguments
# go to CMake (-DCMAKE_CXX_COMPILER_LAUNCHER=ccache).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${TOLVAK_PACKAGE_BUILD_DIR:-build/package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTOLVAK_TESTS=OFF -DTOLVAK_BENCH=OFF -DTOLVAK_TOOLS=OFF -DTOLVAK_WERROR=OFF "$@"
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/tolvak_*.deb
(cd "$build" && cpack -G DEB)
ls "$build"/tolvak_*.deb
