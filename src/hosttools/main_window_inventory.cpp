// The main window's command runner and process list: the start-up scan, the refresh of list 1003
// and the process filter of edit 1002.
#include <optional>

#include "app/main_window.h"
#include "app/resource.h"
#include "hosttools/connection_inventory.h"
#include "hosttools/process_labels.h"
#include "hosttools/window_prompts.h"

std::string CTunvikDlg::RunCommand(const std::vector<std::string>& argv) {
  return hosttools::RunCommand(argv, hosttools::WindowErrorReport(*this));
}

void CTunvikDlg::RecordStartupPids() {
  hosttools::RecordStartupPids(startupPids);
}

void CTunvikDlg::ScanConnections() {
  hosttools::ScanConnections(hosttools::ScratchFilePath(), hosttools::WindowErrorReport(*this));
}

void CTunvikDlg::RefreshProcessList() {
  std::optional<std::vector<hosttools::ProcessRow>> rows =
      hosttools::RefreshProcessList(processFilter, startupPids, hosttools::ScratchFilePath());
  if (!rows) return;

  ui::ListView list = GetListView(IDC_PROCESS_LIST);
  list.DeleteAllItems();
  int row = 0;
  for (const hosttools::ProcessRow& process : *rows) {
    list.InsertItem(row, process.pid);
    list.SetItemText(row, 1, process.name);
    if (!process.label.empty()) list.SetItemText(row, 2, process.label);
    ++row;
  }
}

void CTunvikDlg::SaveProcessFilter() {
  std::string text = GetDlgItemText(IDC_PROCESS_EDIT);
  // Showing the loaded filter in the edit at start raises a change too; it needs no write.
  if (text == processFilter) return;
  processFilter = std::move(text);
  hosttools::SaveProcessFilter(processFilter, settingsPath);
}
