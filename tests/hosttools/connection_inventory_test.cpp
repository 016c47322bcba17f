#include "hosttools/connection_inventory.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <regex>

#include "hosttools/process_labels.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "test_support.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

using hosttools_test::ChildProcess;
using hosttools_test::ScopedEnv;
using hosttools_test::TempDir;

// A label is "*.*." and two decimal numbers from 0 to 255 without leading zeros.
bool IsLabel(const std::string& label) {
  static const std::regex kForm(R"(\*\.\*\.(0|[1-9][0-9]{0,2})\.(0|[1-9][0-9]{0,2}))");
  std::smatch m;
  return std::regex_match(label, m, kForm) && std::stoi(m[1]) <= 255 && std::stoi(m[2]) <= 255;
}

// Starts a copy of /bin/sleep named `name` in `dir` and waits until it runs under that name.
std::unique_ptr<ChildProcess> StartNamed(const TempDir& dir, const std::string& name) {
  std::string path = dir.File(name);
  hosttools_test::CopyProgram("/bin/sleep", path);
  auto child = std::make_unique<ChildProcess>(std::vector<std::string>{path, "1000"});
  EXPECT_GT(child->pid(), 0);
  EXPECT_TRUE(hosttools_test::WaitFor([&] {
    auto entry = ReadProcessEntry(child->pid());
    return entry && entry->fileName == name;
  }));
  return child;
}

// A forked child that holds an established TCP connection to itself over loopback of `family`
// until it is killed. pid() is -1 when the connection could not be made.
class ConnectionHolder {
 public:
  explicit ConnectionHolder(int family) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      char ok = Connect(family) ? '1' : '0';
      ssize_t written = ::write(ready[1], &ok, 1);
      (void)written;
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char ok = '0';
    if (pid_ < 0 || ::read(ready[0], &ok, 1) != 1 || ok != '1') Stop();
    ::close(ready[0]);
  }
  ~ConnectionHolder() { Stop(); }
  ConnectionHolder(const ConnectionHolder&) = delete;
  ConnectionHolder& operator=(const ConnectionHolder&) = delete;

  int pid() const { return pid_; }

 private:
  static bool Connect(int family) {
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET) {
      auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
      in4->sin_family = AF_INET;
      in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof *in4;
    } else {
      auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
      in6->sin6_family = AF_INET6;
      in6->sin6_addr = in6addr_loopback;
      length = sizeof *in6;
    }
    int listener = ::socket(family, SOCK_STREAM, 0);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return false;
    }
    int client = ::socket(family, SOCK_STREAM, 0);
    if (client < 0 || ::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0) {
      return false;
    }
    return ::accept(listener, nullptr, nullptr) >= 0;
  }

  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  pid_t pid_ = -1;
};

class ConnectionInventory : public ::testing::Test {
 protected:
  TempDir runtime_;
  ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.path()};
  std::string scratch_ = ScratchFilePath();
  std::vector<std::string> messages_;
  ErrorReport report_ = [this](std::string_view m) { messages_.emplace_back(m); };

  std::string StoredLabel(const std::string& pid) {
    return settings::GetProfileString(kScratchSection, pid, "", kLabelLimit, scratch_);
  }

  static const ProcessRow* Find(const std::vector<ProcessRow>& rows, int pid) {
    auto it = std::find_if(rows.begin(), rows.end(),
                           [pid](const ProcessRow& row) { return row.pid == std::to_string(pid); });
    return it == rows.end() ? nullptr : &*it;
  }

  // The file name of this test program (the forked connection holders run it too).
  static std::string OwnName() { return ReadProcessEntry(::getpid()).value().fileName; }

  static std::vector<std::string> Pids(const std::vector<ProcessRow>& rows) {
    std::vector<std::string> pids;
    for (const ProcessRow& row : rows) pids.push_back(row.pid);
    return pids;
  }
};

