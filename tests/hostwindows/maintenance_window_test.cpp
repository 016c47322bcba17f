// The maintenance actions from the windows: the autostart and auto-connect checkboxes of the main
// window, and the 789 repair from the main window and from the help page's button, with a
// restart action of the test's own.
#include <gtest/gtest.h>

#include "host_window_fixture.h"
#include "hosttools/autostart_entry.h"
#include "hosttools/dialer_settings.h"
#include "hosttools/restart_action.h"
#include "settings/profile.h"
#include "settings/program_dir.h"

namespace {

namespace t = ui::testing;
using hosttools_test::ReadAll;
using hosttools_test::ScopedEnv;
using hostwindows_test::G;
using hostwindows_test::HostWindowTest;
using hostwindows_test::U;

using Maintenance = HostWindowTest;

int StoredInt(const std::string& key, const std::string& path) {
  return settings::GetProfileInt("HostConfig", key, -1, path);
}

TEST_F(Maintenance, AutostartBoxCreatesAndDeletesTheEntryAndStoresEachClick) {
  const std::string entry = ConfigDir() + "/autostart/Quoril_v10.6.desktop";
  CTunvikDlg window;
  t::RunModal(window, [&] {
    t::Click(window, IDC_AUTOSTART);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOSTART), ui::BST_CHECKED);
    EXPECT_EQ(StoredInt("Autostart", SettingsPath()), 1);
    std::string desktop = ReadAll(entry).value_or("");
    EXPECT_NE(desktop.find("Exec=\"" + settings::ProgramPath() + "\"\n"), std::string::npos)
        << desktop;

    t::Click(window, IDC_AUTOSTART);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOSTART), ui::BST_UNCHECKED);
    EXPECT_EQ(StoredInt("Autostart", SettingsPath()), 0);
    EXPECT_FALSE(ReadAll(entry).has_value());
  });
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"设置自启成功", "关闭自启成功"}));
  for (const auto& box : boxes.Shown()) EXPECT_EQ(U(box.ownerTitle), "Quoril_v10.6");
}

TEST_F(Maintenance, AutostartThatCannotBeWrittenClearsTheBoxWhileAutostartHoldsOne) {
  // A file where the configuration folder should be: the autostart folder cannot be made.
  hosttools_test::WriteAll(dir_ + "/not-a-folder", "x");
  ScopedEnv config("XDG_CONFIG_HOME", dir_ + "/not-a-folder");
  CTunvikDlg window;
  t::RunModal(window, [&] {
    t::Click(window, IDC_AUTOSTART);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOSTART), ui::BST_UNCHECKED);
  });
  EXPECT_EQ(StoredInt("Autostart", SettingsPath()), 1);
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"打开启动项失败", "设置自启失败"}));
}

TEST_F(Maintenance, AutoConnectBoxIsStoredWithoutAMessage) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    t::Click(window, IDC_AUTOCONNECT);
    EXPECT_EQ(StoredInt("AutoConnect", SettingsPath()), 1);
    t::Click(window, IDC_AUTOCONNECT);
    EXPECT_EQ(StoredInt("AutoConnect", SettingsPath()), 0);
  });
  EXPECT_EQ(boxes.Count(), 0u);
}

class FakeRestart : public hosttools::RestartAction {
 public:
  explicit FakeRestart(hosttools::RestartResult result) : result_(result) {}
  hosttools::RestartResult Restart() override {
    ++calls;
    return result_;
  }
  int calls = 0;

 private:
  hosttools::RestartResult result_;
};

