#include "hosttools/command_runner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <random>
#include <thread>

#include "test_support.h"

namespace hosttools {
namespace {

using hosttools_test::TempDir;

// Collects the runner's failure messages.
struct Messages {
  std::vector<std::string> seen;
  ErrorReport Sink() {
    return [this](std::string_view message) { seen.emplace_back(message); };
  }
};

TEST(RunCommand, ReturnsLongBinaryOutputByteForByte) {
  TempDir dir;
  std::string bytes(300000, '\0');
  std::mt19937 random(42);
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  hosttools_test::WriteAll(dir.File("data"), bytes);

  Messages messages;
  int status = -2;
  std::string output = RunCommand({"cat", dir.File("data")}, messages.Sink(), &status);
  EXPECT_EQ(output.size(), bytes.size());
  EXPECT_TRUE(output == bytes);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(messages.seen.empty());
  // The child has been reaped: no child of this process is left.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(RunCommand, JoinsStandardErrorIntoTheOutputInOrder) {
  Messages messages;
  std::string output =
      RunCommand({"sh", "-c", "echo out; echo err >&2; echo out2"}, messages.Sink());
  EXPECT_EQ(output, "out\nerr\nout2\n");
  EXPECT_TRUE(messages.seen.empty());
}

TEST(RunCommand, SilentCommandGivesEmptyTextAndNoMessage) {
  Messages messages;
  int status = -2;
  EXPECT_EQ(RunCommand({"true"}, messages.Sink(), &status), "");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(messages.seen.empty());
}

TEST(RunCommand, MissingProgramIsReportedOnceAsProcessFailure) {
  for (std::string program : {"tunvik-no-such-tool", "/nonexistent/tunvik-no-such-tool"}) {
    Messages messages;
    int status = -2;
    EXPECT_EQ(RunCommand({program, "x"}, messages.Sink(), &status), "") << program;
    EXPECT_EQ(messages.seen, std::vector<std::string>{std::string(kCreateProcessError)}) << program;
    EXPECT_EQ(status, -1) << program;
  }
  Messages messages;
  EXPECT_EQ(RunCommand({}, messages.Sink()), "");
  EXPECT_EQ(messages.seen.size(), 1u);
}

TEST(RunCommand, PassesEachArgumentWholeWithoutAShell) {
  Messages messages;
  int status = -2;
  std::string output =
      RunCommand({"printf", "[%s]", "a b", "c;d", "$(touch /tmp/x)", "'q\"", "\xcd\xf8"},
                 messages.Sink(), &status);
  EXPECT_EQ(output, "[a b][c;d][$(touch /tmp/x)]['q\"][\xcd\xf8]");
  EXPECT_EQ(RunCommand({"sh", "-c", "exit 3"}, messages.Sink(), &status), "");
  EXPECT_EQ(status, 3);
  EXPECT_TRUE(messages.seen.empty());
}

TEST(RunCommand, StandardInputIsEmpty) {
  // cat with no file reads standard input; it must end at once instead of waiting.
  EXPECT_EQ(RunCommand({"cat"}, {}), "");
  EXPECT_EQ(RunCommand({"readlink", "/proc/self/fd/0"}, {}), "/dev/null\n");
}

TEST(RunCommand, ConcurrentRunsDoNotLeakTheirPipesIntoEachOther) {
  // Each child lists its open descriptors; one run alone gives the baseline, and runs made while
  // another thread keeps spawning must show exactly the same descriptors.
  const std::vector<std::string> listing = {
      "sh", "-c", "for f in /proc/$$/fd/*; do echo \"$f $(readlink $f)\"; done"};
  const std::string baseline = RunCommand(listing, {});
  ASSERT_FALSE(baseline.empty());

  std::atomic<bool> stop = false;
  std::thread other([&stop] {
    while (!stop) RunCommand({"sh", "-c", "echo x"}, {});
  });
  int differing = 0;
  std::string example;
  for (int i = 0; i < 60; ++i) {
    std::string seen = RunCommand(listing, {});
    // The shell's own pid differs between runs; compare descriptor numbers and targets only.
    auto strip = [](const std::string& s) {
      std::string out;
      std::size_t pos = 0;
      while (pos < s.size()) {
        std::size_t end = s.find('\n', pos);
        std::string line = s.substr(pos, end - pos);
        std::size_t fd = line.find("/fd/");
        out += line.substr(fd == std::string::npos ? 0 : fd) + "\n";
        if (end == std::string::npos) break;
        pos = end + 1;
      }
      return out;
    };
    // Only pipes count: a leak from the other thread's runs would be one more. Standard output
    // and error are each run's own pipe, so their inode numbers differ. Descriptors that are no
    // pipes (such as a file a sanitizer's runtime holds open for a moment) are not the runner's.
    auto pipes = [&strip](const std::string& s) {
      std::string out;
      std::string listed = strip(s);
      std::size_t pos = 0;
      while (pos < listed.size()) {
        std::size_t end = listed.find('\n', pos);
        std::string line = listed.substr(pos, end - pos);
        if (line.find(" pipe:") != std::string::npos) {
          for (char c : line) out += (c >= '0' && c <= '9') ? '#' : c;
          out += '\n';
        }
        if (end == std::string::npos) break;
        pos = end + 1;
      }
      return out;
    };
    if (pipes(seen) != pipes(baseline)) {
      ++differing;
      example = seen;
    }
  }
  stop = true;
  other.join();
  EXPECT_EQ(differing, 0) << "baseline:\n" << baseline << "a run beside another:\n" << example;
}

TEST(FindOnPath, FindsExecutablesOnlyInPathFolders) {
  TempDir dir;
  hosttools_test::WriteScript(dir.File("tool"), "exit 0\n");
  hosttools_test::WriteAll(dir.File("plain"), "data", 0644);
  hosttools_test::ScopedEnv path("PATH", "/nonexistent::" + dir.path());
  EXPECT_EQ(FindOnPath("tool"), dir.File("tool"));
  EXPECT_EQ(FindOnPath("plain"), "");
  EXPECT_EQ(FindOnPath("missing"), "");
  EXPECT_EQ(FindOnPath("a/tool"), "");
}

}  // namespace
}  // namespace hosttools
