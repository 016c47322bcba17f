// The server list page: the service's servers in a table (fetched once after start-up), the
// chosen server, the offline strategy and the protocol, each kept in the settings file.
#pragma once

#include <string>

#include "api/service_api.h"
#include "ui/background_task.h"
#include "ui/dialog.h"

class CPara1 : public ui::Dialog {
 public:
  // The timer that fetches the server list, a second after start and after each failure.
  static constexpr int kFetchTimer = 1;

  CPara1();

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnTimer(int id) override;

  // The chosen server, as the connect workflow takes it.
  std::string GetServerNo() const { return serverNo; }
  std::string GetServerHost() const { return serverHost; }

  // Reads the protocol, the offline strategy and the chosen server from the settings file.
  void LoadSettings();
  // Reads both radio groups back and writes the four page keys, in their order.
  void SaveSettings();
  // Takes row `row` of the table as the chosen server (-1, a click below the rows: nothing).
  void ChooseServer(int row);
  // The body of the fetch task: the server list into the table, or timer 1 again on failure.
  void FetchServerList();
  // Opens the dialog of the programs to close on a drop (the "掉线关闭进程" radio).
  void OpenCloseList();

  std::string serverNo;
  std::string serverHost;
  api::ApiMembers api;
  int offlineStrategy = 0;
  int vpnStrategy = 0;
  ui::TaskKind fetchTask;
};
