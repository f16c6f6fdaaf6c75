#!/usr/bin/env bash
# The whole test suite under AddressSanitizer, LeakSanitizer and UBSan (which
# stops at its first finding), then the threaded tests under ThreadSanitizer,
# each in a build directory of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

asan=${SANITIZE_BUILD_DIR:-build-sanitize}
BUILD_DIR=$asan bash scripts/build.sh -DGRV480_SANITIZE=ON -DGRV480_BUILD_BENCH=OFF
# Two tests are left out under AddressSanitizer until they are mended there:
# the slow-disk recording takes longer than its 10 s to stop, and the trend's
# window test leaks four layout items that LeakSanitizer traces only into Qt.
(cd "$asan" && ctest --output-on-failure -j"$(nproc)" \
  -E '^(tst_measurementrecorder|tst_trendstore)$')

threaded=(tst_grv480recvthread tst_datablockprocessor tst_mainwindow tst_grv480api tst_emulator
          tst_measurementexport)
tsan=${TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$tsan" -DGRV480_SANITIZE_THREAD=ON -DGRV480_BUILD_BENCH=OFF >/dev/null
cmake --build "$tsan" -j"$(nproc)" --target "${threaded[@]}"
(cd "$tsan" && ctest --output-on-failure -j"$(nproc)" -R "^($(IFS='|'; echo "${threaded[*]}"))\$")
