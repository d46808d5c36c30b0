#!/usr/bin/env bash
# Builds (if needed) and runs every benchmark, printing each figure with its ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target zel_write_bench rpc_tree_bench gui_models_bench
reps=${REPS:-5}
"$build/bench/zel_write_bench" "${TRIANGLES:-1000000}" "$reps"
"$build/bench/rpc_tree_bench" "${NODES:-100000}" "$reps"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/gui_models_bench" "${NODES:-100000}" "$reps"
