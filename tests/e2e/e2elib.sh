# Shared by the end-to-end scripts (sourced): counted checks and a virtual X server.

failures=0
check() {  # check <description> <expected> <actual>
  if [ "$2" == "$3" ]; then
    echo "PASS: $1"
  else
    echo "FAIL: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}

# start_xvfb <folder>: a 1024x768 server on a display number it picks itself; sets XVFB_PID
# and DISPLAY. -noreset: a killed program is the last client, and a resetting server would
# refuse the next one (and forget the resources given with xrdb).
start_xvfb() {
  rm -f "$1/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$1/display" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$1/display")
}
