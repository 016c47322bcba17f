// Profile operations from several threads at once: no update is lost.
#include <gtest/gtest.h>

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

}  // namespace
