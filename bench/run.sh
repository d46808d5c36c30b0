#!/usr/bin/env bash
# Builds (if needed) and runs every benchmark, printing each figure with its
# ratio. Without MODEL it generates the large model (make-large-model) in a
# temporary folder first.
#   bench/run.sh [MODEL.step]
# REPS (default 5) sets the repetitions, NODES (default 100000) the size of
# the tree for the RPC and GUI benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reps=${REPS:-5}
nodes=${NODES:-100000}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target export_bench occt-obj-export rpc_tree_bench gui_models_bench \
  window_bench quality_bench make-large-model velmora-host velmora-client Velmora velmora_freecad

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
model=${1:-}
if [[ -z $model ]]; then
  model=$work/large_machine.step
  "$build/bin/make-large-model" "$model"
fi
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
  "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
"$build/bench/export_bench" "$model" "$reps" "$work"
BUILD_DIR=$build "$root/bench/end_to_end.sh" "$model" "$reps"
"$build/bench/quality_bench" "$root/examples/sample_assembly.step" "$model" --reps "$reps"
BUILD_DIR=$build "$root/bench/batch_bench.sh" "$reps"
"$build/bench/rpc_tree_bench" "$nodes" "$reps"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/gui_models_bench" "$nodes" "$reps"
# In FreeCAD: the large machine as FreeCAD documents, or the sample when a
# model was given (FreeCAD's documents are built from the large machine's
# layout or the sample's generator, not from any STEP file).
BUILD_DIR=$build "$root/bench/freecad_bench.sh" "$reps" ${1:+sample}
BUILD_DIR=$build "$root/bench/freecad_startup.sh" "$reps"
# The CAD window needs an X display; a virtual one where there is none.
if [[ -n ${DISPLAY:-} ]]; then
  "$build/bench/window_bench" "$model" "$reps"
else
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/window_bench" "$model" "$reps"
fi
