// The NetworkManager VPN profile that stands for a phone-book entry: its plugin, its data items
// and whether the default route goes through the tunnel. Plain data, built from the entry record
// the dialer writes; the NetworkManager backend turns it into NM's settings.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "vpn/ras.h"

namespace vpn {

// A VPN plugin of NetworkManager: its D-Bus service, the protocol's name and its Debian package.
struct NmVpnPlugin {
  std::string_view service;
  std::string_view protocol;
  std::string_view package;
};

inline constexpr NmVpnPlugin kL2tpPlugin{"org.freedesktop.NetworkManager.l2tp", "L2TP",
                                         "network-manager-l2tp"};
inline constexpr NmVpnPlugin kPptpPlugin{"org.freedesktop.NetworkManager.pptp", "PPTP",
                                         "network-manager-pptp"};

// The user data key that marks the profiles this program owns; its value is the entry name.
// Profiles of the same name that the user made are never touched.
inline constexpr std::string_view kNmEntryKey = "tunvik.entry";

// Data items of the VPN setting that the backend writes (the plugins' own key names).
inline constexpr std::string_view kNmGateway = "gateway";
inline constexpr std::string_view kNmUser = "user";
inline constexpr std::string_view kNmDomain = "domain";
inline constexpr std::string_view kNmPasswordFlags = "password-flags";
inline constexpr std::string_view kNmPassword = "password";  // the secret
inline constexpr std::string_view kNmIpsecEnabled = "ipsec-enabled";

struct NmProfile {
  std::string id;  // the entry name, UTF-8
  const NmVpnPlugin* plugin = &kL2tpPlugin;
  std::map<std::string, std::string> data;  // UTF-8
  bool neverDefault = false;                // true: no default route through the tunnel
};

// The plugin that dials entries of the strategy `vpnStrategy`: PPTP for the PPTP strategies,
// L2TP otherwise.
const NmVpnPlugin& PluginOfStrategy(std::uint32_t vpnStrategy);

// The plugin whose D-Bus service is `service`, or null.
const NmVpnPlugin* PluginOfService(std::string_view service);

// Builds the profile for `entry`: the gateway is the entry's server address; the options ask for
// what the entry asks (CHAP and MS-CHAP v2 when it requires them, PAP and EAP refused, MPPE as its
// encryption type says, the default route through the tunnel with RASEO_RemoteDefaultGateway);
// L2TP runs over IPsec unless `prohibitIpSec`. Returns nullopt when the server address cannot be
// a gateway (empty, or holding blanks, control or non-ASCII characters).
std::optional<NmProfile> MakeNmProfile(const RasEntry& entry, bool prohibitIpSec);

// Returns true when the GBK text may be stored as a user name, password or domain: it holds no
// control characters, which the plugins would pass on into pppd's options.
bool IsStorableCredential(std::string_view gbk);

}  // namespace vpn
