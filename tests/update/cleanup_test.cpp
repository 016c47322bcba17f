// The clean-up after a hand-over: timer 8 retries while the previous program file cannot be
// deleted, then deletes it, records this version and stops.
#include <filesystem>

#include "update_window_fixture.h"

namespace update_test {
namespace {

class CleanUp : public UpdateWindowTest {};

TEST_F(CleanUp, RetriesUntilThePreviousProgramIsGoneThenRecordsThisVersion) {
  WriteSettings("[HostConfig]\nUpdateState=1\n[MAINVER]\nmainver=10.5\n");
  const std::string previous = dir_ + "/Quoril_10.5";
  auto expectWaiting = [&](CTunvikDlg& w) {
    EXPECT_EQ(Setting("HostConfig", "UpdateState"), "1");
    EXPECT_EQ(Setting("MAINVER", "mainver"), "10.5");
    EXPECT_TRUE(w.IsTimerRunning(kUpdateCleanUpTimer));
  };
  RunWindow([&](CTunvikDlg& w) {
    EXPECT_EQ(w.RunningTimers()[kUpdateCleanUpTimer], 3000);

    w.OnTimer(kUpdateCleanUpTimer);  // not there (yet)
    expectWaiting(w);

    std::filesystem::create_directory(previous);  // there, but it cannot be deleted
    WriteFile(previous + "/inside", "x");
    w.OnTimer(kUpdateCleanUpTimer);
    expectWaiting(w);
    EXPECT_TRUE(std::filesystem::exists(previous));

    std::filesystem::remove_all(previous);
    WriteFile(previous, "the previous program");
    w.OnTimer(kUpdateCleanUpTimer);
    EXPECT_FALSE(std::filesystem::exists(previous));
    EXPECT_EQ(Setting("MAINVER", "mainver"), "10.6");
    EXPECT_EQ(Setting("HostConfig", "UpdateState"), "0");
    EXPECT_FALSE(w.IsTimerRunning(kUpdateCleanUpTimer));
  });
  EXPECT_NE(ReadSettings().find("UpdateState=0"), std::string::npos);
}

TEST_F(CleanUp, VersionThatLeavesTheProgramDirectoryDeletesNothing) {
  // "Quoril_" + "/../../<another folder>/victim" would name a file outside.
  const std::string escape =
      "/../../" + std::filesystem::path(outside.path()).filename().string() + "/victim";
  WriteSettings("[HostConfig]\nUpdateState=1\n[MAINVER]\nmainver=" + escape + "\n");
  std::filesystem::create_directory(dir_ + "/Quoril_");
  WriteFile(outside / "victim", "someone else's file");
  ASSERT_TRUE(std::filesystem::exists(dir_ + "/Quoril_" + escape));
  RunWindow([&](CTunvikDlg& w) {
    w.OnTimer(kUpdateCleanUpTimer);
    EXPECT_TRUE(w.IsTimerRunning(kUpdateCleanUpTimer));
  });
  EXPECT_TRUE(std::filesystem::exists(outside / "victim"));
  EXPECT_EQ(Setting("HostConfig", "UpdateState"), "1");
}

}  // namespace
}  // namespace update_test
