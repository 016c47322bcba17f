#!/usr/bin/env bash
# The client's main job on this machine: installs what is missing, builds, starts the stand-in
# service on loopback and the client with the simulated dialer, the demo account filled in.
#
# With a display the window opens and the rest is yours: pick a server on the first page and
# click "连 接". Without one the client runs on a virtual display (Xvfb), connects by itself with
# the demo account, every new status-line text is printed as it appears, and a screenshot of the
# connected window is saved as out/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build

out="$PWD/out"
mkdir -p "$out"

# The stand-in service, on free ports of the loopback interface, for as long as the demo runs.
service_log="$out/service.log"
build/src/service/tunvik-service --data "$out/service-data" \
  --api-port 0 --web-port 0 --update-port 0 > "$service_log" 2>&1 &
service_pid=$!
trap 'kill $service_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  grep -q '^ready$' "$service_log" && break
  kill -0 $service_pid 2>/dev/null || { cat "$service_log"; exit 1; }
  sleep 0.1
done
grep -q '^ready$' "$service_log" || { echo "the stand-in service did not start"; exit 1; }
while read -r _ assignment; do
  export "${assignment?}"
done < <(grep '^  export TUNVIK_' "$service_log")
export TUNVIK_DIALER=sim
echo "Stand-in service: $TUNVIK_API_BASE (log: $service_log)"

# Places the client under its release name in folder $1, with the demo account in its settings
# file (and $2 appended to the file's [HostConfig] section on its first start).
place_client() {
  mkdir -p "$1"
  install -m 0755 build/tunvik "$1/Quoril_10.6"
  if [ ! -f "$1/XolConfig.ini" ]; then
    printf '[AccountConfig]\nAccount=demo\nPassword=demo123\n[HostConfig]\n%b' "${2:-}" \
      > "$1/XolConfig.ini"
    chmod 0600 "$1/XolConfig.ini"
  fi
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  place_client "$out/client"
  echo "Starting the client. Pick a server on the first page, then click 连 接."
  "$out/client/Quoril_10.6"
  exit 0
fi

echo "No display found: running the client on a virtual display (Xvfb)."
echo "It connects by itself with the demo account (demo / demo123) to server 1."
place_client "$out/headless" 'XOLNO=1\nHost=127.0.0.1\nAutoConnect=1\n'
screen="$out/screenshot.png"
rm -f "$screen"
export TUNVIK_DEMO_SCREEN="$screen" TUNVIK_DEMO_CLIENT="$out/headless/Quoril_10.6"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  log=$(mktemp)
  "$TUNVIK_DEMO_CLIENT" 2> >(tee "$log" >&2) &
  client=$!
  for _ in $(seq 1 300); do
    grep -q "服务器连接成功" "$log" && break
    kill -0 $client 2>/dev/null || break
    sleep 0.1
  done
  if grep -q "服务器连接成功" "$log"; then
    sleep 0.5
    import -window root "$TUNVIK_DEMO_SCREEN" 2>/dev/null || true
  else
    echo "the client did not connect within 30 seconds" >&2
  fi
  kill $client 2>/dev/null || true
  wait $client 2>/dev/null || true
  rm -f "$log"
'
if [ -f "$screen" ]; then
  echo "Screenshot of the connected window: $screen"
else
  exit 1
fi
