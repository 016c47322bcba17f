// A fixture for window tests: the offscreen application, scripted message boxes, and a program
// directory of the test's own so that the settings file lives in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "settings/program_dir.h"
#include "ui/testing.h"

namespace apptest {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::testing::EnsureApplication();
    char pattern[] = "/tmp/tunvik-window-XXXXXX";
    dir_ = mkdtemp(pattern);
    settings::SetProgramDirectoryForTesting(dir_);
  }
  void TearDown() override {
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
};

}  // namespace apptest
