#include "vpn/nm_dial_states.h"

#include "vpn/ras.h"

namespace vpn {
namespace {

enum class Source {
  kVpnState,         // a stage of the dial: NM VPN state -> RAS state
  kReason,           // the end of a dial before it was connected: NM reason -> RAS error
  kReasonL2tpIpsec,  // the same for L2TP over IPsec, where it differs
  kRefusal,          // a dial that never became an activation -> RAS error
};

struct Row {
  Source source;
  unsigned nm;
  unsigned ras;
};

constexpr unsigned N(NmVpnState s) {
  return static_cast<unsigned>(s);
}
constexpr unsigned N(NmReason r) {
  return static_cast<unsigned>(r);
}
constexpr unsigned N(NmRefusal r) {
  return static_cast<unsigned>(r);
}

// The whole mapping between NetworkManager and the remote-access codes.
//
// What NetworkManager does not tell apart:
// - Its VPN states are coarser than the remote-access stages. "connect" covers reaching the
//   server, the tunnel and the PPP login alike, so no separate "authenticate" stage is seen;
//   the plugins report the IP configuration only after PPP has logged in, which is why
//   "ip-config-get" stands for "authentication complete".
// - The L2TP and PPTP plugins end a dial that fails on the way with one "connect failed",
//   which NM passes on with reason "unknown", or, when the plugin has quit before NM has taken
//   the failure in, with "service stopped": a server that does not answer, one that refuses the
//   tunnel and a PPP negotiation that breaks down all arrive so, and become 800. Only a refused
//   PPP login (691), a time-out NM counts itself (678) and unusable addresses (720) arrive with
//   reasons of their own.
// - NM exports an activation only once it is under way, so its "prepare" state is rarely seen;
//   the accepted activation itself stands for the first stage (RASCS_OpenPort).
// - L2TP over IPsec fails in its security layer in two ways, both taken for 789, which is what
//   the 789 repair (L2TP without IPsec) is for. The entry carries no pre-shared key and no
//   machine certificate is configured, so the L2TP plugin asks NM for a key; with no secret agent
//   to give it, NM reports "no secrets", just as it would for a missing password (which the backend
//   always stores). And the plugin sets up IPsec while NM starts it, refusing to start when the
//   IPsec layer cannot be established, which NM reports as "service start failed", as it does for
//   other start failures (an unresolvable gateway, xl2tpd missing).
constexpr Row kMapping[] = {
    {Source::kVpnState, N(NmVpnState::kPrepare), RASCS_OpenPort},
    {Source::kVpnState, N(NmVpnState::kNeedAuth), RASCS_PortOpened},  // stored secrets read
    {Source::kVpnState, N(NmVpnState::kConnect), RASCS_ConnectDevice},
    {Source::kVpnState, N(NmVpnState::kIpConfigGet), RASCS_Authenticated},
    {Source::kVpnState, N(NmVpnState::kActivated), RASCS_Connected},

    {Source::kReason, N(NmReason::kUnknown), 800},
    {Source::kReason, N(NmReason::kNone), 800},
    {Source::kReason, N(NmReason::kUserDisconnected), 631},  // someone else deactivated it
    {Source::kReason, N(NmReason::kDeviceDisconnected), 807},
    {Source::kReason, N(NmReason::kServiceStopped), 800},
    {Source::kReason, N(NmReason::kIpConfigInvalid), 720},
    {Source::kReason, N(NmReason::kConnectTimeout), 678},
    {Source::kReason, N(NmReason::kServiceStartTimeout), 711},
    {Source::kReason, N(NmReason::kServiceStartFailed), 800},
    {Source::kReasonL2tpIpsec, N(NmReason::kServiceStartFailed), 789},
    {Source::kReason, N(NmReason::kNoSecrets), 691},           // no password stored with the entry
    {Source::kReasonL2tpIpsec, N(NmReason::kNoSecrets), 789},  // no IPsec key
    {Source::kReason, N(NmReason::kLoginFailed), 691},
    {Source::kReason, N(NmReason::kConnectionRemoved), 623},
    {Source::kReason, N(NmReason::kDependencyFailed), 807},
    {Source::kReason, N(NmReason::kDeviceRealizeFailed), 633},
    {Source::kReason, N(NmReason::kDeviceRemoved), 807},

    {Source::kRefusal, N(NmRefusal::kNotRunning), ERROR_NO_VPN_BACKEND},
    {Source::kRefusal, N(NmRefusal::kPluginMissing), ERROR_NO_VPN_BACKEND},
    {Source::kRefusal, N(NmRefusal::kNoNetwork), 800},
    {Source::kRefusal, N(NmRefusal::kProfileMissing), 623},
    {Source::kRefusal, N(NmRefusal::kPermissionDenied), 5},
    {Source::kRefusal, N(NmRefusal::kAlreadyActive), 756},
    {Source::kRefusal, N(NmRefusal::kNoAnswer), ERROR_NO_VPN_BACKEND},
    {Source::kRefusal, N(NmRefusal::kInvalidProfile), 87},
    {Source::kRefusal, N(NmRefusal::kOther), 800},
};

// NM's D-Bus errors and the refusal each stands for. "Could not find source connection" (no
// network to carry the VPN) arrives as UnknownDevice; a profile that cannot be activated now
// as ConnectionNotAvailable, which NM also uses when a device is missing.
struct ErrorRow {
  std::string_view name;
  NmRefusal refusal;
};
// An activation of a profile that exists refused as UnknownConnection is NM saying "Could not
// find source connection": there is no network for the VPN to go over.
constexpr ErrorRow kActivationErrors[] = {
    {"org.freedesktop.NetworkManager.UnknownConnection", NmRefusal::kNoNetwork},
};
constexpr ErrorRow kErrors[] = {
    {"org.freedesktop.NetworkManager.PermissionDenied", NmRefusal::kPermissionDenied},
    {"org.freedesktop.NetworkManager.Settings.PermissionDenied", NmRefusal::kPermissionDenied},
    {"org.freedesktop.DBus.Error.AccessDenied", NmRefusal::kPermissionDenied},
    {"org.freedesktop.NetworkManager.UnknownDevice", NmRefusal::kNoNetwork},
    {"org.freedesktop.NetworkManager.ConnectionNotAvailable", NmRefusal::kNoNetwork},
    {"org.freedesktop.NetworkManager.DependencyFailed", NmRefusal::kNoNetwork},
    {"org.freedesktop.NetworkManager.UnknownConnection", NmRefusal::kProfileMissing},
    {"org.freedesktop.NetworkManager.Settings.InvalidConnection", NmRefusal::kInvalidProfile},
    {"org.freedesktop.NetworkManager.Settings.InvalidSetting", NmRefusal::kInvalidProfile},
    {"org.freedesktop.NetworkManager.Settings.InvalidProperty", NmRefusal::kInvalidProfile},
    {"org.freedesktop.NetworkManager.InvalidArguments", NmRefusal::kInvalidProfile},
    {"org.freedesktop.NetworkManager.MissingPlugin", NmRefusal::kPluginMissing},
    {"org.freedesktop.NetworkManager.ConnectionAlreadyActive", NmRefusal::kAlreadyActive},
    {"org.freedesktop.DBus.Error.ServiceUnknown", NmRefusal::kNotRunning},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", NmRefusal::kNotRunning},
    {"org.freedesktop.DBus.Error.UnknownObject", NmRefusal::kProfileMissing},
    {"org.freedesktop.DBus.Error.UnknownMethod", NmRefusal::kProfileMissing},
    {"org.freedesktop.DBus.Error.NoReply", NmRefusal::kNoAnswer},
    {"org.freedesktop.DBus.Error.Timeout", NmRefusal::kNoAnswer},
    {"org.freedesktop.DBus.Error.TimedOut", NmRefusal::kNoAnswer},
};

constexpr unsigned kFallbackError = 800;

std::optional<unsigned> Lookup(Source source, unsigned nm) {
  for (const Row& row : kMapping) {
    if (row.source == source && row.nm == nm) return row.ras;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> RasStateOfNmVpnState(NmVpnState state) {
  std::optional<unsigned> ras = Lookup(Source::kVpnState, N(state));
  if (!ras) return std::nullopt;
  return static_cast<int>(*ras);
}

unsigned RasErrorOfNmReason(NmReason reason, bool l2tpWithIpsec) {
  if (l2tpWithIpsec) {
    if (auto ras = Lookup(Source::kReasonL2tpIpsec, N(reason))) return *ras;
  }
  return Lookup(Source::kReason, N(reason)).value_or(kFallbackError);
}

unsigned RasErrorOfRefusal(NmRefusal refusal) {
  return Lookup(Source::kRefusal, N(refusal)).value_or(kFallbackError);
}

NmRefusal RefusalOfNmError(std::string_view errorName, bool ofActivation) {
  if (ofActivation) {
    for (const ErrorRow& row : kActivationErrors) {
      if (row.name == errorName) return row.refusal;
    }
  }
  for (const ErrorRow& row : kErrors) {
    if (row.name == errorName) return row.refusal;
  }
  return NmRefusal::kOther;
}

std::optional<DialReport> NmDialProgress::End(unsigned error) {
  const bool report = !gone_ && !connected_ && !hungUp_;
  gone_ = true;
  if (!report) return std::nullopt;
  return DialReport{0, error};
}

std::optional<DialReport> NmDialProgress::OnVpnState(unsigned state, unsigned reason) {
  if (gone_) return std::nullopt;
  const auto vpnState = static_cast<NmVpnState>(state);
  if (vpnState == NmVpnState::kFailed || vpnState == NmVpnState::kDisconnected) {
    return End(RasErrorOfNmReason(static_cast<NmReason>(reason), l2tpWithIpsec_));
  }
  std::optional<int> ras = RasStateOfNmVpnState(vpnState);
  if (!ras || connected_ || hungUp_ || ras == lastState_) return std::nullopt;
  lastState_ = ras;
  if (*ras == RASCS_Connected) connected_ = true;
  return DialReport{*ras, 0};
}

std::optional<DialReport> NmDialProgress::OnActiveState(unsigned state, unsigned reason) {
  // The VPN states tell the stages; of the general states only the end matters, in case NM
  // ends the activation before its VPN part has said anything.
  if (static_cast<NmActiveState>(state) != NmActiveState::kDeactivated) return std::nullopt;
  return End(RasErrorOfNmReason(static_cast<NmReason>(reason), l2tpWithIpsec_));
}

std::optional<DialReport> NmDialProgress::OnAccepted() {
  if (gone_ || hungUp_ || lastState_) return std::nullopt;
  lastState_ = RASCS_OpenPort;
  return DialReport{RASCS_OpenPort, 0};
}

std::optional<DialReport> NmDialProgress::OnRefused(NmRefusal refusal) {
  return End(RasErrorOfRefusal(refusal));
}

std::optional<DialReport> NmDialProgress::OnVanished(bool nmStopped) {
  return End(nmStopped ? RasErrorOfRefusal(NmRefusal::kNotRunning) : kFallbackError);
}

}  // namespace vpn
