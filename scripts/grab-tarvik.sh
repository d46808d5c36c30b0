#!/usr/bin/env bash
# The README's pictures: the main job (scripts/run-sample.sh) on a virtual X
# display, Tarvik on the left and the CAD window on the right, with the
# component "Bracket mirrored" selected in Tarvik and so highlighted in the
# CAD window; once in English and once in Russian, saved as
# OUT_DIR/tarvik_en.png and OUT_DIR/tarvik_ru.png.
#   scripts/grab-tarvik.sh [OUT_DIR]     (default: ./docs)
# Needs Xvfb (installed by scripts/install-deps.sh); builds when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out_dir=${1:-$root/docs}
mkdir -p "$out_dir"
BUILD_DIR=$build "$root/scripts/build.sh" >/dev/null
grab="$build/tools/grab-screen"

xvfb_pid=
host_pid=
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Two windows of 1024 x 720 side by side fill the screen.
read -r display xvfb_pid < <("$root/scripts/virtual-screen.sh" 2048x720)
export DISPLAY=$display QT_QPA_PLATFORM=xcb

grab() {
  local language=$1 png=$2
  LC_ALL=$language LANG=$language "$root/scripts/run-sample.sh" --geometry 1024x720+1024+0 \
    >/dev/null 2>"$out_dir/.run.log" </dev/null &
  host_pid=$!
  # Tarvik's CAD tree shows its rows (white behind dark text) ...
  "$grab" --until 255,255,255 90,86,60,10 || { cat "$out_dir/.run.log" >&2; exit 1; }
  # ... which is clicked; the CAD window then shows the component in the
  # highlight colour (a click that came while a window was still settling is
  # given once more).
  "$grab" --click 104,91
  if ! "$grab" --until 235,0,235 1024,0,1024,720 "$png"; then
    "$grab" --click 104,91
    "$grab" --until 235,0,235 1024,0,1024,720 "$png" || { cat "$out_dir/.run.log" >&2; exit 1; }
  fi
  # Closing the CAD window ends the run (and Tarvik) and the program.
  kill -TERM "$host_pid"
  wait "$host_pid"
  host_pid=
  echo "grab-tarvik: wrote $png"
}

grab C.UTF-8 "$out_dir/tarvik_en.png"
grab ru_RU.UTF-8 "$out_dir/tarvik_ru.png"
rm -f "$out_dir/.run.log"
