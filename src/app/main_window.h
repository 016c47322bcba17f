// The main window: one dialog for the whole run that owns the account, the connection's
// members, the three tab pages, the timers and the controls through which every subsystem shows
// its results. Its member operations live in the folders of their subsystems.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "api/service_api.h"
#include "app/version.h"
#include "controls/drag_edit.h"
#include "hosttools/help_page.h"
#include "pages/para1.h"
#include "pages/para2.h"
#include "ui/background_task.h"
#include "ui/dialog.h"
#include "update/ver_check.h"
#include "vpn/dialer.h"
#include "vpn/event.h"

class CDesktopPresence;

// The Connect button's captions: the state of the connection.
inline constexpr std::string_view kCaptionIdle = "连 接";
inline constexpr std::string_view kCaptionConnecting = "正在连接...";
inline constexpr std::string_view kCaptionConnected = "断 开";
inline constexpr std::string_view kCaptionDisconnecting = "断开中...";

// The main window's timers. kSupervisionSoonTimer is a one-shot that brings the next supervision
// tick forward when the Connect caption returns to "连 接", so that a drop is acted on at once.
inline constexpr int kProcessListTimer = 1, kNoticeTimer = 2, kSupervisionTimer = 5,
                     kRedialTimer = 6, kExpiryTimer = 7, kUpdateCleanUpTimer = 8,
                     kSupervisionSoonTimer = 9;

class CTunvikDlg : public ui::Dialog, public vpn::DialerView {
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
  // Leaves the program after a confirmed exit or a hand-over to a new version: stops every
  // timer and every further dial, hides the window, lets the dial threads hang up and delete the
  // entry while the window keeps pumping (for at most kLeaveWait), then ends the process. Callable
  // from any thread; a second call does nothing.
  void LeaveProgram();
  static constexpr std::chrono::milliseconds kLeaveWait{5000};
  // A later start of the client asks this one to come forward: the window comes to the front,
  // unless the program is leaving (false), in which case the new start waits for its end.
  bool OnSecondStart();
  // Signals the connection's stop event, if one exists, so that the dial thread hangs up.
  void SignalStopEvent();

  // The status line and the Connect button, from any thread. Every new status text is also
  // written to standard error with the time.
  void ShowStatus(std::string_view gbk);
  void SetStatus(std::string_view gbk) override { ShowStatus(gbk); }
  void SetConnectCaptionEnabled(std::string_view gbk) override;
  void RunInView(const std::function<void()>& fn) override;

  // The account as the edits hold it now, taken through the data exchange on the window thread.
  struct AccountSnapshot {
    std::string name;
    std::string password;
  };
  AccountSnapshot TakeAccount();

  // Connect workflow (vpn/connect_workflow.cpp).

  // Handler of button 1007: a connect attempt of the user when idle, a disconnect when connected.
  void OnConnectButton();
  // Runs an attempt as a background task and returns when it has ended.
  void StartUserConnect();
  void StartAutoConnect();
  // The attempt: input checks, the login at the service, the start of the dial. An automatic
  // attempt arms the drop watch.
  void RunConnectAttempt(bool automatic);
  // The attempt after it has taken the Connect button: the start time, the saved account, the
  // login, and on success the dial.
  void LogInAndDial(const std::string& host, const std::string& number,
                    const std::string& protocolText);

  // Timers and supervision (app/supervision.cpp).

  // Once a second: error codes of the status line, the connected message, drops.
  void Supervise();
  enum class ErrorMarker { kLower, kUpper };  // "error" and "ERROR:"
  // Acts on a three-character code found after a marker; `statusWrite` tells which write of the
  // status line carried it.
  void ApplyErrorCode(ErrorMarker marker, const std::string& code, std::uint64_t statusWrite);

  // Notice and expiry (api/notice_refresh.cpp).

  // Background task of timer 2: the service's notice, then, once, the start-up actions.
  void RefreshNotice();
  // Background task of timer 7 and of the account dialog's end: the account's expiry date.
  void RefreshDueDate();

  // Self-update (update/main_window_update.cpp).

