#!/usr/bin/env bash
# Starts Brimtone on a 1024x768 Xvfb display (no window manager: windows stand exactly where
# the program puts them), drives it with xdotool and checks positions, snapping, docking,
# the settings written at exit, the pressed-button image, moves made by other tools and
# shutdown by signal. Every run's output is kept in the artifacts folder; a run that exits
# non-zero or leaves a sanitizer report fails.
set -uo pipefail
BINARY=$1
SKIN=$2
ARTIFACTS=$3
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/run*.log

source "${BASH_SOURCE%/*}/e2elib.sh"

work=$(mktemp -d)
APP_PID=
trap 'kill $APP_PID $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cp "$BINARY" "$work/brimtone"
cp -r "$SKIN" "$work/skin"

start_xvfb "$work"
export QT_QPA_PLATFORM=xcb
runs=0

# Sanitizer builds: the session-bus connections that SDL's audio start and Qt open through
# libdbus are never closed before exit, and their read buffers show up as leaks. Only those
# are let through; any other leak or error still fails the test.
printf 'leak:libdbus-1.so\n' > "$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp:print_suppressions=0"

start_app() {
  runs=$((runs + 1))
  LOG="$ARTIFACTS/run$runs.log"
  "$work/brimtone" >"$LOG" 2>&1 &
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

# finish_app <description>: waits for the program to end (10 s at most: sanitizer builds are
# slow), then checks that it ended and with status 0.
finish_app() {
  for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$APP_PID" 2>/dev/null; then
    check "$1" "ended" "running"
    kill -KILL "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  else
    wait "$APP_PID"
    check "$1 (exit status)" "0" "$?"
  fi
  APP_PID=
}

# new_window: a visible window of the program other than the player and the playlist.
new_window() {
  for _ in $(seq 30); do
    for w in $(xdotool search --onlyvisible --classname brimtone 2>/dev/null); do
      [ "$w" != "$PLAYER" ] && [ "$w" != "$PLAYLIST" ] && { echo "$w"; return; }
    done
    sleep 0.1
  done
}

# setting <section> <key>: the value settings.ini holds.
setting() {
  tr -d '\r' < "$work/settings.ini" | awk -v s="[$1]" -v k="$2" -F= '
    /^\[/ {in_s = (tolower($0) == tolower(s))} in_s && tolower($1) == tolower(k) {print $2; exit}'
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
finish_app "program ended by the exit button"
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

# 6. A move made by another tool brings the docked playlist along, snapping included.
xdotool windowmove "$PLAYER" 6 250
sleep 0.5
check "a move by another tool snaps" "0,250" "$(geometry "$PLAYER")"
check "playlist follows a move by another tool" "0,366" "$(geometry "$PLAYLIST")"
# ... and a move of the playlist takes the player along, snapping as the player's own moves.
xdotool windowmove "$PLAYLIST" 300 409
sleep 0.5
check "the player follows a move of the playlist" "300,293 300,409" "$(geometry "$PLAYER") $(geometry "$PLAYLIST")"
xdotool windowmove "$PLAYLIST" 9 366
sleep 0.5
check "a move of the playlist snaps the player" "0,250 0,366" "$(geometry "$PLAYER") $(geometry "$PLAYLIST")"
kill -TERM $APP_PID
finish_app "SIGTERM ends the program"
check "SIGTERM saves the position" "0,250" "$(setting main left),$(setting main top)"

# 7. A settings file that cannot be written at a SIGTERM: the error goes to standard error and
# the program ends; also when the exit button's box showing that error is open at that moment.
start_app
xdotool windowmove "$PLAYER" 300 200  # a position to save that the file cannot take
sleep 0.5
chmod a-w "$work/settings.ini"
before=$(md5sum < "$work/settings.ini")
kill -TERM $APP_PID
finish_app "SIGTERM ends the program despite the write error"
check "write error on standard error" "Unable to write to $work/settings.ini." "$(grep -m1 'Unable to write to' "$LOG")"
start_app  # at the position saved in step 6: the file has not been written since
xdotool mousemove $((0 + 335)) $((250 + 9)) click 1
BOX=$(new_window)
check "write error shown in a box at exit" "yes" "$([ -n "$BOX" ] && echo yes || echo no)"
kill -TERM $APP_PID
finish_app "SIGTERM ends the program while a box is open"
check "settings file left as it was" "$before" "$(md5sum < "$work/settings.ini")"

# Sanitizer builds: any report in any run fails the test.
reports=$(grep -l -E 'runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer' "$ARTIFACTS"/run*.log 2>/dev/null)
check "no sanitizer report" "" "$reports"

if [ $failures -ne 0 ]; then
  echo "e2e: $failures check(s) failed"
  for log in "$ARTIFACTS"/run*.log; do echo "--- $log"; cat "$log"; done
  exit 1
fi
echo "e2e: all checks passed"
