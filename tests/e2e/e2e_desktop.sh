#!/usr/bin/env bash
# The desktop's ways in on Xvfb, inside dbus-run-session: songs on the command line, a second
# start handing over (also songs that bring up a box), MPRIS read by playerctl and dbus-send
# after a song failed to start, two starts on one data folder without a runtime folder, a
# killed program's socket taken over, the installed layout. Every run's output is kept in the
# artifacts folder; a run that ends non-zero or leaves a sanitizer report fails.
#
# E2E_LAUNCHER runs the first program of each start through a tool (valgrind); E2E_SLOW
# multiplies the waits for one.
set -uo pipefail
BINARY=$1
SKIN=$2
BUILD=$3
ARTIFACTS=${4:-$BUILD/e2e-artifacts}/desktop
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/run*.log

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

start_xvfb "$work"
export QT_QPA_PLATFORM=xcb
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"
read -r -a LAUNCH <<<"${E2E_LAUNCHER:-}"
SLOW=${E2E_SLOW:-1}
runs=0
ENV=(env)  # the environment of the starts below

launch() {  # launch <arguments...>: the program in the background, its output in a run log
  runs=$((runs + 1))
  "${ENV[@]}" "${LAUNCH[@]}" "$work/app/brimtone" "$@" >"$ARTIFACTS/run$runs.log" 2>&1 &
  APP_PID=$!
}

second() {  # second <arguments...>: a second start, as a file manager or a shell makes it
  "${ENV[@]}" "$work/app/brimtone" "$@"
}

started() {  # started <title pattern>: PLAYER, the window of $APP_PID so named
  PLAYER=
  for _ in $(seq $((100 * SLOW))); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      grep -Eq "$1" <<<"$(xdotool getwindowname "$w")" && PLAYER=$w && return
    done
    sleep 0.1
  done
}

boxes() {  # the visible windows of $APP_PID that are neither the player nor the playlist
  for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    [ "$w" != "$PLAYER" ] && [ "$(xdotool getwindowname "$w")" != Playlist ] && echo "$w"
  done
}

close_box() {  # presses OK on the box that comes up: "closed", or nothing without a box
  for _ in $(seq $((100 * SLOW))); do
    local box
    box=$(boxes | head -n1)
    if [ -n "$box" ]; then
      xdotool windowfocus --sync "$box" key Return 2>/dev/null
      for _ in $(seq $((30 * SLOW))); do [ -z "$(boxes)" ] && break; sleep 0.1; done
      echo closed
      return
    fi
    sleep 0.1
  done
}

alive() { kill -0 "$APP_PID" 2>/dev/null && echo alive || echo gone; }

get() {  # get <property>: as dbus-send prints it, within a second (or nothing)
  timeout $SLOW dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.brimtone \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null
}
value() { get "$1" | tail -n1 | awk '{print $NF}' | tr -d '"'; }
status() { value PlaybackStatus; }
title() { get Metadata | grep -A1 '"xesam:title"' | tail -n1 | sed 's/.*string "\(.*\)"/\1/'; }
entries() { grep -ai '^NumberOfEntries' "$work/app/lastplay.dat" | tr -d '\r'; }

wait_for() {  # wait_for <value> <command...>: what the command prints, once <value> (or 5 s)
  for _ in $(seq $((50 * SLOW))); do [ "$("${@:2}")" == "$1" ] && break; sleep 0.1; done
  "${@:2}"
}

quit() {  # Ctrl+Q on the player window; ENDED: "ended <status>", or "running"
  xdotool windowfocus --sync "$PLAYER" key --clearmodifiers ctrl+q 2>/dev/null
  for _ in $(seq $((100 * SLOW))); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
  if kill -0 $APP_PID 2>/dev/null; then
    ENDED=running
  else
    wait $APP_PID
    ENDED="ended $?"
  fi
}

cd "$work/music"
launch s1.mp3 s2.mp3 s3.mp3
started s1.mp3
check "first song given plays" "Playing" "$(wait_for Playing status)"
second --enqueue "$work/music/s4.mp3"
check "second start ends with success" "0" "$?"
check "enqueued" "NumberOfEntries=4" "$(entries)"
check "enqueue leaves the song playing" "s1.mp3" "$(title)"
second "$work/music/s3.mp3"
check "a song handed over plays" "s3.mp3" "$(wait_for s3.mp3 title)"
second --bogus 2>"$work/err.txt"
check "unknown option: status 2, one line" "2 1" "$? $(wc -l <"$work/err.txt")"
for name in notes.txt ""; do
  second "$name" 2>"$work/err.txt"
  check "'$name' refused: status 2, one line" "2 1" "$? $(wc -l <"$work/err.txt")"
