#!/usr/bin/env bash
# The whole test suite under AddressSanitizer, LeakSanitizer and UBSan (which
# stops at its first finding), in a build directory of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${SANITIZE_BUILD_DIR:-build-sanitize} bash scripts/build.sh \
  -DGRV480_SANITIZE=ON -DGRV480_BUILD_BENCH=OFF
cd "${SANITIZE_BUILD_DIR:-build-sanitize}"
ctest --output-on-failure -j"$(nproc)" "$@"
