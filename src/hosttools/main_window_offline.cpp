// The main window's offline actions, run when the connection drops, and the network restore
// behind button 1008.
#include "app/main_window.h"
#include "hosttools/close_programs.h"
#include "hosttools/network_switch.h"
#include "hosttools/window_prompts.h"
#include "settings/keys.h"
#include "settings/profile.h"

void CTunvikDlg::CloseListedPrograms() {
  hosttools::CloseListedPrograms(
      settings::GetProfileString(settings::kHardwareConfig, settings::kClosingProcess, "",
                                 settings::kClosingProcessLimit, settingsPath));
}

void CTunvikDlg::DisableNetwork() {
  disabledAdapters = hosttools::DisableNetwork(hosttools::WindowErrorReport(*this));
  // Written also when no interface was switched off, so an old list is not restored later.
  settings::WriteProfileString(settings::kHostConfig, settings::kNetwork,
                               hosttools::JoinAdapterNames(disabledAdapters), settingsPath);
}

void CTunvikDlg::RestoreNetwork() {
  hosttools::RestoreNetwork(disabledAdapters, hosttools::WindowErrorReport(*this));
}
