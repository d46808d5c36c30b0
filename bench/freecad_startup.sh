#!/usr/bin/env bash
# FreeCAD's start-up with the add-on in its Mod folder against without it:
# from the start of the program until its GUI runs a macro (the add-on's
# InitGui has run by then), REPS starts of each, interleaved, in homes of
# their own under Xvfb; medians.
#   bench/freecad_startup.sh [REPS]     (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reps=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'import os\nfrom PySide import QtCore\nQtCore.QTimer.singleShot(0, lambda: os._exit(0))\n' >"$work/quit.py"
start() {  # HOME: when one start began and ended
  local home=$1 begin=$EPOCHREALTIME
  HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
    TMPDIR=$home QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox timeout 120 freecad "$work/quit.py" >/dev/null 2>&1 || true
  echo "$begin $EPOCHREALTIME"
}
run() {
  local with=$work/with without=$work/without
  mkdir -p "$with/.local/share/FreeCAD/Mod" "$without"
  ln -s "$build/FreeCAD/Mod/Velmora" "$with/.local/share/FreeCAD/Mod/Velmora"
  # A first start of each writes FreeCAD's settings; it is not counted.
  start "$with" >/dev/null
  start "$without" >/dev/null
  for _ in $(seq "$reps"); do
    echo "with $(start "$with")"
    echo "without $(start "$without")"
  done
}
export work build reps
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f start run); run" >"$work/times"
/usr/bin/python3 - "$work/times" <<'PY'
import statistics, sys
t = {"with": [], "without": []}
for line in open(sys.argv[1]):
    kind, begin, end = line.split()
    t[kind].append(float(end) - float(begin))
w, wo = statistics.median(t["with"]), statistics.median(t["without"])
print("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 1.1x)"
      % ("20. FreeCAD start-up", w, "with the add-on", wo, "without", w / wo))
PY
