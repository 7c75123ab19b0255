#!/usr/bin/env bash
# The desktop's ways in on Xvfb, inside dbus-run-session: songs on the command line, a second
# start handing over (songs that bring up a box too), MPRIS after a song failed to start, a
# killed program's socket taken over, the installed layout.
# E2E_LAUNCHER runs the first program through a tool, E2E_SLOW stretches the waits: valgrind
# with "--error-exitcode=99 --suppressions=tests/e2e/valgrind.supp" and 20.
set -uo pipefail
BINARY=$1
SKIN=$2
BUILD=$3
LOGS=$(realpath -m "${4:-$BUILD/e2e-artifacts}/desktop")
mkdir -p "$LOGS" && rm -f "$LOGS"/run*.log

source "${BASH_SOURCE%/*}/e2elib.sh"

work=$(mktemp -d)
APP_PID=
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/music" -m 700 "$work/runtime"
cp "$BINARY" "$work/app/brimtone"
cp -r "$SKIN" "$work/app/skin"
export XDG_RUNTIME_DIR=$work/runtime
for n in 1 2 3 4; do sox -q -n -r 44100 -c 2 "$work/music/s$n.mp3" synth 60 sine $((200 * n)); done
sox -q -n -r 44100 -c 2 "$work/music/short.mp3" synth 2.5 sine 500
head -c 30000 /dev/zero | tr '\0' x >"$work/music/bad.mp3"
cp "$work/music/s1.mp3" "$work/music/caf"$'\xe9'".mp3"
echo notes >"$work/music/notes.txt"
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"
read -r -a LAUNCH <<<"${E2E_LAUNCHER:-}"
SLOW=${E2E_SLOW:-1}
runs=0
launch() {  # launch <arguments...>: the first program, its output in a run log
  runs=$((runs + 1))
  "${LAUNCH[@]}" "$work/app/brimtone" "$@" >"$LOGS/run$runs.log" 2>&1 &
  APP_PID=$!
}

start_xvfb "$work"
export QT_QPA_PLATFORM=xcb

started() {  # started <title pattern>: PLAYER, the window of $APP_PID so named
  PLAYER=
  for _ in $(seq $((100 * SLOW))); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      grep -Eq "$1" <<<"$(xdotool getwindowname "$w")" && PLAYER=$w && return
    done
    sleep 0.1
  done
}

