// The main window on the offscreen platform: start-up from the settings file, the tab pages,
// the key filter, the exit question, the process list's columns and the update clean-up timer.
#include <QApplication>
#include <QTableWidget>
#include <QWidget>

#include "app/fake_api.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "ui/qt_access.h"
#include "window_fixture.h"

namespace {

namespace t = ui::testing;
using apptest::WindowTest;

using MainWindow = WindowTest;

TEST_F(MainWindow, FirstStartShowsEmptyAccountAndClearSwitches) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    EXPECT_EQ(window.GetDlgItemText(IDC_ACCOUNT), "");
    EXPECT_EQ(window.GetDlgItemText(IDC_PASSWORD), "");
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOSTART), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOCONNECT), 0);
    EXPECT_EQ(text::GbkToUtf8(window.GetDlgItemText(IDC_STATUS)), "未连接");
    EXPECT_EQ(text::GbkToUtf8(window.GetDlgItemText(IDC_NOTICE)), "加载中...");
    EXPECT_EQ(text::GbkToUtf8(window.GetDlgItemText(IDC_CONNECT)), "连 接");
    EXPECT_EQ(text::GbkToUtf8(window.GetWindowText()), "Quoril_v10.6");
    EXPECT_EQ(window.RunningTimers(),
              (std::map<int, int>{{1, 20000}, {2, 1500}, {5, 1000}, {7, 3600000}}));
  });
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));  // nothing written without a change
}

TEST_F(MainWindow, StoredAccountAndSwitchesAreShown) {
  WriteSettings(
      text::Utf8ToGbk("[AccountConfig]\nAccount=demo\nPassword=demo123\nDueDate=2027-12-10\n"
                      "[HostConfig]\nAutostart=1\nAutoConnect=1\nnetwork=eth0|网卡|\n"));
  CTunvikDlg window;
  EXPECT_EQ(window.disabledAdapters, (std::vector<std::string>{"eth0", text::Utf8ToGbk("网卡")}));
  t::RunModal(window, [&] {
    EXPECT_EQ(window.GetDlgItemText(IDC_ACCOUNT), "demo");
    EXPECT_EQ(window.GetDlgItemText(IDC_PASSWORD), "demo123");
    EXPECT_EQ(window.GetDlgItemText(IDC_DUE_DATE), "2027-12-10");
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOSTART), 1);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_AUTOCONNECT), 1);
  });
}

TEST_F(MainWindow, EscapeAndEnterInTheAccountEditsChangeNothing) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    for (int id : {IDC_ACCOUNT, IDC_PASSWORD}) {
      t::TypeText(window, id, "ab");
      t::PressKey(window, id, ui::VK_ESCAPE);
      t::PressKey(window, id, ui::VK_RETURN);
      EXPECT_EQ(window.GetDlgItemText(id), "ab");
    }
    EXPECT_TRUE(window.IsWindowVisible());
    EXPECT_EQ(boxes.Count(), 0u);
  });
}

TEST_F(MainWindow, CloseRequestAsksAndOnlyYesCloses) {
  CTunvikDlg window;
  bool visibleAfterNo = false;
  boxes.QueueAnswer(ui::IDNO);
  boxes.QueueAnswer(ui::IDYES);
  t::RunModal(window, [&] {
    t::RequestClose(window);
    t::ProcessEvents(20);
    visibleAfterNo = window.IsWindowVisible();
    t::RequestClose(window);
    EXPECT_TRUE(t::WaitUntil([&] { return !window.IsWindowVisible(); }));
  });
  EXPECT_TRUE(visibleAfterNo);
  auto shown = boxes.Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(text::GbkToUtf8(shown[0].text), "确定退出吗？");
  EXPECT_EQ(text::GbkToUtf8(shown[0].caption), "退出");
  EXPECT_EQ(shown[0].type, ui::MB_YESNO);
}

TEST_F(MainWindow, ExitSignalsTheStopEventOfARunningConnection) {
  CTunvikDlg window;
  auto event = std::make_shared<vpn::Event>();
  window.stopEvent = event;
  boxes.QueueAnswer(ui::IDYES);
  t::RunModal(window, [&] { window.OnSysCommand(ui::SC_CLOSE); });
  EXPECT_TRUE(event->Wait(std::chrono::milliseconds(0)));
  EXPECT_EQ(window.stopEvent.load(), nullptr);
}

