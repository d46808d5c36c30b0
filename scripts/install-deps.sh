#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with.
# Idempotent: only packages that are not installed yet are fetched.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  thrift-compiler libthrift-dev
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n libgl-dev fonts-dejavu-core
  libpugixml-dev libfmt-dev libuchardet-dev libcgal-dev nlohmann-json3-dev
  libboost-dev libboost-filesystem-dev libboost-system-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
  libocct-data-exchange-dev libocct-ocaf-dev libocct-visualization-dev libtbb-dev
  libgtest-dev libgmock-dev
  freecad pybind11-dev python3-dev
  xvfb xauth libx11-dev libxtst-dev libgl1-mesa-dri
  locales
  slurm-wlm munge
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Russian locale, which the program's Russian translation runs under:
# the tests read and write files under it (its decimal separator is ",").
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "install-deps: generating the locale ru_RU.UTF-8"
  "${sudo_cmd[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
