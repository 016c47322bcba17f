// The NetworkManager backend of the remote-access layer: real L2TP and PPTP dials on a Linux
// desktop, through NetworkManager and its VPN plugins (network-manager-l2tp,
// network-manager-pptp).
//
// A phone-book entry is a VPN profile of NetworkManager named after it and marked as this
// program's (see nm_profile.h); writing the entry again updates that profile, deleting it removes
// it, and profiles the user made are never touched. A dial activates the profile; NM's VPN states
// reach the dial callback as remote-access states, and a dial that fails or that NM refuses as a
// remote-access error code with a text that explains it (nm_dial_states.h). The backend talks to
// NetworkManager over a bus connection of its own from a GLib main loop on a thread of its own,
// and calls the dial callback on that thread.
#pragma once

#include <memory>
#include <string>

#include "vpn/ras.h"

namespace vpn {

class NmRasBackend : public RasBackend {
 public:
  struct Options {
    std::string busAddress;     // D-Bus address of NetworkManager's bus; empty: the system bus
    std::string pluginFolder;   // folder of NM's VPN plugin name files; empty: NM's own folders
    int callTimeoutMs = 25000;  // how long one request to NetworkManager may take
  };

  NmRasBackend();
  explicit NmRasBackend(Options options);
  ~NmRasBackend() override;

  // Writes the entry as its VPN profile (adds it, or updates the one this program made before).
  // Returns 0, 711 when NetworkManager or the protocol's plugin is missing, 87 for a server
  // address that cannot be a gateway, 5 when NM does not allow it, 624 for other refusals.
  unsigned SetEntryProperties(const RasEntry& entry) override;
  // Stores user name, domain and password with the entry's profile (the password with secret
  // flags 0). Returns 0, 623 without the profile, 87 for control characters, or as above.
  unsigned SetEntryDialParams(const RasDialParams& params) override;
  // Activates the entry's profile with the credentials of `params`. Returns 0 once the dial has
  // been handed to NetworkManager, or 623 when the entry has no profile, 87 for unusable
  // credentials. Everything else is reported through `callback` as an error, so that its text
  // reaches the user: a missing NetworkManager or plugin (also when the entry could not be
  // written for want of one), NM's refusal of the activation, and the dial's failure.
  unsigned Dial(const RasDialParams& params, DialCallback callback,
                ConnectionHandle* handle) override;
  // 0 while the dial's active connection exists, 6 once it is gone (or the handle is unknown).
  unsigned GetConnectStatus(ConnectionHandle handle) override;
  // Deactivates the connection; no callback follows. Returns 0 (also when the connection has
  // already gone), 6 for an unknown handle, or the code of NM's refusal.
  unsigned HangUp(ConnectionHandle handle) override;
  // Removes the profiles this program made for the entry. Returns 0, 623 when there was none.
  unsigned DeleteEntry(const std::string& entryName) override;
  // The text for a code: what the backend found out about its most recent report of that code,
  // else the common remote-access text.
  std::string GetErrorString(unsigned code) override;
  // Tells as soon as NetworkManager reports the connection deactivated, failed or gone.
  void NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Returns true when NetworkManager owns its name on the system bus (or on the bus at
// `busAddress`). Never fails: a bus that is missing or does not answer within a few seconds
// reads as false.
bool NetworkManagerAnswers(const std::string& busAddress = {});

}  // namespace vpn
