# Sourced by the picture scripts. start_emulator makes a private working
# folder WORK (removed at exit) and starts "$BIN/grv480-emulator" on a free port
# with its state there; it sets PORT, and the emulator ends with the script.
start_emulator() {
  WORK=$(mktemp -d)
  EMU_PID=
  trap 'if [ -n "$EMU_PID" ]; then kill "$EMU_PID" 2>/dev/null || true; fi; rm -rf "$WORK"' EXIT
  "$BIN/grv480-emulator" --port 0 --state-dir "$WORK/emulator" >"$WORK/emulator.out" &
  EMU_PID=$!
  PORT=
  for _ in $(seq 100); do
    PORT=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$WORK/emulator.out")
    [ -n "$PORT" ] && break
    sleep 0.05
  done
  [ -n "$PORT" ] || { echo "the emulator did not start" >&2; exit 1; }
}
