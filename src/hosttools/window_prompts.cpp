#include "hosttools/window_prompts.h"

#include "hosttools/dialer_settings.h"
#include "hosttools/restart_action.h"
#include "ui/message_box.h"

namespace hosttools {

Prompts WindowPrompts(ui::Dialog& window) {
  return Prompts{
      [&window](const std::string& text) { window.MessageBox(text); },
      [&window](const std::string& text, const std::string& caption) {
        return window.MessageBox(text, caption, ui::MB_YESNO) == ui::IDYES;
      },
      [](const std::string& text) { ui::ShowMessageBox(nullptr, text, {}, ui::MB_OK); },
  };
}

ErrorReport WindowErrorReport(ui::Dialog& window) {
  return [&window](std::string_view message) { window.MessageBox(message); };
}

Fix789Outcome Fix789(ui::Dialog& window) {
  return Fix789(WindowPrompts(window), SystemRestartAction(), UserDialerSettingsPath());
}

}  // namespace hosttools
