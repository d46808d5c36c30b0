#!/usr/bin/env bash
# Writes a FreeCAD document with one of the generators under
# examples/freecad/ (FreeCAD macros with a build(doc) function), in FreeCAD's
# GUI on a virtual X display (colours are the GUI's), when the document is
# missing or older than its generator.
#   scripts/write-freecad-document.sh GENERATOR.py OUT.FCStd
# Other VELMORA_* variables go to the generator (see its head).
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: write-freecad-document.sh GENERATOR.py OUT.FCStd" >&2
  exit 2
fi
generator=$(realpath "$1")
out=$(realpath -m "$2")
if [[ -s $out && $out -nt $generator ]]; then exit 0; fi
mkdir -p "$(dirname "$out")"
rm -f "$out"
echo "write-freecad-document: writing $out"
if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_CHROMIUM_FLAGS=${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}; fi
log=$(mktemp)
# FreeCAD in a home of its own: the user's settings and recent files stay as
# they were, and what a FreeCAD ended by the timeout leaves (its recovery
# files, which FreeCAD would offer at the user's next start) goes with it.
home=$(mktemp -d)
trap 'rm -rf "$log" "$home"' EXIT
# A generator that fails, or FreeCAD waiting on a question, ends in time.
HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache TMPDIR=$home \
  VELMORA_OUT=$out timeout 1800 xvfb-run -a freecad "$generator" >"$log" 2>&1 || true
if [[ ! -s $out ]]; then
  cat "$log" >&2
  echo "write-freecad-document: FreeCAD could not write $out" >&2
  exit 1
fi
