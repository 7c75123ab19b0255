#!/usr/bin/env bash
# The desktop's ways in on Xvfb, inside dbus-run-session: songs on the command line, a second
# start handing over, a killed program's socket taken over, the installed layout.
set -uo pipefail
BINARY=$1
SKIN=$2
BUILD=$3

source "${BASH_SOURCE%/*}/e2elib.sh"

work=$(mktemp -d)
APP_PID=
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/music" -m 700 "$work/runtime"
cp "$BINARY" "$work/app/brimtone"
cp -r "$SKIN" "$work/app/skin"
export XDG_RUNTIME_DIR=$work/runtime
for n in 1 2 3 4; do sox -q -n -r 44100 -c 2 "$work/music/s$n.mp3" synth 60 sine $((200 * n)); done

start_xvfb "$work"
export QT_QPA_PLATFORM=xcb

started() {  # started <title pattern>: PLAYER, the window of $APP_PID so named
  PLAYER=
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      grep -Eq "$1" <<<"$(xdotool getwindowname "$w")" && PLAYER=$w && return
    done
    sleep 0.1
  done
}

get() {  # get <property>: as dbus-send prints it
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.brimtone \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null
}
status() { get PlaybackStatus | grep -o '"[A-Za-z]*"' | tr -d '"'; }
title() { get Metadata | grep -A1 '"xesam:title"' | tail -n1 | sed 's/.*string "\(.*\)"/\1/'; }

wait_for() {  # wait_for <value> <command...>: what the command prints, once <value> (or 5 s)
  for _ in $(seq 50); do [ "$("${@:2}")" == "$1" ] && break; sleep 0.1; done
  "${@:2}"
}

quit() {  # Ctrl+Q on the player window, then wait for the end
  xdotool windowfocus --sync "$PLAYER" key --clearmodifiers ctrl+q 2>/dev/null
  for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
  kill -0 $APP_PID 2>/dev/null && echo running || echo ended
}

cd "$work/music"
"$work/app/brimtone" s1.mp3 s2.mp3 s3.mp3 >"$work/app.log" 2>&1 &
APP_PID=$!
started s1.mp3
check "first song given plays" "Playing" "$(wait_for Playing status)"
"$work/app/brimtone" --enqueue "$work/music/s4.mp3"
check "second start ends with success" "0" "$?"
check "enqueued" "NumberOfEntries=4" "$(grep -i '^NumberOfEntries' "$work/app/lastplay.dat" | tr -d '\r')"
check "enqueue leaves the song playing" "s1.mp3" "$(title)"
"$work/app/brimtone" "$work/music/s3.mp3"
check "a song handed over plays" "s3.mp3" "$(wait_for s3.mp3 title)"
"$work/app/brimtone" --bogus 2>"$work/err.txt"
check "unknown option: status 2, one line" "2 1" "$? $(wc -l <"$work/err.txt")"

# A killed program leaves its socket; the next start takes it over.
kill -KILL $APP_PID
wait $APP_PID 2>/dev/null
"$work/app/brimtone" >>"$work/app.log" 2>&1 &
APP_PID=$!
started 'Song|mp3'
check "start after a killed program" "yes" "${PLAYER:+yes}"
check "Ctrl+Q ends the program" "ended" "$(quit)"

prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
check "desktop entry valid" "ok" "$(desktop-file-validate "$prefix/share/applications/brimtone.desktop" && echo ok)"
check "metainfo valid" "ok" \
  "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null && echo ok)"
XDG_CONFIG_HOME=$work/config "$prefix/bin/brimtone" >"$work/installed.log" 2>&1 &
APP_PID=$!
started 'No Song Playing'
check "installed program starts with the installed skin" "yes" "${PLAYER:+yes}"
check "installed program ends" "ended" "$(quit)"
check "settings in \$XDG_CONFIG_HOME/brimtone only" "yes no" \
  "$([ -f "$work/config/brimtone/settings.ini" ] && echo yes) $([ -e "$prefix/bin/settings.ini" ] && echo yes || echo no)"

[ $failures -eq 0 ] || { cat "$work/app.log" "$work/installed.log" && exit 1; }
