#!/usr/bin/env bash
# Installs every Debian package Navorel needs to build, test and run.
# Idempotent: packages already present are skipped and nothing is printed for them.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libbz2-dev bzip2 libpugixml-dev
  libeccodes-dev libeccodes-tools libeccodes-data python3-eccodes python3-numpy
  gmt gmt-gshhg-low gmt-gshhg-high gmt-gshhg-full
  xtide-data libtcd-dev
  gpsbabel
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-svg-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev libgl-dev
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (run as root): ${missing[*]}" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