done
check "nothing refused was added" "NumberOfEntries=5" "$(entries)"

# A name that does not decode is skipped with the Add File message; the rest goes in.
second --enqueue "caf"$'\xe9'".mp3" s1.mp3
check "undecodable name: handed over" "0" "$?"
check "the rest added" "NumberOfEntries=6" "$(entries)"
check "the Add File message shown" "closed" "$(close_box)"

# A handed-over song that does not decode: "Error", and the player lives on.
second bad.mp3
check "song that does not decode: handed over" "0" "$?"
check "its Error box shown" "closed" "$(close_box)"
check "the player survives the box" "alive" "$(alive)"

# A song ends and the next does not start: Playing stays set with no song open. Reads and
# clicks then answer at once and bring no box.
second short.mp3 bad.mp3
check "a short song plays" "short.mp3" "$(wait_for short.mp3 title)"
length=$(playerctl -p brimtone metadata mpris:length 2>/dev/null)
check "mpris:length in microseconds" "yes" \
  "$([ "${length:-0}" -gt 2400000 ] && [ "$length" -lt 2700000 ] && [ $((length % 1000)) -eq 0 ] && echo yes)"
check "the next one fails: Error" "closed" "$(close_box)"
check "PlaybackStatus after the failed start" "Stopped" "$(timeout $SLOW playerctl -p brimtone status)"
check "CanSeek after the failed start" "false" "$(value CanSeek)"
check "Metadata answers" "bad.mp3" "$(title)"
check "CanGoNext on the last row" "false" "$(value CanGoNext)"
xdotool mousemove --window "$PLAYER" 60 35 click 1 sleep 0.2 click 1
xdotool mousemove --window "$(xdotool search --onlyvisible --name '^Playlist$' | head -n1)" 100 8 click 1
sleep 0.5
check "clicks bring no box" "" "$(boxes)"
playerctl -p brimtone volume 0.25
volume() { printf '%.2f' "$(value Volume)"; }
check "the volume set" "0.25" "$(wait_for 0.25 volume)"
quit
check "Ctrl+Q ends the program" "ended 0" "$ENDED"
check "its settings saved" "volume=16384" "$(grep -a '^volume=' "$work/app/settings.ini" | tr -d '\r')"

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

# Without XDG_RUNTIME_DIR and with the usual folder's name taken by a link, a second start
# still finds the first; with no folder to be had at all it says why and adds nothing.
mkdir -p "$work/tmp"
ln -s /tmp "$work/tmp/brimtone-$(id -u)"
ENV=(env -u XDG_RUNTIME_DIR TMPDIR="$work/tmp")
launch
started 'Song|mp3'
second --enqueue s2.mp3
check "no runtime folder: handed over" "0 NumberOfEntries=10" "$? $(wait_for NumberOfEntries=10 entries)"
ENV=(env -u XDG_RUNTIME_DIR TMPDIR="$work/nowhere")
second --enqueue s2.mp3 2>"$work/err.txt"
check "no folder to be had: status 1, saying who holds the folder" "1 1" \
  "$? $(grep -c '^brimtone: another Brimtone (process [0-9]*) uses .* cannot be reached' "$work/err.txt")"
check "... and nothing added" "NumberOfEntries=10" "$(entries)"
check "the link left alone" "/tmp" "$(readlink "$work/tmp/brimtone-$(id -u)")"
ENV=(env)
quit
check "the first ends" "ended 0" "$ENDED"

prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
check "desktop entry valid" "ok" "$(desktop-file-validate "$prefix/share/applications/brimtone.desktop" && echo ok)"
check "metainfo valid" "ok" \
  "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null && echo ok)"
runs=$((runs + 1))
XDG_CONFIG_HOME=$work/config "$prefix/bin/brimtone" >"$ARTIFACTS/run$runs.log" 2>&1 &
APP_PID=$!
started 'No Song Playing'
check "installed program starts with the installed skin" "yes" "${PLAYER:+yes}"
quit
check "installed program ends" "ended 0" "$ENDED"
check "settings in \$XDG_CONFIG_HOME/brimtone only" "yes no" \
  "$([ -f "$work/config/brimtone/settings.ini" ] && echo yes) $([ -e "$prefix/bin/settings.ini" ] && echo yes || echo no)"

reports=$(grep -l -E 'runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer|ERROR SUMMARY: [1-9]' \
  "$ARTIFACTS"/run*.log 2>/dev/null)
check "no sanitizer or valgrind report" "" "$reports"

if [ $failures -ne 0 ]; then
  for log in "$ARTIFACTS"/run*.log; do echo "--- $log"; cat "$log"; done
  exit 1
fi
