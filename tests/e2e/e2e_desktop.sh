#!/usr/bin/env bash
# The desktop's ways in, end to end: songs on the command line, keys and the wheel on a real
# window (Xvfb, xdotool), the state read back over a private D-Bus session (dbus-send), a
# second start handing over, a killed program's socket taken over, and the installed layout
# (cmake --install, desktop-file-validate, appstreamcli, settings in the configuration
# folder, the user's own skin). Run inside dbus-run-session.
set -uo pipefail
BINARY=$1
SKIN=$2
BUILD=$3
ARTIFACTS=$4
mkdir -p "$ARTIFACTS"

failures=0
check() {  # check <description> <expected> <actual>
  if [ "$2" == "$3" ]; then
    echo "PASS: $1"
  else
    echo "FAIL: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
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
  local id=
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      if xdotool getwindowname "$w" 2>/dev/null | grep -Eq "$1" &&
         [ "$(xdotool getwindowname "$w")" != Playlist ]; then
        id=$w
        break
      fi
    done
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

player_prop() {  # player_prop <name> -> the value dbus-send prints, first line
  dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.brimtone \
    /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
    string:org.mpris.MediaPlayer2.Player "string:$1" 2>/dev/null |
    sed -e 's/^ *variant *//' | head -n1 | tr -s ' ' | sed 's/^ //;s/ $//'
}

wait_prop() {  # wait_prop <name> <value>: until the property reads so (or 5 s)
  for _ in $(seq 50); do [ "$(player_prop "$1")" == "$2" ] && break; sleep 0.1; done
  player_prop "$1"
}

title() { dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.brimtone \
  /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
  string:org.mpris.MediaPlayer2.Player string:Metadata 2>/dev/null |
  grep -A1 '"xesam:title"' | tail -n1 | sed 's/.*string "\(.*\)"/\1/'; }

position_s() { echo $(( $(player_prop Position | awk '{print $2}') / 1000000 )); }
volume_pct() { player_prop Volume | awk '{printf "%d", $2 * 100 + 0.5}'; }

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
check "first song given plays" "Playing" "$(wait_prop PlaybackStatus "Playing")"
check "title over D-Bus" "s1.mp3" "$(title)"

# 2. Keys on the player window.
press c
check "C pauses" "Paused" "$(wait_prop PlaybackStatus "Paused")"
press space
check "Space goes on" "Playing" "$(wait_prop PlaybackStatus "Playing")"
press b
check "B: next song" "s2.mp3" "$(title)"
press r
check "R: repeat file" "Track" "$(wait_prop LoopStatus "Track")"
press r r
check "R twice more: no repeating" "None" "$(wait_prop LoopStatus "None")"
press s
check "S: shuffle" "boolean true" "$(wait_prop Shuffle "boolean true")"
press s
volume_before=$(volume_pct)
press Up
check "Up: 5 % louder" "$((volume_before + 5))" "$(volume_pct)"
press minus
check "-: 5 % quieter" "$volume_before" "$(volume_pct)"
press ctrl+Right
check "Ctrl+Right: 30 s on" "yes" "$([ "$(position_s)" -ge 30 ] && echo yes || echo no)"
at=$(position_s)
press Left
check "Left: 5 s back" "yes" "$(p=$(position_s); [ "$p" -le $((at - 3)) ] && [ "$p" -ge $((at - 6)) ] && echo yes || echo no)"

# 3. The wheel: over the player the volume, over the progress bar a seek.
eval "$(xdotool getwindowgeometry --shell "$PLAYER")"
xdotool mousemove $((X + 260)) $((Y + 30)) click 4
sleep 0.3
check "wheel up over the player: 5 % louder" "$((volume_before + 5))" "$(volume_pct)"
at=$(position_s)
xdotool mousemove $((X + 175)) $((Y + 75)) click 5 click 5
sleep 0.3
check "wheel down twice over the progress bar: 10 s back" "yes" \
  "$(p=$(position_s); [ "$p" -le $((at - 8)) ] && [ "$p" -ge $((at - 11)) ] && echo yes || echo no)"

# 4. A second start hands over and ends at once.
"$work/app/brimtone" --enqueue "$work/music/s4.mp3"
check "second start ends with success" "0" "$?"
check "enqueued song in the playlist" "NumberOfEntries=4" \
  "$(grep -i '^NumberOfEntries' "$work/app/lastplay.dat" | tr -d '\r')"
check "enqueue leaves the song playing" "s2.mp3" "$(title)"
"$work/app/brimtone" --stop
check "--stop reaches the running program" "Stopped" "$(wait_prop PlaybackStatus "Stopped")"
"$work/app/brimtone" --play-pause
check "--play-pause plays" "Playing" "$(wait_prop PlaybackStatus "Playing")"
"$work/app/brimtone" --bogus 2>"$work/err.txt"
check "unknown option: status 2" "2" "$?"
check "unknown option: one line" "1" "$(wc -l <"$work/err.txt" | tr -d ' ')"
"$work/app/brimtone" "$work/music/missing.mp3" 2>/dev/null
check "missing file: status 2" "2" "$?"
check "still one program" "1" "$(pgrep -c -f "$work/app/brimtone" | tr -d ' ')"

# 5. A killed program leaves its socket; the next start takes it over.
kill -KILL $APP_PID
wait $APP_PID 2>/dev/null
"$work/app/brimtone" >>"$work/app.log" 2>&1 &
APP_PID=$!
PLAYER=$(wait_window "Song|mp3")
check "start after a killed program" "yes" "$([ -n "$PLAYER" ] && kill -0 $APP_PID && echo yes || echo no)"
press ctrl+q
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "Ctrl+Q ends the program" "ended" "$(kill -0 $APP_PID 2>/dev/null && echo running || echo ended)"
check "settings saved at exit" "repeat=0" \
  "$(grep -i '^repeat' "$work/app/settings.ini" | tr -d '\r')"

# 6. The installed layout.
prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
check "desktop entry valid" "ok" "$(desktop-file-validate "$prefix/share/applications/brimtone.desktop" && echo ok)"
check "metainfo valid" "ok" \
  "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null && echo ok)"
check "installed skin" "24" "$(ls "$prefix/share/brimtone/skin" | wc -l | tr -d ' ')"
for icon in scalable/apps/brimtone.svg 48x48/apps/brimtone.png 128x128/apps/brimtone.png \
            256x256/apps/brimtone.png; do
  check "icon $icon" "yes" "$([ -s "$prefix/share/icons/hicolor/$icon" ] && echo yes || echo no)"
done
size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/48x48/apps/brimtone.png" 2>/dev/null)
check "48 px icon is 48 px" "48x48" "$size"

home=$work/home
mkdir -p "$home"
HOME=$home XDG_CONFIG_HOME= "$prefix/bin/brimtone" >"$work/installed.log" 2>&1 &
APP_PID=$!
PLAYER=$(wait_window "No Song Playing")
check "installed program starts with the installed skin" "yes" "$([ -n "$PLAYER" ] && echo yes || echo no)"
press ctrl+q
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "settings in ~/.config/brimtone" "yes" "$([ -f "$home/.config/brimtone/settings.ini" ] && echo yes || echo no)"
check "nothing written beside the program" "no" "$([ -e "$prefix/bin/settings.ini" ] && echo yes || echo no)"

# The user's own skin: a green main.bmp in ~/.config/brimtone/skin shows.
mkdir -p "$home/.config/brimtone/skin"
convert -size 344x116 xc:'#00ff00' "BMP3:$home/.config/brimtone/skin/main.bmp"
for f in "$prefix"/share/brimtone/skin/*.bmp; do
  [ "$(basename "$f")" == main.bmp ] || cp "$f" "$home/.config/brimtone/skin/"
done
HOME=$home XDG_CONFIG_HOME= "$prefix/bin/brimtone" >>"$work/installed.log" 2>&1 &
APP_PID=$!
PLAYER=$(wait_window "No Song Playing")
sleep 0.5
import -window "$PLAYER" "$ARTIFACTS/user-skin.png" 2>/dev/null
check "the user's skin is drawn" "srgb(0,255,0)" \
  "$(convert "$ARTIFACTS/user-skin.png" -format '%[pixel:p{3,62}]' info: 2>/dev/null)"
kill -TERM $APP_PID
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done

if [ $failures -ne 0 ]; then
  echo "e2e: $failures check(s) failed"
  cat "$work/app.log" "$work/installed.log"
  exit 1
fi
echo "e2e: all checks passed"
