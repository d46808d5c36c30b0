#!/usr/bin/env bash
# Builds (installing what is missing) and packs the Debian package users
# install with `apt install ./velmora_*.deb`; prints its path.
#   scripts/build-package.sh [OUT_DIR]      (default: ./package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$(mkdir -p "${1:-$root/package}" && cd "${1:-$root/package}" && pwd)

BUILD_DIR=$build "$root/scripts/build.sh"
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >&2
rm -rf "$out/_CPack_Packages"
ls "$out"/velmora_*.deb
