// How writes meet the file system: modes, links, failed writes, temporary files and crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "settings/profile.h"
#include "temp_dir.h"

namespace {

using settings_test::ReadAll;
using settings_test::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Sets the process umask for the life of the object.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

TEST(AtomicWrite, NewFileIsPrivateWhateverTheUmask) {
  ScopedUmask open(0);
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  ASSERT_TRUE(settings::WriteProfileString("AccountConfig", "Password", "secret", path));
  EXPECT_EQ(ModeOf(path), 0600u);
}

// The settings file holds the password: one that others could read (made by an older version or
// by hand) is left readable by its owner only by any write, also one that changes no byte of it.
TEST(AtomicWrite, ExistingSettingsFileBecomesPrivate) {
  for (const char* value : {"2", "1"}) {
    TempDir dir;
    std::string path = dir.File("XolConfig.ini");
    settings_test::WriteAll(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(settings::WriteProfileString("S", "k", value, path));
    EXPECT_EQ(ModeOf(path), 0600u) << value;
    EXPECT_EQ(ReadAll(path), "[S]\nk=" + std::string(value) + "\n");
  }
}

// Other profile files keep their mode, as the dialer's file that every user reads must.
TEST(AtomicWrite, OtherExistingFileKeepsItsMode) {
  TempDir dir;
  std::string path = dir.File("dialer.ini");
  settings_test::WriteAll(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_TRUE(settings::WriteProfileString("S", "k", "2", path));
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_EQ(ReadAll(path), "[S]\nk=2\n");
}

TEST(AtomicWrite, SymbolicLinkIsFollowedNotReplaced) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  std::string target = dir.File("real/a.ini");
  std::string link = dir.File("a.ini");
  settings_test::WriteAll(target, "[S]\nk=1\n");
  std::filesystem::create_symlink("real/a.ini", link);
  ASSERT_TRUE(settings::WriteProfileString("S", "k", "2", link));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(target), "[S]\nk=2\n");
  EXPECT_TRUE(dir.OtherEntries("a.ini").size() == 1);  // only "real"
}

TEST(AtomicWrite, FailsWhereNoFolderCanBe) {
  TempDir dir;
  std::string notAFolder = dir.File("plain");
  settings_test::WriteAll(notAFolder, "old");
  std::string path = notAFolder + "/XolConfig.ini";  // root cannot create this either
  EXPECT_FALSE(settings::WriteProfileString("S", "k", "v", path));
  EXPECT_FALSE(settings::WriteProfileInt("S", "n", 1, path));
  EXPECT_EQ(ReadAll(notAFolder), "old");
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", settings::kWhole, path), "dflt");
}

TEST(AtomicWrite, FailsOnSomethingThatIsNoFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("a.ini"));
  EXPECT_FALSE(settings::WriteProfileString("S", "k", "v", dir.File("a.ini")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a.ini")));
  EXPECT_TRUE(dir.OtherEntries("a.ini").empty());
}

TEST(AtomicWrite, FailsInAProcFolder) {
  EXPECT_FALSE(settings::WriteProfileString("S", "k", "v", "/proc/self/XolConfig.ini"));
}

// A file size limit makes every write past it fail as a full disk would, and root respects it.
TEST(AtomicWrite, FullDiskReturnsFalseAndKeepsOldFile) {
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  const std::string before = "[AccountConfig]\nAccount=alice\nPassword=pw\n";
  settings_test::WriteAll(path, before);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bool ok =
        settings::WriteProfileString("AccountConfig", "DueDate", std::string(10000, 'd'), path);
    ::_exit(ok ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_TRUE(dir.OtherEntries("XolConfig.ini").empty());
}

TEST(AtomicWrite, UnchangedValueLeavesFileAlone) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  settings_test::WriteAll(path, "[S]\nk=1\n");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(settings::WriteProfileString("S", "k", "1", path));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST(AtomicWrite, RemovesTemporaryOfDeadWriterButNotOfLiveOne) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  settings_test::WriteAll(dir.File("a.ini.tmp-dead01"), "half");
  std::string live = dir.File("a.ini.tmp-live01");
  settings_test::WriteAll(live, "busy");
  int fd = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // as a writer holds its temporary file
  settings_test::WriteAll(dir.File("a.ini.tmp-toolong1"), "not ours");

  ASSERT_TRUE(settings::WriteProfileString("S", "k", "v", path));
  auto others = dir.OtherEntries("a.ini");
  std::sort(others.begin(), others.end());
  EXPECT_EQ(others, (std::vector<std::string>{"a.ini.tmp-live01", "a.ini.tmp-toolong1"}));
  ::close(fd);
}

// A child rewrites a large file over and over, alternating two contents, and is killed at random
// moments: the file is always exactly one of the two, and the next write clears what it left.
TEST(AtomicWrite, KillDuringWriteLeavesOldOrNewFile) {
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  const std::string valueA(512 * 1024, 'A');
  const std::string valueB(512 * 1024, 'B');
  const std::string fileA = "[AccountConfig]\nAccount=" + valueA + "\n";
  const std::string fileB = "[AccountConfig]\nAccount=" + valueB + "\n";
  ASSERT_TRUE(settings::WriteProfileString("AccountConfig", "Account", valueA, path));
  ASSERT_EQ(ReadAll(path), fileA);

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayUs(500, 30000);
  for (int round = 0; round < 30; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (unsigned i = 0;; ++i) {
        settings::WriteProfileString("AccountConfig", "Account", i % 2 ? valueA : valueB, path);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    auto now = ReadAll(path);
    ASSERT_TRUE(now == fileA || now == fileB)
        << "round " << round << ": broken file of " << (now ? now->size() : 0) << " bytes";
    EXPECT_LE(dir.OtherEntries("XolConfig.ini").size(), 1u) << "round " << round;
  }
  ASSERT_TRUE(settings::WriteProfileString("AccountConfig", "Password", "pw", path));
  EXPECT_TRUE(dir.OtherEntries("XolConfig.ini").empty());
  EXPECT_EQ(settings::GetProfileString("AccountConfig", "Password", "", settings::kWhole, path),
            "pw");
}

}  // namespace
