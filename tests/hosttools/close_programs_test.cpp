#include "hosttools/close_programs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "hosttools/command_runner.h"
#include "hosttools/file_name.h"
#include "hosttools/process_table.h"
#include "test_support.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

using hosttools_test::ChildProcess;
using hosttools_test::Descendants;
using hosttools_test::HasEnded;
using hosttools_test::TempDir;
using hosttools_test::WaitFor;

TEST(FileNamePart, TakesThePartAfterTheLastSeparator) {
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"game.exe", "game.exe"},
      {"C:\\Games\\game.exe", "game.exe"},
      {"/opt/games/game", "game"},
      {"/mixed\\dir/name", "name"},
      {"C:\\dir\\", ""},
      // 0x5C is the second byte of this double-byte character, not a separator.
      {"C:\\" + text::Utf8ToGbk("表") + "\\" + text::Utf8ToGbk("表格.exe"),
       text::Utf8ToGbk("表格.exe")},
      {text::Utf8ToGbk("程序表"), text::Utf8ToGbk("程序表")},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.path), c.expected) << c.path;
}

// A process tree of the test's own: a copy of /bin/sh named `name` that starts a child shell,
// which starts two sleeps (grandchildren), and waits.
class Tree {
 public:
  // With `linkName`, the program is started through a symbolic link of that name to it.
  Tree(const TempDir& dir, const std::string& name, const std::string& linkName = {}) {
    std::string path = dir.File(name);
    hosttools_test::CopyProgram("/bin/sh", path);
    if (!linkName.empty()) {
      std::filesystem::create_symlink(path, dir.File(linkName));
      path = dir.File(linkName);
    }
    root_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{path, "-c", "sh -c 'sleep 1000 & sleep 1000 & wait' & wait"});
    EXPECT_TRUE(WaitFor([this] { return Descendants(root_->pid()).size() >= 3; }));
    members_ = Descendants(root_->pid());
  }

  int root() const { return root_->pid(); }
  const std::vector<int>& members() const { return members_; }
  // Reaps the root and tells whether a kill signal ended it.
  bool RootKilled() {
    int status = root_->Reap();
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }
  bool AllDescendantsEnded() const {
    return WaitFor([this] {
      for (int pid : members_) {
        if (!HasEnded(pid)) return false;
      }
      return true;
    });
  }

 private:
  std::unique_ptr<ChildProcess> root_;
  std::vector<int> members_;
};

TEST(CloseListedPrograms, EndsListedProgramsWithTheirDescendantsAndNothingElse) {
  TempDir dir;
  Tree first(dir, "tunvik-close-a");
  Tree second(dir, "tunvik-close-b");
  Tree kept(dir, "tunvik-close-keep");
  ASSERT_EQ(first.members().size(), 3u);
  ASSERT_EQ(second.members().size(), 3u);

  // Two paths, one Windows-style and one bare name, ending in "|" as the close list saves them.
  int ended = CloseListedPrograms("C:\\Tools\\tunvik-close-a|tunvik-close-b|");

  EXPECT_EQ(ended, 8);
  EXPECT_TRUE(first.RootKilled());
  EXPECT_TRUE(second.RootKilled());
  EXPECT_TRUE(first.AllDescendantsEnded());
  EXPECT_TRUE(second.AllDescendantsEnded());
  EXPECT_FALSE(HasEnded(kept.root()));
  for (int pid : kept.members()) EXPECT_FALSE(HasEnded(pid));
}

TEST(CloseListedPrograms, EmptyListOrUnknownNamesEndNothing) {
  TempDir dir;
  Tree kept(dir, "tunvik-close-c");
  for (const char* list : {"", "|", "||", "tunvik-close-none", "tunvik-close", "tunvik-close-c2"}) {
    EXPECT_EQ(CloseListedPrograms(list), 0) << list;
  }
  EXPECT_FALSE(HasEnded(kept.root()));
  for (int pid : kept.members()) EXPECT_FALSE(HasEnded(pid));
}

// The program as the user knows it: the name it was started under (a link to it) and its file
// name in any letter case.
TEST(CloseListedPrograms, MatchesTheNameItWasStartedUnderAndIgnoresLetterCase) {
  TempDir dir;
  Tree linked(dir, "tunvik-close-real311", "tunvik-close-link");
  Tree cased(dir, "tunvik-close-Case");
  Tree kept(dir, "tunvik-close-other");

  EXPECT_EQ(CloseListedPrograms("/usr/bin/tunvik-close-link|C:\\TUNVIK-CLOSE-CASE|"), 8);
  EXPECT_TRUE(linked.RootKilled());
  EXPECT_TRUE(cased.RootKilled());
  EXPECT_TRUE(linked.AllDescendantsEnded());
  EXPECT_TRUE(cased.AllDescendantsEnded());
  EXPECT_FALSE(HasEnded(kept.root()));
}

TEST(ProgramNameMatches, NamesOfAProcess) {
  ProcessEntry entry;
  entry.fileName = "python3.11";
  entry.startName = "python3";
  entry.kernelName = "python3";
  for (const char* name : {"python3.11", "PYTHON3.11", "python3", "Python3"}) {
    EXPECT_TRUE(ProgramNameMatches(entry, name)) << name;
  }
  for (const char* name : {"", "python", "python3.1", "python3.11.exe"}) {
    EXPECT_FALSE(ProgramNameMatches(entry, name)) << name;
  }
  // Case folding beyond ASCII, and names that are no UTF-8.
  entry = ProcessEntry{};
  entry.fileName =
      "\xc3\x89"
      "diteur";  // "Éditeur"
  EXPECT_TRUE(ProgramNameMatches(entry,
                                 "\xc3\xa9"
                                 "DITEUR"));
  entry.fileName = "Raw\xff";
  EXPECT_TRUE(ProgramNameMatches(entry, "rAW\xff"));
  EXPECT_FALSE(ProgramNameMatches(entry, "raw\xfe"));
}

TEST(CloseListedPrograms, NeverEndsTheCallingProcess) {
  // A copy of this test program under a name of its own ends its own name: it must survive,
  // while the child it forked under the same name ends.
  TempDir dir;
  const std::string copy = dir.File("tunvik-close-self");
  hosttools_test::CopyProgram("/proc/self/exe", copy);
  int status = -1;
  std::string output = RunCommand({copy, "--end-own-name", "tunvik-close-self"}, {}, &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "ended 1\n");
}

}  // namespace
}  // namespace hosttools
