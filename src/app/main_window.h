// The main window: one dialog for the whole run that owns the account, the connection's
// members, the three tab pages, the timers and the controls through which every subsystem shows
// its results. Its member operations live in the folders of their subsystems.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "app/version.h"
#include "controls/drag_edit.h"
#include "hosttools/help_page.h"
#include "pages/para1.h"
#include "pages/para2.h"
#include "ui/background_task.h"
#include "ui/dialog.h"
#include "vpn/event.h"

class CTunvikDlg : public ui::Dialog {
 public:
  CTunvikDlg();
  ~CTunvikDlg() override;

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnTimer(int id) override;
  void OnSysCommand(unsigned commandId) override;
  bool PreTranslateMessage(int key) override;

  // Handlers of this window.
  void OnTabSelChange();
  void OnAccountButton();

  // Settings file (settings/main_window_load.cpp).
  void LoadSettings();
  void SaveAccount();

  // Signals the connection's stop event, if one exists, and lets it go (the exit and the
  // self-update).
  void SignalAndCloseStopEvent();

  // Sets up the process list's columns from its client width (PID w/8, names and labels w/3).
  void SetUpProcessListColumns();

  // Host tools (hosttools/main_window_*.cpp).

  // Runs argv[0] (a bare name is looked up on PATH) with the arguments argv[1..], never through a
  // shell, and returns everything it wrote to standard output and standard error. When it cannot
  // be started, shows "Error on CreatePipe()!" or "Error on CreateProcess()!" in a box owned by
  // this window and returns an empty text. Callable from any thread.
  std::string RunCommand(const std::vector<std::string>& argv);
  // Adds the ids of the processes running now to startupPids.
  void RecordStartupPids();
  // Deletes the scratch file of the process labels and labels every process that holds an
  // established TCP connection with an IPv4 local address.
  void ScanConnections();
  // Rebuilds list 1003 from the processes running now, narrowed to the process filter; keeps the
  // rows when no snapshot of the processes can be taken.
  void RefreshProcessList();
  // Handler of edit 1002's changes: takes its text as the process filter and stores it as
  // ProcessIP.
  void SaveProcessFilter();
  // Ends every program of ClosingProcess with all its descendants (offline strategy 1).
  void CloseListedPrograms();
  // Switches every IPv4 interface but loopback off, keeps their names in disabledAdapters and
  // stores them as `network`, also when there are none (offline strategy 2).
  void DisableNetwork();
  // Handler of button 1008: switches each interface of disabledAdapters back on, in order.
  void RestoreNetwork();
  // Deletes the machine's Samba user shares of the nine share names; nothing without Samba.
  void DeleteShares();
  // The 789 repair, with this window owning its boxes.
  void Fix789();
  // Handler of checkbox 1010: creates or deletes the autostart entry, tells the user, sets the
  // box back when that failed, and stores the clicked state as Autostart.
  void ToggleAutostart();
  // Handler of checkbox 1011: stores its state as AutoConnect.
  void ToggleAutoConnect();

  // The pages of the tab control.
  CPara1 page1;
  CPara2 page2;
  CPara3 page3;

  // The account, bound to edits 1004 and 1005.
  std::string accountName;
  std::string accountPassword;
  // The server taken by the connect attempt.
  std::string serverNo;
  std::string serverHost;
  // The expiry date as the service gave it, bound to label 1019.
  std::string dueDate;
  // A later change of the Connect caption to "连 接" counts as a drop.
  bool dropWatchArmed = false;
  std::string settingsPath;
  std::string programDir;
  int autostartFlag = 0;
  int autoConnectFlag = 0;
  int updateState = 0;
  int offlineStrategy = 0;
  std::vector<std::string> disabledAdapters;
  // The process filter, bound to edit 1002.
  std::string processFilter;
  std::string statusText;
  int errorPosition = 0;
  std::string errorCode;
  std::string buttonText;
  std::string lastButtonText;
  int redialDelay = 3000;
  std::string versionText{kVersionText};
  std::unordered_set<std::string> startupPids;
  // The drop target behind edit 1002: a dropped program's full path becomes the filter.
  CDragEdit processEdit;

  // The connection's stop event; none before the first accepted login.
  vpn::EventPtr stopEvent;

  // One kind per background use: a second task of a kind is refused while one runs.
  ui::TaskKind noticeTask, expiryTask, versionCheckTask, autoConnectTask, userConnectTask;
};
