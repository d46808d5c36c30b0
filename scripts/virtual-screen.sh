#!/usr/bin/env bash
# Starts Xvfb with one screen of SIZE (WIDTHxHEIGHT) on an X display nobody
# uses (90 to 140), for the picture scripts, and prints "DISPLAY PID" once
# it accepts clients; the caller kills PID when done. Fails when every
# display is taken or Xvfb does not come up.
#   scripts/virtual-screen.sh SIZE
set -euo pipefail
size=${1:?usage: virtual-screen.sh WIDTHxHEIGHT}
for n in $(seq 90 140); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 1 100); do
    if [[ -e /tmp/.X11-unix/X$n ]]; then echo ":$n $pid"; exit 0; fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  echo "virtual-screen: Xvfb did not come up on :$n" >&2
  exit 1
done
echo "virtual-screen: no free X display" >&2
exit 1
