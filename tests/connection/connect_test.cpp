// The connect workflow end to end: the stand-in service on loopback, the simulated dialer and the
// main window on the offscreen platform.
#include "app/fake_api.h"
#include "connection_fixture.h"
#include "settings/profile.h"

namespace connection_test {
namespace {

using Connect = ConnectionTest;

TEST_F(Connect, ConnectsAnnouncesOnceAndDisconnectsWithoutRedial) {
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    EXPECT_EQ(backend->captionsAtDial, (std::vector<std::string>{"正在连接..."}));
    EXPECT_EQ(Status(w), "连接成功\n");
    EXPECT_FALSE(U(w.GetDlgItemText(IDC_START_TIME)).empty());
    EXPECT_FALSE(w.GetDlgItemText(IDC_DUE_DATE).empty());  // the login's duedate

    const std::uint64_t writes = w.statusGeneration;
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(Status(w), "1 #服务器连接成功 状态 （正常）");
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(w.statusGeneration, writes + 1);  // written once, at the change
    EXPECT_TRUE(w.dropWatchArmed);

    t::Click(w, IDC_CONNECT);
    EXPECT_EQ(Caption(w), "断开中...");
    EXPECT_FALSE(w.IsDlgItemEnabled(IDC_CONNECT));
    ASSERT_TRUE(WaitForCaption(w, "连 接"));
    EXPECT_EQ(Status(w), "已断开");
    EXPECT_TRUE(w.IsDlgItemEnabled(IDC_CONNECT));
    w.OnTimer(kSupervisionTimer);
    EXPECT_FALSE(w.IsTimerRunning(kRedialTimer));
  });
  // The account was saved before the login, and the expiry date after it.
  EXPECT_EQ(
      settings::GetProfileString("AccountConfig", "Account", "", settings::kWhole, SettingsPath()),
      "demo");
  EXPECT_FALSE(
      settings::GetProfileString("AccountConfig", "DueDate", "", 49, SettingsPath()).empty());
}

TEST_F(Connect, WrongPasswordAtTheVpnServerShowsThePlatformTextAndFreesTheButton) {
  backend->SetScenario(Fast(vpn::SimScenario::Kind::kFail, 691));
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(t::WaitUntil([&] { return Status(w).rfind("ERROR:691 - ", 0) == 0; }));
    EXPECT_EQ(Status(w), "ERROR:691 - 由于域上的用户名和/或密码无效而拒绝访问。\n");
    // The button is given back with the error, while the dial thread still watches the line.
    EXPECT_TRUE(WaitForCaption(w, "连 接"));
    EXPECT_TRUE(w.IsDlgItemEnabled(IDC_CONNECT));
  });
}

TEST_F(Connect, RefusedLoginsShowTheirCodes) {
  struct Case {
    const char* name;
    const char* password;
    const char* status;
  };
  for (const Case& c : {Case{"nobody", "whatever", "错误信息：用户不存在  错误代码：201"},
                        Case{"old", "old123", "错误信息：使用时间已到期 错误代码：202"}}) {
    UseAccount(c.name, c.password);
    RunWindow([&](CTunvikDlg& w) {
      t::Click(w, IDC_CONNECT);
      EXPECT_EQ(Status(w), c.status) << c.name;
      EXPECT_EQ(Caption(w), "连 接");
      EXPECT_TRUE(w.IsDlgItemEnabled(IDC_CONNECT));
      // A user's attempt refused right after the start is no drop: the watch was never armed.
      w.OnTimer(kSupervisionTimer);
      EXPECT_FALSE(w.IsTimerRunning(kRedialTimer));
    });
  }
  EXPECT_TRUE(backend->Dials().empty());
}

