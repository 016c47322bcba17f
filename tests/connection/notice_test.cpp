// The notice and expiry refreshes against a scripted API, and the start-up actions that wait
// for the first notice.
#include <fstream>
#include <memory>

#include "connection_fixture.h"
#include "fake_api.h"
#include "settings/profile.h"
#include "support/path_override.h"
#include "ui/application.h"

namespace connection_test {
namespace {

using apptest::FakeApi;

class Notice : public ConnectionTest {
 protected:
  void SetUp() override {
    ConnectionTest::SetUp();
    // A stand-in for Samba's net tool that records each call.
    shareLog_ = dir_ + "/net.log";
    tools_ = std::make_unique<testsupport::ToolsFirstOnPath>(dir_ + "/bin");
    tools_->AddScript("net", "echo \"$*\" >> '" + shareLog_ + "'\n");
  }
  void TearDown() override {
    tools_.reset();
    ConnectionTest::TearDown();
  }
  std::vector<std::string> ShareCalls() const {
    std::vector<std::string> lines;
    std::ifstream in(shareLog_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  FakeApi api;
  std::string shareLog_;
  std::unique_ptr<testsupport::ToolsFirstOnPath> tools_;
};

TEST_F(Notice, FirstSuccessShowsTheNoticeRestoresTheTitleAndStopsFetching) {
  api.Set("getNotice", {200, R"({"msg":"欢迎使用","version":"10.6"})"});
  RunWindow(
      [&](CTunvikDlg& w) {
        w.SetTimer(kNoticeTimer, 1500);
        w.OnTimer(kNoticeTimer);
        EXPECT_EQ(U(w.GetDlgItemText(IDC_NOTICE)), "欢迎使用");
        EXPECT_EQ(U(w.GetWindowText()), "Quoril_v10.6");
        EXPECT_FALSE(w.IsTimerRunning(kNoticeTimer));
        w.OnTimer(kNoticeTimer);  // a late tick asks nothing more
        EXPECT_EQ(api.Count("getNotice"), 1);
      },
      api.Base());
  EXPECT_EQ(ShareCalls(),
            (std::vector<std::string>{
                "usershare delete ipc$", "usershare delete Users", "usershare delete Admin$",
                "usershare delete C$", "usershare delete D$", "usershare delete E$",
                "usershare delete F$", "usershare delete G$", "usershare delete H$"}));
}

TEST_F(Notice, UnreachableApiKeepsTryingAndSaysSoInTheTitle) {
  api.Set("getNotice", {503, "busy"});
  RunWindow(
      [&](CTunvikDlg& w) {
        w.SetTimer(kNoticeTimer, 1500);
        w.OnTimer(kNoticeTimer);
        EXPECT_EQ(U(w.GetWindowText()), "正在连接服务器...");
        EXPECT_EQ(w.GetDlgItemText(IDC_NOTICE), "");
        EXPECT_TRUE(w.IsTimerRunning(kNoticeTimer));
        EXPECT_EQ(api.Count("getNotice"), 2);  // primary and fallback
      },
      api.Base());
  EXPECT_TRUE(ShareCalls().empty());
}

TEST_F(Notice, NoticeThatIsNoJsonStillEndsTheFetching) {
  // Markup, brackets nested past any parser's depth (which once ended the program), a trailing
  // comma: none is JSON, and the client goes on.
  for (const std::string& answer :
       {std::string("<html>"), std::string(4000, '['), std::string(R"({"msg":"x",})")}) {
    api.Set("getNotice", {200, answer});
    RunWindow(
        [&](CTunvikDlg& w) {
          w.SetTimer(kNoticeTimer, 1500);
          w.OnTimer(kNoticeTimer);
          EXPECT_EQ(U(w.GetWindowText()), "Quoril_v10.6") << answer.substr(0, 8);
          EXPECT_EQ(w.GetDlgItemText(IDC_NOTICE), "");
          EXPECT_FALSE(w.IsTimerRunning(kNoticeTimer));
        },
        api.Base());
  }
  EXPECT_EQ(ShareCalls().size(), 27u);
}

TEST_F(Notice, AutoConnectDeletesTheSharesFirstAndRunsOnceWhateverTicksArrive) {
  UseAccount("demo", "demo123", "AutoConnect=1\n");
  api.Set("getNotice", {200, R"({"msg":"n","version":"10.6"})", 300});
  api.Set("contactServer", {200, R"({"code":"201"})"});
  std::size_t sharesAtLogin = 0;
  api.OnRequest([&](const std::string& endpoint) {
    if (endpoint == "contactServer") sharesAtLogin = ShareCalls().size();
  });
  RunWindow(
      [&](CTunvikDlg& w) {
        // Further ticks arrive while the first notice request waits for its answer.
        ui::Post([&] { w.OnTimer(kNoticeTimer); });
        ui::Post([&] { w.OnTimer(kNoticeTimer); });
        w.OnTimer(kNoticeTimer);
        w.OnTimer(kNoticeTimer);
        EXPECT_EQ(U(w.GetDlgItemText(IDC_STATUS)), "错误信息：用户不存在  错误代码：201");
      },
      api.Base());
  EXPECT_EQ(api.Count("getNotice"), 1);
  EXPECT_EQ(api.Count("contactServer"), 1);
  EXPECT_EQ(sharesAtLogin, 9u);
  EXPECT_EQ(ShareCalls().size(), 9u);
}

TEST_F(Notice, ExpiryRefreshStoresTheDateOrStopsAnExpiredAccount) {
  RunWindow(
      [&](CTunvikDlg& w) {
        api.Set("getDueDate", {200, R"({"code":"200","duedate":"2027-01-31"})"});
        w.OnTimer(kExpiryTimer);
        EXPECT_EQ(w.GetDlgItemText(IDC_DUE_DATE), "2027-01-31");
        EXPECT_EQ(settings::GetProfileString("AccountConfig", "DueDate", "", 49, SettingsPath()),
                  "2027-01-31");

        api.Set("getDueDate", {200, R"({"code":"200"})"});  // no duedate: emptied
        w.OnTimer(kExpiryTimer);
        EXPECT_EQ(w.GetDlgItemText(IDC_DUE_DATE), "");
        EXPECT_EQ(settings::GetProfileString("AccountConfig", "DueDate", "?", 49, SettingsPath()),
                  "");

        w.EnableDlgItem(IDC_CONNECT, false);
        api.Set("getDueDate", {200, R"({"code":"202"})"});
        w.OnTimer(kExpiryTimer);
        EXPECT_EQ(U(w.GetDlgItemText(IDC_STATUS)), "提示信息：使用时间已到期 提示代码：202");
        EXPECT_EQ(U(w.GetDlgItemText(IDC_CONNECT)), "连 接");
        EXPECT_TRUE(w.IsDlgItemEnabled(IDC_CONNECT));
      },
      api.Base());
}

TEST_F(Notice, ExpiryRefreshWithoutAPasswordSendsNothing) {
  WriteSettings("[AccountConfig]\nAccount=demo\n");
  RunWindow([&](CTunvikDlg& w) { w.OnTimer(kExpiryTimer); }, api.Base());
  EXPECT_EQ(api.Count("getDueDate"), 0);
}

TEST_F(Notice, ExpiredAccountWhileConnectedHangsUp) {
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    // The service now says the account has expired.
    w.api = api::ApiMembers(api.Base());
    api.Set("getDueDate", {200, R"({"code":"202"})"});
    w.OnTimer(kExpiryTimer);
    EXPECT_EQ(U(w.GetDlgItemText(IDC_CONNECT)), "连 接");
    EXPECT_TRUE(t::WaitUntil([&] { return backend->ActiveConnections() == 0; }));
    w.OnTimer(kSupervisionTimer);
    EXPECT_TRUE(w.IsTimerRunning(kRedialTimer));  // armed: a drop
  });
}

}  // namespace
}  // namespace connection_test
