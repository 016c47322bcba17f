// A settings path that holds no ordinary settings file: a FIFO, a device, a folder, a huge file.
// Each reads as a file that cannot be read (all defaults, at once) and is never written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/main_window_settings.h"
#include "settings/profile.h"
#include "temp_dir.h"

namespace {

using settings::kWhole;
using settings_test::ReadAll;
using settings_test::TempDir;

// Runs `body` in a child process and returns its exit code, or nullopt when it did not end on its
// own within a generous bound (it is then killed) or ended by a signal. A child that blocks or
// eats memory so fails the test instead of stalling or harming the test run.
std::optional<int> ExitCodeOfChild(const std::function<int()>& body) {
  pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves far more address space than this; elsewhere it bounds a reader
    // that would take a device for an endless file.
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 1024L * 1024 * 1024;
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    int code = 100;
    try {
      code = body();
    } catch (...) {  // never back into the test runner: the child must end here
    }
    ::_exit(code);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

// Reads the main window's keys and tries both kinds of write; 0 when all read as defaults and
// every write was refused, else a code that tells what went wrong.
int ReadsDefaultsAndRefusesWrites(const std::string& path) {
  settings::MainWindowSettings s = settings::LoadMainWindowSettings(path);
  if (!s.account.empty() || !s.password.empty() || s.autostart != 0) return 1;
  if (settings::GetProfileInt("HostConfig", "OfflineStrategy", 7, path) != 7) return 2;
  if (settings::SaveAccount(path, "alice", "pw")) return 3;
  if (settings::WriteProfileInt("HostConfig", "OfflineStrategy", 1, path)) return 4;
  return 0;
}

struct KindCase {
  const char* name;
  std::function<void(const std::string&)> make;
  std::filesystem::file_type type;  // what the path must still be afterwards
};

class NoSettingsFile : public testing::TestWithParam<KindCase> {};

TEST_P(NoSettingsFile, ReadsAsDefaultsAtOnceAndIsNeverWritten) {
  const KindCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  c.make(path);
  EXPECT_EQ(ExitCodeOfChild([&] { return ReadsDefaultsAndRefusesWrites(path); }), 0);
  EXPECT_EQ(std::filesystem::symlink_status(path).type(), c.type);
  auto others = dir.OtherEntries("XolConfig.ini");
  EXPECT_TRUE(others.empty() || others == std::vector<std::string>{"XolConfig.ini-fifo"});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NoSettingsFile,
    testing::Values(
        KindCase{"Fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
                 std::filesystem::file_type::fifo},
        KindCase{"LinkToDevZero",
                 [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
                 std::filesystem::file_type::symlink},
        KindCase{"LinkToFifo",
                 [](const std::string& p) {
                   ASSERT_EQ(::mkfifo((p + "-fifo").c_str(), 0600), 0);
                   std::filesystem::create_symlink(p + "-fifo", p);
                 },
                 std::filesystem::file_type::symlink},
        KindCase{"Folder", [](const std::string& p) { std::filesystem::create_directory(p); },
                 std::filesystem::file_type::directory}),
    [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(NoSettingsFile, DeviceItselfReadsAsDefaults) {
  EXPECT_EQ(
      ExitCodeOfChild([] {
        return settings::GetProfileString("S", "k", "dflt", kWhole, "/dev/zero") == "dflt" ? 0 : 1;
      }),
      0);
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st;
}

// A huge file is refused by its size before a byte of it is read: a read costs no more than for
// a small file, and the file stays exactly as it was.
TEST(HugeSettingsFile, ReadsAsDefaultsAndIsNeverWritten) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  settings_test::WriteAll(path, "[AccountConfig]\nAccount=alice\n");
  std::filesystem::resize_file(path, 65 * 1024 * 1024);  // sparse: no disk space taken
  struct stat before = StatOf(path);
  EXPECT_EQ(ExitCodeOfChild([&] { return ReadsDefaultsAndRefusesWrites(path); }), 0);
  struct stat after = StatOf(path);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_size, before.st_size);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_TRUE(dir.OtherEntries("XolConfig.ini").empty());
}

// The bound itself: a file of exactly the largest size is read and written; one byte more is not.
TEST(HugeSettingsFile, BoundIsExact) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  const std::string head = "[S]\nk=v\n;";
  const std::string full = head + std::string(settings::kMaxProfileFileSize - head.size(), 'x');
  settings_test::WriteAll(path, full);
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", kWhole, path), "v");
  EXPECT_TRUE(settings::WriteProfileString("S", "k", "w", path));  // same size
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", kWhole, path), "w");

  settings_test::WriteAll(path, full + "x");
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", kWhole, path), "dflt");
  EXPECT_FALSE(settings::WriteProfileString("S", "k", "v", path));
  EXPECT_EQ(ReadAll(path)->size(), settings::kMaxProfileFileSize + 1);
}

// A write that would make the file too large to be read again is refused: it would lose every
// setting at the next read.
TEST(HugeSettingsFile, WriteThatWouldPassTheBoundIsRefused) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  const std::string before = "[S]\nk=v\n";
  settings_test::WriteAll(path, before);
  EXPECT_FALSE(settings::WriteProfileString("S", "big",
                                            std::string(settings::kMaxProfileFileSize, 'b'), path));
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", kWhole, path), "v");

  // Where there was no file, none is left behind.
  const std::string fresh = dir.File("new.ini");
  EXPECT_FALSE(settings::WriteProfileString(
      "S", "big", std::string(settings::kMaxProfileFileSize, 'b'), fresh));
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(dir.OtherEntries("XolConfig.ini"), std::vector<std::string>{});
}

}  // namespace