boxes() {  # the visible windows of $APP_PID but the player and the playlist
  for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    [ "$w" != "$PLAYER" ] && [ "$(xdotool getwindowname "$w")" != Playlist ] && echo "$w"
  done
}
close_box() {  # "closed" once OK was pressed on a box that came up within 10 s
  for _ in $(seq $((100 * SLOW))); do
    box=$(boxes | head -n1)
    [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null && echo closed && return
    sleep 0.1
  done
}

get() {  # get <property>: as dbus-send prints it, within a second
  timeout $SLOW dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.brimtone \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null
}
value() { get "$1" | tail -n1 | awk '{print $NF}' | tr -d '"'; }
status() { value PlaybackStatus; }
title() { get Metadata | grep -A1 '"xesam:title"' | tail -n1 | sed 's/.*string "\(.*\)"/\1/'; }

wait_for() {  # wait_for <value> <command...>: what the command prints, once <value> (or 5 s)
  for _ in $(seq $((50 * SLOW))); do [ "$("${@:2}")" == "$1" ] && break; sleep 0.1; done
  "${@:2}"
}

quit() {  # Ctrl+Q on the player window; ENDED: "ended <status>", or "running"
  xdotool windowfocus --sync "$PLAYER" key --clearmodifiers ctrl+q 2>/dev/null
  for _ in $(seq $((100 * SLOW))); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
  ENDED=running
  kill -0 $APP_PID 2>/dev/null || { wait $APP_PID; ENDED="ended $?"; }
}

cd "$work/music"
launch s1.mp3 s2.mp3 s3.mp3
started s1.mp3
check "first song given plays" "Playing" "$(wait_for Playing status)"
"$work/app/brimtone" --enqueue "$work/music/s4.mp3"
check "second start ends with success" "0" "$?"
entries() { grep -ai '^NumberOfEntries' "$work/app/lastplay.dat" | tr -d '\r'; }
check "enqueued" "NumberOfEntries=4" "$(wait_for NumberOfEntries=4 entries)"
check "enqueue leaves the song playing" "s1.mp3" "$(title)"
"$work/app/brimtone" "$work/music/s3.mp3"
check "a song handed over plays" "s3.mp3" "$(wait_for s3.mp3 title)"
for arg in --bogus notes.txt ""; do
  "$work/app/brimtone" "$arg" 2>"$work/err.txt"
  check "'$arg' refused: status 2, one line" "2 1" "$? $(wc -l <"$work/err.txt")"
done
check "nothing refused added" "NumberOfEntries=5" "$(entries)"
"$work/app/brimtone" --enqueue "caf"$'\xe9'".mp3" s1.mp3
check "a name that does not decode: skipped with the message" "0 closed NumberOfEntries=6" \
  "$? $(close_box) $(entries)"
"$work/app/brimtone" bad.mp3
check "a handed song that does not decode: Error, the player lives" "0 closed yes" \
  "$? $(close_box) $(kill -0 $APP_PID && echo yes)"

# A song ends and the next one fails: Playing stays set with no song open; reads and clicks
# then answer at once and bring no box.
"$work/app/brimtone" short.mp3 bad.mp3
check "a short song plays" "short.mp3" "$(wait_for short.mp3 title)"
length=$(playerctl -p brimtone metadata mpris:length)
check "its length in microseconds" "yes" "$([ $((length / 1000 % 1000)) -ne 0 ] && echo yes)"
check "the next one fails" "closed" "$(close_box)"
xdotool mousemove --window "$PLAYER" 60 35 click 1 sleep 0.3 click 1 sleep 0.5
check "then: status, CanSeek, title, CanGoNext on the last row, no box" \
  "Stopped false bad.mp3 false " \
  "$(timeout $SLOW playerctl -p brimtone status) $(value CanSeek) $(title) $(value CanGoNext) $(boxes)"
playerctl -p brimtone volume 0.25
sleep 0.5
quit
check "Ctrl+Q ends the program, settings saved" "ended 0 volume=16384" \
  "$ENDED $(grep -a '^volume=' "$work/app/settings.ini" | tr -d '\r')"

# A killed program leaves its socket and locks; the next start takes them over.
launch
started 'Song|mp3'
kill -KILL $APP_PID
wait $APP_PID 2>/dev/null
launch
started 'Song|mp3'
check "start after a killed program" "yes" "${PLAYER:+yes}"

quit
check "Ctrl+Q ends it" "ended 0" "$ENDED"

prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
check "desktop entry valid" "ok" "$(desktop-file-validate "$prefix/share/applications/brimtone.desktop" && echo ok)"
check "metainfo valid" "ok" \
  "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null && echo ok)"
XDG_CONFIG_HOME=$work/config "$prefix/bin/brimtone" >"$LOGS/installed.log" 2>&1 &
APP_PID=$!
started 'No Song Playing'
check "installed program starts with the installed skin" "yes" "${PLAYER:+yes}"
quit
check "installed program ends" "ended 0" "$ENDED"
check "settings in \$XDG_CONFIG_HOME/brimtone only" "yes no" \
  "$([ -f "$work/config/brimtone/settings.ini" ] && echo yes) $([ -e "$prefix/bin/settings.ini" ] && echo yes || echo no)"

check "no sanitizer or valgrind report" "" "$(grep -l -E \
  'runtime error:|ERROR: (Address|Leak)Sanitizer|ERROR SUMMARY: [1-9]' "$LOGS"/*.log)"
[ $failures -eq 0 ] || { tail -n 50 "$LOGS"/*.log && exit 1; }
