// The main window's command runner and process list: the runner's box, the start-up scan, the
// refresh of list 1003 on timer 1 with the filter of edit 1002, and the close list of a drop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <string>

#include "host_window_fixture.h"
#include "hosttools/process_table.h"
#include "settings/profile.h"
#include "ui/message_box.h"

namespace {

namespace t = ui::testing;
using hosttools_test::ChildProcess;
using hosttools_test::TempDir;
using hostwindows_test::G;
using hostwindows_test::HostWindowTest;
using hostwindows_test::U;

using ProcessList = HostWindowTest;

constexpr int kProcessListTimer = 1;

// True for a decimal number from 0 to 255 without leading zeros.
bool IsByteNumber(const std::string& part) {
  if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoi(part) <= 255;
}

// A label is "*.*." and two decimal numbers from 0 to 255 joined by ".".
bool IsLabel(const std::string& label) {
  if (label.rfind("*.*.", 0) != 0) return false;
  const std::string numbers = label.substr(4);
  const std::size_t dot = numbers.find('.');
  return dot != std::string::npos && IsByteNumber(numbers.substr(0, dot)) &&
         IsByteNumber(numbers.substr(dot + 1));
}

// Starts a copy of /bin/sleep named `name` in `dir` and waits until it runs under that name.
std::unique_ptr<ChildProcess> StartNamed(const TempDir& dir, const std::string& name) {
  std::string path = dir.File(name);
  hosttools_test::CopyProgram("/bin/sleep", path);
  auto child = std::make_unique<ChildProcess>(std::vector<std::string>{path, "1000"});
  EXPECT_GT(child->pid(), 0);
  EXPECT_TRUE(hosttools_test::WaitFor([&] {
    auto entry = hosttools::ReadProcessEntry(child->pid());
    return entry && entry->fileName == name;
  }));
  return child;
}

// An established TCP connection over IPv4 loopback held by the test process itself.
class LoopbackConnection {
 public:
  LoopbackConnection() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    client_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    auto* any = reinterpret_cast<sockaddr*>(&address);
    ok_ = listener_ >= 0 && client_ >= 0 && ::bind(listener_, any, length) == 0 &&
          ::listen(listener_, 1) == 0 && ::getsockname(listener_, any, &length) == 0 &&
          ::connect(client_, any, length) == 0 &&
          (server_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;
  }
  ~LoopbackConnection() {
    for (int fd : {server_, client_, listener_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  LoopbackConnection(const LoopbackConnection&) = delete;
  LoopbackConnection& operator=(const LoopbackConnection&) = delete;
  bool ok() const { return ok_; }

 private:
  int listener_ = -1, client_ = -1, server_ = -1;
  bool ok_ = false;
};

TEST_F(ProcessList, RunCommandShowsAMissingProgramOnceInABoxOfTheMainWindow) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    boxes.Clear();
    EXPECT_EQ(window.RunCommand({"sh", "-c", "printf out; printf err >&2"}), "outerr");
    EXPECT_EQ(window.RunCommand({"true"}), "");
    EXPECT_EQ(boxes.Count(), 0u);

    EXPECT_EQ(window.RunCommand({dir_ + "/no-such-tool", "-x"}), "");
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Error on CreateProcess()!");
    EXPECT_EQ(shown[0].type, ui::MB_OK);
    EXPECT_EQ(shown[0].caption, ui::DefaultCaption());
    EXPECT_EQ(U(shown[0].ownerTitle), "Quoril_v10.6");
  });
}

TEST_F(ProcessList, OldProcessesShowNocanOrTheirScanLabelAndNewOnesTheirLabelFromTheNextRefresh) {
  TempDir bin;
  auto old = StartNamed(bin, "tvk-old");
  const std::string oldPid = std::to_string(old->pid());
  const std::string ownPid = std::to_string(::getpid());
  LoopbackConnection connection;
  ASSERT_TRUE(connection.ok());
  // A label left from an earlier run is gone with the scratch file at start.
  hosttools_test::WriteAll(ScratchPath(), "[XOL]\n" + oldPid + "=*.*.1.1\n", 0600);

  CTunvikDlg window;
  t::RunModal(window, [&] {
    EXPECT_EQ(window.GetListView(IDC_PROCESS_LIST).GetItemCount(), 0);  // first fill at 20 s
    EXPECT_EQ(window.startupPids.count(oldPid), 1u);

    window.OnTimer(kProcessListTimer);
    auto rows = Rows(window);
    ASSERT_EQ(rows.count(oldPid), 1u);
    EXPECT_EQ(rows[oldPid], std::make_pair(std::string("tvk-old"), std::string("NOCAN")));
    // The test process holds an established IPv4 connection, so the scan labelled it.
    ASSERT_EQ(rows.count(ownPid), 1u);
    const std::string ownLabel = rows[ownPid].second;
    EXPECT_TRUE(IsLabel(ownLabel)) << ownLabel;

    auto late = StartNamed(bin, "tvk-late");
    const std::string latePid = std::to_string(late->pid());
    std::vector<std::string> labels;
    for (int refresh = 0; refresh < 3; ++refresh) {
      window.OnTimer(kProcessListTimer);
      rows = Rows(window);
      ASSERT_EQ(rows.count(latePid), 1u);
      EXPECT_EQ(rows[latePid].first, "tvk-late");
      labels.push_back(rows[latePid].second);
      EXPECT_EQ(rows[oldPid].second, "NOCAN");
      EXPECT_EQ(rows[ownPid].second, ownLabel);
    }
    EXPECT_EQ(labels[0], "");
    EXPECT_TRUE(IsLabel(labels[1])) << labels[1];
    EXPECT_EQ(labels[2], labels[1]);
  });
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ProcessList, DroppedProgramFiltersTheListByItsFileNameInAnyLetterCase) {
  TempDir bin;
  auto lower = StartNamed(bin, "game.exe");
  auto upper = StartNamed(bin, "GAME.EXE");
  auto other = StartNamed(bin, "other.exe");

  CTunvikDlg window;
  t::RunModal(window, [&] {
    const std::string dropped = dir_ + "/游戏目录/Game.exe";
    t::DropFiles(window, IDC_PROCESS_EDIT, {dropped});
    EXPECT_EQ(U(window.GetDlgItemText(IDC_PROCESS_EDIT)), dropped);
    EXPECT_EQ(U(window.processFilter), dropped);
    EXPECT_EQ(
        U(settings::GetProfileString("HardwareConfig", "ProcessIP", "", 1000, SettingsPath())),
        dropped);

    window.OnTimer(kProcessListTimer);
    auto rows = Rows(window);
    EXPECT_EQ(rows.count(std::to_string(lower->pid())), 1u);
    EXPECT_EQ(rows.count(std::to_string(upper->pid())), 1u);
    EXPECT_EQ(rows.count(std::to_string(other->pid())), 0u);
    for (const auto& [pid, row] : rows) EXPECT_TRUE(text::EqualsNoCase(row.first, "game.exe"));

    // Emptying the edit lists every process again.
    window.SetDlgItemText(IDC_PROCESS_EDIT, "");
    window.OnTimer(kProcessListTimer);
    EXPECT_EQ(Rows(window).count(std::to_string(other->pid())), 1u);
  });
  EXPECT_EQ(settings::GetProfileString("HardwareConfig", "ProcessIP", "x", 1000, SettingsPath()),
            "");
}

TEST_F(ProcessList, StoredFilterIsShownAtStartWithoutBeingWrittenAgain) {
  WriteSettings("[HardwareConfig]\nProcessIP=/opt/x/Game.exe\n");
  const std::string before = ReadSettings();
  CTunvikDlg window;
  t::RunModal(window, [&] {
    EXPECT_EQ(window.GetDlgItemText(IDC_PROCESS_EDIT), "/opt/x/Game.exe");
    EXPECT_TRUE(window.processEdit.IsAttached());
  });
  EXPECT_EQ(ReadSettings(), before);
}

TEST_F(ProcessList, CloseListedProgramsReadsTheWholeListAndEndsOnlyItsPrograms) {
  TempDir bin;
  auto doomed = StartNamed(bin, "tvk-doomed");
  auto kept = StartNamed(bin, "tvk-kept");
  // The listed program comes after more than 254 bytes of other entries.
  std::string list;
  for (int i = 0; i < 8; ++i) list += "/opt/never-running/program-" + std::to_string(i) + ".exe|";
  ASSERT_GT(list.size(), 254u);
  list += bin.File("tvk-doomed") + "|";
  WriteSettings("[HardwareConfig]\nClosingProcess=" + list + "\n");

  CTunvikDlg window;
  window.CloseListedPrograms();
  int status = doomed->Reap();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_FALSE(hosttools_test::HasEnded(kept->pid()));
  EXPECT_EQ(boxes.Count(), 0u);
}

}  // namespace