// Puts a fake restart and a dialer settings file of the test's own in place for one test.
class Fix789Window : public HostWindowTest {
 protected:
  void SetUp() override {
    HostWindowTest::SetUp();
    oldDialerPath_ = hosttools::DialerSettingsPath();
    hosttools::SetDialerSettingsPathForTesting(dir_ + "/etc-tunvik/dialer.ini");
  }
  void TearDown() override {
    hosttools::SetDialerSettingsPathForTesting(oldDialerPath_);
    hosttools::SetSystemRestartActionForTesting(oldRestart_);
    HostWindowTest::TearDown();
  }
  void UseRestart(FakeRestart& fake) { hosttools::SetSystemRestartActionForTesting(&fake); }
  // The repair writes the user's own file; the dialer reads it before the system-wide one.
  std::string DialerPath() const { return ConfigDir() + "/tunvik/dialer.ini"; }
  bool ValueSet() const {
    return hosttools::ProhibitIpSec(DialerPath()) && hosttools::ProhibitIpSec();
  }

 private:
  std::string oldDialerPath_;
  hosttools::RestartAction* oldRestart_ = &hosttools::SystemRestartAction();
};

// The repair as the main window runs it and as the help page's button runs it.
enum class From { kMainWindow, kHelpPageButton };

void RunFix789(CTunvikDlg& window, From from) {
  t::RunModal(window, [&] {
    if (from == From::kMainWindow) {
      window.Fix789();
    } else {
      t::ClickTab(window, IDC_TAB, 2);
      t::Click(window.page3, IDC_FIX789);
    }
  });
}

TEST_F(Fix789Window, AnsweredNoSetsTheValueAndRestartsNothing) {
  for (From from : {From::kMainWindow, From::kHelpPageButton}) {
    std::filesystem::remove_all(ConfigDir() + "/tunvik");
    boxes.Clear();
    FakeRestart restart(hosttools::RestartResult::kRestarting);
    UseRestart(restart);
    boxes.QueueAnswer(ui::IDNO);
    CTunvikDlg window;
    RunFix789(window, from);

    EXPECT_TRUE(ValueSet());
    EXPECT_EQ(restart.calls, 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(U(shown[0].text), "出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？");
    EXPECT_EQ(U(shown[0].caption), "修复成功");
    EXPECT_EQ(shown[0].type, ui::MB_YESNO);
    // The main window owns its question; the page, a child without a title, its own.
    EXPECT_EQ(U(shown[0].ownerTitle), from == From::kMainWindow ? "Quoril_v10.6" : "");
  }
}

TEST_F(Fix789Window, AnsweredYesAsksTheRestartAndReportsARefusal) {
  struct Case {
    hosttools::RestartResult result;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {hosttools::RestartResult::kRestarting,
       {"出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？"}},
      {hosttools::RestartResult::kRefused,
       {"出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？", "关机失败"}},
      {hosttools::RestartResult::kCannotAsk,
       {"出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？",
        "OpenProcessToken Error!"}},
  };
  for (const Case& c : cases) {
    for (From from : {From::kMainWindow, From::kHelpPageButton}) {
      boxes.Clear();
      FakeRestart restart(c.result);
      UseRestart(restart);
      boxes.QueueAnswer(ui::IDYES);
      CTunvikDlg window;
      RunFix789(window, from);

      EXPECT_EQ(restart.calls, 1);
      EXPECT_TRUE(ValueSet());
      EXPECT_EQ(boxes.TextsUtf8(), c.texts);
      // A refusal is told in the application's box, which has no owner.
      if (c.texts.size() == 2) {
        EXPECT_EQ(boxes.Shown()[1].ownerTitle, "");
      }
    }
  }
}

TEST_F(Fix789Window, WithoutTheRightShowsItsMessageAndChangesNothing) {
  // A file where the user's dialer settings folder should be: it can be neither made nor
  // written, as in a configuration folder the user may not write.
  hosttools_test::WriteAll(ConfigDir() + "/tunvik", "x");
  FakeRestart restart(hosttools::RestartResult::kRestarting);
  UseRestart(restart);
  for (From from : {From::kMainWindow, From::kHelpPageButton}) {
    boxes.Clear();
    CTunvikDlg window;
    RunFix789(window, from);
    EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"打开注册表失败,请用管理员身份运行"}));
  }
  EXPECT_EQ(restart.calls, 0);
  EXPECT_EQ(ReadAll(ConfigDir() + "/tunvik").value_or(""), "x");
}

}  // namespace
