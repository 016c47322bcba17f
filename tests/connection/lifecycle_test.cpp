// The connection through nested waits, dialogs, late dial threads and the exit: redials that go
// on while a dialog is open, an older dial thread that ends after a newer one has connected,
// supervision while a box of its own tick is open, and an exit that hangs up before the end.
#include <QApplication>
#include <QWidget>

#include "connection_fixture.h"
#include "fake_api.h"
#include "settings/profile.h"
#include "ui/application.h"

namespace connection_test {
namespace {

using apptest::FakeApi;

class Lifecycle : public ConnectionTest {
 protected:
  void TearDown() override {
    ui::SetEndProcessHandlerForTesting([] {});
    ConnectionTest::TearDown();
  }
  // Closes whatever modal dialog is open on top of the main window.
  static void CloseModalDialog() {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  }
  // Counts the ends of the process, and what the dialer had left at the first of them.
  void WatchTheEnd() {
    ui::SetEndProcessHandlerForTesting([this] {
      if (ends_++ == 0) {
        entriesAtEnd_ = backend->Entries().size();
        connectionsAtEnd_ = backend->ActiveConnections();
        dialThreadsAtEnd_ = vpn::RunningDialThreads();
      }
    });
  }

  FakeApi api;
  int ends_ = 0;
  std::size_t entriesAtEnd_ = 99;
  int connectionsAtEnd_ = 99, dialThreadsAtEnd_ = 99;
};

TEST_F(Lifecycle, RedialsGoOnWhileTheAccountDialogIsOpenAndAfterItCloses) {
  // Automatic attempts that the service refuses after a while, with offline strategy 0.
  api.Set("contactServer", {200, R"({"code":"201"})", 600});
  RunWindow(
      [&](CTunvikDlg& w) {
        w.SetTimer(kSupervisionTimer, 100);
        // The account dialog opens inside the attempt's wait and stays open across the refusal
        // and the redial that follows it three seconds later.
        int loginsWhileOpen = 0;
        bool dialogClosed = false;
        ui::Post([&] { w.StartAutoConnect(); });
        ui::Post([&] {
          t::WaitUntil([&] { return api.Count("contactServer") == 1; });
          ui::Post([&] {
            t::WaitUntil([&] { return api.Count("contactServer") >= 2; }, 15000);
            loginsWhileOpen = api.Count("contactServer");
            CloseModalDialog();
          });
          w.CheckDlgButton(IDC_ACCOUNT_BUTTON, ui::BST_CHECKED);
          w.OnAccountButton();
          dialogClosed = true;
        });
        ASSERT_TRUE(t::WaitUntil([&] { return dialogClosed; }, 30000));
        EXPECT_GE(loginsWhileOpen, 2);
        // And the redials go on after it has closed.
        const int logins = api.Count("contactServer");
        EXPECT_TRUE(t::WaitUntil([&] { return api.Count("contactServer") > logins; }, 15000));
        w.KillTimer(kSupervisionTimer);
        w.KillTimer(kRedialTimer);
      },
      api.Base());
}

TEST_F(Lifecycle, TheExpiryRefreshAfterTheDialogRunsWithTheAccountItLeftBehind) {
  // The hourly refresh waits for its answer while the account dialog registers a new account.
  api.Set("getDueDate", {200, R"({"code":"200","duedate":"2030-01-01"})", 800});
  RunWindow(
      [&](CTunvikDlg& w) {
        bool dialogClosed = false;
        ui::Post([&] { w.OnTimer(kExpiryTimer); });
        ui::Post([&] {
          t::WaitUntil([&] { return api.Count("getDueDate") == 1; });
          ui::Post([&] {
            settings::WriteProfileString("AccountConfig", "Account", "newcomer", SettingsPath());
            CloseModalDialog();
          });
          w.CheckDlgButton(IDC_ACCOUNT_BUTTON, ui::BST_CHECKED);
          w.OnAccountButton();
          dialogClosed = true;
        });
        ASSERT_TRUE(t::WaitUntil([&] { return dialogClosed; }, 30000));
        EXPECT_TRUE(t::WaitUntil([&] { return api.Count("getDueDate") == 2; }, 15000));
        EXPECT_TRUE(t::WaitUntil([&] { return !w.expiryTask.Running(); }, 15000));
      },
      api.Base());
  auto requests = api.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].body.find("\"demo\""), std::string::npos);
  EXPECT_NE(requests[1].body.find("\"newcomer\""), std::string::npos);
}

