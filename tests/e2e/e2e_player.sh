#!/usr/bin/env bash
# Starts Brimtone on a 1024x768 Xvfb display (no window manager: windows stand exactly where
# the program puts them), drives it with xdotool and checks positions, snapping, docking,
# the settings written at exit and the pressed-button image.
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
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cp "$BINARY" "$work/brimtone"
cp -r "$SKIN" "$work/skin"

# A free display number, picked by the server itself.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb
APP_PID=

start_app() {
  "$work/brimtone" >"$work/app.log" 2>&1 &
  APP_PID=$!
  for _ in $(seq 100); do
    PLAYER=$(xdotool search --onlyvisible --name "No Song Playing" 2>/dev/null | head -n1)
    [ -n "$PLAYER" ] && break
    sleep 0.1
  done
  PLAYLIST=$(xdotool search --onlyvisible --name "^Playlist$" 2>/dev/null | head -n1)
  sleep 0.5
}

geometry() {  # geometry <window> -> "x,y"
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x "," y}'
}

drag_title() {  # drag_title <from-x> <from-y> <to-x> <to-y>
  xdotool mousemove "$1" "$2" mousedown 1
  sleep 0.2
  xdotool mousemove "$(( ($1 + $3) / 2 ))" "$(( ($2 + $4) / 2 ))"
  sleep 0.1
  xdotool mousemove "$3" "$4"
  sleep 0.2
  xdotool mouseup 1
  sleep 0.3
}

# 1. First start, no settings.ini: default position (1024/2 + 344/2, 768/2 + 116/2).
start_app
check "player window found" "yes" "$([ -n "$PLAYER" ] && echo yes || echo no)"
check "playlist window found" "yes" "$([ -n "$PLAYLIST" ] && echo yes || echo no)"
check "player at the default position" "684,442" "$(geometry "$PLAYER")"
check "playlist docked under the player" "684,558" "$(geometry "$PLAYLIST")"
import -window root "$ARTIFACTS/start.png" 2>/dev/null

# 2. Dragging the title line (grabbed 100, 10 into the window): 14 pixels from an edge snaps,
# 15 does not; the playlist follows on every step.
drag_title 784 452 114 452
check "14 from the left edge snaps" "0,442" "$(geometry "$PLAYER")"
check "playlist follows" "0,558" "$(geometry "$PLAYLIST")"
drag_title 100 452 115 452
check "15 from the left edge stays" "15,442" "$(geometry "$PLAYER")"
drag_title 115 452 115 24
check "14 from the top snaps" "15,0" "$(geometry "$PLAYER")"
drag_title 115 10 115 25
check "15 from the top stays" "15,15" "$(geometry "$PLAYER")"
# Right limit 1024 - 344 = 680, bottom limit 768 - 116 = 652.
drag_title 115 25 766 25
check "14 from the right limit snaps" "680,15" "$(geometry "$PLAYER")"
drag_title 780 25 765 25
check "15 from the right limit stays" "665,15" "$(geometry "$PLAYER")"
drag_title 765 25 765 648
check "14 from the bottom limit snaps" "665,652" "$(geometry "$PLAYER")"
check "playlist below the player, off the work area" "665,768" "$(geometry "$PLAYLIST")"
drag_title 765 662 765 647
check "15 from the bottom limit stays" "665,637" "$(geometry "$PLAYER")"
drag_title 765 647 600 400
check "free position" "500,390" "$(geometry "$PLAYER")"

# 3. Right-button press on Play shows the pressed image until release and plays nothing.
play_x=$((500 + 43 + 11)); play_y=$((390 + 88 + 9))
crop() { import -window root -crop 22x18+$((500 + 43))+$((390 + 88)) "$work/$1.png" 2>/dev/null; }
crop play-rest
xdotool mousemove $play_x $play_y mousedown 3
sleep 0.3
crop play-pressed
xdotool mouseup 3
sleep 0.3
crop play-released
diff_pressed=$(compare -metric AE "$work/play-rest.png" "$work/play-pressed.png" null: 2>&1 | cut -d' ' -f1)
diff_released=$(compare -metric AE "$work/play-rest.png" "$work/play-released.png" null: 2>&1 | cut -d' ' -f1)
check "pressed image differs from the released one" "yes" "$([ "${diff_pressed:-0}" != "0" ] && echo yes || echo no)"
check "released image is back" "0" "${diff_released:-x}"
check "nothing plays after a right click" "1" "$(xdotool search --name "No Song Playing" | wc -l | tr -d ' ')"
import -window root "$ARTIFACTS/both-windows.png" 2>/dev/null

# 4. Exit writes the eleven keys.
xdotool mousemove $((500 + 335)) $((390 + 9)) click 1
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "program ended by the exit button" "ended" "$(kill -0 $APP_PID 2>/dev/null && echo running || echo ended)"
settings=$(tr -d '\r' < "$work/settings.ini" 2>/dev/null)
for key in main/left=500 main/top=390 main/repeat=0 main/shuffle=0 main/timetype=0 \
           main/volume=32767 playlist/left=500 playlist/top=506 playlist/width=344 \
           playlist/height=116 playlist/visible=1; do
  section=${key%%/*}; pair=${key#*/}
  got=$(awk -v s="[$section]" -v k="${pair%%=*}" -F= '
        /^\[/ {in_s = (tolower($0) == tolower(s))} in_s && tolower($1) == tolower(k) {print $0; exit}' <<<"$settings")
  check "settings.ini [$section] $pair" "$pair" "$got"
done

# 5. Second start: everything restored.
start_app
check "player restored" "500,390" "$(geometry "$PLAYER")"
check "playlist docked on restore" "500,506" "$(geometry "$PLAYLIST")"
kill -TERM $APP_PID
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
check "SIGTERM ends the program" "ended" "$(kill -0 $APP_PID 2>/dev/null && echo running || echo ended)"

if [ $failures -ne 0 ]; then
  echo "e2e: $failures check(s) failed"; cat "$work/app.log"; exit 1
fi
echo "e2e: all checks passed"
