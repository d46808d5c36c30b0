#!/usr/bin/env bash
# 21. The large machine and 20 copies of the sample exported on a Slurm of
# one node on this machine (scripts/one-node-slurm.sh, Slurm's default
# scheduling; cluster-batch.sh --wait, one core per task, as many tasks at
# once as cores), one model per task and 11 per task, against velmora-host
# --export-dir -j <cores> here: the cluster's overhead per task.
# Repetitions interleaved, medians. Needs root; says so and ends where no
# Slurm can be started.
#   bench/cluster_bench.sh [REPS]     (default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reps=${1:-3}
work=$(mktemp -d)
chmod 755 "$work" # munged's socket must be reachable by all
trap '"$root/scripts/one-node-slurm.sh" stop "$work/slurm" 2>/dev/null; rm -rf "$work"' EXIT
if ! settings=$("$root/scripts/one-node-slurm.sh" start "$work/slurm"); then
  echo "21. cluster batch: skipped (no Slurm could be started here)"
  exit 0
fi
eval "$settings"

mkdir -p "$work/models"
"$build/bin/make-large-model" "$work/models/large_machine.step" >/dev/null
for i in $(seq -w 1 20); do cp "$root/examples/sample_assembly.step" "$work/models/sample_$i.step"; done
cores=$(nproc)
seconds() { # command... -> seconds it took
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
batch() { # models per task, run -> seconds
  seconds "$root/scripts/cluster-batch.sh" --program "$build/bin/velmora-host" --wait --per-task "$1" \
    "$work/models" "$work/cluster-$1-$2"
}
one=() eleven=() here=()
for r in $(seq 1 "$reps"); do
  one+=("$(batch 1 "$r")")
  eleven+=("$(batch 11 "$r")")
  here+=("$(seconds "$build/bin/velmora-host" --export-dir "$work/here-$r" -j "$cores" "$work"/models/*.step)")
done
mh=$(printf '%s\n' "${here[@]}" | median)
report() { # label, tasks, seconds...
  local label=$1 tasks=$2 m
  shift 2
  m=$(printf '%s\n' "$@" | median)
  printf '%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (%.2f s more per task)\n' "$label" \
    "$m" "cluster-batch.sh" "$mh" "--export-dir -j $cores" "$(awk -v a="$m" -v b="$mh" 'BEGIN { print a / b }')" \
    "$(awk -v a="$m" -v b="$mh" -v c="$cores" -v t="$tasks" 'BEGIN { print (a - b) * (t < c ? t : c) / t }')"
}
report "21. cluster, 21 models, 1 per task" 21 "${one[@]}"
report "    11 models per task" 2 "${eleven[@]}"
