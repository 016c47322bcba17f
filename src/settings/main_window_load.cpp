// The main window's load and save of its own keys of the settings file.
#include "app/main_window.h"
#include "settings/main_window_settings.h"
#include "settings/program_dir.h"

void CTunvikDlg::LoadSettings() {
  // The paths are taken once, before any other thread runs; workers read them without a copy.
  if (settingsPath.empty()) {
    programDir = settings::ProgramDirectory();
    settingsPath = settings::SettingsPath();
  }
  settings::MainWindowSettings loaded = settings::LoadMainWindowSettings(settingsPath);
  accountName = std::move(loaded.account);
  accountPassword = std::move(loaded.password);
  dueDate = std::move(loaded.dueDate);
  processFilter = std::move(loaded.processFilter);
  autostartFlag = loaded.autostart;
  autoConnectFlag = loaded.autoConnect;
  disabledAdapters = std::move(loaded.disabledAdapters);
}

void CTunvikDlg::SaveAccount() {
  AccountSnapshot account = TakeAccount();
  settings::SaveAccount(settingsPath, account.name, account.password);
}
