// NetworkManager's side of the offline action: networking as a whole switched off and on
// through NM's D-Bus interface, which an active desktop session may do without administrator
// rights (polkit's org.freedesktop.NetworkManager.enable-disable-network).
//
// Why networking as a whole rather than each device (Device.Disconnect, autoconnect off): only
// disabled networking takes NM's links down in the kernel (a disconnected device stays up, ready
// for the next lease or router advertisement); NM keeps the state in its own state file, so no
// profile, no device that appears later (a USB adapter, a Wi-Fi network in range) and no restart
// of NM or of the machine brings a link back until networking is enabled again; it changes none
// of the user's profiles, so nothing is left behind if the client ends; and the desktop shows
// "networking disabled", which the user can undo there too. Links NM leaves up (those it does
// not manage, and those configured by other tools, which it only stops configuring) are left to
// `ip link`.
#pragma once

#include <memory>
#include <string>

namespace hosttools {

class NetworkManagerLinks {
 public:
  // Connects to NetworkManager on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the system's
  // default). Returns null when there is no bus or NM does not run there.
  static std::unique_ptr<NetworkManagerLinks> Connect();
  ~NetworkManagerLinks();
  NetworkManagerLinks(const NetworkManagerLinks&) = delete;
  NetworkManagerLinks& operator=(const NetworkManagerLinks&) = delete;

  // Switches networking off, unless it is off already. Returns true when networking is off now;
  // false when NM refused (no right) or did not answer.
  bool SwitchOff();
  // Switches networking on, unless it is on already. Returns true when networking is on now.
  bool SwitchOn();
  // True while NM manages the link `name` (its device is in a state above "unmanaged"): NM is
  // still taking it down after SwitchOff, or will bring it up after SwitchOn.
  bool Manages(const std::string& name);

 private:
  struct Impl;
  explicit NetworkManagerLinks(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace hosttools
