#include "hosttools/startup_toggles.h"

#include "hosttools/autostart_entry.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"

namespace hosttools {

bool ToggleAutostart(bool checked, std::string_view version, const std::string& programPath,
                     std::string_view icon, const std::string& settingsPath,
                     const Prompts& prompts) {
  const bool folderOpen = OpenAutostartFolder();
  if (!folderOpen) prompts.showMessage(text::Utf8ToGbk("打开启动项失败"));

  bool shown = checked;
  if (checked) {
    bool done = folderOpen && CreateAutostartEntry(version, programPath, icon);
    prompts.showMessage(text::Utf8ToGbk(done ? "设置自启成功" : "设置自启失败"));
    shown = done;
  } else {
    bool done = folderOpen && DeleteAutostartEntry(version);
    prompts.showMessage(text::Utf8ToGbk(done ? "关闭自启成功" : "关闭自启失败"));
    shown = !done;
  }
  settings::WriteProfileInt(settings::kHostConfig, settings::kAutostart, checked ? 1 : 0,
                            settingsPath);
  return shown;
}

bool ToggleAutoConnect(bool checked, const std::string& settingsPath) {
  return settings::WriteProfileInt(settings::kHostConfig, settings::kAutoConnect, checked ? 1 : 0,
                                   settingsPath);
}

}  // namespace hosttools
