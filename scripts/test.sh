#!/usr/bin/env bash
# The project's test command: installs what is missing, configures, builds
# and runs every test with CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

BUILD_DIR=$build "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 180