TEST_F(MainWindow, TabSelectionShowsExactlyOnePage) {
  CTunvikDlg window;
  auto visiblePages = [&] {
    return std::vector<bool>{window.page1.IsWindowVisible(), window.page2.IsWindowVisible(),
                             window.page3.IsWindowVisible()};
  };
  t::RunModal(window, [&] {
    EXPECT_EQ(visiblePages(), (std::vector<bool>{true, false, false}));
    t::ClickTab(window, IDC_TAB, 2);
    EXPECT_EQ(visiblePages(), (std::vector<bool>{false, false, true}));
    t::ClickTab(window, IDC_TAB, 1);
    EXPECT_EQ(visiblePages(), (std::vector<bool>{false, true, false}));
    t::ClickTab(window, IDC_TAB, 0);
    EXPECT_EQ(visiblePages(), (std::vector<bool>{true, false, false}));
    auto tabs = window.GetTabControl(IDC_TAB);
    EXPECT_EQ(text::GbkToUtf8(tabs.GetItemText(0) + "|" + tabs.GetItemText(1) + "|" +
                              tabs.GetItemText(2)),
              "服务器|虚拟信息|帮助中心");
    // The pages fill the tab control but for its tab row and frame.
    ui::Rect tab = window.GetTabControl(IDC_TAB).GetClientRect();
    EXPECT_EQ(window.page1.GetWindowRect(), (ui::Rect{1, 25, tab.right - 1, tab.bottom - 1}));
  });
}

TEST_F(MainWindow, ProcessListColumnsFollowItsClientWidth) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    auto* table = static_cast<QTableWidget*>(ui::ControlWidget(window, IDC_PROCESS_LIST));
    table->resize(400 + 2 * table->frameWidth(), table->height());
    table->setColumnCount(0);
    window.SetUpProcessListColumns();
    auto list = window.GetListView(IDC_PROCESS_LIST);
    ASSERT_EQ(list.GetColumnCount(), 3);
    EXPECT_EQ(list.GetColumnWidth(0), 50);
    EXPECT_EQ(list.GetColumnWidth(1), 133);
    EXPECT_EQ(list.GetColumnWidth(2), 133);
    EXPECT_EQ(text::GbkToUtf8(list.GetColumnHeading(1)), "进程名");
    EXPECT_EQ(list.GetExtendedStyle() & 0x21u, 0x21u);
  });
}

TEST_F(MainWindow, UpdateStateOneStartsTheCleanUpTimer) {
  struct Case {
    const char* file;
    bool timer8;
  };
  for (const Case& c : {Case{"[HostConfig]\nUpdateState=1\n", true},
                        Case{"[HostConfig]\nUpdateState=0\n", false}, Case{nullptr, false}}) {
    std::filesystem::remove(SettingsPath());
    if (c.file != nullptr) WriteSettings(c.file);
    CTunvikDlg window;
    t::RunModal(window, [&] {
      EXPECT_EQ(window.IsTimerRunning(8), c.timer8) << (c.file ? c.file : "no file");
      if (c.timer8) {
        EXPECT_EQ(window.RunningTimers().at(8), 3000);
      }
    });
  }
}

TEST_F(MainWindow, AboutItemOfTheContextMenuOpensTheAboutBox) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    EXPECT_EQ(t::SystemMenuTextsUtf8(window), (std::vector<std::string>{"", "关于 Tunvik(&A)..."}));
    std::string aboutTitle;
    ui::Post([&] {
      // Runs inside the About box's own modal loop.
      QWidget* about = QApplication::activeModalWidget();
      if (about != nullptr) {
        aboutTitle = about->windowTitle().toStdString();
        about->close();
      }
    });
    t::ChooseSystemMenuItem(window, IDM_ABOUTBOX);
    EXPECT_EQ(aboutTitle, "关于 Tunvik");
  });
}

TEST_F(MainWindow, AccountDialogClosedReloadsTheAccountAndRefreshesTheExpiry) {
  apptest::FakeApi api;
  api.Set("getDueDate", {200, R"({"code":"200","duedate":"2031-05-01"})"});
  CTunvikDlg window;
  window.api = api::ApiMembers(api.Base());
  std::string dialogTitle;
  t::RunModal(window, [&] {
    window.KillTimer(kNoticeTimer);
    window.page1.KillTimer(1);
    ui::Post([&] {
      // Runs inside the account dialog's loop: a new account is registered meanwhile.
      WriteSettings("[AccountConfig]\nAccount=newuser\nPassword=newpass\n");
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialogTitle = dialog->windowTitle().toStdString();
        dialog->close();
      }
    });
    t::Click(window, IDC_ACCOUNT_BUTTON);
    EXPECT_EQ(window.GetDlgItemText(IDC_ACCOUNT), "newuser");
    EXPECT_EQ(window.GetDlgItemText(IDC_PASSWORD), "newpass");
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_ACCOUNT_BUTTON), 0);
    EXPECT_EQ(window.GetDlgItemText(IDC_DUE_DATE), "2031-05-01");
  });
  EXPECT_EQ(dialogTitle, "XOL_VPN 注册");
  auto requests = api.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].endpoint, "getDueDate");
  EXPECT_NE(requests[0].body.find("newuser"), std::string::npos);
}

}  // namespace
