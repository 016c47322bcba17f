#!/usr/bin/env bash
# A NetworkManager of the tests' own: run inside new network and mount namespaces
# (unshare --net --mount), it starts a private system bus and NetworkManager with the keyfile
# plugin on folders under DIR, gives it one veth link with a default route, writes DIR/ready and
# runs until it is told to stop (SIGTERM), when it stops NetworkManager and the bus. With a folder
# DIR/polkit-rules it runs polkit too (see below).
#
# Nothing of the machine is touched: the links exist only in the new network namespace; /run,
# NetworkManager's state folder and the IPsec secrets that the L2TP plugin writes are private
# mounts of the new mount namespace; the bus socket and all configuration live in DIR.
# Usage: nm_sandbox.sh DIR
set -euo pipefail
dir="$1"
mkdir -p "$dir/connections" "$dir/empty" "$dir/state"

# This namespace's own devices, read-only, so that NetworkManager takes them without udev.
mount -n -t sysfs -o ro sysfs /sys
mount -n -t tmpfs -o mode=0755 tmpfs /run
if [ -d /var/lib/NetworkManager ]; then
  mount -n -t tmpfs -o mode=0700 tmpfs /var/lib/NetworkManager
else
  mount -n -t tmpfs tmpfs /var/lib
  mkdir -m 0700 /var/lib/NetworkManager
fi
if [ -d /etc/ipsec.d ]; then mount -n -t tmpfs tmpfs /etc/ipsec.d; fi
if [ -f /etc/ipsec.secrets ]; then
  cp /etc/ipsec.secrets "$dir/ipsec.secrets"
  mount -n --bind "$dir/ipsec.secrets" /etc/ipsec.secrets
fi

ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.99.0.1/24 dev v1
ip link set v1 up

# The system bus's own rules: every service's policy file is read, so a caller other than root
# may do on this bus exactly what it may do on a real system bus (NetworkManager's policy lets
# anyone call most of its methods and leaves the decision to polkit). Root may do anything, so
# that the sandbox's own tools and the tests running as root are not held up.
cat > "$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
    <deny send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"
          send_member="UpdateActivationEnvironment"/>
    <deny send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Debug.Stats"/>
  </policy>
  <policy user="root">
    <allow own="*"/>
    <allow send_destination="*"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
  <includedir>/etc/dbus-1/system.d</includedir>
</busconfig>
EOF

cat > "$dir/NetworkManager.conf" <<EOF
[main]
plugins=keyfile
no-auto-default=*
dhcp=internal
[keyfile]
path=$dir/connections
unmanaged-devices=interface-name:v1
[connectivity]
enabled=false
EOF

bus_pid=""
nm_pid=""
polkit_pid=""
stop() {
  local status=$?
  trap - TERM INT EXIT
  if [ -n "$nm_pid" ]; then kill -TERM "$nm_pid" 2>/dev/null || true; wait "$nm_pid" 2>/dev/null || true; fi
  if [ -n "$polkit_pid" ]; then kill -TERM "$polkit_pid" 2>/dev/null || true; wait "$polkit_pid" 2>/dev/null || true; fi
  if [ -n "$bus_pid" ]; then kill -TERM "$bus_pid" 2>/dev/null || true; wait "$bus_pid" 2>/dev/null || true; fi
  exit "$status"
}
trap stop TERM INT EXIT

dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$dir/bus.log" 2>&1 &
bus_pid=$!
for _ in $(seq 100); do [ -S "$dir/bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus"

# With DIR/polkit-rules, polkit decides for NetworkManager as on a real system: the machine's
# actions and rules, and in place of the machine's own local rules those of that folder. There
# is no login manager here, so no caller has an active session: a caller other than root gets
# what a rule of the folder grants, nothing else.
if [ -d "$dir/polkit-rules" ]; then
  if [ ! -x /usr/lib/polkit-1/polkitd ]; then echo "polkitd is not installed" >&2; exit 1; fi
  chmod 0755 "$dir/polkit-rules"
  mount -n --bind "$dir/polkit-rules" /etc/polkit-1/rules.d
  /usr/lib/polkit-1/polkitd --no-debug >"$dir/polkit.log" 2>&1 &
  polkit_pid=$!
  for _ in $(seq 100); do
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.PolicyKit1 2>/dev/null |
      grep -q 'boolean true' && break
    sleep 0.1
  done
fi

NetworkManager --no-daemon --debug --log-level=INFO --config="$dir/NetworkManager.conf" \
  --config-dir="$dir/empty" --system-config-dir="$dir/empty" \
  --intern-config="$dir/state/intern.conf" --state-file="$dir/state/NetworkManager.state" \
  --pid-file=/run/NetworkManager.pid >"$dir/nm.log" 2>&1 &
nm_pid=$!
for _ in $(seq 200); do
  [ "$(nmcli -t -f RUNNING general 2>/dev/null)" = running ] && break
  sleep 0.1
done

nmcli connection add type ethernet ifname v0 con-name base ipv4.method manual \
  ipv4.addresses 10.99.0.2/24 ipv4.gateway 10.99.0.1 ipv6.method disabled >"$dir/base.log" 2>&1
nmcli --wait 30 connection up base >>"$dir/base.log" 2>&1
touch "$dir/ready"
wait "$nm_pid"
