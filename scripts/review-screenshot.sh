#!/usr/bin/env bash
# Makes docs/review.png: a minute of the demonstration configuration recorded
# from the emulator with grv480-record, opened in the monitor's review window
# and grabbed offscreen. Neither the user's settings nor a running emulator on
# 11111 are touched.
#
#   bash scripts/review-screenshot.sh [output.png]    (default docs/review.png)
#
# Variables: DURATION (recorded time, default 60s), BLOCK (the block shown,
# counted from 1; default: the middle one).
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BUILD_DIR:-build}/bin
OUT=${1:-docs/review.png}
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
[ -x "$BIN/grv480-monitor" ] && [ -x "$BIN/grv480-emulator" ] && [ -x "$BIN/grv480-record" ] ||
  bash scripts/build.sh

. scripts/emulator.sh
start_emulator

# The demonstration settings hold the configuration group a ".gm480cfg" file holds.
cp scripts/demo-settings.ini "$WORK/demo.gm480cfg"
"$BIN/grv480-record" --crate CR16-0417 --slot 3 --config "$WORK/demo.gm480cfg" \
  --duration "${DURATION:-60s}" --port "$PORT" --out "$WORK/demo.h5" >/dev/null

mkdir -p "$WORK/config/Norvik" "$(dirname "$OUT")"
cp scripts/demo-settings.ini "$WORK/config/Norvik/GRV480 Monitor.ini"
printf '\n[ReviewWindow]\nsize=@Size(1500 1000)\n' >>"$WORK/config/Norvik/GRV480 Monitor.ini"
rm -f "$OUT"
XDG_CONFIG_HOME="$WORK/config" HOME="$WORK" GRV480_SERVER_PORT="$PORT" \
GRV480_SCREENSHOT="$OUT" GRV480_SCREENSHOT_DELAY_MS=3000 \
GRV480_SCREENSHOT_REVIEW="$WORK/demo.h5" GRV480_SCREENSHOT_BLOCK="${BLOCK:-}" \
QT_QPA_PLATFORM=offscreen "$BIN/grv480-monitor"
[ -s "$OUT" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "written: $OUT"
