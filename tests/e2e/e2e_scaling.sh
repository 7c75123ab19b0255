#!/usr/bin/env bash
# Brimtone on Xvfb asking for 2x by Xft.dpi 192 or QT_SCREEN_SCALE_FACTORS=1.5: 688 x 232, each
# skin pixel a 2 x 2 block; Ctrl+D then gives 1x at once and saves it. Screenshots: artifacts.
set -uo pipefail
BINARY=$1
SKIN=$2
ARTIFACTS=$3
mkdir -p "$ARTIFACTS"

source "${BASH_SOURCE%/*}/e2elib.sh"

work=$(mktemp -d)
APP_PID=
XVFB_PID=
stop_all() {
  kill $APP_PID $XVFB_PID 2>/dev/null
  wait $APP_PID $XVFB_PID 2>/dev/null
  APP_PID=
  XVFB_PID=
}
trap 'stop_all; rm -rf "$work"' EXIT
cp "$BINARY" "$work/brimtone"
cp -r "$SKIN" "$work/skin"

# start <Xft.dpi or "">: a fresh server, settings and nine
# playlist entries (more than the list shows).
start() {
  start_xvfb "$work"
  [ -n "$1" ] && echo "Xft.dpi: $1" | xrdb -nocpp -merge
  printf '[main]\nleft=20\ntop=20\n' >"$work/settings.ini"
  {
    echo "[playlist]"
    for i in $(seq 9); do printf 'File%d=/gone/%d.mp3\nTitle%d=Song %d\n' $i $i $i $i; done
    printf 'NumberOfEntries=9\nVersion=2\n'
  } >"$work/lastplay.dat"
  QT_QPA_PLATFORM=xcb "$work/brimtone" >"$work/app.log" 2>&1 &
  APP_PID=$!
  for _ in $(seq 100); do
    PLAYER=$(xdotool search --onlyvisible --name "No Song Playing" 2>/dev/null | head -n1)
    [ -n "$PLAYER" ] && break
    sleep 0.1
  done
  PLAYLIST=$(xdotool search --onlyvisible --name "^Playlist$" 2>/dev/null | head -n1)
  sleep 0.7
}

place() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x "," y}'; }
size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }

# blocks <name>: saves the player and the docked playlist as on screen, and counts the device
# pixels of the player that differ from their 2 x 2 block, outside the four texts (song title,
# time, "Volume", "Progress"), which the fonts draw at the screen's resolution.
blocks() {
  import -window root "$work/root.png" 2>/dev/null
  eval "$(xdotool getwindowgeometry --shell "$PLAYER")"
  convert "$work/root.png" -crop "${WIDTH}x$((HEIGHT * 2))+${X}+${Y}" +repage "$ARTIFACTS/$1.png"
  convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
    \( +clone -sample 50% -sample 200% \) -compose difference -composite \
    -fill black -draw "rectangle 16,4 625,37" -draw "rectangle 30,48 157,109" \
    -draw "rectangle 400,108 463,129" -draw "rectangle 30,120 99,141" \
    -threshold 0 -format "%[fx:round(mean*w*h)]" info:
}

start 192
check "Xft.dpi 192: player size" "688x232" "$(size "$PLAYER")"
check "Xft.dpi 192: every skin pixel a 2x2 block" "0" "$(blocks scale-2x-xft)"
stop_all

QT_SCREEN_SCALE_FACTORS=1.5 start ""
check "factor 1.5: player and playlist size" "688x232 688x232" "$(size "$PLAYER") $(size "$PLAYLIST")"
check "factor 1.5: every skin pixel a 2x2 block" "0" "$(blocks scale-2x)"

check "factor 1.5: the playlist docked" "40,272" "$(place "$PLAYLIST")"

xdotool windowfocus --sync "$PLAYER" key ctrl+d 2>/dev/null
sleep 0.7
check "Ctrl+D: both windows at 1x" "344x116 344x116" "$(size "$PLAYER") $(size "$PLAYLIST")"
check "Ctrl+D: the playlist still docked" "20,136" "$(place "$PLAYLIST")"
stop_all
check "the choice and the position saved" "1 20,20" \
  "$(awk -F= '/^\[/{m=$0=="[main]"} m&&/^scale=/{s=$2} m&&/^left=/{l=$2} m&&/^top=/{t=$2} END{print s " " l "," t}' "$work/settings.ini")"

[ "$failures" -eq 0 ]
