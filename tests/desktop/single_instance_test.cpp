// One client per desktop session: a second start of the real program hands over to the running
// client, which comes to the front, and ends with status 0 without dialling; a client that is
// leaving is waited for; separate runtime folders keep their clients apart.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "app/main_window.h"
#include "app/resource.h"
#include "support/child_process.h"
#include "ui/single_instance.h"
#include "window_fixture.h"

extern char** environ;

namespace {

namespace t = ui::testing;
using namespace std::chrono_literals;
using Claim = ui::SingleInstance::Claim;

class SingleInstance : public apptest::WindowTest {
 protected:
  void SetUp() override {
    apptest::WindowTest::SetUp();
    // A copy of the program in a folder of the test's own, which keeps its settings file there.
    std::filesystem::create_directories(dir_ + "/client");
    program_ = dir_ + "/client/Quoril_10.6";
    std::filesystem::copy_file(TUNVIK_CLIENT_BINARY, program_);
  }

  std::string Runtime() const { return std::getenv("XDG_RUNTIME_DIR"); }

  // Starts the real program in this test's session (or in `runtime`), with no service to reach
  // and the simulated dialer.
  std::unique_ptr<testsupport::ChildProcess> Start(const std::string& runtime = "") {
    return std::make_unique<testsupport::ChildProcess>(
        std::vector<std::string>{program_},
        std::map<std::string, std::string>{
            {"QT_QPA_PLATFORM", "offscreen"},
            {"TUNVIK_DIALER", "sim"},
            {"TUNVIK_API_BASE", "https://127.0.0.1:9/api/"},
            {"TUNVIK_REPORT_SHOWN", "1"},
            {"HOME", std::getenv("HOME")},
            {"XDG_CONFIG_HOME", std::getenv("XDG_CONFIG_HOME")},
            {"XDG_RUNTIME_DIR", runtime.empty() ? Runtime() : runtime},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir_ + "/no-bus"}});
  }

  static bool Shown(testsupport::ChildProcess& client) {
    return client.WaitForLines(
        [](const std::string& line) { return line.find("window shown") != std::string::npos; }, 1,
        60s);
  }
  // The exit status, waited for while this thread keeps pumping (the first client may be this
  // test process's window).
  static std::optional<int> ExitOf(testsupport::ChildProcess& client) {
    std::optional<int> status;
    t::WaitUntil(
        [&] {
          status = client.WaitForExit(0ms);
          return status.has_value();
        },
        60000);
    return status;
  }
  // True when the client did nothing a running client does: no window, no status text.
  static bool DidNothing(testsupport::ChildProcess& client) {
    for (const std::string& line : client.Lines()) {
      if (line.find("window shown") != std::string::npos || line.rfind("[", 0) == 0) return false;
    }
    return true;
  }

  std::string program_;
};

TEST_F(SingleInstance, ASecondStartBringsTheFirstWindowForwardAndEnds) {
  ui::SingleInstance first(Runtime());
  ASSERT_EQ(first.ClaimOrHandOver(1s), Claim::kFirst);
  CTunvikDlg window;
  t::RunModal(window, [&] {
    for (int id : {kProcessListTimer, kNoticeTimer, kSupervisionTimer, kExpiryTimer}) {
      window.KillTimer(id);
    }
    first.Listen([&] { return window.OnSecondStart(); });
    window.Minimize();
    ASSERT_TRUE(window.IsIconic());
    auto second = Start();
    EXPECT_EQ(ExitOf(*second), 0);
    EXPECT_TRUE(window.IsWindowVisible());
    EXPECT_FALSE(window.IsIconic());
    EXPECT_TRUE(DidNothing(*second));
  });
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/client/XolConfig.ini"));
}

TEST_F(SingleInstance, TwoRealStartsInOneSessionLeaveOneClientAndOtherSessionsAreApart) {
  auto first = Start();
  ASSERT_TRUE(Shown(*first));
  auto second = Start();
  EXPECT_EQ(second->WaitForExit(60s), 0);
  EXPECT_TRUE(DidNothing(*second));
  EXPECT_TRUE(first->WaitForLines(
      [](const std::string& line) { return line.find("to the front") != std::string::npos; }, 1,
      30s));
  EXPECT_FALSE(first->WaitForExit(0ms).has_value());

  // Another runtime folder is another session (a sandbox of its own): its client runs.
  const std::string other = dir_ + "/other-runtime";
  std::filesystem::create_directory(other);
  std::filesystem::permissions(other, std::filesystem::perms::owner_all);
  auto apart = Start(other);
  EXPECT_TRUE(Shown(*apart));
  EXPECT_EQ(apart->Stop(), 0);
  EXPECT_EQ(first->Stop(), 0);
}

TEST_F(SingleInstance, AClientThatIsLeavingIsWaitedForAndThenTheNewStartRuns) {
  // The first client answers that it is leaving (an exit or a self-update under way).
  auto first = std::make_unique<ui::SingleInstance>(Runtime());
  ASSERT_EQ(first->ClaimOrHandOver(1s), Claim::kFirst);
  int asked = 0;
  first->Listen([&] {
    ++asked;
    return false;
  });
  auto next = Start();
  ASSERT_TRUE(t::WaitUntil([&] { return asked >= 2; }, 60000));
  EXPECT_FALSE(next->WaitForExit(0ms).has_value());
  first.reset();  // the leaving client's process has ended
  EXPECT_TRUE(Shown(*next));
  EXPECT_EQ(next->Stop(), 0);
}

TEST_F(SingleInstance, ProgramsTheClientStartsDoNotInheritTheLock) {
  auto first = std::make_unique<ui::SingleInstance>(Runtime());
  ASSERT_EQ(first->ClaimOrHandOver(1s), Claim::kFirst);
  // A program started by the client (the new version after a self-update) outlives it.
  pid_t child = -1;
  char sleepPath[] = "/bin/sleep";
  char seconds[] = "30";
  char* argv[] = {sleepPath, seconds, nullptr};
  ASSERT_EQ(::posix_spawn(&child, sleepPath, nullptr, nullptr, argv, environ), 0);
  first.reset();
  ui::SingleInstance next(Runtime());
  EXPECT_EQ(next.ClaimOrHandOver(1s), Claim::kFirst);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

TEST_F(SingleInstance, AClientThatNeverAnswersIsGivenUpOnAfterThePatience) {
  // Someone holds the lock and does not listen.
  ui::SingleInstance probe(Runtime());
  const int fd = ::open(probe.LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(probe.ClaimOrHandOver(1500ms), Claim::kNoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  ::close(fd);
  EXPECT_EQ(probe.ClaimOrHandOver(1s), Claim::kFirst);
}

}  // namespace
