// The main window's DisableNetwork and its restore button 1008. DisableNetwork runs only in a
// child process inside a network namespace of its own; the restore after a start runs a stand-in
// `ip` that only records its arguments.
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

TEST_F(NetworkWindow, DisableNetworkSwitchesOffAndTheButtonRestoresInAnOwnNamespace) {
  const ino_t hostNamespace = hosttools_test::NetworkNamespaceInode();
  ASSERT_NE(hostNamespace, 0u);
  std::string output = hosttools::RunCommand(
      {settings::ProgramPath(), "--disable-network-child", dir_, std::to_string(hostNamespace)},
      {});
  std::size_t at = output.rfind("RESULT: ");
  ASSERT_NE(at, std::string::npos) << output;
  std::string result = output.substr(at + 8);
  result = result.substr(0, result.find('\n'));
  if (result.rfind("SKIP", 0) == 0) GTEST_SKIP() << result;
  EXPECT_EQ(result, "OK") << output;
}

TEST_F(NetworkWindow, RestoreAfterAStartSwitchesOnEverySavedNameOnEachClick) {
  // Names no interface of this machine has; each must reach the tool as one argument.
  WriteSettings(hostwindows_test::G("[HostConfig]\nnetwork=tvkfake0|网卡;x\"|\n"));
  TempDir bin;
  const std::string log = bin.File("calls");
  WriteScript(bin.File("ip"), "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> '" + log +
                                  "'\necho >> '" + log + "'\n");
  WriteScript(bin.File("ss"), "exit 0\n");
  ScopedEnv path("PATH", bin.path());  // nothing but the stand-ins can be run

  CTunvikDlg window;
  t::RunModal(window, [&] {
    t::Click(window, IDC_RESTORE_NETWORK);
    t::Click(window, IDC_RESTORE_NETWORK);
  });
  const std::string once =
      hostwindows_test::G("[link][set][dev][tvkfake0][up]\n[link][set][dev][网卡;x\"][up]\n");
  EXPECT_EQ(ReadAll(log).value_or(""), once + once);
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
