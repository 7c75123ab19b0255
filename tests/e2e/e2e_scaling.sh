#!/usr/bin/env bash
# Starts Brimtone on Xvfb displays that ask for 1x, 2x (Xft.dpi 192) and 1.5x
# (QT_SCREEN_SCALE_FACTORS) and checks: the windows are 344 x 116 or 688 x 232 device pixels,
# at 2x every skin pixel outside the texts is a 2 x 2 block of one colour, Ctrl+D switches to
# 1x at once (looking exactly as a 1x start) and saves "scale", the position staying in skin
# pixels. Screenshots go to the artifacts folder.
set -uo pipefail
BINARY=$1
SKIN=$2
ARTIFACTS=$3
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
XVFB_PID=
stop_all() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  APP_PID=
  XVFB_PID=
}
trap 'stop_all; rm -rf "$work"' EXIT
cp "$BINARY" "$work/brimtone"
cp -r "$SKIN" "$work/skin"

# start_display [Xft.dpi]: a fresh server (it keeps its resources: -noreset).
start_display() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
  if [ -n "${1:-}" ]; then echo "Xft.dpi: $1" | xrdb -nocpp -merge; fi
}

# start_app: fresh settings (position in skin pixels) and a playlist.
start_app() {
  printf '[main]\nleft=20\ntop=20\n' >"$work/settings.ini"
  # Nine entries: more than the list shows, so its scroll bar is drawn too.
  {
    echo "[playlist]"
    for i in $(seq 9); do printf 'File%d=/gone/%d.mp3\nTitle%d=Song %d\nLength%d=%d\n' $i $i $i $i $i $((60 + 17 * i)); done
    printf 'NumberOfEntries=9\nVersion=2\n'
  } >"$work/lastplay.dat"
  QT_QPA_PLATFORM=xcb "$work/brimtone" >"$work/app.log" 2>&1 &
  APP_PID=$!
  PLAYER=
  for _ in $(seq 100); do
    PLAYER=$(xdotool search --onlyvisible --name "No Song Playing" 2>/dev/null | head -n1)
    [ -n "$PLAYER" ] && break
    sleep 0.1
  done
  PLAYLIST=$(xdotool search --onlyvisible --name "^Playlist$" 2>/dev/null | head -n1)
  sleep 0.7
}

stop_app() {
  kill "$APP_PID" 2>/dev/null
  wait "$APP_PID" 2>/dev/null
  APP_PID=
}

size() {  # size <window> -> "WxH" in device pixels
  xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'
}

# shot <name>: the player and the docked playlist, as on screen.
shot() {
  import -window root "$work/root.png" 2>/dev/null
  eval "$(xdotool getwindowgeometry --shell "$PLAYER")"
  convert "$work/root.png" -crop "${WIDTH}x$((HEIGHT * 2))+${X}+${Y}" +repage "$ARTIFACTS/$1.png"
  convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/$1-player.png"
}

# bad_blocks <player.png>: device pixels of a 2x player that differ from their 2 x 2 block,
# outside the four texts (song title, time, "Volume", "Progress"), which the fonts draw at the
# screen's resolution.
bad_blocks() {
  convert "$1" \( +clone -sample 50% -sample 200% \) -compose difference -composite \
    -fill black -draw "rectangle 16,4 625,37" -draw "rectangle 30,48 157,109" \
    -draw "rectangle 400,108 463,129" -draw "rectangle 30,120 99,141" \
    -threshold 0 -format "%[fx:round(mean*w*h)]" info:
}

# 1. A desktop at 1x: the windows as designed.
start_display
start_app
check "1x: player size" "344x116" "$(size "$PLAYER")"
check "1x: playlist size" "344x116" "$(size "$PLAYLIST")"
shot scale-1x
stop_app
stop_all

# 2. Xft.dpi 192 (how GNOME and Xfce announce 2x): drawn at 2x, in blocks.
start_display 192
start_app
check "Xft.dpi 192: player size" "688x232" "$(size "$PLAYER")"
shot scale-2x-xft
check "Xft.dpi 192: every skin pixel a 2x2 block" "0" "$(bad_blocks "$work/scale-2x-xft-player.png")"
stop_app
stop_all

# 3. QT_SCREEN_SCALE_FACTORS=1.5: rounded to 2x, never blurred by 1.5.
start_display
export QT_SCREEN_SCALE_FACTORS=1.5
start_app
unset QT_SCREEN_SCALE_FACTORS
check "factor 1.5: player size" "688x232" "$(size "$PLAYER")"
shot scale-2x
check "factor 1.5: every skin pixel a 2x2 block" "0" "$(bad_blocks "$work/scale-2x-player.png")"

# 4. Ctrl+D: 1x at once, exactly as a 1x start, and the choice saved.
xdotool windowfocus --sync "$PLAYER" 2>/dev/null
xdotool key ctrl+d
sleep 0.7
check "Ctrl+D: playlist at 1x" "344x116" "$(size "$PLAYLIST")"
shot switched-1x
check "Ctrl+D: 1x pixel for pixel as a 1x start" "0" \
  "$(compare -metric AE "$work/switched-1x-player.png" "$work/scale-1x-player.png" null: 2>&1)"
stop_app
check "the choice saved" "1" "$(awk -F= '/^scale=/{print $2}' "$work/settings.ini")"
check "position saved in skin pixels" "20,20" \
  "$(awk -F= '/^\[/{s=$0} s=="[main]" && /^left=/{l=$2} s=="[main]" && /^top=/{t=$2} END{print l "," t}' "$work/settings.ini")"
stop_all

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