  // Called by RefreshNotice when the service announces a newer version `announced`: runs
  // CheckForUpdate as a background task and returns when it has ended. An installed program only
  // tells the user to update the package.
  void OnNewerVersionAnnounced(const std::string& announced);
  // Fetches the version file of the update server into the program directory; when it names a
  // greater version, offers the update dialog, and after a verified download hands over to the
  // new program file and closes the window. Deletes the version file at its end; a version file
  // that cannot be fetched ends the check silently.
  void CheckForUpdate();
  // Each tick of timer 8: deletes the previous program file named by MAINVER/mainver; once that
  // succeeded, stores this version as mainver, UpdateState 0 and stops timer 8.
  void CleanUpAfterUpdate();

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
  // TCP connection (any state but listening) with an IPv4 local address.
  void ScanConnections();
  // Rebuilds list 1003 from the processes running now, narrowed to the process filter; keeps the
  // rows when no snapshot of the processes can be taken.
  void RefreshProcessList();
  // Handler of edit 1002's changes: takes its text as the process filter and stores it as
  // ProcessIP.
  void SaveProcessFilter();
  // Ends every program of ClosingProcess with all its descendants (offline strategy 1).
  void CloseListedPrograms();
  // Switches every network link but loopback off (offline strategy 2), through NetworkManager
  // where it runs; keeps the links that went off, with those an earlier switch-off left off, in
  // disabledAdapters and stores them as `network`, also when there are none; names the links
  // that stayed on in the status line. Runs as a background task of networkTask.
  void DisableNetwork();
  // Handler of button 1008: switches the links of disabledAdapters back on and names those that
  // stayed off in the status line. Runs as a background task of networkTask.
  // Returns true when it ran now and every link came back on.
  bool RestoreNetwork();
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
  // Set by the first LoadSettings, in the constructor, before any other thread runs, and never
  // changed after: every thread reads them directly.
  std::string settingsPath;
  std::string programDir;
  int autostartFlag = 0;
  int autoConnectFlag = 0;
  int updateState = 0;
  int offlineStrategy = 0;
  // Written on the window thread only (LoadSettings, and DisableNetwork's worker inside
  // ui::Invoke); the network task's workers copy it inside ui::Invoke.
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
  // The update dialog, shown by CheckForUpdate.
  CVerCheck updateDialog;

  // The connection's stop event; none before the first accepted login. Each accepted login
  // makes a new one; a dial thread holds its own reference, so it stays valid for it.
  std::atomic<vpn::EventPtr> stopEvent;

  // The API members of this window, and the lock that keeps its requests apart: the notice, the
  // expiry refresh and the connect attempts run on different workers and share them.
  api::ApiMembers api;
  std::mutex apiMutex;
  // The notice has been fetched once; its start-up actions have run.
  std::atomic<bool> noticeSettled{false};
  // A self-update has handed over to the new program, and this one is leaving.
  std::atomic<bool> handedOver{false};
  // The program is leaving (LeaveProgram): no connect attempt starts any more.
  std::atomic<bool> leaving{false};
  // The exit question is open (window thread only): a second close request asks nothing.
  bool exitQuestionOpen = false;
  // Counts the writes of the status line, so that a code is told from its repetition.
  std::uint64_t statusGeneration = 0;
  std::string lastLoggedStatus;
  // The 789 repair: the status write it last acted on, and whether its question is open.
  std::uint64_t fix789HandledWrite = 0;
  bool fix789Open = false;

  // One kind per background use: a start that comes while a worker of its use runs is kept and
  // runs when that worker has ended. The members written from workers (the status line's
  // counters, dueDate, serverNo, serverHost, lastButtonText, dropWatchArmed) are written inside
  // ui::Invoke, on the window thread.
  ui::TaskKind noticeTask, expiryTask, versionCheckTask, autoConnectTask, userConnectTask;
  // The pumping wait for the dial threads as the program leaves.
  ui::TaskKind leaveTask;
  // The network switch-off and restore: one use, so the two never run at once.
  ui::TaskKind networkTask;

  // The tray icon and the notifications (app/desktop_presence.h); none in a window made without
  // them. Set before the window runs and never changed after: any thread reads it directly.
  std::unique_ptr<CDesktopPresence> desktop;
};
