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
  SplitList(GetProfileString(kHostConfig, kNetwork, "", kNetworkLimit, settingsPath),
            kListSeparator, s.disabledAdapters);
  return s;
}

bool SaveAccount(const std::string& settingsPath, std::string_view account,
                 std::string_view password) {
  return WriteProfileString(kAccountConfig, kAccount, account, settingsPath) &&
         WriteProfileString(kAccountConfig, kPassword, password, settingsPath);
}

}  // namespace settings
