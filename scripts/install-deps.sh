#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Only packages that are missing are installed, so a second run is quick.
set -euo pipefail

PKGS=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n
  libqcustomplot-dev libfftw3-dev
  xvfb xauth procps
  desktop-file-utils appstream dpkg-dev
)
# scripts/package-check.sh: CPack's Debian generator finds the programs to hand
# to dpkg-shlibdeps with file(1), which a minimal system lacks.
PKGS+=(file)
# Measurement export: HDF5 for large blocks; Python and h5py read exported files back in the tests.
PKGS+=(libhdf5-dev python3 python3-h5py)

# QT_MAJOR=6: the Qt 6 build (Debian's QCustomPlot package carries its Qt 6 library too)
if [ "${QT_MAJOR:-5}" = "6" ]; then
  PKGS+=(qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
         qt6-translations-l10n libgl-dev)
fi

# bench/fuzz.sh: clang with libFuzzer and the sanitizer runtimes
if [ "${1:-}" = "--fuzz" ]; then
  PKGS+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
