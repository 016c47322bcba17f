#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Tunvik need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libjsoncpp-dev libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  fonts-wqy-microhei xvfb xauth imagemagick iproute2 python3 procps
  libnm-dev  # the NetworkManager dialer
  # NetworkManager and its VPN plugins: the dialer's tests run a NetworkManager of their own
  network-manager network-manager-l2tp network-manager-pptp dbus
  # polkit decides there what a user other than root may ask of NetworkManager; util-linux's
  # nsenter and setpriv run the client as such a user in the test's namespace
  polkitd util-linux
  # The Debian package: its icons (drawn by the program, written as SVG too), CPack's computed
  # dependencies, and its checks: lintian, the menu entry, the AppStream data, and the installed
  # client clicked on a virtual display
  qt6-svg-dev dpkg-dev file binutils lintian desktop-file-utils appstream fontconfig xdotool
  # fuzzing: clang with libFuzzer and the sanitizer runtimes (the fuzz stage of scripts/test.sh)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The tests run a NetworkManager of their own in a namespace; installing the packages must not
# start the machine's own NetworkManager, VPN or bus daemons. A policy-rc.d that refuses every
# start keeps them stopped during the install (its absence afterwards restores the default).
guard=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
  guard=/usr/sbin/policy-rc.d
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$guard" > /dev/null
  $sudo chmod 0755 "$guard"
  trap '$sudo rm -f "$guard"' EXIT
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

# On a machine that boots with systemd, daemons new to it stay off at the next boot too.
if [ -d /run/systemd/system ] && printf '%s\n' "${missing[@]}" | grep -qx network-manager; then
  for unit in NetworkManager.service NetworkManager-wait-online.service \
              NetworkManager-dispatcher.service strongswan-starter.service xl2tpd.service \
              polkit.service; do
    $sudo systemctl disable "$unit" > /dev/null 2>&1 || true
  done
fi
