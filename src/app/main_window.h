// The main window: one dialog for the whole run that owns the account, the connection's
// members, the three tab pages, the timers and the controls through which every subsystem shows
// its results. Its member operations live in the folders of their subsystems.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "app/version.h"
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

  // The connection's stop event; none before the first accepted login.
  vpn::EventPtr stopEvent;

  // One kind per background use: a second task of a kind is refused while one runs.
  ui::TaskKind noticeTask, expiryTask, versionCheckTask, autoConnectTask, userConnectTask;
};
