#include "vpn/nm_settings_linux.h"

#include <NetworkManager.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace vpn {
namespace {

struct ConnectionDeleter {
  void operator()(NMConnection* connection) const { g_object_unref(connection); }
};
using ConnectionPtr = std::unique_ptr<NMConnection, ConnectionDeleter>;

std::string OrEmpty(const char* text) {
  return text ? text : "";
}

std::string Take(GError* error) {
  std::string message = error ? error->message : "";
  if (error) g_error_free(error);
  return message;
}

// A profile of a user other than root is made private to that user, which is what NM lets a
// desktop user add without an administrator; root's profiles are the system's.
void MakePrivateToCurrentUser(NMSettingConnection* setting) {
  const uid_t uid = geteuid();
  if (uid == 0) return;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return;
  nm_setting_connection_add_permission(setting, "user", found->pw_name, nullptr);
}

GVariant* Serialize(NMConnection* connection, std::string* error) {
  GError* raw = nullptr;
  if (!nm_connection_normalize(connection, nullptr, nullptr, &raw)) {
    *error = Take(raw);
    return nullptr;
  }
  return nm_connection_to_dbus(connection, NM_CONNECTION_SERIALIZE_ALL);
}

}  // namespace

std::optional<NmOwnProfile> ReadOwnProfile(GVariant* settings) {
  GError* raw = nullptr;
  ConnectionPtr connection(nm_simple_connection_new_from_dbus(settings, &raw));
  if (!connection) {
    Take(raw);
    return std::nullopt;  // a profile libnm cannot read is none of ours
  }
  auto* user = NM_SETTING_USER(nm_connection_get_setting(connection.get(), NM_TYPE_SETTING_USER));
  NMSettingVpn* vpnSetting = nm_connection_get_setting_vpn(connection.get());
  if (!user || !vpnSetting) return std::nullopt;
  const char* entry = nm_setting_user_get_data(user, std::string(kNmEntryKey).c_str());
  if (!entry) return std::nullopt;

  NmOwnProfile profile;
  profile.entryName = entry;
  profile.uuid = OrEmpty(nm_connection_get_uuid(connection.get()));
  profile.service = OrEmpty(nm_setting_vpn_get_service_type(vpnSetting));
  const char* userName = nm_setting_vpn_get_data_item(vpnSetting, std::string(kNmUser).c_str());
  profile.user = OrEmpty(userName);
  const char* ipsec =
      nm_setting_vpn_get_data_item(vpnSetting, std::string(kNmIpsecEnabled).c_str());
  profile.l2tpWithIpsec =
      profile.service == kL2tpPlugin.service && ipsec && std::string_view(ipsec) == "yes";
  return profile;
}

GVariant* SettingsOfProfile(const NmProfile& profile, const std::string& uuid,
                            const std::string& user, std::string* error) {
  ConnectionPtr connection(nm_simple_connection_new());

  NMSettingConnection* general = NM_SETTING_CONNECTION(nm_setting_connection_new());
  g_object_set(general, NM_SETTING_CONNECTION_ID, profile.id.c_str(), NM_SETTING_CONNECTION_UUID,
               uuid.c_str(), NM_SETTING_CONNECTION_TYPE, NM_SETTING_VPN_SETTING_NAME,
               NM_SETTING_CONNECTION_AUTOCONNECT, FALSE, nullptr);
  MakePrivateToCurrentUser(general);
  nm_connection_add_setting(connection.get(), NM_SETTING(general));

  NMSettingVpn* vpnSetting = NM_SETTING_VPN(nm_setting_vpn_new());
  g_object_set(vpnSetting, NM_SETTING_VPN_SERVICE_TYPE,
               std::string(profile.plugin->service).c_str(), nullptr);
  for (const auto& [key, value] : profile.data) {
    nm_setting_vpn_add_data_item(vpnSetting, key.c_str(), value.c_str());
  }
  if (!user.empty())
    nm_setting_vpn_add_data_item(vpnSetting, std::string(kNmUser).c_str(), user.c_str());
  nm_connection_add_setting(connection.get(), NM_SETTING(vpnSetting));

  NMSetting* ip4 = nm_setting_ip4_config_new();
  g_object_set(ip4, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_AUTO,
               NM_SETTING_IP_CONFIG_NEVER_DEFAULT, profile.neverDefault ? TRUE : FALSE, nullptr);
  nm_connection_add_setting(connection.get(), ip4);
  // The entry speaks IPv4 only (RASNP_Ip); what the tunnel might offer for IPv6 is not used.
  NMSetting* ip6 = nm_setting_ip6_config_new();
  g_object_set(ip6, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP6_CONFIG_METHOD_IGNORE, nullptr);
  nm_connection_add_setting(connection.get(), ip6);

  NMSettingUser* mark = NM_SETTING_USER(nm_setting_user_new());
  GError* raw = nullptr;
  if (!nm_setting_user_set_data(mark, std::string(kNmEntryKey).c_str(), profile.id.c_str(), &raw)) {
    g_object_unref(mark);
    *error = Take(raw);
    return nullptr;
  }
  nm_connection_add_setting(connection.get(), NM_SETTING(mark));
  return Serialize(connection.get(), error);
}

GVariant* SettingsWithCredentials(GVariant* settings, const std::string& user,
                                  const std::string& domain, const std::string& password,
                                  std::string* error) {
  GError* raw = nullptr;
  ConnectionPtr connection(nm_simple_connection_new_from_dbus(settings, &raw));
  if (!connection) {
    *error = Take(raw);
    return nullptr;
  }
  NMSettingVpn* vpnSetting = nm_connection_get_setting_vpn(connection.get());
  if (!vpnSetting) {
    *error = "not a VPN profile";
    return nullptr;
  }
  auto setItem = [&](std::string_view key, const std::string& value) {
    if (value.empty()) {
      nm_setting_vpn_remove_data_item(vpnSetting, std::string(key).c_str());
    } else {
      nm_setting_vpn_add_data_item(vpnSetting, std::string(key).c_str(), value.c_str());
    }
  };
  setItem(kNmUser, user);
  setItem(kNmDomain, domain);
  nm_setting_vpn_add_data_item(vpnSetting, std::string(kNmPasswordFlags).c_str(), "0");
  if (password.empty()) {
    nm_setting_vpn_remove_secret(vpnSetting, std::string(kNmPassword).c_str());
  } else {
    nm_setting_vpn_add_secret(vpnSetting, std::string(kNmPassword).c_str(), password.c_str());
  }
  return Serialize(connection.get(), error);
}

}  // namespace vpn
