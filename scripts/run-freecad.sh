#!/usr/bin/env bash
# Velmora in FreeCAD. Installs what is missing (Debian's freecad among it),
# builds, makes the add-on available to FreeCAD (a link from FreeCAD's user
# Mod folder into the build, so a rebuild needs no reinstall) and starts
# FreeCAD on the sample assembly as a FreeCAD document, or on the files
# given. Its command "Export ZEL" (toolbar and menu "ZEL SW Plugin") starts
# Tarvik on the active document.
#   scripts/run-freecad.sh [FILE.FCStd|MACRO.py]...
# Without a display (no DISPLAY) it says so and exits 2.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [[ -z ${DISPLAY:-} ]]; then
  echo "run-freecad: no display (DISPLAY is not set): FreeCAD needs one (xvfb-run -a $0 runs it on a virtual one)" >&2
  exit 2
fi

BUILD_DIR=$build "$root/scripts/build.sh"

# FreeCAD's start page (QtWebEngine) refuses to start as root without this.
if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_CHROMIUM_FLAGS=${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}; fi

# The add-on: FreeCAD/Mod/Velmora of the build, linked where FreeCAD looks.
mods=$(freecadcmd -c "import FreeCAD; print('MODS=' + FreeCAD.getUserAppDataDir() + 'Mod')" 2>/dev/null |
  sed -n 's/^MODS=//p' | tail -n 1)
if [[ -z $mods ]]; then
  echo "run-freecad: FreeCAD did not say where its user Mod folder is" >&2
  exit 1
fi
mkdir -p "$mods"
if [[ -e $mods/Velmora && ! -L $mods/Velmora ]]; then
  echo "run-freecad: $mods/Velmora exists and is no link; move it away first" >&2
  exit 1
fi
ln -sfn "$build/FreeCAD/Mod/Velmora" "$mods/Velmora"
echo "run-freecad: the add-on is linked as $mods/Velmora"

files=("$@")
if [[ ${#files[@]} -eq 0 ]]; then
  # The sample as a FreeCAD document, made again when its generator changed.
  sample=$build/examples/sample_assembly.FCStd
  "$root/scripts/write-freecad-document.sh" "$root/examples/freecad/sample_document.py" "$sample"
  files=("$sample")
fi
exec freecad "${files[@]}"
