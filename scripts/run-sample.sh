#!/usr/bin/env bash
# The main job: opens the bundled sample assembly in velmora-host, which runs
# the add-in's "Export ZEL" command and so starts Tarvik on the model. Choose
# the output file in Tarvik, press "Export", close the window to end the run.
#   scripts/run-sample.sh
# Needs a display (DISPLAY or WAYLAND_DISPLAY); without one, use
# scripts/export-sample.sh, or run this under xvfb-run.
# Builds first when the programs are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
model=$root/examples/sample_assembly.step

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
  echo "run-sample: no display to show Tarvik on (DISPLAY is not set)." >&2
  echo "run-sample: use scripts/export-sample.sh for the export without a GUI, or xvfb-run scripts/run-sample.sh." >&2
  exit 2
fi
if [[ ! -x $build/bin/velmora-host || ! -x $build/Tarvik/bin/Tarvik ]]; then
  BUILD_DIR=$build "$root/scripts/build.sh"
fi

# Port 0: a free port, which the add-in passes on to Tarvik.
exec "$build/bin/velmora-host" --port 0 "$model"
