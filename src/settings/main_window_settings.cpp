#include "settings/main_window_settings.h"

#include "settings/keys.h"
#include "settings/profile.h"

namespace settings {

MainWindowSettings LoadMainWindowSettings(const std::string& settingsPath) {
  MainWindowSettings s;
  s.account = GetProfileString(kAccountConfig, kAccount, "", kAccountLimit, settingsPath);
  s.password = GetProfileString(kAccountConfig, kPassword, "", kPasswordLimit, settingsPath);
  s.dueDate = GetProfileString(kAccountConfig, kDueDate, "", kDueDateLimit, settingsPath);
  s.processFilter =
      GetProfileString(kHardwareConfig, kProcessIP, "", kProcessIPLimit, settingsPath);
  s.autostart = GetProfileInt(kHostConfig, kAutostart, 0, settingsPath);
  s.autoConnect = GetProfileInt(kHostConfig, kAutoConnect, 0, settingsPath);
  // The names of `network` are the operating system's link names, not GBK: they are split at
  // every "|" byte, so a name ending in what looks like a GBK lead byte keeps the "|" after it.
  const std::string value =
      GetProfileString(kHostConfig, kNetwork, "", kNetworkLimit, settingsPath);
  std::string_view network = value;
  while (!network.empty()) {
    std::size_t bar = network.find(kListSeparator);
    s.disabledAdapters.emplace_back(network.substr(0, bar));
    if (bar == std::string_view::npos) break;
    network.remove_prefix(bar + 1);
  }
  return s;
}

bool SaveAccount(const std::string& settingsPath, std::string_view account,
                 std::string_view password) {
  return WriteProfileString(kAccountConfig, kAccount, account, settingsPath) &&
         WriteProfileString(kAccountConfig, kPassword, password, settingsPath);
}

}  // namespace settings
