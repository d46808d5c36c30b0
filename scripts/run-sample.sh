#!/usr/bin/env bash
# The main job. Installs what is missing, builds, and opens the bundled
# sample assembly in velmora-host's CAD window, whose "Export ZEL" command
# starts Tarvik on the model: select nodes in Tarvik to see them highlighted
# in the CAD window, choose the output file, press "Export"; closing the CAD
# window ends everything.
#   scripts/run-sample.sh
# Without a display (no DISPLAY) it says so and exports the sample without
# any window instead (scripts/export-sample.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
model=$root/examples/sample_assembly.step

BUILD_DIR=$build "$root/scripts/build.sh"

if [[ -z ${DISPLAY:-} ]]; then
  echo "run-sample: no display (DISPLAY is not set): exporting the sample without a window instead." >&2
  exec env BUILD_DIR="$build" "$root/scripts/export-sample.sh"
fi
# Port 0: a free port, which the add-in passes on to Tarvik.
exec "$build/bin/velmora-host" --port 0 "$@" "$model"
