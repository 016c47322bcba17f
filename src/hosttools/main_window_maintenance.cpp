// The main window's maintenance actions: the share removal after the first notice, the 789
// repair, and the two start-up checkboxes 1010 and 1011.
#include "app/main_window.h"
#include "app/resource.h"
#include "hosttools/autostart_entry.h"
#include "hosttools/shares.h"
#include "hosttools/startup_toggles.h"
#include "hosttools/window_prompts.h"
#include "settings/program_dir.h"

void CTunvikDlg::DeleteShares() {
  hosttools::DeleteShares(hosttools::WindowErrorReport(*this));
}

void CTunvikDlg::Fix789() {
  hosttools::Fix789(*this);
}

void CTunvikDlg::ToggleAutostart() {
  UpdateData(true);
  // An installed program starts at logon as its menu entry does, with the theme's icon; a
  // portable copy has no icon in the theme.
  const std::string_view icon =
      settings::IsInstalledProgram() ? hosttools::kInstalledIconName : std::string_view();
  const bool checked = hosttools::ToggleAutostart(autostartFlag == ui::BST_CHECKED, versionText,
                                                  settings::ProgramPath(), icon, settingsPath,
                                                  hosttools::WindowPrompts(*this));
  CheckDlgButton(IDC_AUTOSTART, checked ? ui::BST_CHECKED : ui::BST_UNCHECKED);
}

void CTunvikDlg::ToggleAutoConnect() {
  UpdateData(true);
  hosttools::ToggleAutoConnect(autoConnectFlag == ui::BST_CHECKED, settingsPath);
}
