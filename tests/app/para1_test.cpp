// The server list page: the fetch and its retry pace, the table, the chosen server and the two
// radio groups, against a scripted API on loopback.
#include <QApplication>
#include <QWidget>

#include "app/resource.h"
#include "fake_api.h"
#include "pages/para1.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "window_fixture.h"

namespace {

namespace t = ui::testing;
using apptest::FakeApi;

struct Host : ui::Dialog {
  explicit Host(const std::string& apiBase)
      : ui::Dialog(ui::DialogTemplate{1, "host", 330, 130, 0, {}}) {
    page.api = api::ApiMembers(apiBase);
  }
  bool OnInitDialog() override {
    page.Create(*this);
    page.SetWindowPos({0, 0, 560, 220});
    page.ShowWindow(true);
    return true;
  }
  CPara1 page;
};

class ServerListPage : public apptest::WindowTest {
 protected:
  int Setting(const char* key, int fallback = 99) {
    return settings::GetProfileInt("HostConfig", key, fallback, SettingsPath());
  }
  std::string Text(const char* key) {
    return settings::GetProfileString("HostConfig", key, "?", settings::kWhole, SettingsPath());
  }
  FakeApi server;
};

const char* kThreeServers = R"([{"vpnNo":"1","vpnAddress":"北京","vpnHost":"10.0.0.1"},)"
                            R"({"vpnNo":"2","vpnAddress":"上海","vpnHost":"10.0.0.2"},)"
                            R"({"vpnNo":"3","vpnAddress":"广州","vpnHost":"vpn3.example"}])";

TEST_F(ServerListPage, FetchFillsTheTableAndAClickChoosesTheServer) {
  server.Set("getVpnHost", {200, kThreeServers});
  Host host(server.Base());
  t::RunModal(host, [&] {
    EXPECT_EQ(host.page.RunningTimers(), (std::map<int, int>{{1, 1000}}));
    EXPECT_EQ(text::GbkToUtf8(host.page.GetDlgItemText(IDC_CHOSEN_SERVER)), "#服务器");
    host.page.OnTimer(1);
    auto list = host.page.GetListView(IDC_SERVER_LIST);
    ASSERT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(text::GbkToUtf8(list.GetItemText(1, 1)), "上海");
    EXPECT_EQ(text::GbkToUtf8(list.GetItemText(1, 2)), "正常");
    EXPECT_EQ(list.GetItemText(2, 3), "vpn3.example");
    EXPECT_EQ(list.GetColumnWidth(3), 1);
    EXPECT_TRUE(host.page.RunningTimers().empty());  // fetched once for the run

    t::ClickListRow(host.page, IDC_SERVER_LIST, 2);
    EXPECT_EQ(text::GbkToUtf8(host.page.GetDlgItemText(IDC_CHOSEN_SERVER)), "3#服务器");
    EXPECT_EQ(host.page.GetServerNo(), "3");
    EXPECT_EQ(host.page.GetServerHost(), "vpn3.example");
  });
  EXPECT_EQ(ReadSettings(),
            "[HostConfig]\nVpnStrategy=0\nOfflineStrategy=0\nXOLNO=3\nHost=vpn3.example\n");
}

TEST_F(ServerListPage, EmptyArrayEmptiesTheTableAndStopsFetching) {
  server.Set("getVpnHost", {200, kThreeServers});
  Host host(server.Base());
  t::RunModal(host, [&] {
    host.page.OnTimer(1);
    server.Set("getVpnHost", {200, "[]"});
    host.page.OnTimer(1);
    EXPECT_EQ(host.page.GetListView(IDC_SERVER_LIST).GetItemCount(), 0);
    EXPECT_TRUE(host.page.RunningTimers().empty());
  });
}

TEST_F(ServerListPage, FailedRequestsRetryEverySecondAndNoJsonKeepsTheRows) {
  server.Set("getVpnHost", {500, kThreeServers});
  Host host(server.Base());
  t::RunModal(host, [&] {
    host.page.OnTimer(1);
    EXPECT_EQ(server.Count("getVpnHost"), 2);  // primary, then fallback
    EXPECT_EQ(host.page.RunningTimers(), (std::map<int, int>{{1, 1000}}));
    EXPECT_EQ(host.page.GetListView(IDC_SERVER_LIST).GetItemCount(), 0);

    server.Set("getVpnHost", {200, kThreeServers});
    host.page.OnTimer(1);
    server.Set("getVpnHost", {200, "<html>"});
    host.page.OnTimer(1);
    EXPECT_EQ(host.page.GetListView(IDC_SERVER_LIST).GetItemCount(), 3);
    EXPECT_TRUE(host.page.RunningTimers().empty());
  });
}

TEST_F(ServerListPage, ARetryThatComesWhileTheFailedFetchsWaitIsHeldStillRuns) {
  // The fetch fails during an outage; while a handler nested in its wait holds the wait (a dialog
  // left open, say), the retry timer ticks: the retry runs, and the list arrives.
  server.Set("getVpnHost", {500, kThreeServers, 200});
  Host host(server.Base());
  int rowsWhileHeld = -1;
  t::RunModal(host, [&] {
    ui::Post([&] { host.page.OnTimer(1); });
    ui::Post([&] {
      t::WaitUntil([&] { return server.Count("getVpnHost") == 2; });
      server.Set("getVpnHost", {200, kThreeServers});
      t::WaitUntil([&] { return host.page.GetListView(IDC_SERVER_LIST).GetItemCount() == 3; },
                   15000);
      rowsWhileHeld = host.page.GetListView(IDC_SERVER_LIST).GetItemCount();
    });
    t::WaitUntil([&] { return rowsWhileHeld >= 0; }, 30000);
  });
  EXPECT_EQ(rowsWhileHeld, 3);
}

TEST_F(ServerListPage, ClickBelowTheRowsChangesNothing) {
  server.Set("getVpnHost", {200, kThreeServers});
  Host host(server.Base());
  t::RunModal(host, [&] {
    host.page.OnTimer(1);
    t::ClickListRow(host.page, IDC_SERVER_LIST, -1);
    EXPECT_EQ(host.page.GetServerNo(), "");
  });
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(ServerListPage, RadioGroupsStoreTheirIndexOrMinusOne) {
  WriteSettings("[HostConfig]\nOfflineStrategy=5\nVpnStrategy=1\nXOLNO=7\nHost=h7\n");
  Host host(server.Base());
  t::RunModal(host, [&] {
    EXPECT_EQ(host.page.GetCheckedRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE), 0);
    EXPECT_EQ(host.page.GetCheckedRadioButton(IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP),
              IDC_PROTOCOL_PPTP);
    EXPECT_EQ(text::GbkToUtf8(host.page.GetDlgItemText(IDC_CHOSEN_SERVER)), "7#服务器");
    t::Click(host.page, IDC_PROTOCOL_L2TP);
    EXPECT_EQ(Setting("OfflineStrategy"), -1);
    EXPECT_EQ(Setting("VpnStrategy"), 0);
    EXPECT_EQ(Text("XOLNO"), "7");
    t::Click(host.page, IDC_OFFLINE_DISABLE);
    EXPECT_EQ(Setting("OfflineStrategy"), 2);
  });
}

TEST_F(ServerListPage, CloseProgramsRadioSavesThenOpensTheCloseList) {
  Host host(server.Base());
  std::string title;
  t::RunModal(host, [&] {
    ui::Post([&] {
      // Runs inside the close-list dialog's own loop.
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        title = dialog->windowTitle().toStdString();
        dialog->close();
      }
    });
    t::Click(host.page, IDC_OFFLINE_CLOSE);
  });
  EXPECT_EQ(title, "掉线关闭指定进程");
  EXPECT_EQ(settings::GetProfileInt("HostConfig", "OfflineStrategy", 9, SettingsPath()), 1);
}

}  // namespace