TEST_F(ConnectionInventory, ScratchFileLivesInTheRuntimeFolderOrAPrivateTemporaryOne) {
  EXPECT_EQ(scratch_, runtime_.path() + "/XOL-VPN.ini");

  TempDir temp;
  ScopedEnv tmpdir("TMPDIR", temp.path());
  const std::string privateFolder = temp.File("tunvik-" + std::to_string(::geteuid()));
  for (std::optional<std::string> runtime :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative/dir")}) {
    ScopedEnv unset("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(ScratchFilePath(), privateFolder + "/XOL-VPN.ini");
    struct stat st {};
    ASSERT_EQ(::lstat(privateFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }

  // A link planted in the folder's place is never used.
  ::rmdir(privateFolder.c_str());
  ASSERT_EQ(::symlink(temp.path().c_str(), privateFolder.c_str()), 0);
  ScopedEnv unset("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_EQ(ScratchFilePath(), "");
}

TEST_F(ConnectionInventory, LabelsHaveTheirFormAndAreStoredPrivately) {
  for (unsigned seed = 0; seed < 3000; ++seed) {
    std::string label = MakeProcessLabel(seed * 7919u);
    ASSERT_TRUE(IsLabel(label)) << label;
    ASSERT_EQ(label, MakeProcessLabel(seed * 7919u));
  }
  std::string label = AssignProcessLabel("4242", scratch_);
  EXPECT_TRUE(IsLabel(label)) << label;
  EXPECT_EQ(StoredLabel("4242"), label);
  struct stat st {};
  ASSERT_EQ(::stat(scratch_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ConnectionInventory, StartupScanLabelsProcessesWithIpv4ConnectionsOnly) {
  ConnectionHolder ipv4(AF_INET);
  ConnectionHolder ipv6(AF_INET6);
  ASSERT_GT(ipv4.pid(), 0);
  settings::WriteProfileString(kScratchSection, "1", "left from an earlier run", scratch_);

  ScanConnections(scratch_, report_);

  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(StoredLabel("1"), "") << "the scratch file is emptied at every start";
  EXPECT_TRUE(IsLabel(StoredLabel(std::to_string(ipv4.pid()))));
  if (ipv6.pid() > 0) {
    EXPECT_EQ(StoredLabel(std::to_string(ipv6.pid())), "") << "[::1] is passed over";
  }
}

TEST_F(ConnectionInventory, StartupScanReportsAMissingListingTool) {
  TempDir emptyPath;
  ScopedEnv path("PATH", emptyPath.path());
  ScanConnections(scratch_, report_);
  EXPECT_EQ(messages_, std::vector<std::string>{std::string(kCreateProcessError)});
}

TEST_F(ConnectionInventory, EmptyFilterListsEveryProcessInPidOrder) {
  auto rows = RefreshProcessList("", {}, scratch_);
  ASSERT_TRUE(rows.has_value());
  ASSERT_GT(rows->size(), 1u);
  EXPECT_TRUE(std::is_sorted(rows->begin(), rows->end(), [](const auto& a, const auto& b) {
    return std::stoi(a.pid) < std::stoi(b.pid);
  }));
  const ProcessRow* self = Find(*rows, ::getpid());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(self->name, OwnName());
}

TEST_F(ConnectionInventory, FilterTakesTheFileNamePartWithoutRegardToCase) {
  TempDir bin;
  auto lower = StartNamed(bin, "game.exe");
  auto upper = StartNamed(bin, "GAME.EXE");
  auto longer = StartNamed(bin, "game.exe.bak");
  auto other = StartNamed(bin, "othergame.exe");
  const std::string gbkName = text::Utf8ToGbk("游戏.exe");
  auto chinese = StartNamed(bin, "游戏.exe");  // file names are UTF-8 on disk

  std::vector<std::string> games = {std::to_string(lower->pid()), std::to_string(upper->pid())};
  std::sort(games.begin(), games.end(),
            [](auto& a, auto& b) { return std::stoi(a) < std::stoi(b); });
  for (const char* filter :
       {"C:\\Program Files\\Games\\Game.exe", "/opt/games/Game.exe", "Game.exe"}) {
    auto rows = RefreshProcessList(filter, {}, scratch_);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(Pids(*rows), games) << filter;
  }

  // A GBK filter matches the UTF-8 file name; the row shows it in GBK.
  auto rows = RefreshProcessList(text::Utf8ToGbk("D:\\游戏\\游戏.EXE"), {}, scratch_);
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ((*rows)[0].pid, std::to_string(chinese->pid()));
  EXPECT_EQ((*rows)[0].name, gbkName);
}

TEST_F(ConnectionInventory, NewProcessShowsItsLabelFromTheSecondRefreshOn) {
  TempDir bin;
  PidSet startup;
  RecordStartupPids(startup);
  ScanConnections(scratch_, report_);
  auto late = StartNamed(bin, "tunvik-late");

  std::vector<std::string> labels;
  for (int refresh = 0; refresh < 3; ++refresh) {
    auto rows = RefreshProcessList("tunvik-late", startup, scratch_);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1u);
    labels.push_back((*rows)[0].label);
  }
  EXPECT_EQ(labels[0], "");
  EXPECT_TRUE(IsLabel(labels[1])) << labels[1];
  EXPECT_EQ(labels[2], labels[1]);
}

TEST_F(ConnectionInventory, ProcessesPresentAtStartShowNocanOrTheirScanLabel) {
  TempDir bin;
  auto idle = StartNamed(bin, "tunvik-idle");
  ConnectionHolder connected(AF_INET);
  ASSERT_GT(connected.pid(), 0);
  PidSet startup;
  RecordStartupPids(startup);
  ASSERT_EQ(startup.count(std::to_string(idle->pid())), 1u);
  ScanConnections(scratch_, report_);
  const std::string scanned = StoredLabel(std::to_string(connected.pid()));
  ASSERT_TRUE(IsLabel(scanned));

  for (int refresh = 0; refresh < 2; ++refresh) {
    auto idleRows = RefreshProcessList("tunvik-idle", startup, scratch_);
    ASSERT_TRUE(idleRows.has_value());
    ASSERT_EQ(idleRows->size(), 1u);
    EXPECT_EQ((*idleRows)[0].label, kNoLabel);

    // The forked holder runs the test program itself.
    auto rows = RefreshProcessList(OwnName(), startup, scratch_);
    ASSERT_TRUE(rows.has_value());
    const ProcessRow* row = Find(*rows, connected.pid());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->label, scanned);
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ConnectionInventory, SaveProcessFilterStoresProcessIP) {
  TempDir dir;
  const std::string settingsPath = dir.File("XolConfig.ini");
  const std::string filter = text::Utf8ToGbk("C:\\游戏\\Game.exe");
  ASSERT_TRUE(SaveProcessFilter(filter, settingsPath));
  EXPECT_EQ(settings::GetProfileString(settings::kHardwareConfig, settings::kProcessIP, "",
                                       settings::kWhole, settingsPath),
            filter);
}

}  // namespace
}  // namespace hosttools
