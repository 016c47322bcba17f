// The NetworkManager backend's own state handling: NM's VPN states, reasons and refusals, fed in
// as NM sends them, and what the dial callback hears.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vpn/nm_dial_states.h"
#include "vpn/ras.h"

namespace vpn {
// How a failed expectation shows a report.
void PrintTo(const DialReport& r, std::ostream* out) {
  *out << "{state " << r.state << ", error " << r.error << "}";
}
}  // namespace vpn

namespace {

using vpn::DialReport;
using vpn::NmActiveState;
using vpn::NmReason;
using vpn::NmRefusal;
using vpn::NmVpnState;

struct Event {
  enum Kind { kAccepted, kVpn, kActive, kRefused, kVanished, kHangUp } kind;
  unsigned a = 0;
  unsigned b = 0;
};

Event Vpn(NmVpnState state, NmReason reason = NmReason::kNone) {
  return {Event::kVpn, static_cast<unsigned>(state), static_cast<unsigned>(reason)};
}
Event Active(NmActiveState state, NmReason reason) {
  return {Event::kActive, static_cast<unsigned>(state), static_cast<unsigned>(reason)};
}
Event Refused(NmRefusal refusal) {
  return {Event::kRefused, static_cast<unsigned>(refusal)};
}
Event Vanished(bool nmStopped) {
  return {Event::kVanished, nmStopped ? 1u : 0u};
}
Event HangUp() {
  return {Event::kHangUp};
}
Event Accepted() {
  return {Event::kAccepted};
}

DialReport State(int state) {
  return {state, 0};
}
DialReport Error(unsigned code) {
  return {0, code};
}

struct Case {
  std::string name;
  bool l2tpWithIpsec;
  std::vector<Event> events;
  std::vector<DialReport> reports;
  bool gone;
};

TEST(NmDialStates, EventsBecomeWhatTheDialCallbackHears) {
  const std::vector<Case> cases = {
      {"a dial that connects passes each stage once",
       false,
       {Accepted(), Vpn(NmVpnState::kPrepare), Vpn(NmVpnState::kNeedAuth),
        Vpn(NmVpnState::kConnect), Vpn(NmVpnState::kConnect), Vpn(NmVpnState::kIpConfigGet),
        Vpn(NmVpnState::kActivated), Active(NmActiveState::kActivated, NmReason::kNone)},
       {State(vpn::RASCS_OpenPort), State(vpn::RASCS_PortOpened), State(vpn::RASCS_ConnectDevice),
        State(vpn::RASCS_Authenticated), State(vpn::RASCS_Connected)},
       false},
      {"a refused login is 691, once",
       false,
       {Vpn(NmVpnState::kConnect), Vpn(NmVpnState::kFailed, NmReason::kLoginFailed),
        Vpn(NmVpnState::kDisconnected, NmReason::kLoginFailed),
        Active(NmActiveState::kDeactivated, NmReason::kLoginFailed)},
       {State(vpn::RASCS_ConnectDevice), Error(691)},
       true},
      {"no password stored is a refused login too",
       false,
       {Vpn(NmVpnState::kNeedAuth), Vpn(NmVpnState::kFailed, NmReason::kNoSecrets)},
       {State(vpn::RASCS_PortOpened), Error(691)},
       true},
      {"a plugin's plain connect failure (no answer, tunnel refused) is 800",
       false,
       {Accepted(), Vpn(NmVpnState::kConnect), Vpn(NmVpnState::kFailed, NmReason::kUnknown)},
       {State(vpn::RASCS_OpenPort), State(vpn::RASCS_ConnectDevice), Error(800)},
       true},
      {"the same failure told as the plugin having stopped",
       false,
       {Vpn(NmVpnState::kConnect), Active(NmActiveState::kDeactivated, NmReason::kServiceStopped),
        Vpn(NmVpnState::kDisconnected, NmReason::kServiceStopped)},
       {State(vpn::RASCS_ConnectDevice), Error(800)},
       true},
      {"NM's own time-out is 678",
       false,
       {Vpn(NmVpnState::kFailed, NmReason::kConnectTimeout)},
       {Error(678)},
       true},
      {"L2TP over IPsec that cannot start is the security layer's 789",
       true,
       {Vpn(NmVpnState::kPrepare), Vpn(NmVpnState::kFailed, NmReason::kServiceStartFailed)},
       {State(vpn::RASCS_OpenPort), Error(789)},
       true},
      {"L2TP over IPsec without a key for the IPsec layer is 789 too",
       true,
       {Vpn(NmVpnState::kNeedAuth), Vpn(NmVpnState::kFailed, NmReason::kNoSecrets)},
       {State(vpn::RASCS_PortOpened), Error(789)},
       true},
      {"the same start failure without IPsec is 800",
       false,
       {Vpn(NmVpnState::kFailed, NmReason::kServiceStartFailed)},
       {Error(800)},
       true},
      {"unusable addresses are 720",
       false,
       {Vpn(NmVpnState::kIpConfigGet), Vpn(NmVpnState::kFailed, NmReason::kIpConfigInvalid)},
       {State(vpn::RASCS_Authenticated), Error(720)},
       true},
      {"a link that goes away once connected reports nothing more",
       false,
       {Vpn(NmVpnState::kActivated), Vpn(NmVpnState::kFailed, NmReason::kServiceStopped),
        Vpn(NmVpnState::kDisconnected, NmReason::kServiceStopped)},
       {State(vpn::RASCS_Connected)},
       true},
      {"a dial hung up on the way ends quietly",
       false,
       {Vpn(NmVpnState::kConnect), HangUp(), Vpn(NmVpnState::kIpConfigGet),
        Vpn(NmVpnState::kDisconnected, NmReason::kUserDisconnected)},
       {State(vpn::RASCS_ConnectDevice)},
       true},
      {"deactivated by someone else on the way is 631",
       false,
       {Vpn(NmVpnState::kConnect), Vpn(NmVpnState::kDisconnected, NmReason::kUserDisconnected)},
       {State(vpn::RASCS_ConnectDevice), Error(631)},
       true},
      {"an activation that ends before its VPN part said anything",
       false,
       {Active(NmActiveState::kActivating, NmReason::kNone),
        Active(NmActiveState::kDeactivated, NmReason::kDependencyFailed)},
       {Error(807)},
       true},
      {"no network to carry the VPN", false, {Refused(NmRefusal::kNoNetwork)}, {Error(800)}, true},
      {"a missing plugin",
       false,
       {Refused(NmRefusal::kPluginMissing)},
       {Error(vpn::ERROR_NO_VPN_BACKEND)},
       true},
      {"NetworkManager going away on the way",
       false,
       {Vpn(NmVpnState::kConnect), Vanished(true), Vpn(NmVpnState::kFailed)},
       {State(vpn::RASCS_ConnectDevice), Error(vpn::ERROR_NO_VPN_BACKEND)},
       true},
      {"an active connection vanishing without a word",
       false,
       {Vpn(NmVpnState::kPrepare), Vanished(false)},
       {State(vpn::RASCS_OpenPort), Error(800)},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vpn::NmDialProgress progress(c.l2tpWithIpsec);
    std::vector<DialReport> reports;
    for (const Event& e : c.events) {
      std::optional<DialReport> report;
      switch (e.kind) {
        case Event::kAccepted:
          report = progress.OnAccepted();
          break;
        case Event::kVpn:
          report = progress.OnVpnState(e.a, e.b);
          break;
        case Event::kActive:
          report = progress.OnActiveState(e.a, e.b);
          break;
        case Event::kRefused:
          report = progress.OnRefused(static_cast<NmRefusal>(e.a));
          break;
        case Event::kVanished:
          report = progress.OnVanished(e.a != 0);
          break;
        case Event::kHangUp:
          progress.OnHangUp();
          break;
      }
      if (report) reports.push_back(*report);
    }
    EXPECT_EQ(reports, c.reports);
    EXPECT_EQ(progress.Gone(), c.gone);
  }
}

TEST(NmDialStates, NetworkManagersErrorsTellWhyADialWasRefused) {
  const std::vector<std::pair<std::string, NmRefusal>> cases = {
      {"org.freedesktop.NetworkManager.UnknownDevice", NmRefusal::kNoNetwork},
      {"org.freedesktop.NetworkManager.PermissionDenied", NmRefusal::kPermissionDenied},
      {"org.freedesktop.NetworkManager.MissingPlugin", NmRefusal::kPluginMissing},
      {"org.freedesktop.DBus.Error.NoReply", NmRefusal::kNoAnswer},
      {"org.freedesktop.DBus.Error.ServiceUnknown", NmRefusal::kNotRunning},
      {"", NmRefusal::kOther},
      {"org.example.Unheard", NmRefusal::kOther},
  };
  for (const auto& [name, refusal] : cases) {
    EXPECT_EQ(vpn::RefusalOfNmError(name), refusal) << name;
  }
  // Activating a profile that exists, NM's "unknown connection" is the missing network under it.
  EXPECT_EQ(vpn::RefusalOfNmError("org.freedesktop.NetworkManager.UnknownConnection"),
            NmRefusal::kProfileMissing);
  EXPECT_EQ(vpn::RefusalOfNmError("org.freedesktop.NetworkManager.UnknownConnection", true),
            NmRefusal::kNoNetwork);
  EXPECT_EQ(vpn::RasErrorOfRefusal(NmRefusal::kPermissionDenied), 5u);
  EXPECT_EQ(vpn::RasErrorOfRefusal(NmRefusal::kAlreadyActive), 756u);
}

}  // namespace
