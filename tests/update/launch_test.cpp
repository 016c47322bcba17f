// The hand-over's file operations: the new program is started by its full path, the previous
// one deleted, and no version text reaches outside the program directory.
#include <sys/stat.h>

#include <filesystem>

#include "settings/program_dir.h"
#include "update/program_files.h"
#include "update/program_launch.h"
#include "update_support.h"

namespace update_test {
namespace {

TEST(ProgramFiles, NamesStayInTheProgramDirectory) {
  EXPECT_EQ(update::ProgramFilePath("/opt/q", "10.7"), "/opt/q/Quoril_10.7");
  EXPECT_EQ(update::ProgramFilePath("/opt/q", "11beta"), "/opt/q/Quoril_11beta");
  EXPECT_EQ(update::ProgramFilePath("/opt/q", ".."), "/opt/q/Quoril_..");
  for (const char* bad : {"", "10.7/../../x", "/x", "1\n2"}) {
    EXPECT_EQ(update::ProgramFilePath("/opt/q", bad), "") << bad;
  }
  EXPECT_EQ(update::VersionFileUrl("http://h:8098/", "10.6"),
            "http://h:8098/xol/xolversion10.6.ini");
  EXPECT_EQ(update::VersionFileUrl("", "10.6"), "");
}

TEST(StartProgram, RunsTheFileByItsFullPathWithoutWaiting) {
  TempDir dir;
  const std::string program = dir / "Quoril_10.7";
  const std::string marker = dir / "ran";
  WriteFile(program, "#!/bin/sh\nsleep 0.2\necho \"$0 $#\" > '" + marker + "'\n");
  ::chmod(program.c_str(), 0755);
  std::string error;
  ASSERT_TRUE(update::StartProgram(program, error)) << error;
  EXPECT_TRUE(Eventually([&] { return ReadFile(marker) == program + " 0\n"; }));
}

TEST(StartProgram, FailsForWhatCannotRun) {
  TempDir dir;
  WriteFile(dir / "text", "no program here\n");
  ::chmod((dir / "text").c_str(), 0755);
  WriteFile(dir / "not-runnable", "#!/bin/sh\nexit 0\n");
  ::chmod((dir / "not-runnable").c_str(), 0644);
  for (const std::string& path : {dir / "missing", dir / "text", dir / "not-runnable"}) {
    std::string error;
    EXPECT_FALSE(update::StartProgram(path, error)) << path;
    EXPECT_NE(error.find(path), std::string::npos) << error;
  }
}

TEST(DeletePreviousProgram, DeletesAFileButNeverTheRunningProgram) {
  TempDir dir;
  WriteFile(dir / "Quoril_10.5", "old");
  EXPECT_TRUE(update::DeletePreviousProgram(dir / "Quoril_10.5"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Quoril_10.5"));

  EXPECT_FALSE(update::DeletePreviousProgram(dir / "Quoril_10.5")) << "missing";
  EXPECT_FALSE(update::DeletePreviousProgram(""));
  std::filesystem::create_directory(dir / "Quoril_10.4");
  EXPECT_FALSE(update::DeletePreviousProgram(dir / "Quoril_10.4")) << "a folder";

  std::filesystem::create_symlink(settings::ProgramPath(), dir / "Quoril_10.6");
  EXPECT_FALSE(update::DeletePreviousProgram(dir / "Quoril_10.6"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "Quoril_10.6"));
}

}  // namespace
}  // namespace update_test
