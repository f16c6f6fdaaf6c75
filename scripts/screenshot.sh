#!/usr/bin/env bash
# Makes docs/screenshot.png: the monitor acquiring from the emulator under a
# virtual X server, with a private settings directory seeded with the
# demonstration configuration. Neither the user's settings nor a running
# emulator on 11111 are touched.
#
#   bash scripts/screenshot.sh [output.png]    (default docs/screenshot.png)
#
# Variables: SCREEN (pixels, default 1600x1000), SCALE (QT_SCALE_FACTOR,
# default 1), PALETTE (dark for a dark desktop's palette), SETTINGS (demo,
# the default, or none for a first start).
#   SCREEN=1280x720 SETTINGS=none bash scripts/screenshot.sh docs/first-start.png
#   SCREEN=2560x1440 SCALE=2 PALETTE=dark bash scripts/screenshot.sh docs/dark-200.png
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BUILD_DIR:-build}/bin
OUT=${1:-docs/screenshot.png}
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
DELAY_MS=${GRV480_SCREENSHOT_DELAY_MS:-6000}

bash scripts/install-deps.sh
[ -x "$BIN/grv480-monitor" ] && [ -x "$BIN/grv480-emulator" ] || bash scripts/build.sh
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }

WORK=$(mktemp -d)
EMU_PID=
cleanup() {
  [ -n "$EMU_PID" ] && kill "$EMU_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

"$BIN/grv480-emulator" --port 0 --state-dir "$WORK/emulator" >"$WORK/emulator.out" &
EMU_PID=$!
PORT=
for _ in $(seq 100); do
  PORT=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$WORK/emulator.out")
  [ -n "$PORT" ] && break
  sleep 0.05
done
[ -n "$PORT" ] || { echo "the emulator did not start" >&2; exit 1; }

mkdir -p "$WORK/config/Norvik" "$(dirname "$OUT")"
SCREEN=${SCREEN:-1600x1000}
SCALE=${SCALE:-1}
WIDTH=${SCREEN%x*}
HEIGHT=${SCREEN#*x}
INI="$WORK/config/Norvik/GRV480 Monitor.ini"
if [ "${SETTINGS:-demo}" = demo ]; then
  cp scripts/demo-settings.ini "$INI"
fi
# Without a window manager nothing maximises the window: give it the screen
# (in the window's own pixels, which the scale factor enlarges).
printf '\n[MainWindow]\nsize=@Size(%d %d)\npos=@Point(0 0)\n' \
  $((WIDTH / SCALE)) $((HEIGHT / SCALE)) >>"$INI"
# More settings for a particular picture (docs/cursors.png: scripts/cursors-settings.ini).
if [ -n "${GRV480_SCREENSHOT_SETTINGS:-}" ]; then
  cat "$GRV480_SCREENSHOT_SETTINGS" >>"$INI"
fi

rm -f "$OUT"
XDG_CONFIG_HOME="$WORK/config" HOME="$WORK" GRV480_SERVER_PORT="$PORT" \
GRV480_SCREENSHOT="$OUT" GRV480_SCREENSHOT_DELAY_MS="$DELAY_MS" \
QT_SCALE_FACTOR="$SCALE" GRV480_SCREENSHOT_PALETTE="${PALETTE:-}" \
  xvfb-run -a -s "-screen 0 ${WIDTH}x${HEIGHT}x24" "$BIN/grv480-monitor"
[ -s "$OUT" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "written: $OUT"
