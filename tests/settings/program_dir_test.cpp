// Where the program and its settings file are: beside a portable copy, in the user's
// configuration folder for an installed program (told by its install's mark).
#include "settings/program_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "settings/deployment.h"
#include "support/scoped_env.h"
#include "temp_dir.h"

namespace {

using settings_test::TempDir;
using settings_test::WriteAll;
using testsupport::ScopedEnv;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(ProgramDir, IsTheFolderOfTheRunningProgram) {
  std::string program = settings::ProgramPath();
  ASSERT_FALSE(program.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(program));
  EXPECT_EQ(std::filesystem::path(program).filename(), "settings_tests");
  std::string dir = settings::ProgramDirectory();
  EXPECT_FALSE(dir.ends_with("/"));
  EXPECT_EQ(dir + "/settings_tests", program);
  EXPECT_FALSE(settings::IsInstalledProgram());
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

// A program tree of the test's own, <root>/usr/bin, as an install lays it out, with the user's
// home and configuration folders beside it.
class InstalledLayout : public ::testing::Test {
 protected:
  InstalledLayout() {
    std::filesystem::create_directories(bin_);
    settings::SetProgramDirectoryForTesting(bin_);
  }
  ~InstalledLayout() override {
    std::filesystem::permissions(bin_, std::filesystem::perms::owner_all);
    settings::SetProgramDirectoryForTesting("");
    settings::ReloadDeployment();
  }

  void Mark() {
    std::filesystem::create_directories(root_.File("usr/share/tunvik"));
    WriteAll(root_.File("usr/share/tunvik/installed"), "installed by its package\n");
  }

  TempDir root_;
  const std::string bin_ = root_.File("usr/bin");
  ScopedEnv home_{"HOME", root_.File("home")};
  ScopedEnv config_{"XDG_CONFIG_HOME", root_.File("home/config")};
};

TEST_F(InstalledLayout, TheMarkMakesTheProgramInstalledWhateverItsFolderAllows) {
  // Unmarked, a folder nobody may write is still a portable copy's: the rule does not hang on
  // the folder's rights (the test may run as root, who could write it anyway).
  std::filesystem::permissions(
      bin_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_FALSE(settings::IsInstalledProgram());
  EXPECT_EQ(settings::SettingsPath(), bin_ + "/XolConfig.ini");
  EXPECT_EQ(settings::DeploymentDirectory(), bin_);

  // The mark must be a file: a folder of that name is not one.
  std::filesystem::create_directories(root_.File("usr/share/tunvik/installed"));
  settings::SetProgramDirectoryForTesting(bin_);
  EXPECT_FALSE(settings::IsInstalledProgram());
  std::filesystem::remove(root_.File("usr/share/tunvik/installed"));

  // Marked, in a folder its user may write, it is an installed program.
  std::filesystem::permissions(bin_, std::filesystem::perms::owner_all);
  Mark();
  settings::SetProgramDirectoryForTesting(bin_);  // decided afresh
  EXPECT_EQ(settings::InstalledMarkPath(), root_.File("usr/share/tunvik/installed"));
  EXPECT_TRUE(settings::IsInstalledProgram());
  EXPECT_EQ(settings::SettingsPath(), root_.File("home/config/tunvik/XolConfig.ini"));

  // Decided once for the folder: the package removed under a running program moves nothing.
  std::filesystem::remove(root_.File("usr/share/tunvik/installed"));
  EXPECT_TRUE(settings::IsInstalledProgram());
  EXPECT_EQ(settings::SettingsPath(), root_.File("home/config/tunvik/XolConfig.ini"));
}

TEST_F(InstalledLayout, SettingsGoToAPrivateFolderOfTheUsersConfiguration) {
  Mark();
  ASSERT_TRUE(settings::IsInstalledProgram());
  EXPECT_EQ(settings::SettingsDirectory(), root_.File("home/config/tunvik"));
  EXPECT_EQ(Mode(root_.File("home/config")), 0700u);  // missing parents are made private too
  EXPECT_EQ(Mode(root_.File("home/config/tunvik")), 0700u);

  // A folder that exists keeps the rights its user gave it.
  std::filesystem::permissions(root_.File("home/config/tunvik"),
                               std::filesystem::perms::owner_all |
                                   std::filesystem::perms::group_read |
                                   std::filesystem::perms::group_exec);
  settings::SettingsPath();
  EXPECT_EQ(Mode(root_.File("home/config/tunvik")), 0750u);

  // Without an absolute XDG_CONFIG_HOME the folder is $HOME/.config/tunvik.
  for (const char* value : {"", "relative/config"}) {
    ScopedEnv config("XDG_CONFIG_HOME", value);
    EXPECT_EQ(settings::SettingsPath(), root_.File("home/.config/tunvik/XolConfig.ini"));
  }
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(settings::SettingsPath(), root_.File("home/.config/tunvik/XolConfig.ini"));
  EXPECT_EQ(Mode(root_.File("home/.config/tunvik")), 0700u);
  EXPECT_TRUE(std::filesystem::is_empty(bin_));
}

TEST_F(InstalledLayout, DeploymentFileComesFromTheSystemConfigurationFolder) {
  WriteAll(bin_ + "/tunvik-deploy.ini", "[Deployment]\nApiBase=https://beside.example/api/\n");
  std::filesystem::create_directories(root_.File("etc/tunvik"));
  WriteAll(root_.File("etc/tunvik/tunvik-deploy.ini"),
           "[Deployment]\nApiBase=https://system.example/api/\n");
  ScopedEnv base("TUNVIK_API_BASE", std::nullopt);

  EXPECT_EQ(settings::ReloadDeployment().apiBase, "https://beside.example/api/");
  Mark();
  settings::SetProgramDirectoryForTesting(bin_);
  EXPECT_EQ(settings::DeploymentDirectory(), root_.File("etc/tunvik"));
  EXPECT_EQ(settings::ReloadDeployment().apiBase, "https://system.example/api/");
}

}  // namespace
