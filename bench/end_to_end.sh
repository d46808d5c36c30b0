#!/usr/bin/env bash
# End to end on one model: velmora-host --no-gui opens it (reading and
# meshing) and a client takes the tree and exports every kind of object,
# against OpenCASCADE reading, meshing and writing OBJ (occt-obj-export).
# Interleaved repetitions, medians.
#   bench/end_to_end.sh MODEL REPS
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
model=$1
reps=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }

velmora_run() {
  local port_file=$work/port port=
  "$build/bin/velmora-host" --no-window --no-gui --port 0 "$model" >"$port_file" 2>"$work/host.err" </dev/null &
  local host=$!
  for _ in $(seq 1 6000); do
    port=$(sed -n 's/.*serving on port \([0-9]*\).*/\1/p' "$port_file")
    [[ -n $port ]] && break
    kill -0 "$host" 2>/dev/null || { cat "$work/host.err" >&2; return 1; }
    sleep 0.01
  done
  "$build/bin/velmora-client" --port "$port" "$work/out.zel" >/dev/null
  wait "$host"
}

velmora=() occt=()
for _ in $(seq 1 "$reps"); do
  t0=$(now); velmora_run; t1=$(now)
  "$build/bench/occt-obj-export" "$model" "$work/out.obj"; t2=$(now)
  velmora+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
  occt+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {print b - a}')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
v=$(median "${velmora[@]}") o=$(median "${occt[@]}")
zel_mb=$(stat -c %s "$work/out.zel" | awk '{printf "%.1f", $1/1e6}')
obj_mb=$(stat -c %s "$work/out.obj" | awk '{printf "%.1f", $1/1e6}')
printf '%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 0.6x; ZEL %s MB, OBJ %s MB)\n' "6. end to end" \
  "$v" "velmora-host+client" "$o" "OCCT read+mesh+OBJ" "$(awk -v a="$v" -v b="$o" 'BEGIN {print a / b}')" \
  "$zel_mb" "$obj_mb"
