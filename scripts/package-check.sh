#!/usr/bin/env bash
# Checks what an installation delivers: the desktop and AppStream files
# validate, an install into a scratch root runs from there (the monitor's
# --version, the emulator answering the client's "list"), and the Debian
# package builds. Expects a built tree in ${BUILD_DIR:-build}.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
stage=$(mktemp -d)
emu_pid=""
cleanup() {
  [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT

DESTDIR="$stage" cmake --install "$BUILD_DIR" --prefix /usr >/dev/null
desktop-file-validate "$stage"/usr/share/applications/*.desktop
appstreamcli validate --no-net --explain "$stage"/usr/share/metainfo/*.metainfo.xml

# The installed programs must find their libraries and translations without
# the build tree: nothing of it is on any path here.
"$stage/usr/bin/grv480-monitor" --version
[ -f "$stage/usr/share/grv480-monitor/translations/qt_ru.qm" ]
[ -f "$stage/usr/share/grv480-monitor/translations/grv480monitor_en.qm" ]

"$stage/usr/bin/grv480-emulator" --port 0 --state-dir "$stage/state" >"$stage/emulator.out" &
emu_pid=$!
for _ in $(seq 50); do
  grep -q '^listening on' "$stage/emulator.out" && break
  sleep 0.1
done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$stage/emulator.out")
[ -n "$port" ] || { echo "the installed emulator did not start" >&2; exit 1; }
"$stage/usr/bin/grv480-cli" list --port "$port" | tee "$stage/list.out"
grep -q 'CR16-0417' "$stage/list.out"
# The headless recorder, installed, records a second into a file h5py reads.
"$stage/usr/bin/grv480-record" --crate CR16-0417 --slot 3 --channels 1 --duration 1s \
    --port "$port" --out "$stage/record.h5"
py=$(command -v /usr/bin/python3 || command -v python3)
"$py" -c 'import h5py, sys; assert h5py.File(sys.argv[1], "r")["run_0001/ch01"].size > 0' "$stage/record.h5"

(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls -t "$BUILD_DIR"/grv480-monitor*_*.deb | head -n 1)
dpkg-deb --field "$deb" Depends
contents=$(dpkg-deb --contents "$deb")
grep -q './usr/lib/grv480-monitor/libgrv480api.so.1' <<<"$contents"
grep -q './usr/bin/grv480-record' <<<"$contents"
echo "package: $deb"
