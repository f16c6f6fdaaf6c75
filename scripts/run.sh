#!/usr/bin/env bash
# One command to see the monitor: installs what is missing, builds, starts the
# crate-server emulator on 127.0.0.1:11111 unless a crate server already
# answers there, and starts the monitor.
#
# A first start (no settings file yet) gets the demonstration configuration of
# scripts/demo-settings.ini, so that channels are acquired at once; settings
# that exist are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BIN=${BUILD_DIR:-build}/bin
PORT=11111

server_answers() { (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null; }

if ! server_answers; then
  "$BIN/grv480-emulator" --port $PORT &
  EMU_PID=$!
  trap 'kill $EMU_PID 2>/dev/null || true' EXIT
  for _ in $(seq 50); do server_answers && break; sleep 0.1; done
fi

SETTINGS="${XDG_CONFIG_HOME:-$HOME/.config}/Norvik/GRV480 Monitor.ini"
if [ ! -e "$SETTINGS" ]; then
  mkdir -p "$(dirname "$SETTINGS")"
  cp scripts/demo-settings.ini "$SETTINGS"
  echo "First start: demonstration configuration written to $SETTINGS"
fi

"$BIN/grv480-monitor" "$@"