TEST_F(Connect, AutomaticAttemptRefusedByTheServiceIsADropAndRetries) {
  apptest::FakeApi api;  // counts each request as it arrives
  api.Set("contactServer", {200, R"({"code":"202","duedate":"2020-01-01"})"});
  RunWindow(
      [&](CTunvikDlg& w) {
        w.StartAutoConnect();
        EXPECT_EQ(Status(w), "错误信息：使用时间已到期 错误代码：202");
        EXPECT_TRUE(w.dropWatchArmed);
        w.OnTimer(kSupervisionTimer);
        EXPECT_EQ(w.RunningTimers().count(kRedialTimer), 1u);
        EXPECT_EQ(w.RunningTimers().at(kRedialTimer), 3000);
        // The redial tick stops its timer and tries again.
        w.OnTimer(kRedialTimer);
        EXPECT_FALSE(w.IsTimerRunning(kRedialTimer));
        EXPECT_EQ(api.Count("contactServer"), 2);
      },
      api.Base());
}

TEST_F(Connect, ALoginAnswerThatIsNoJsonIsAFailedLogin) {
  apptest::FakeApi api;
  for (const std::string& answer : {std::string(4000, '['), std::string(R"({"code":"200",})")}) {
    api.Set("contactServer", {200, answer});
    RunWindow(
        [&](CTunvikDlg& w) {
          t::Click(w, IDC_CONNECT);
          EXPECT_EQ(Status(w), "错误信息：服务器故障或连接超时！error:404");
          EXPECT_EQ(Caption(w), "连 接");
          EXPECT_TRUE(w.IsDlgItemEnabled(IDC_CONNECT));
        },
        api.Base());
  }
  EXPECT_TRUE(backend->Dials().empty());
}

TEST_F(Connect, MissingInputIsToldAndNothingIsSentOrSaved) {
  struct Case {
    const char* settings;
    const char* message;
  };
  const Case cases[] = {
      {"[AccountConfig]\nPassword=p\n[HostConfig]\nXOLNO=1\nHost=127.0.0.1\n", "用户名不能为空"},
      {"[AccountConfig]\nAccount=demo\n[HostConfig]\nXOLNO=1\nHost=127.0.0.1\n", "密码不能为空"},
      {"[AccountConfig]\nAccount=demo\nPassword=demo123\n", "请选择服务器"},
  };
  apptest::FakeApi api;
  for (const Case& c : cases) {
    WriteSettings(c.settings);
    boxes.Clear();
    RunWindow(
        [&](CTunvikDlg& w) {
          t::Click(w, IDC_CONNECT);
          EXPECT_EQ(Caption(w), "连 接");
          EXPECT_EQ(Status(w), "未连接");
        },
        api.Base());
    EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{c.message});
    EXPECT_TRUE(api.Requests().empty());
    EXPECT_EQ(ReadSettings(), c.settings);
  }
}

TEST_F(Connect, AutomaticAttemptWhileConnectedChecksAndDoesNothing) {
  apptest::FakeApi api;
  api.Set("contactServer", {200, R"({"code":"200"})"});
  RunWindow(
      [&](CTunvikDlg& w) {
        t::Click(w, IDC_CONNECT);
        ASSERT_TRUE(WaitForCaption(w, "断 开"));
        w.StartAutoConnect();
        EXPECT_EQ(api.Count("contactServer"), 1);
        EXPECT_EQ(Caption(w), "断 开");
        EXPECT_EQ(backend->Dials().size(), 1u);
      },
      api.Base());
}

TEST_F(Connect, ExitWhileTheDialThreadRunsEndsCleanly) {
  boxes.QueueAnswer(ui::IDYES);
  backend->SetScenario(Fast(vpn::SimScenario::Kind::kSlow, 0, 3000));
  CTunvikDlg window;
  window.api = api::ApiMembers(service_->apiBase());
  backend->window = &window;
  int result = t::RunModal(window, [&] {
    t::Click(window, IDC_CONNECT);
    EXPECT_EQ(backend->Dials().size(), 1u);
    window.OnSysCommand(ui::SC_CLOSE);
    EXPECT_TRUE(t::WaitUntil([&] { return !window.IsWindowVisible(); }));
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  // The stop event was signalled: the dial thread hangs up and ends on its own.
  EXPECT_TRUE(t::WaitUntil([&] { return vpn::RunningDialThreads() == 0; }));
  EXPECT_TRUE(backend->Entries().empty());
  backend->window = nullptr;
}

}  // namespace
}  // namespace connection_test
