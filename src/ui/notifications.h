// Desktop notifications through the desktop's notification service (org.freedesktop.Notifications
// on the session bus). Sending never waits and never fails the caller: without a session bus or
// without a service, a notification is simply not shown.
#pragma once

#include <string>

namespace ui {

// A new notification replaces the one of the same topic that is still on screen, so that one
// topic never piles up.
enum class NotificationTopic { kConnection, kAccount, kUpdate };

struct Notification {
  NotificationTopic topic = NotificationTopic::kConnection;
  std::string summary;  // GBK
  std::string body;     // GBK
  // The service's category of the event ("network.connected", ...), or empty.
  std::string category;
  // Stays on screen until the user dismisses it.
  bool critical = false;
  // The picture shown with it: an icon resource of the program, or 0 for none.
  int iconResource = 0;
};

// Shows `notification`. Callable from any thread; the sending happens on the user-interface
// thread and the answer is not waited for.
void Notify(const Notification& notification);

// Tests: the D-Bus address that notifications go to from now on, instead of the session bus; an
// empty address sends nothing at all.
void SetNotificationBusForTesting(const std::string& address);

}  // namespace ui
