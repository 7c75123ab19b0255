#!/usr/bin/env bash
# with_atspi_bus.sh <program> [arguments]: runs a test program with Qt's accessibility active,
# inside a private session bus: the accessibility bus started on it (as a desktop starts it
# for a screen reader) and the program on a virtual X display, where Qt reaches that bus.
set -euo pipefail
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
xvfb-run -a "$@"
