#!/usr/bin/env bash
# The README's picture of Velmora in FreeCAD: scripts/run-freecad.sh on a
# virtual X display, Tarvik on the left and FreeCAD on the right, with the
# component "Bracket mirrored" selected in Tarvik and so selected in
# FreeCAD's 3D view; saved as OUT_DIR/freecad.png.
#   scripts/grab-freecad.sh [OUT_DIR]     (default: ./docs)
# Needs Xvfb (installed by scripts/install-deps.sh); builds when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out_dir=${1:-$root/docs}
mkdir -p "$out_dir"
BUILD_DIR=$build "$root/scripts/build.sh" >/dev/null
grab="$build/tools/grab-screen"

xvfb_pid=
run_pid=
# FreeCAD in a home of its own: the picture does not depend on the user's
# settings, and what the FreeCAD ended below leaves (its recovery files)
# goes with it.
home=$(mktemp -d)
cleanup() {
  # FreeCAD, the add-in's Tarvik and everything else the run started.
  [[ -n $run_pid ]] && kill -TERM -- "-$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache TMPDIR=$home

read -r display xvfb_pid < <("$root/scripts/virtual-screen.sh" 2824x720)
export DISPLAY=$display

# The sample document, then the macro that places FreeCAD and runs the command.
sample=$build/examples/sample_assembly.FCStd
"$root/scripts/write-freecad-document.sh" "$root/examples/freecad/sample_document.py" "$sample"
LC_ALL=C.UTF-8 LANG=C.UTF-8 setsid "$root/scripts/run-freecad.sh" "$sample" "$root/tools/freecad_beside_tarvik.py" \
  >"$out_dir/.run.log" 2>&1 </dev/null &
run_pid=$!
# Tarvik's CAD tree shows its rows (white behind dark text) ...
"$grab" --until 255,255,255 90,86,60,10 || { cat "$out_dir/.run.log" >&2; exit 1; }
# ... the component is clicked; FreeCAD then draws it in its selection green
# in its 3D view
# (a click that came while a window was still settling is given once more).
"$grab" --click 104,91
png=$out_dir/freecad.png
if ! "$grab" --until 50,250,50 1360,110,1464,570 "$png"; then
  "$grab" --click 104,91
  "$grab" --until 50,250,50 1360,110,1464,570 "$png" || { cat "$out_dir/.run.log" >&2; exit 1; }
fi
rm -f "$out_dir/.run.log"
echo "grab-freecad: wrote $png"
