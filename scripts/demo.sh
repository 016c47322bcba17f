#!/usr/bin/env bash
# Installs what is missing, builds Tunvik, places the client in out/ and starts it. Without a
# display the client runs on a virtual display (Xvfb) and a screenshot of its window is saved.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
mkdir -p out
install -m 0755 build/tunvik out/Quoril_10.6

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec out/Quoril_10.6
fi

echo "No display found: running the client on a virtual display (Xvfb) for a few seconds."
screen=out/screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  out/Quoril_10.6 & pid=$!
  sleep 4
  import -window root "'"$screen"'" || true
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
'
echo "Screenshot of the window: $screen"
