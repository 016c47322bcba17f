// Notifications as a stand-in notification service on a private bus records them: a connect, a
// drop with each offline strategy, the network restored, an expiry, a newer version; one for each
// event, none for the stages of a dial, and nothing fails without a service.
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "desktop_fixture.h"
#include "fake_api.h"
#include "support/path_override.h"

namespace desktop_test {
namespace {

using Notifications = DesktopTest;

TEST_F(Notifications, AConnectIsToldOnceWithItsServerAndNoStageOfTheDial) {
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(SummariesAfter(1), std::vector<std::string>{"VPN 已连接"});
  });
  ASSERT_EQ(Recorded().size(), 1u);
  const RecordedNotification& n = Recorded()[0];
  EXPECT_EQ(n.body, "1 #服务器连接成功");
  EXPECT_EQ(n.appName, "Tunvik");
  EXPECT_EQ(n.category, "network.connected");
  EXPECT_EQ(n.urgency, 1);
  EXPECT_TRUE(n.hasImage);
}

TEST_F(Notifications, ADropIsToldWithWhatTheOfflineStrategyDid) {
  // The offline actions run against stand-ins: `ip` only records, and the system bus is the
  // private one, where no NetworkManager answers.
  testsupport::ToolsFirstOnPath tools(dir_ + "/bin");
  tools.AddScript("ip", "echo \"$*\" >> '" + dir_ + "/ip.log'\n");
  struct Case {
    int strategy;
    const char* body;
  };
  const Case cases[] = {
      {0, "3 秒后自动重连"},
      {1, "已按掉线策略关闭指定进程"},
      {2, "已自动断网，点击“恢复网络”恢复上网"},
      {3, "未设置掉线策略，请手动重新连接"},
  };
  for (const Case& c : cases) {
    UseAccount("demo", "demo123", "OfflineStrategy=" + std::to_string(c.strategy) + "\n");
    const std::size_t before = Recorded().size();
    bool linksWentOff = false;
    RunWindow([&](CTunvikDlg& w) {
      ConnectAndDrop(w);
      w.KillTimer(kRedialTimer);
      SummariesAfter(before + 2);
      linksWentOff = !w.disabledAdapters.empty();
    });
    ASSERT_EQ(Recorded().size(), before + 2) << c.strategy;
    const RecordedNotification& drop = Recorded().back();
    EXPECT_EQ(drop.summary, "VPN 连接已断开") << c.strategy;
    // (A machine with no link but loopback has nothing to switch off, and is told so.)
    EXPECT_EQ(drop.body, c.strategy == 2 && !linksWentOff ? "掉线自动断网未能断开任何网卡" : c.body)
        << c.strategy;
    EXPECT_EQ(drop.category, "network.disconnected") << c.strategy;
    EXPECT_EQ(drop.urgency, c.strategy == 2 ? 2 : 1) << c.strategy;
    // The drop replaces the connect's notification rather than piling up beside it.
    EXPECT_NE(drop.replacesId, 0u) << c.strategy;
  }
}

TEST_F(Notifications, FailedRedialsAreNoDropsOfTheirOwnAndTheNextConnectIsTold) {
  RunWindow([&](CTunvikDlg& w) {
    ConnectAndDrop(w);
    ASSERT_EQ(SummariesAfter(2), (std::vector<std::string>{"VPN 已连接", "VPN 连接已断开"}));
    // Two redials fail: each is a drop to the supervision, none a new event for the user.
    backend->SetScenario(connection_test::Fast(vpn::SimScenario::Kind::kFail, 691));
    for (int i = 0; i < 2; ++i) {
      w.OnTimer(kRedialTimer);
      ASSERT_TRUE(WaitForCaption(w, "连 接"));
      w.OnTimer(kSupervisionTimer);
      ASSERT_TRUE(w.IsTimerRunning(kRedialTimer));
    }
    backend->SetScenario(connection_test::Fast());
    w.OnTimer(kRedialTimer);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(SummariesAfter(3),
              (std::vector<std::string>{"VPN 已连接", "VPN 连接已断开", "VPN 已连接"}));
  });
}

// The name of a link of this machine that is up, other than loopback; empty when there is none.
std::string ALinkThatIsUp() {
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net")) {
    const std::string name = entry.path().filename().string();
    std::ifstream flags(entry.path() / "flags");
    unsigned long value = 0;
    if (name != "lo" && (flags >> std::hex >> value) && (value & 0x1) != 0) return name;
  }
  return {};
}

