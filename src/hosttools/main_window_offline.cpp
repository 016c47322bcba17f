// The main window's offline actions, run when the connection drops, and the network restore
// behind button 1008.
#include <memory>

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

bool CTunvikDlg::RestoreNetwork() {
  // A start kept for later (the switch-off still runs) outlives this call: it reports nothing.
  auto allOn = std::make_shared<bool>(false);
  const bool ran = ui::RunBackgroundTask(networkTask, [this, allOn] {
    std::vector<std::string> names;
    ui::Invoke([&] { names = disabledAdapters; });
    hosttools::LinkSwitchResult result =
        hosttools::RestoreNetwork(names, hosttools::WindowErrorReport(*this));
    *allOn = result.failed.empty();
    if (!*allOn) ShowStatus(hosttools::SwitchOnFailedStatus(result.failed));
  });
  return ran && *allOn;
}
