// Test entry of the NetworkManager tests. With "--network-switch-child off" or
// "--network-switch-child on NAMES" (NAMES each followed by "|") the program instead runs the
// client's network switch-off or restore once, as whatever user and in whatever namespace it was
// started, and prints the outcome as two lines, "SWITCHED NAMES" and "FAILED NAMES". With
// "--fix789-child" it runs the 789 repair on the user's dialer settings, answering No to the
// restart question, and exits with 0 when the setting was written.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "hosttools/fix789.h"
#include "hosttools/network_switch.h"

namespace {

int RunNetworkSwitch(const std::string& mode, const std::string& names) {
  hosttools::ErrorReport report = [](std::string_view message) {
    std::printf("MESSAGE %.*s\n", static_cast<int>(message.size()), message.data());
  };
  hosttools::LinkSwitchResult result;
  if (mode == "off") {
    result = hosttools::DisableNetwork(report);
  } else {
    std::vector<std::string> list;
    for (std::size_t start = 0, bar; (bar = names.find('|', start)) != std::string::npos;
         start = bar + 1) {
      list.push_back(names.substr(start, bar - start));
    }
    result = hosttools::RestoreNetwork(list, report);
  }
  std::printf("SWITCHED %s\nFAILED %s\n", hosttools::JoinAdapterNames(result.switched).c_str(),
              hosttools::JoinAdapterNames(result.failed).c_str());
  return 0;
}

class NoRestart : public hosttools::RestartAction {
 public:
  hosttools::RestartResult Restart() override { return hosttools::RestartResult::kRefused; }
};

int RunFix789() {
  hosttools::Prompts prompts{
      [](const std::string& text) { std::printf("MESSAGE %s\n", text.c_str()); },
      [](const std::string&, const std::string&) { return false; },
      [](const std::string& text) { std::printf("MESSAGE %s\n", text.c_str()); },
  };
  NoRestart restart;
  return hosttools::Fix789(prompts, restart) == hosttools::Fix789Outcome::kDeclined ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--network-switch-child") == 0) {
    return RunNetworkSwitch(argv[2], argc >= 4 ? argv[3] : "");
  }
  if (argc == 2 && std::strcmp(argv[1], "--fix789-child") == 0) return RunFix789();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
