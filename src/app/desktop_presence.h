// What the desktop shows of the client outside its window: the tray icon, which follows the
// connection's state, and the notifications of the events a user wants to hear of while the
// window is out of sight: a connection that came up, a drop and what the offline strategy did
// about it, the network restored, an account that has expired or soon will, a newer version.
//
// It follows the window from one place: the Connect caption, the status line, the title and the
// expiry date as the window shows them (watched through the dialog layer), and the few events
// that only the window's operations know of, which they report here. One notification at most
// for each event; none for the stages of a dial.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "ui/tray_icon.h"

class CTunvikDlg;

class CDesktopPresence {
 public:
  explicit CDesktopPresence(CTunvikDlg& window);
  ~CDesktopPresence();
  CDesktopPresence(const CDesktopPresence&) = delete;
  CDesktopPresence& operator=(const CDesktopPresence&) = delete;

  // Puts the icon into the tray and starts following the window. Window thread, once the window
  // and its controls exist (the end of its initialisation).
  void Start();

  // Events the window reports. Window thread.

  // The supervision has seen a drop and acted on offline strategy `strategy`: a redial after
  // `redialDelayMs`, the listed programs closed, the network switched off, or nothing.
  void Dropped(int strategy, int redialDelayMs);
  // The user had the links switched back on; `allOn` when every one of them came back (else the
  // status line tells which did not, and the network counts as still off).
  void NetworkRestored(bool allOn);

  // The service offers `version`, greater than this one's; `byPackage` when the system's package
  // manager, not the client, updates this program. Any thread.
  void NewerVersionOffered(const std::string& version, bool byPackage);

  // The menu items of the tray icon.
  enum MenuItem { kShowWindow = 1, kConnect, kRestoreNetwork, kExit };

  ui::TrayIcon& Tray() { return *tray_; }

 private:
  void Follow();
  void CaptionSeen();
  void StatusSeen();
  void DueDateSeen();
  void UpdateTray();
  void NotifyAccount(const std::string& summaryUtf8, const std::string& bodyUtf8);

  CTunvikDlg& window_;
  std::unique_ptr<ui::TrayIcon> tray_;
  // Expires with this object; the window's watchers, which outlive it, then do nothing.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  bool started_ = false;

  // Window thread only.
  std::string caption_;           // the Connect caption last seen (GBK)
  bool upSinceLastDrop_ = false;  // the connection came up after the last drop was told
  bool networkOff_ = false;       // offline strategy 2 switched links off, not yet restored
  std::string dueDateTold_;       // the expiry date whose expiry (or nearness) was told
  bool expiryTold_ = false;       // an expired account was told (until a later date is seen)
  std::set<std::string> versionsTold_;
};