TEST_F(Notifications, RestoringTheNetworkIsToldOnlyWhenEveryLinkCameBack) {
  // `ip` only records: a link that is up stays up (restored), one that does not exist never
  // comes (not restored, and the status line says so).
  testsupport::ToolsFirstOnPath tools(dir_ + "/bin");
  tools.AddScript("ip", "exit 0\n");
  UseAccount("demo", "demo123", "network=tvkfake0|\n");
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_RESTORE_NETWORK);
    EXPECT_EQ(SummariesAfter(1), std::vector<std::string>{});
    EXPECT_NE(Status(w).find("tvkfake0"), std::string::npos) << Status(w);
  });
  const std::string up = ALinkThatIsUp();
  if (up.empty()) GTEST_SKIP() << "no link but loopback is up here";
  UseAccount("demo", "demo123", "network=" + up + "|\n");
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_RESTORE_NETWORK);
    EXPECT_EQ(SummariesAfter(1), std::vector<std::string>{"网络已恢复"});
    // With nothing to switch on, a click tells nothing.
    w.disabledAdapters.clear();
    t::Click(w, IDC_RESTORE_NETWORK);
    EXPECT_EQ(SummariesAfter(1).size(), 1u);
  });
}

std::string DateInDays(int days) {
  std::time_t when = std::time(nullptr) + days * 86400;
  std::tm local{};
  localtime_r(&when, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

TEST_F(Notifications, AnExpiryIsToldAheadAndOnceWhenItHasCome) {
  apptest::FakeApi api;
  const std::string soon = DateInDays(2);
  WriteSettings("[AccountConfig]\nAccount=demo\nPassword=demo123\nDueDate=" + soon +
                "\n[HostConfig]\nXOLNO=1\nHost=127.0.0.1\n");
  RunWindow(
      [&](CTunvikDlg& w) {
        // The stored date, shown at start, is two days away.
        ASSERT_EQ(SummariesAfter(1), std::vector<std::string>{"账号即将到期"});
        EXPECT_EQ(Recorded()[0].body, "账号将于2 天后到期（" + soon + "），请及时充值续费");
        // The service says the same date again: nothing new to tell.
        api.Set("getDueDate", {200, R"({"code":"200","duedate":")" + soon + R"("})"});
        w.OnTimer(kExpiryTimer);
        EXPECT_EQ(SummariesAfter(1).size(), 1u);
        // Then the account has run out: told once, however often the refresh finds it.
        api.Set("getDueDate", {200, R"({"code":"202"})"});
        w.OnTimer(kExpiryTimer);
        w.OnTimer(kExpiryTimer);
        EXPECT_EQ(SummariesAfter(2), (std::vector<std::string>{"账号即将到期", "账号已到期"}));
        EXPECT_EQ(Recorded()[1].body, "使用时间已到期，请充值续费后再连接");
        // A recharge moves the date far on; a date already past is told as expired again.
        w.SetDlgItemText(IDC_DUE_DATE, DateInDays(300));
        w.SetDlgItemText(IDC_DUE_DATE, DateInDays(-1));
        EXPECT_EQ(SummariesAfter(3),
                  (std::vector<std::string>{"账号即将到期", "账号已到期", "账号已到期"}));
      },
      api.Base());
}

TEST_F(Notifications, ANewerVersionIsToldOnceFromAnyThreadAndOnlyAPlainNumberIsShown) {
  RunWindow([&](CTunvikDlg& w) {
    // As the version check does, on a worker, while the window thread keeps pumping.
    for (int i = 0; i < 2; ++i) {
      std::atomic<bool> done{false};
      std::thread check([&] {
        w.desktop->NewerVersionOffered("10.7", false);
        done = true;
      });
      t::WaitUntil([&] { return done.load(); });
      check.join();
    }
    EXPECT_EQ(SummariesAfter(1), std::vector<std::string>{"发现新版本"});
    EXPECT_EQ(Recorded()[0].body, "Quoril 10.7 已发布");
    w.desktop->NewerVersionOffered("<b>11</b>", true);
    ASSERT_EQ(SummariesAfter(2).size(), 2u);
    EXPECT_EQ(Recorded()[1].body, "新版本已发布，请通过系统的软件包管理器更新本程序");
  });
}

TEST_F(Notifications, WithoutANotificationServiceTheClientGoesOnAsBefore) {
  recorder_.reset();
  RunWindow([&](CTunvikDlg& w) {
    ConnectAndDrop(w);
    w.KillTimer(kRedialTimer);
    t::ProcessEvents(300);
    EXPECT_EQ(Caption(w), "连 接");
    EXPECT_TRUE(w.dropWatchArmed);
  });
  ui::SetNotificationBusForTesting("unix:path=" + dir_ + "/no-such-bus");
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    t::ProcessEvents(300);
  });
}

}  // namespace
}  // namespace desktop_test
