#!/usr/bin/env bash
# End to end on one model: velmora-host --no-gui opens it (reading and
# meshing) and a client takes the tree and exports every kind of object,
# plain and with templates, against OpenCASCADE reading, meshing (BRepMesh in
# parallel) and writing OBJ (occt-obj-export). Interleaved repetitions, medians.
#   bench/end_to_end.sh MODEL REPS
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
model=$1
reps=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }

# velmora_run OUT.zel [CLIENT OPTION...]
velmora_run() {
  local out=$1 port_file=$work/port port=
  shift
  "$build/bin/velmora-host" --no-window --no-gui --port 0 "$model" >"$port_file" 2>"$work/host.err" </dev/null &
  local host=$!
  for _ in $(seq 1 6000); do
    port=$(sed -n 's/.*serving on port \([0-9]*\).*/\1/p' "$port_file")
    [[ -n $port ]] && break
    kill -0 "$host" 2>/dev/null || { cat "$work/host.err" >&2; return 1; }
    sleep 0.01
  done
  "$build/bin/velmora-client" --port "$port" "$@" "$out" >/dev/null
  wait "$host"
}

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {print b - a}'; }
velmora=() templated=() occt=()
for _ in $(seq 1 "$reps"); do
  t0=$(now); velmora_run "$work/out.zel"; t1=$(now)
  "$build/bench/occt-obj-export" "$model" "$work/out.obj"; t2=$(now)
  velmora_run "$work/templated.zel" --templates; t3=$(now)
  velmora+=("$(elapsed "$t0" "$t1")") occt+=("$(elapsed "$t1" "$t2")") templated+=("$(elapsed "$t2" "$t3")")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
mb() { stat -c %s "$1" | awk '{printf "%.1f", $1/1e6}'; }
o=$(median "${occt[@]}")
row() {  # row TITLE SECONDS WHAT TARGET ZEL
  printf '%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= %s; ZEL %s MB, OBJ %s MB)\n' "$1" "$2" "$3" "$o" \
    "OCCT read+mesh+OBJ" "$(awk -v a="$2" -v b="$o" 'BEGIN {print a / b}')" "$4" "$(mb "$5")" "$(mb "$work/out.obj")"
}
row "6. end to end" "$(median "${velmora[@]}")" "velmora-host+client" 0.6x "$work/out.zel"
row "16. end to end, templates" "$(median "${templated[@]}")" "... --templates" 0.4x "$work/templated.zel"
