#!/usr/bin/env bash
# The headless export of one model by two builds (an earlier commit's and
# this one's, say), interleaved, REPS times each: the medians and their
# ratio, and whether the two files hold the same triangles (mass properties
# left out). Machines are shared and noisy: compare only figures of one run.
#   bench/compare_builds.sh BASE_BUILD NEW_BUILD MODEL [REPS]
set -euo pipefail
base=$1 new=$2 model=$3 reps=${4:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for _ in $(seq "$reps"); do
  for which in base new; do
    build=$base
    [[ $which == new ]] && build=$new
    /usr/bin/time -o "$work/time" -f "%e" "$build/bin/velmora-host" --export "$work/$which.zel" "$model" >/dev/null 2>&1
    echo "$which $(cat "$work/time")"
  done
done | python3 -c '
import statistics, sys
times = {}
for line in sys.stdin:
    which, seconds = line.split()
    times.setdefault(which, []).append(float(seconds))
for which in ("base", "new"):
    print(f"{which}: median {statistics.median(times[which]):.2f} s of {times[which]}")
print(f"new / base: {statistics.median(times[\"new\"]) / statistics.median(times[\"base\"]):.3f}")'
if cmp -s <(sed 's/ MIP="[^"]*"//' "$work/base.zel") <(sed 's/ MIP="[^"]*"//' "$work/new.zel"); then
  echo "the same triangles"
else
  echo "other triangles"
fi
