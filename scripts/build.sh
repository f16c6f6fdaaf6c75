#!/usr/bin/env bash
# Configures and builds the project into ${BUILD_DIR:-build}.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# QT_MAJOR=6 builds with Qt 6; Qt 5 is the default.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
  -DGRV480_QT_MAJOR="${QT_MAJOR:-5}" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
