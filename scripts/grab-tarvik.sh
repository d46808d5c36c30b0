#!/usr/bin/env bash
# The look of Tarvik: runs the main job (scripts/run-sample.sh) on a virtual
# X display, once in English and once in Russian, and saves the screen, which
# the window fills, as OUT_DIR/tarvik_en.png and OUT_DIR/tarvik_ru.png.
#   scripts/grab-tarvik.sh [OUT_DIR]     (default: ./docs)
# Needs Xvfb (installed by scripts/install-deps.sh) and a build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out_dir=${1:-$root/docs}
mkdir -p "$out_dir"

# A display number nobody uses.
display=
for n in $(seq 90 140); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=$n; break; fi
done
[[ -n $display ]] || { echo "grab-tarvik: no free X display" >&2; exit 1; }

xvfb_pid=
host_pid=
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# The screen is the window's own size, so the grab is the window.
Xvfb ":$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

# Waits until the GUI child of the host has drawn its window, then grabs it.
grab() {
  local language=$1 png=$2 gui=
  LC_ALL=$language LANG=$language "$root/scripts/run-sample.sh" >/dev/null 2>"$out_dir/.run.log" </dev/null &
  host_pid=$!
  for _ in $(seq 1 600); do
    gui=$(pgrep -P "$host_pid" -x Tarvik || true)
    [[ -n $gui ]] && break
    kill -0 "$host_pid" 2>/dev/null || { cat "$out_dir/.run.log" >&2; echo "grab-tarvik: the run ended before Tarvik started" >&2; exit 1; }
    sleep 0.1
  done
  [[ -n $gui ]] || { echo "grab-tarvik: Tarvik did not start" >&2; exit 1; }
  # Its window is shown once the tree has arrived; give it time to paint.
  sleep 3
  "$build/tests/grab-screen" "$png"
  # Closing Tarvik ends the run the normal way.
  kill -TERM "$gui"
  wait "$host_pid"
  host_pid=
  echo "grab-tarvik: wrote $png"
}

grab C.UTF-8 "$out_dir/tarvik_en.png"
grab ru_RU.UTF-8 "$out_dir/tarvik_ru.png"
rm -f "$out_dir/.run.log"
