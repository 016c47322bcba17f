// Profile operations from several threads and processes at once: no update is lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/profile.h"
#include "temp_dir.h"

namespace {

TEST(ProfileConcurrency, WritersOnManyThreadsLoseNoUpdate) {
  settings_test::TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  constexpr int kThreads = 8;
  constexpr int kKeysEach = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &path] {
      for (int k = 0; k < kKeysEach; ++k) {
        std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
        // Two sections, so that writers also create and extend sections concurrently.
        EXPECT_TRUE(settings::WriteProfileInt(t % 2 ? "Odd" : "Even", key, t * 1000 + k, path));
        // A reader among the writers always sees a whole file.
        EXPECT_EQ(settings::GetProfileInt(t % 2 ? "Odd" : "Even", key, -1, path), t * 1000 + k);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  int present = 0;
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeysEach; ++k) {
      std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
      present += settings::GetProfileInt(t % 2 ? "Odd" : "Even", key, -1, path) == t * 1000 + k;
    }
  }
  EXPECT_EQ(present, kThreads * kKeysEach);
  EXPECT_TRUE(dir.OtherEntries("XolConfig.ini").empty());
}

// Waits for a child process and tells whether it exited with code 0.
bool ChildSucceeded(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Two client processes that write the same file at the same time, 300 keys each, keep all 600.
TEST(ProfileConcurrency, WritersInTwoProcessesLoseNoUpdate) {
  settings_test::TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  constexpr int kProcesses = 2;
  constexpr int kKeysEach = 300;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(gate[1]);
      char byte;
      (void)::read(gate[0], &byte, 1);  // both start when the parent closes the gate
      int failed = 0;
      for (int k = 0; k < kKeysEach; ++k) {
        std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
        failed += !settings::WriteProfileInt("HostConfig", key, p * 1000 + k, path);
        failed += settings::GetProfileInt("HostConfig", key, -1, path) != p * 1000 + k;
      }
      ::_exit(failed == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (pid_t child : children) EXPECT_TRUE(ChildSucceeded(child));

  int present = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kKeysEach; ++k) {
      std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
      present += settings::GetProfileInt("HostConfig", key, -1, path) == p * 1000 + k;
    }
  }
  EXPECT_EQ(present, kProcesses * kKeysEach);
  EXPECT_TRUE(dir.OtherEntries("XolConfig.ini").empty());
}

// True when /proc/locks shows process `pid` waiting for a lock.
bool WaitsForLock(pid_t pid) {
  std::ifstream locks("/proc/locks");
  const std::string pidField = " " + std::to_string(pid) + " ";
  for (std::string line; std::getline(locks, line);) {
    if (line.find("->") != std::string::npos && line.find(pidField) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// A write replaces the file by a new one, so a writer that waited for the lock of the old file
// must go on with the new file, or it would undo the write it waited for.
TEST(ProfileConcurrency, WriterThatWaitedWorksOnTheReplacedFile) {
  settings_test::TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  settings_test::WriteAll(path, "[S]\nold=1\n");
  int busy = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // another writer at work
  ASSERT_GE(busy, 0);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(busy);  // the lock stays the parent's: it belongs to the parent's open file
    ::_exit(settings::WriteProfileString("S", "b", "2", path) ? 0 : 1);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!WaitsForLock(child) && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      child = -1;  // it did not wait at all
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The other writer finishes: its new file takes the name, then it lets go of the old one.
  settings_test::WriteAll(path + ".new", "[S]\nold=1\na=1\n");
  ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
  ::close(busy);
  if (child > 0) {
    EXPECT_TRUE(ChildSucceeded(child));
  }

  EXPECT_EQ(settings::GetProfileInt("S", "a", 0, path), 1);
  EXPECT_EQ(settings::GetProfileInt("S", "b", 0, path), 2);
}

}  // namespace
