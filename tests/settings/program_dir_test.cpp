// Where the program and its settings file are.
#include "settings/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(ProgramDir, IsTheFolderOfTheRunningProgram) {
  std::string program = settings::ProgramPath();
  ASSERT_FALSE(program.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(program));
  EXPECT_EQ(std::filesystem::path(program).filename(), "settings_tests");
  std::string dir = settings::ProgramDirectory();
  EXPECT_FALSE(dir.ends_with("/"));
  EXPECT_EQ(dir + "/settings_tests", program);
  EXPECT_EQ(settings::SettingsPath(), dir + "/XolConfig.ini");
}

TEST(ProgramDir, TestsCanMoveItAndRestoreIt) {
  std::string real = settings::ProgramDirectory();
  settings::SetProgramDirectoryForTesting("/tmp/elsewhere");
  EXPECT_EQ(settings::ProgramDirectory(), "/tmp/elsewhere");
  EXPECT_EQ(settings::SettingsPath(), "/tmp/elsewhere/XolConfig.ini");
  settings::SetProgramDirectoryForTesting("");
  EXPECT_EQ(settings::ProgramDirectory(), real);
}

}  // namespace
