// How NetworkManager's account of a VPN dial becomes what the dialer understands: NM's VPN
// connection states become remote-access connection states, and the reason why an activation
// failed, or why NM refused to start one, becomes a remote-access error code. The mapping is one
// table (nm_dial_states.cpp); NmDialProgress applies it to the events of one dial.
#pragma once

#include <optional>
#include <string_view>

namespace vpn {

// NetworkManager's VPN connection states (NMVpnConnectionState, as its D-Bus API numbers them).
enum class NmVpnState : unsigned {
  kUnknown = 0,
  kPrepare = 1,
  kNeedAuth = 2,
  kConnect = 3,
  kIpConfigGet = 4,
  kActivated = 5,
  kFailed = 6,
  kDisconnected = 7,
};

// NetworkManager's active connection states (NMActiveConnectionState).
enum class NmActiveState : unsigned {
  kUnknown = 0,
  kActivating = 1,
  kActivated = 2,
  kDeactivating = 3,
  kDeactivated = 4,
};

// Why an active connection changed its state (NMActiveConnectionStateReason; NM's VPN state
// reasons carry the same numbers).
enum class NmReason : unsigned {
  kUnknown = 0,
  kNone = 1,
  kUserDisconnected = 2,
  kDeviceDisconnected = 3,
  kServiceStopped = 4,
  kIpConfigInvalid = 5,
  kConnectTimeout = 6,
  kServiceStartTimeout = 7,
  kServiceStartFailed = 8,
  kNoSecrets = 9,
  kLoginFailed = 10,
  kConnectionRemoved = 11,
  kDependencyFailed = 12,
  kDeviceRealizeFailed = 13,
  kDeviceRemoved = 14,
};

// Why a dial did not get as far as an activation.
enum class NmRefusal {
  kNotRunning,        // NetworkManager does not answer on the system bus
  kPluginMissing,     // the VPN plugin of the entry's protocol is not installed
  kNoNetwork,         // NM has no network connection to carry the VPN
  kProfileMissing,    // the entry's profile is not known (any more)
  kPermissionDenied,  // NM does not let this user activate it
  kAlreadyActive,     // the profile is being dialled already
  kNoAnswer,          // NM did not answer in time
  kInvalidProfile,    // NM found the profile's settings invalid
  kOther,
};

// The remote-access state that NM's VPN state `state` corresponds to while a dial is under way,
// or nullopt for states that are no stage of a dial (unknown, failed, disconnected).
std::optional<int> RasStateOfNmVpnState(NmVpnState state);

// The remote-access error code for a dial that NM ended with `reason` before it was connected.
// `l2tpWithIpsec` tells whether the dial was L2TP over IPsec.
unsigned RasErrorOfNmReason(NmReason reason, bool l2tpWithIpsec);

// The remote-access error code for a refused dial.
unsigned RasErrorOfRefusal(NmRefusal refusal);

// What NM's D-Bus error `errorName` (as "org.freedesktop.NetworkManager.UnknownDevice") says
// about a refused request; `ofActivation` for the answer to the activation of a known profile.
NmRefusal RefusalOfNmError(std::string_view errorName, bool ofActivation = false);

// What the dial callback is to hear: a state, or an error code.
struct DialReport {
  int state = 0;
  unsigned error = 0;  // 0: a state change
  bool operator==(const DialReport&) const = default;
};

// The course of one dial as NM tells it, turned into the callback's reports. Before the dial is
// connected, each new stage is reported once and the first end is reported as an error; once it
// is connected, or after a hang-up, nothing more is reported: the status query tells the rest,
// which is what the dialer expects of every backend.
class NmDialProgress {
 public:
  explicit NmDialProgress(bool l2tpWithIpsec) : l2tpWithIpsec_(l2tpWithIpsec) {}

  // A VpnStateChanged of the dial's active connection. Returns what to report, if anything.
  std::optional<DialReport> OnVpnState(unsigned state, unsigned reason);
  // A StateChanged of the dial's active connection (its general state).
  std::optional<DialReport> OnActiveState(unsigned state, unsigned reason);
  // NM accepted the activation: the first stage, unless one has been reported already.
  std::optional<DialReport> OnAccepted();
  // NM refused the activation, or it was not tried.
  std::optional<DialReport> OnRefused(NmRefusal refusal);
  // The active connection disappeared without telling why; `nmStopped` when NM itself went.
  std::optional<DialReport> OnVanished(bool nmStopped);
  // The dial was hung up: from now on nothing is reported.
  void OnHangUp() { hungUp_ = true; }

  // True once the connection no longer exists (the status query answers 6).
  bool Gone() const { return gone_; }
  bool Connected() const { return connected_; }
  bool HungUp() const { return hungUp_; }

 private:
  std::optional<DialReport> End(unsigned error);

  bool l2tpWithIpsec_;
  bool connected_ = false;
  bool gone_ = false;
  bool hungUp_ = false;
  std::optional<int> lastState_;
};

}  // namespace vpn