TEST_F(Lifecycle, AnOlderDialThreadThatFailsLateLeavesTheNewConnectionAlone) {
  // The first dial fails after its ten seconds (here 100 ms) of waiting for a final state, and
  // its thread only notices at its next status query, after the user has dialled again.
  // The backend cannot tell when the connection has gone, as the worst case of a late watch.
  vpn::SetDialTimingsForTesting({100ms, 3000ms, 5ms, 3000ms});
  backend->tellsWhenGone = false;
  backend->SetScenario(Fast(vpn::SimScenario::Kind::kFail, 678, 400));
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(t::WaitUntil([&] { return Status(w).rfind("ERROR:678 - ", 0) == 0; }));
    ASSERT_TRUE(WaitForCaption(w, "连 接"));
    backend->SetScenario(Fast());
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    ASSERT_TRUE(t::WaitUntil([&] { return vpn::RunningDialThreads() == 1; }, 10000));
    EXPECT_EQ(Caption(w), "断 开");
    EXPECT_EQ(Status(w), "连接成功\n");
    EXPECT_EQ(backend->Entries().count("XOL"), 1u);
    EXPECT_EQ(backend->ActiveConnections(), 1);
  });
}

TEST_F(Lifecycle, SupervisionActsOnADropWhileABoxOfItsOwnTickIsOpen) {
  RunWindow([&](CTunvikDlg& w) {
    t::Click(w, IDC_CONNECT);
    ASSERT_TRUE(WaitForCaption(w, "断 开"));
    w.SetTimer(kSupervisionTimer, 50);
    ASSERT_TRUE(t::WaitUntil([&] { return w.dropWatchArmed; }));
    // A tick finds 789 and asks its question; while it is open, the link goes away.
    bool redialArmedWhileOpen = false;
    boxes.WhileNextOpen([&] {
      backend->DropAll();
      redialArmedWhileOpen = t::WaitUntil([&] { return w.IsTimerRunning(kRedialTimer); }, 10000);
    });
    w.ShowStatus(G("ERROR:789 - L2TP\n"));
    ASSERT_TRUE(t::WaitUntil([&] { return boxes.Count() == 1; }));
    EXPECT_TRUE(redialArmedWhileOpen);
    w.KillTimer(kSupervisionTimer);
    w.KillTimer(kRedialTimer);
  });
}

TEST_F(Lifecycle, ExitHangsUpAndDeletesTheEntryBeforeTheProcessEnds) {
  // Connected, and still dialling with many seconds to go: either way the connection is gone
  // and its entry deleted by the time the process ends, and it ends within the bound.
  for (bool connected : {true, false}) {
    backend->SetScenario(connected ? Fast() : Fast(vpn::SimScenario::Kind::kSlow, 0, 60000));
    vpn::SetDialTimingsForTesting({10000ms, 5000ms, 5ms, 10000ms});
    ends_ = 0;
    WatchTheEnd();
    boxes.QueueAnswer(ui::IDYES);
    const std::size_t dials = backend->Dials().size();
    RunWindow([&](CTunvikDlg& w) {
      t::Click(w, IDC_CONNECT);
      if (connected) {
        ASSERT_TRUE(WaitForCaption(w, "断 开"));
      } else {
        ASSERT_TRUE(t::WaitUntil([&] { return backend->Dials().size() == dials + 1; }));
      }
      const auto asked = std::chrono::steady_clock::now();
      t::RequestClose(w);
      EXPECT_LT(std::chrono::steady_clock::now() - asked, CTunvikDlg::kLeaveWait);
    });
    EXPECT_EQ(ends_, 1) << connected;
    EXPECT_EQ(entriesAtEnd_, 0u) << connected;
    EXPECT_EQ(connectionsAtEnd_, 0) << connected;
    EXPECT_EQ(dialThreadsAtEnd_, 0) << connected;
    vpn::ReopenDialerForTesting();
  }
}

TEST_F(Lifecycle, ALoginThatAnswersAfterTheExitStartsNoDial) {
  api.Set("contactServer", {200, R"({"code":"200","duedate":"2030-01-01"})", 1000});
  WatchTheEnd();
  RunWindow(
      [&](CTunvikDlg& w) {
        ui::Post([&] { t::Click(w, IDC_CONNECT); });
        ui::Post([&] {
          t::WaitUntil([&] { return api.Count("contactServer") == 1; });
          // The close request is asked about at once, inside the login's wait.
          boxes.QueueAnswer(ui::IDNO);
          t::RequestClose(w);
          EXPECT_EQ(boxes.Count(), 1u);
          EXPECT_TRUE(w.IsWindowVisible());
          boxes.QueueAnswer(ui::IDYES);
          t::RequestClose(w);
        });
        t::WaitUntil([&] { return ends_ == 1; }, 30000);
      },
      api.Base());
  EXPECT_EQ(ends_, 1);
  EXPECT_EQ(boxes.Count(), 2u);
  EXPECT_TRUE(backend->Dials().empty());
  EXPECT_EQ(vpn::RunningDialThreads(), 0);
}

}  // namespace
}  // namespace connection_test
