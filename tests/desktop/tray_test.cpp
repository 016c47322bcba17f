// The tray icon on the offscreen platform: its icon follows the connection, its tooltip the title
// and the status line, and its menu does what the window's buttons and close request do.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QSystemTrayIcon>

#include <fstream>

#include "desktop_fixture.h"
#include "support/path_override.h"
#include "ui/qt_access.h"

namespace desktop_test {
namespace {

using Tray = DesktopTest;

QSystemTrayIcon* IconOf(CTunvikDlg& w) {
  return ui::SystemTrayIcon(w.desktop->Tray());
}

// The menu's items as "text" or "text (disabled)", separators as "".
std::vector<std::string> MenuOf(CTunvikDlg& w) {
  std::vector<std::string> items;
  for (QAction* action : IconOf(w)->contextMenu()->actions()) {
    std::string item = action->text().toStdString();
    if (!action->isSeparator() && !action->isEnabled()) item += " (disabled)";
    items.push_back(item);
  }
  return items;
}

// Chooses the menu item with `text`, as the user does, and lets its work run.
void Choose(CTunvikDlg& w, const std::string& text) {
  for (QAction* action : IconOf(w)->contextMenu()->actions()) {
    if (action->text().toStdString() == text) action->trigger();
  }
  t::ProcessEvents(50);
}

std::string ToolTip(CTunvikDlg& w) {
  return IconOf(w)->toolTip().toStdString();
}

TEST_F(Tray, IconToolTipAndMenuFollowTheConnectionAndTheMenuConnects) {
  RunWindow([&](CTunvikDlg& w) {
    ui::TrayIcon& tray = w.desktop->Tray();
    EXPECT_EQ(tray.State(), ui::TrayState::kIdle);
    EXPECT_EQ(ToolTip(w), "Quoril_v10.6\n未连接");
    EXPECT_EQ(MenuOf(w), (std::vector<std::string>{"显示主窗口", "连接", "恢复网络", "", "退出"}));

    // While an attempt runs, the item says so and cannot be chosen, like the button.
    w.SetDlgItemText(IDC_CONNECT, G("正在连接..."));
    w.EnableDlgItem(IDC_CONNECT, false);
    EXPECT_EQ(tray.State(), ui::TrayState::kConnecting);
    EXPECT_EQ(MenuOf(w)[1], "正在连接... (disabled)");
    w.SetConnectCaptionEnabled(G("连 接"));
    EXPECT_EQ(MenuOf(w)[1], "连接");

    Choose(w, "连接");
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(tray.State(), ui::TrayState::kConnected);
    EXPECT_EQ(ToolTip(w), "Quoril_v10.6\n1 #服务器连接成功 状态 （正常）");
    EXPECT_EQ(MenuOf(w)[1], "断开");
    w.SetWindowText(G("正在连接服务器..."));
    EXPECT_EQ(ToolTip(w), "正在连接服务器...\n1 #服务器连接成功 状态 （正常）");

    Choose(w, "断开");
    ASSERT_TRUE(WaitForCaption(w, "连 接"));
    EXPECT_EQ(tray.State(), ui::TrayState::kIdle);
    EXPECT_FALSE(w.dropWatchArmed);  // the user's disconnect, as with the button
  });
}

TEST_F(Tray, NetworkSwitchedOffShowsUntilItIsRestoredFromTheMenu) {
  testsupport::ToolsFirstOnPath tools(dir_ + "/bin");
  tools.AddScript("ip", "echo \"$*\" >> '" + dir_ + "/ip.log'\n");
  UseAccount("demo", "demo123", "OfflineStrategy=2\n");
  RunWindow([&](CTunvikDlg& w) {
    ConnectAndDrop(w);
    // The machine's links were "switched off" by the stand-in; with none to switch off, the
    // icon has nothing to warn of.
    const bool off = !w.disabledAdapters.empty();
    EXPECT_EQ(w.desktop->Tray().State(), off ? ui::TrayState::kNetworkOff : ui::TrayState::kIdle);
    Choose(w, "恢复网络");
    EXPECT_EQ(w.desktop->Tray().State(), ui::TrayState::kIdle);
    if (off) {
      std::ifstream log(dir_ + "/ip.log");
      std::string all((std::istreambuf_iterator<char>(log)), {});
      EXPECT_NE(all.find("link set dev " + w.disabledAdapters[0] + " up"), std::string::npos);
    }
  });
}

TEST_F(Tray, EachStateHasAnIconOfItsOwnDrawnFromTheProgramsIcon) {
  RunWindow([&](CTunvikDlg& w) {
    std::vector<QImage> images;
    for (ui::TrayState state : {ui::TrayState::kIdle, ui::TrayState::kConnecting,
                                ui::TrayState::kConnected, ui::TrayState::kNetworkOff}) {
      w.desktop->Tray().SetState(state);
      images.push_back(IconOf(w)->icon().pixmap(32, 32).toImage());
      ASSERT_FALSE(images.back().isNull());
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
      for (std::size_t j = i + 1; j < images.size(); ++j) EXPECT_NE(images[i], images[j]) << i << j;
    }
    // Idle is the program's icon in grey.
    const QImage& idle = images[0];
    for (int y = 0; y < idle.height(); ++y) {
      for (int x = 0; x < idle.width(); ++x) {
        const QRgb p = idle.pixel(x, y);
        ASSERT_EQ(qRed(p), qGreen(p)) << x << "," << y;
        ASSERT_EQ(qGreen(p), qBlue(p)) << x << "," << y;
      }
    }
  });
}

TEST_F(Tray, ShowAndAClickOnTheIconBringTheWindowForward) {
  RunWindow([&](CTunvikDlg& w) {
    w.Minimize();
    ASSERT_TRUE(w.IsIconic());
    Choose(w, "显示主窗口");
    EXPECT_FALSE(w.IsIconic());
    EXPECT_TRUE(w.IsWindowVisible());
    w.Minimize();
    emit IconOf(w)->activated(QSystemTrayIcon::Trigger);
    t::ProcessEvents(50);
    EXPECT_FALSE(w.IsIconic());
  });
}

TEST_F(Tray, ExitAsksTheWindowsQuestionOnceAndLeavesOnYes) {
  const int endsBefore = t::ProcessEnds();
  RunWindow([&](CTunvikDlg& w) {
    // Asked again from the menu while the question is open: still one question.
    boxes.WhileNextOpen([&] { Choose(w, "退出"); });
    boxes.QueueAnswer(ui::IDNO);
    Choose(w, "退出");
    ASSERT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"确定退出吗？"});
    EXPECT_EQ(U(boxes.Shown()[0].caption), "退出");
    EXPECT_TRUE(w.IsWindowVisible());
    EXPECT_EQ(t::ProcessEnds(), endsBefore);
    boxes.QueueAnswer(ui::IDYES);
    Choose(w, "退出");
    EXPECT_TRUE(t::WaitUntil([&] { return t::ProcessEnds() == endsBefore + 1; }));
  });
  EXPECT_EQ(boxes.Count(), 2u);
}

}  // namespace
}  // namespace desktop_test
