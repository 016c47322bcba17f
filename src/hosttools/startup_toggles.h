// The two start-up checkboxes of the main window: start the program at logon, and connect on
// its own after start.
#pragma once

#include <string>
#include <string_view>

#include "hosttools/prompts.h"

namespace hosttools {

// Carries out a click on the autostart checkbox that left it `checked`: creates the autostart
// entry for `version` starting `programPath`, or deletes it, and tells the user through
// `prompts.showMessage` ("打开启动项失败" when the autostart folder cannot be opened, then
// "设置自启成功" / "设置自启失败" or "关闭自启成功" / "关闭自启失败"). Writes the clicked state
// as Autostart of HostConfig to the settings file at `settingsPath`, also when the entry could
// not be changed. Returns the state the checkbox must show: the clicked one on success, the
// other one on failure. The entry shows the icon `icon` of the icon theme; none when it is empty.
bool ToggleAutostart(bool checked, std::string_view version, const std::string& programPath,
                     std::string_view icon, const std::string& settingsPath,
                     const Prompts& prompts);

// Stores the auto-connect checkbox as AutoConnect of HostConfig (1 or 0). Returns false when the
// settings file could not be written.
bool ToggleAutoConnect(bool checked, const std::string& settingsPath);

}  // namespace hosttools
