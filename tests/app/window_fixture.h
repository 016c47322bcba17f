// A fixture for window tests: the offscreen application, scripted message boxes, and a program
// directory of the test's own so that the settings file lives in a temporary folder; the user's
// home, configuration and runtime folders are moved into it too, and the system bus out of reach.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hosttools/dialer_settings.h"
#include "hosttools/restart_action.h"
#include "settings/program_dir.h"
#include "ui/testing.h"
#include "vpn/dialer.h"

namespace apptest {

// Stands in for the machine's restart in every window test: it never restarts anything.
class RefusingRestart : public hosttools::RestartAction {
 public:
  hosttools::RestartResult Restart() override { return hosttools::RestartResult::kRefused; }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::testing::EnsureApplication();
    // A window that left the program in an earlier test closed the dialer.
    vpn::ReopenDialerForTesting();
    char pattern[] = "/tmp/tunvik-window-XXXXXX";
    dir_ = mkdtemp(pattern);
    settings::SetProgramDirectoryForTesting(dir_);
    static RefusingRestart refusing;
    hosttools::SetSystemRestartActionForTesting(&refusing);
    hosttools::SetDialerSettingsPathForTesting(dir_ + "/dialer.ini");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const char* old = std::getenv(name);
      savedEnv_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      std::string folder = dir_ + "/env-" + name;
      std::filesystem::create_directory(folder);
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
      setenv(name, folder.c_str(), 1);
    }
    // No NetworkManager: whatever runs on the machine's system bus is never asked to switch the
    // machine's network off or on by a window under test.
    const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    savedEnv_.emplace_back("DBUS_SYSTEM_BUS_ADDRESS",
                           bus != nullptr ? std::optional<std::string>(bus) : std::nullopt);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir_ + "/no-bus").c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, old] : savedEnv_) {
      if (old) {
        setenv(name.c_str(), old->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    settings::SetProgramDirectoryForTesting("");
    std::filesystem::remove_all(dir_);
  }

  std::string SettingsPath() const { return dir_ + "/XolConfig.ini"; }
  void WriteSettings(const std::string& contents) const {
    std::ofstream(SettingsPath(), std::ios::binary) << contents;
  }
  std::string ReadSettings() const {
    std::ifstream in(SettingsPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir_;
  ui::testing::ScriptedMessageBoxes boxes;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

}  // namespace apptest
