#!/usr/bin/env bash
# The main job without any window: opens the bundled sample assembly in
# velmora-host, exports it to a ZEL file through the add-in's service (as
# velmora-client) and ends the run.
#   scripts/export-sample.sh [OUT.zel]     (default: ./sample_assembly.zel)
# Builds first when the programs are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$PWD/sample_assembly.zel}
model=$root/examples/sample_assembly.step

if [[ ! -x $build/bin/velmora-host || ! -x $build/bin/velmora-client ]]; then
  BUILD_DIR=$build "$root/scripts/build.sh"
fi

port_file=$(mktemp)
trap 'rm -f "$port_file"; [[ -n ${host_pid:-} ]] && kill "$host_pid" 2>/dev/null || true' EXIT
"$build/bin/velmora-host" --no-window --no-gui --port 0 "$model" >"$port_file" </dev/null &
host_pid=$!
port=
for _ in $(seq 1 600); do
  port=$(sed -n 's/.*serving on port \([0-9]*\).*/\1/p' "$port_file")
  [[ -n $port ]] && break
  kill -0 "$host_pid" 2>/dev/null || { wait "$host_pid" || exit $?; }
  sleep 0.1
done
[[ -n $port ]] || { echo "export-sample: velmora-host reported no port" >&2; exit 1; }

"$build/bin/velmora-client" --port "$port" --tree "$out"
wait "$host_pid"
host_pid=
