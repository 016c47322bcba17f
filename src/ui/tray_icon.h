// The program's icon in the desktop's tray (the StatusNotifierItem protocol where the desktop
// offers it, the older XEmbed tray otherwise): an icon for the connection's state, a tooltip, a
// menu and a click. Without a tray on the desktop it is simply not seen; nothing fails.
//
// Window thread only.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace ui {

enum class TrayState { kIdle, kConnecting, kConnected, kNetworkOff };

class TrayIcon {
 public:
  // Each state's icon is drawn from icon resource `iconResource`.
  explicit TrayIcon(int iconResource);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Puts the icon into the tray (on a platform that has one: never on the offscreen one).
  void Show();
  void SetState(TrayState state);
  TrayState State() const;
  void SetToolTip(std::string_view gbk);

  // Adds a menu item; choosing it runs `action` from the event loop, after the menu has closed.
  void AddMenuItem(int id, std::string_view gbk, std::function<void()> action);
  void AddMenuSeparator();
  void SetMenuItem(int id, std::string_view gbk, bool enabled);
  // A click (or a double click) on the icon runs `action`, as a menu item does.
  void OnActivated(std::function<void()> action);

  struct Impl;
  Impl& GetImpl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
