// The main window's offline actions, run when the connection drops, and the network restore
// behind button 1008.
#include "app/main_window.h"
#include "hosttools/close_programs.h"
#include "hosttools/network_switch.h"
#include "hosttools/window_prompts.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "ui/application.h"

void CTunvikDlg::CloseListedPrograms() {
  hosttools::CloseListedPrograms(
      settings::GetProfileString(settings::kHardwareConfig, settings::kClosingProcess, "",
                                 settings::kClosingProcessLimit, settingsPath));
}

// NetworkManager may take a moment to answer (polkit decides on each call), so both switches
// run on a worker while the window keeps pumping.
void CTunvikDlg::DisableNetwork() {
  ui::RunBackgroundTask(networkTask, [this] {
    hosttools::LinkSwitchResult result =
        hosttools::DisableNetwork(hosttools::WindowErrorReport(*this));
    std::vector<std::string> kept;
    ui::Invoke([&] {
      kept = hosttools::MergeSwitchedOff(disabledAdapters, result.switched);
      disabledAdapters = kept;
    });
    // Written also when no link went off, so a list of links already back on is not restored.
    settings::WriteProfileString(settings::kHostConfig, settings::kNetwork,
                                 hosttools::JoinAdapterNames(kept), settingsPath);
    if (!result.failed.empty()) ShowStatus(hosttools::SwitchOffFailedStatus(result.failed));
  });
}

void CTunvikDlg::RestoreNetwork() {
  ui::RunBackgroundTask(networkTask, [this] {
    std::vector<std::string> names;
    ui::Invoke([&] { names = disabledAdapters; });
    hosttools::LinkSwitchResult result =
        hosttools::RestoreNetwork(names, hosttools::WindowErrorReport(*this));
    if (!result.failed.empty()) ShowStatus(hosttools::SwitchOnFailedStatus(result.failed));
  });
}
