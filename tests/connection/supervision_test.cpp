// The supervision: error codes of the status line, drops and the offline strategies.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "connection_fixture.h"

namespace connection_test {
namespace {

using Supervision = ConnectionTest;

// Connects, lets the supervision see it, then drops the link and waits for the dial thread to
// give the caption back.
void ConnectAndDrop(CTunvikDlg& w, RecordingSim& backend) {
  t::Click(w, IDC_CONNECT);
  ASSERT_TRUE(t::WaitUntil([&] { return U(w.GetDlgItemText(IDC_CONNECT)) == "断 开"; }));
  w.OnTimer(kSupervisionTimer);
  backend.DropAll();
  ASSERT_TRUE(t::WaitUntil([&] { return U(w.GetDlgItemText(IDC_CONNECT)) == "连 接"; }));
}

TEST_F(Supervision, DropRedialsAfterTheDelayTheStatusLineSets) {
  struct Case {
    const char* status;  // written just before the tick that sees the drop; empty: none
    int delay;
    const char* statusAfter;
  };
  const Case cases[] = {
      {"", 3000, "1 #服务器连接成功 状态 （正常）"},
      {"错误信息：服务器故障或连接超时！error:404", 5000, nullptr},
      {"ERROR:756 - 已经在拨此连接。\n", 30000, "正在连接中！稍后再拨"},
      {"ERROR:809 - x\n", 30000, nullptr},
      {"RasDial 127.0.0.1 error 623\n", 3000, nullptr},
      {"ERROR:87 - x\n", 3000, nullptr},
  };
  for (const Case& c : cases) {
    RunWindow([&](CTunvikDlg& w) {
      ConnectAndDrop(w, *backend);
      if (*c.status != '\0') w.ShowStatus(G(c.status));
      w.OnTimer(kSupervisionTimer);
      ASSERT_EQ(w.RunningTimers().count(kRedialTimer), 1u) << c.status;
      EXPECT_EQ(w.RunningTimers().at(kRedialTimer), c.delay) << c.status;
      EXPECT_EQ(Status(w), c.statusAfter != nullptr ? c.statusAfter : c.status);
      if (std::string(c.status).rfind("ERROR:756", 0) == 0) {
        // The next tick finds no marker any more.
        w.OnTimer(kSupervisionTimer);
        EXPECT_EQ(w.redialDelay, 3000);
      }
    });
  }
}

TEST_F(Supervision, OfflineStrategyThreeDoesNothingAndTheWatchStaysArmed) {
  UseAccount("demo", "demo123", "OfflineStrategy=3\n");
  RunWindow([&](CTunvikDlg& w) {
    ConnectAndDrop(w, *backend);
    w.OnTimer(kSupervisionTimer);
    EXPECT_FALSE(w.IsTimerRunning(kRedialTimer));
    EXPECT_TRUE(w.dropWatchArmed);
  });
}

TEST_F(Supervision, OfflineStrategyOneClosesTheListedPrograms) {
  // A program of the test's own, under a name nothing else uses.
  const std::string program = dir_ + "/tunvik-drop-victim";
  std::filesystem::copy_file("/bin/sleep", program);
  pid_t child = fork();
  if (child == 0) {
    execl(program.c_str(), program.c_str(), "60", nullptr);
    _exit(127);
  }
  ASSERT_GT(child, 0);
  UseAccount("demo", "demo123",
             "OfflineStrategy=1\n[HardwareConfig]\nClosingProcess=" + program + "|\n");
  int status = 0;
  RunWindow([&](CTunvikDlg& w) {
    ConnectAndDrop(w, *backend);
    w.OnTimer(kSupervisionTimer);
    EXPECT_FALSE(w.IsTimerRunning(kRedialTimer));
  });
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST_F(Supervision, Error628SignalsTheStopEventOnEveryTick) {
  RunWindow([&](CTunvikDlg& w) {
    auto event = std::make_shared<vpn::Event>();
    w.stopEvent.store(event);
    w.ShowStatus(G("ERROR:628 - 在连接完成前，连接被远程计算机终止。\n"));
    for (int tick = 0; tick < 3; ++tick) {
      w.OnTimer(kSupervisionTimer);
      EXPECT_TRUE(event->Wait(0ms)) << tick;
    }
    w.ShowStatus(G("ERROR:628"));  // cut short: the code is still read
    w.OnTimer(kSupervisionTimer);
    EXPECT_TRUE(event->Wait(0ms));
    w.stopEvent.store(nullptr);
  });
}

TEST_F(Supervision, Error789AsksOnceForEachTimeItIsShown) {
  // The question is answered No: the setting is written and nothing restarts.
  RunWindow([&](CTunvikDlg& w) {
    const std::string text = G("ERROR:789 - L2TP\n");
    w.ShowStatus(text);
    for (int tick = 0; tick < 3; ++tick) w.OnTimer(kSupervisionTimer);
    std::size_t asked = boxes.Count();
    EXPECT_EQ(asked, 1u);
    w.ShowStatus(text);  // shown again: asked again
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(boxes.Count(), asked + 1);
  });
}

TEST_F(Supervision, Error789NeverOpensASecondQuestionWhileOneIsOpen) {
  RunWindow([&](CTunvikDlg& w) {
    w.ShowStatus(G("ERROR:789 - L2TP\n"));
    boxes.WhileNextOpen([&] {
      // Ticks that arrive while the question is open, and a new write of the same code.
      w.ShowStatus(G("ERROR:789 - L2TP\n"));
      w.OnTimer(kSupervisionTimer);
      w.OnTimer(kSupervisionTimer);
    });
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(boxes.Count(), 1u);
  });
}

TEST_F(Supervision, Code668OfTheLowerMarkerSaysTheConnectionIsGone) {
  RunWindow([&](CTunvikDlg& w) {
    w.ShowStatus("RasDial 1.2.3.4 error 668\n");
    w.OnTimer(kSupervisionTimer);
    EXPECT_EQ(Status(w), "连接已断开");
  });
}

}  // namespace
}  // namespace connection_test
