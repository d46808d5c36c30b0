#!/usr/bin/env bash
# Builds (if needed) and runs every benchmark, printing each figure with its ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target zel_write_bench
"$build/bench/zel_write_bench" "${TRIANGLES:-1000000}" "${REPS:-5}"
