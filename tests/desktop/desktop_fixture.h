// The fixture of the desktop tests: the connection tests' window (stand-in service, simulated
// dialer) with its tray icon and notifications, which go to a stand-in notification service on a
// private bus. The private bus also stands in for the system bus, so that no offline action of a
// test can reach the machine's own NetworkManager.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop_presence.h"
#include "connection_fixture.h"
#include "notification_recorder.h"
#include "support/private_bus.h"
#include "ui/notifications.h"

namespace desktop_test {

namespace t = ui::testing;
using connection_test::G;
using connection_test::U;

class DesktopTest : public connection_test::ConnectionTest {
 protected:
  void SetUp() override {
    connection_test::ConnectionTest::SetUp();
    bus_ = std::make_unique<testsupport::PrivateBus>();
    ASSERT_TRUE(bus_->Ready()) << "dbus-daemon did not start";
    const char* system = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    savedSystemBus_ = system != nullptr ? std::optional<std::string>(system) : std::nullopt;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->Address().c_str(), 1);
    recorder_ = std::make_unique<NotificationRecorder>(bus_->Address());
    ASSERT_TRUE(recorder_->Ready());
    ui::SetNotificationBusForTesting(bus_->Address());
  }
  void TearDown() override {
    ui::SetNotificationBusForTesting("");
    recorder_.reset();
    if (savedSystemBus_) {
      setenv("DBUS_SYSTEM_BUS_ADDRESS", savedSystemBus_->c_str(), 1);
    } else {
      unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    bus_.reset();
    connection_test::ConnectionTest::TearDown();
  }

  void PrepareWindow(CTunvikDlg& window) override {
    window.desktop = std::make_unique<CDesktopPresence>(window);
  }

  // Waits until `count` notifications have arrived, then a while longer so that one too many
  // would show; returns the summaries of all that arrived.
  std::vector<std::string> SummariesAfter(std::size_t count) {
    t::WaitUntil([&] { return recorder_->Recorded().size() >= count; }, 10000);
    t::ProcessEvents(300);
    return recorder_->Summaries();
  }
  const std::vector<RecordedNotification>& Recorded() const { return recorder_->Recorded(); }

  // Connects, lets the supervision see it, drops the link and lets the supervision see the drop.
  void ConnectAndDrop(CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    backend->DropAll();
    ASSERT_TRUE(WaitForCaption(w, "连 接"));
    w.OnTimer(kSupervisionTimer);
  }

  std::unique_ptr<testsupport::PrivateBus> bus_;
  std::unique_ptr<NotificationRecorder> recorder_;
  std::optional<std::string> savedSystemBus_;
};

}  // namespace desktop_test
