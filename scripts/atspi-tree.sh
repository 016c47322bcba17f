#!/usr/bin/env bash
# Prints the client's accessibility tree as a screen reader gets it over AT-SPI: runs the client
# (simulated dialer, no service) under Xvfb, with a session bus and an accessibility bus of their
# own, and dumps the tree with tools/atspi_tree.py.
# Usage: scripts/atspi-tree.sh [BUILD_DIR]   Needs: xvfb, at-spi2-core, python3-pyatspi.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/client" "$work/home"
chmod 700 "$work/home"
cp "$build/tunvik" "$work/client/tunvik"
export WORK="$work"
dbus-run-session -- bash -c '
  set -euo pipefail
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$WORK/display" 2> /dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$WORK/display")"
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TUNVIK_DIALER=sim \
    TUNVIK_API_BASE=https://127.0.0.1:9/api/ HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home" \
    XDG_RUNTIME_DIR="$WORK/home" "$WORK/client/tunvik" 2> "$WORK/client.log" &
  client=$!
  sleep 3
  status=0
  /usr/bin/python3 tools/atspi_tree.py tunvik || status=$?
  kill "$client" "$xvfb" 2> /dev/null || true
  wait 2> /dev/null || true
  exit $status
'
