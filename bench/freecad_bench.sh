#!/usr/bin/env bash
# The add-on in FreeCAD against velmora-host and against FreeCAD's own mesh
# export, side by side in one FreeCAD (bench/freecad_bench.py): on the large
# machine as FreeCAD documents (150 parts, 2,000 links; made from
# `make-large-model --layout`) and as STEP, or with `sample` on the sample
# document and the sample STEP. Medians of REPS.
#   bench/freecad_bench.sh REPS [sample]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reps=${1:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ ${2:-} == sample ]]; then
  document=$work/sample_assembly.FCStd
  step=$root/examples/sample_assembly.step
  "$root/scripts/write-freecad-document.sh" "$root/examples/freecad/sample_document.py" "$document" >/dev/null
else
  document=$work/large_machine.FCStd
  step=$work/large_machine.step
  "$build/bin/make-large-model" "$step" >/dev/null
  "$build/bin/make-large-model" --layout "$work/layout" >/dev/null
  VELMORA_LAYOUT=$work/layout "$root/scripts/write-freecad-document.sh" "$root/examples/freecad/large_document.py" \
    "$document" >/dev/null
fi

# The add-on as scripts/run-freecad.sh installs it, in a home of its own.
home=$work/home
mkdir -p "$home/.local/share/FreeCAD/Mod"
ln -s "$build/FreeCAD/Mod/Velmora" "$home/.local/share/FreeCAD/Mod/Velmora"
HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache TMPDIR=$home \
  QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox \
  VELMORA_GUI=none VELMORA_PORT=0 VELMORA_BENCH_REPS=$reps VELMORA_BENCH_BIN=$build/bin VELMORA_BENCH_WORK=$work \
  VELMORA_BENCH_STEP=$step VELMORA_BENCH_RESULT=$work/result.json \
  timeout $((300 + 120 * reps)) xvfb-run -a -s "-screen 0 1280x1024x24" freecad "$document" "$root/bench/freecad_bench.py" \
  >"$work/freecad.log" 2>&1 || true
if [[ ! -s $work/result.json ]]; then
  cat "$work/freecad.log" >&2
  echo "freecad_bench: FreeCAD gave no result" >&2
  exit 1
fi
/usr/bin/python3 - "$work/result.json" <<'PY'
import json, statistics, sys
r = json.load(open(sys.argv[1]))
fc, host, mesh, headless = (statistics.median(r[k]) for k in ("freecad", "velmora-host", "mesh", "headless"))
print("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 1.5x; ZEL %.1f MB)"
      % ("17. FreeCAD run vs velmora-host", fc, "add-on run + client", host, "velmora-host+client", fc / host,
         r["zel_mb"]))
print("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 0.5x; OBJ %.1f MB, %d triangles)"
      % ("18. FreeCAD run vs FreeCAD mesh", fc, "add-on run + client", mesh, "MeshPart + Mesh OBJ", fc / mesh,
         r["obj_mb"], r["triangles"]))
print("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (no target)"
      % ("19. FCStd without display vs run", headless, "velmora-host --export", fc, "add-on run + client",
         headless / fc))
PY
