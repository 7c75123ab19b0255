#!/usr/bin/env bash
# Brimtone as a screen reader sees it, inside dbus-run-session on Xvfb: the accessibility bus
# (at-spi2-core) is started on demand by the private session bus, the program is made to
# speak to it from its start, and atspi_check.py walks both windows, presses Play, sets the
# volume, plays a row, searches with J and ends the program with the exit button. Then the
# volume set through the bus must be in settings.ini. The tree as the client first saw it is
# kept in the artifacts folder (atspi-tree.txt).
set -uo pipefail
BINARY=$1
SKIN=$2
ARTIFACTS=$3
HERE=${BASH_SOURCE%/*}
mkdir -p "$ARTIFACTS"

source "$HERE/e2elib.sh"

work=$(mktemp -d)
APP_PID=
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/music" -m 700 "$work/runtime"
cp "$BINARY" "$work/app/brimtone"
cp -r "$SKIN" "$work/app/skin"
export XDG_RUNTIME_DIR=$work/runtime
for n in 1 2 3; do sox -q -n -r 44100 -c 2 "$work/music/s$n.mp3" synth 30 sine $((200 * n)); done

start_xvfb "$work"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

printf 'leak:libdbus-1.so\n' > "$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"

cd "$work/music"
"$work/app/brimtone" --enqueue s1.mp3 s2.mp3 s3.mp3 >"$ARTIFACTS/access.log" 2>&1 &
APP_PID=$!
cd "$HERE"
/usr/bin/python3 atspi_check.py "$ARTIFACTS/atspi-tree.txt"
check "every AT-SPI check passed" "0" "$?"

for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$APP_PID" 2>/dev/null; then
  check "the exit button ends the program" "ended" "running"
else
  wait "$APP_PID"
  check "the exit button ends the program (exit status)" "0" "$?"
fi
check "the volume set through the bus is saved" "volume=13107" \
  "$(grep -i '^volume=' "$work/app/settings.ini" | tr -d '\r')"
check "no sanitizer report" "" "$(grep -l 'Sanitizer' "$ARTIFACTS/access.log")"

[ $failures -eq 0 ] || { cat "$ARTIFACTS/access.log"; exit 1; }
