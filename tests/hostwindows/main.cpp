// Test entry of the host tool windows. Before any test runs, the machine's restart and its
// dialer settings file are put out of reach: the restart action refuses and counts, and the
// dialer settings live in a folder of the test process's own.
//
// With "--network-child MODE DIR HOST_NETNS_INODE" the program instead enters a network
// namespace of its own and runs the main window's network switch there (see network_child.h);
// it prints one line "RESULT: OK", "RESULT: SKIP ..." or "RESULT: FAIL ...".
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "hosttools/dialer_settings.h"
#include "hosttools/restart_action.h"
#include "network_child.h"

namespace {

// Stands in for the machine's restart while no test has put its own fake in place.
class RefusingRestart : public hosttools::RestartAction {
 public:
  hosttools::RestartResult Restart() override {
    ADD_FAILURE() << "a test asked for the restart without a fake of its own";
    return hosttools::RestartResult::kRefused;
  }
};

}  // namespace

int main(int argc, char** argv) {
  static RefusingRestart refusing;
  hosttools::SetSystemRestartActionForTesting(&refusing);
  char pattern[] = "/tmp/tunvik-dialer-XXXXXX";
  const char* dialerDir = ::mkdtemp(pattern);
  if (dialerDir == nullptr) return 2;
  hosttools::SetDialerSettingsPathForTesting(std::string(dialerDir) + "/dialer.ini");

  int result = 0;
  if (argc == 5 && std::strcmp(argv[1], "--network-child") == 0) {
    std::string outcome = hostwindows_test::RunNetworkChild(argv[2], argv[3], argv[4]);
    std::printf("RESULT: %s\n", outcome.c_str());
    std::fflush(stdout);
  } else {
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ec;
  std::filesystem::remove_all(dialerDir, ec);
  return result;
}
