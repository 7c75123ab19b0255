#!/usr/bin/env bash
# The desktop's ways in, end to end: songs on the command line, a real window (Xvfb, xdotool),
# the state read back over a private D-Bus session (dbus-send), a second start handing over, a
# killed program's socket taken over, and the installed layout (cmake --install,
# desktop-file-validate, appstreamcli, settings in the configuration folder). Run inside
# dbus-run-session.
set -uo pipefail
BINARY=$1
SKIN=$2
BUILD=$3

failures=0
check() {  # check <description> <expected> <actual>
  [ "$2" == "$3" ] && echo "PASS: $1" && return
  echo "FAIL: $1: expected '$2', got '$3'"
  failures=$((failures + 1))
}

work=$(mktemp -d)
APP_PID=
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/music" "$work/runtime"
chmod 700 "$work/runtime"
cp "$BINARY" "$work/app/brimtone"
cp -r "$SKIN" "$work/app/skin"
export XDG_RUNTIME_DIR=$work/runtime
for n in 1 2 3 4; do
  sox -q -n -r 44100 -c 2 "$work/music/s$n.mp3" synth 60 sine $((200 * n)) vol 0.1 2>/dev/null
done

# -noreset: a killed program is the last client, and a resetting server refuses the next.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb

wait_window() {  # wait_window <name pattern>: the player window of $APP_PID so named
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      name=$(xdotool getwindowname "$w" 2>/dev/null)
      [ "$name" != Playlist ] && grep -Eq "$1" <<<"$name" && echo "$w" && return
    done
    sleep 0.1
  done
}

player_prop() {  # player_prop <name> -> the value dbus-send prints, first line
  dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.brimtone \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null |
    sed -e 's/^ *variant *//' | head -n1 | tr -s ' ' | sed 's/^ //;s/ $//'
}

title() { dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.brimtone \
  /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
  string:org.mpris.MediaPlayer2.Player string:Metadata 2>/dev/null |
  grep -A1 '"xesam:title"' | tail -n1 | sed 's/.*string "\(.*\)"/\1/'; }

wait_for() {  # wait_for <value> <command...>: what the command prints, once it is <value> (or 5 s)
  for _ in $(seq 50); do [ "$("${@:2}")" == "$1" ] && break; sleep 0.1; done
  "${@:2}"
}

press() {  # press <keys...> on the player window
  xdotool windowfocus --sync "$PLAYER" 2>/dev/null
  xdotool key --clearmodifiers "$@"
  sleep 0.3
}

# 1. Songs on the command line: appended, the first one plays.
cd "$work/music"
"$work/app/brimtone" s1.mp3 s2.mp3 s3.mp3 >"$work/app.log" 2>&1 &
APP_PID=$!
cd "$work"
PLAYER=$(wait_window "s1.mp3")
check "player window found" "yes" "$([ -n "$PLAYER" ] && echo yes || echo no)"
check "first song given plays" "Playing" "$(wait_for Playing player_prop PlaybackStatus)"

# 2. A later start hands over and ends at once.
"$work/app/brimtone" --enqueue "$work/music/s4.mp3"
check "second start ends with success" "0" "$?"
check "enqueued song in the playlist" "NumberOfEntries=4" \
  "$(grep -i '^NumberOfEntries' "$work/app/lastplay.dat" | tr -d '\r')"
check "enqueue leaves the song playing" "s1.mp3" "$(title)"
"$work/app/brimtone" "$work/music/s3.mp3"
check "a song handed over plays" "s3.mp3" "$(wait_for s3.mp3 title)"
"$work/app/brimtone" --stop
check "--stop reaches the running program" "Stopped" "$(wait_for Stopped player_prop PlaybackStatus)"
"$work/app/brimtone" --bogus 2>"$work/err.txt"
check "unknown option: status 2" "2" "$?"
check "unknown option: one line" "1" "$(wc -l <"$work/err.txt" | tr -d ' ')"
check "still one program" "1" "$(pgrep -c -f "$work/app/brimtone" | tr -d ' ')"

# 3. A killed program leaves its socket; the next start takes it over.
kill -KILL $APP_PID
wait $APP_PID 2>/dev/null
"$work/app/brimtone" >>"$work/app.log" 2>&1 &
APP_PID=$!
PLAYER=$(wait_window "Song|mp3")
check "start after a killed program" "yes" "$([ -n "$PLAYER" ] && kill -0 $APP_PID && echo yes || echo no)"
press ctrl+q
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "Ctrl+Q ends the program" "ended" "$(kill -0 $APP_PID 2>/dev/null && echo running || echo ended)"
check "settings saved beside the program" "yes" "$([ -f "$work/app/settings.ini" ] && echo yes || echo no)"

# 4. The installed layout.
prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
check "desktop entry valid" "ok" "$(desktop-file-validate "$prefix/share/applications/brimtone.desktop" && echo ok)"
check "metainfo valid" "ok" \
  "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null && echo ok)"
check "installed skin" "24" "$(ls "$prefix/share/brimtone/skin" | wc -l | tr -d ' ')"
XDG_CONFIG_HOME=$work/config "$prefix/bin/brimtone" >"$work/installed.log" 2>&1 &
APP_PID=$!
PLAYER=$(wait_window "No Song Playing")
check "installed program starts with the installed skin" "yes" "$([ -n "$PLAYER" ] && echo yes || echo no)"
press ctrl+q
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "settings in \$XDG_CONFIG_HOME/brimtone" "yes" "$([ -f "$work/config/brimtone/settings.ini" ] && echo yes || echo no)"
check "nothing written beside the program" "no" "$([ -e "$prefix/bin/settings.ini" ] && echo yes || echo no)"

if [ $failures -ne 0 ]; then
  echo "e2e: $failures check(s) failed"
  cat "$work/app.log" "$work/installed.log"
  exit 1
fi
echo "e2e: all checks passed"
