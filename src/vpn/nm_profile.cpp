#include "vpn/nm_profile.h"

#include "text/gbk.h"

namespace vpn {
namespace {

// Encryption types of the entry record.
constexpr std::uint32_t ET_Require = 1;
constexpr std::uint32_t ET_RequireMax = 2;
constexpr std::uint32_t VS_PptpFirst = 2;

bool IsUsableGateway(std::string_view address) {
  if (address.empty()) return false;
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F) return false;
  }
  return true;
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

}  // namespace

const NmVpnPlugin& PluginOfStrategy(std::uint32_t vpnStrategy) {
  return vpnStrategy == VS_PptpOnly || vpnStrategy == VS_PptpFirst ? kPptpPlugin : kL2tpPlugin;
}

const NmVpnPlugin* PluginOfService(std::string_view service) {
  if (service == kL2tpPlugin.service) return &kL2tpPlugin;
  if (service == kPptpPlugin.service) return &kPptpPlugin;
  return nullptr;
}

std::optional<NmProfile> MakeNmProfile(const RasEntry& entry, bool prohibitIpSec) {
  if (!IsUsableGateway(entry.localPhoneNumber)) return std::nullopt;
  NmProfile profile;
  profile.id = text::GbkToUtf8(entry.entryName);
  profile.plugin = &PluginOfStrategy(entry.vpnStrategy);
  auto& data = profile.data;
  data[std::string(kNmGateway)] = entry.localPhoneNumber;

  // Either required method is enough; with neither required, whatever the server offers is taken.
  const bool chap = (entry.options & RASEO_RequireCHAP) != 0;
  const bool msChapV2 = (entry.options & RASEO_RequireMsEncryptedPw) != 0;
  if (chap || msChapV2) {
    data["refuse-pap"] = "yes";
    data["refuse-eap"] = "yes";
    data["refuse-mschap"] = "yes";
    data["refuse-chap"] = YesNo(!chap);
    data["refuse-mschapv2"] = YesNo(!msChapV2);
  }
  if (entry.encryptionType == ET_Require) data["require-mppe"] = "yes";
  if (entry.encryptionType == ET_RequireMax) data["require-mppe-128"] = "yes";
  if (profile.plugin == &kL2tpPlugin) data[std::string(kNmIpsecEnabled)] = YesNo(!prohibitIpSec);
  // The password is stored with the profile, readable by NetworkManager alone.
  data[std::string(kNmPasswordFlags)] = "0";

  profile.neverDefault = (entry.options & RASEO_RemoteDefaultGateway) == 0;
  return profile;
}

bool IsStorableCredential(std::string_view gbk) {
  for (char c : gbk) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace vpn
