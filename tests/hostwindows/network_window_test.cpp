// The main window's DisableNetwork and its restore button 1008. Links are switched only in a child
// process inside a network namespace of its own; the restore after a start runs a stand-in `ip`
// that only records its arguments.
#include <gtest/gtest.h>

#include <string>

#include "host_window_fixture.h"
#include "hosttools/command_runner.h"
#include "hosttools/netns_support.h"
#include "settings/program_dir.h"

namespace {

namespace t = ui::testing;
using hosttools_test::ReadAll;
using hosttools_test::ScopedEnv;
using hosttools_test::TempDir;
using hosttools_test::WriteScript;
using hostwindows_test::HostWindowTest;

using NetworkWindow = HostWindowTest;

// Runs the window's network switch in a child process inside a network namespace of its own.
void RunChild(const std::string& mode, const std::string& dir) {
  const ino_t hostNamespace = hosttools_test::NetworkNamespaceInode();
  ASSERT_NE(hostNamespace, 0u);
  std::string output = hosttools::RunCommand(
      {settings::ProgramPath(), "--network-child", mode, dir, std::to_string(hostNamespace)}, {});
  std::size_t at = output.rfind("RESULT: ");
  ASSERT_NE(at, std::string::npos) << output;
  std::string result = output.substr(at + 8);
  result = result.substr(0, result.find('\n'));
  if (result.rfind("SKIP", 0) == 0) GTEST_SKIP() << result;
  EXPECT_EQ(result, "OK") << output;
}

TEST_F(NetworkWindow, LinksOfEveryKindGoOffAndTheButtonRestoresThem) {
  RunChild("links", dir_);
}

TEST_F(NetworkWindow, ASwitchOffWithoutTheRightIsShownAndNotStored) {
  RunChild("refused", dir_);
}

TEST_F(NetworkWindow, OnlyTheLinksThatWentOffAreStoredAndTheOthersNamed) {
  RunChild("partly", dir_);
}

TEST_F(NetworkWindow, ADropWithStrategyTwoTakesTheLinksDownWithoutWaitingForTheNextTick) {
  RunChild("drop", dir_);
}

TEST_F(NetworkWindow, RestoreAfterAStartOfLinksThatAreGoneTellsThemOnEachClick) {
  // Names no link of this machine has: nothing can bring them back, and the user is told.
  WriteSettings("[HostConfig]\nnetwork=tvkfake0|tvk;x\"|\n");
  TempDir bin;
  WriteScript(bin.File("ip"), "echo called >> '" + bin.File("calls") + "'\n");
  WriteScript(bin.File("ss"), "exit 0\n");
  ScopedEnv path("PATH", bin.path());  // nothing but the stand-ins can be run

  CTunvikDlg window;
  t::RunModal(window, [&] {
    for (int click = 0; click < 2; ++click) {
      window.ShowStatus("");
      t::Click(window, IDC_RESTORE_NETWORK);
      t::WaitUntil([&] { return !window.networkTask.Running(); });
      EXPECT_EQ(hostwindows_test::U(window.GetDlgItemText(IDC_STATUS)),
                "网卡 tvkfake0、tvk;x\" 恢复失败，请手动恢复网络！");
    }
  });
  EXPECT_FALSE(ReadAll(bin.File("calls")).has_value());
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(NetworkWindow, RestoreWithoutSavedNamesRunsNothing) {
  TempDir bin;
  WriteScript(bin.File("ip"), "echo called >> '" + bin.File("calls") + "'\n");
  WriteScript(bin.File("ss"), "exit 0\n");
  ScopedEnv path("PATH", bin.path());

  CTunvikDlg window;
  t::RunModal(window, [&] { t::Click(window, IDC_RESTORE_NETWORK); });
  EXPECT_FALSE(ReadAll(bin.File("calls")).has_value());
  EXPECT_EQ(boxes.Count(), 0u);
}

}  // namespace
