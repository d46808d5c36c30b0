#!/usr/bin/env bash
# 12. A batch of 16 copies of the sample exported with velmora-host
# --export-dir at -j 2 against -j 1: the throughput ratio (target: at least
# 1.7x on 2 cores). Repetitions interleaved, medians.
#   bench/batch_bench.sh [REPS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reps=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
models=()
for i in $(seq -w 1 16); do
  cp "$root/examples/sample_assembly.step" "$work/sample_$i.step"
  models+=("$work/sample_$i.step")
done
run() {  # jobs -> seconds
  local start end
  start=$(date +%s.%N)
  "$build/bin/velmora-host" --export-dir "$work/out-$1" -j "$1" "${models[@]}" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
one=() two=()
for _ in $(seq 1 "$reps"); do
  one+=("$(run 1)")
  two+=("$(run 2)")
done
m1=$(printf '%s\n' "${one[@]}" | median)
m2=$(printf '%s\n' "${two[@]}" | median)
printf '%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target >= 1.7x)\n' "12. batch of 16 samples" "$m2" "-j 2" "$m1" "-j 1" \
  "$(awk -v a="$m1" -v b="$m2" 'BEGIN { print a / b }')"
