// The maintenance actions: share deletion, the 789 repair with its restart, and the start-up
// checkboxes. No test restarts the machine: the restart is a fake, or logind's tools are
// replaced by scripts at absolute paths.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "hosttools/autostart_entry.h"
#include "hosttools/fix789.h"
#include "hosttools/shares.h"
#include "hosttools/startup_toggles.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "test_support.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

using hosttools_test::ReadAll;
using hosttools_test::ScopedEnv;
using hosttools_test::TempDir;
using hosttools_test::WriteScript;

std::string G(const char* utf8) {
  return text::Utf8ToGbk(utf8);
}

// Message boxes that record what they show and answer questions as told.
struct FakePrompts {
  std::vector<std::string> messages;
  std::vector<std::string> applicationMessages;
  std::vector<std::pair<std::string, std::string>> questions;
  bool answer = false;

  Prompts Get() {
    return Prompts{
        [this](const std::string& t) { messages.push_back(t); },
        [this](const std::string& t, const std::string& c) {
          questions.emplace_back(t, c);
          return answer;
        },
        [this](const std::string& t) { applicationMessages.push_back(t); },
    };
  }
};

class FakeRestart : public RestartAction {
 public:
  explicit FakeRestart(RestartResult result) : result_(result) {}
  RestartResult Restart() override {
    ++calls;
    return result_;
  }
  int calls = 0;

 private:
  RestartResult result_;
};

TEST(DeleteShares, DeletesTheNineSharesInOrderWithSambasTool) {
  const std::string expected =
      "usershare delete ipc$\nusershare delete Users\nusershare delete Admin$\n"
      "usershare delete C$\nusershare delete D$\nusershare delete E$\n"
      "usershare delete F$\nusershare delete G$\nusershare delete H$\n";
  TempDir dir;
  const std::string log = dir.File("calls");
  // A failing tool: every deletion still runs, and its complaint is nobody's message.
  WriteScript(dir.File("net"), "echo \"$*\" >> '" + log + "'\necho 'no such share' >&2\nexit 1\n");
  std::vector<std::string> messages;
  ErrorReport report = [&](std::string_view m) { messages.emplace_back(m); };
  DeleteShares(dir.File("net"), report);
  EXPECT_EQ(ReadAll(log).value_or(""), expected);

  // The tool is looked up on PATH; without it nothing runs and nothing is reported.
  ScopedEnv path("PATH", dir.path());
  ::unlink(log.c_str());
  DeleteShares(report);
  EXPECT_EQ(ReadAll(log).value_or(""), expected);
  ::unlink(dir.File("net").c_str());
  ::unlink(log.c_str());
  DeleteShares(report);
  EXPECT_FALSE(ReadAll(log).has_value());
  EXPECT_TRUE(messages.empty());
}

class Fix789Test : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("tunvik/dialer.ini");
  FakePrompts prompts_;
};

TEST_F(Fix789Test, AnsweredNoSetsTheValueAndRestartsNothing) {
  FakeRestart restart(RestartResult::kRestarting);
  EXPECT_FALSE(ProhibitIpSec(path_));
  EXPECT_EQ(Fix789(prompts_.Get(), restart, path_), Fix789Outcome::kDeclined);
  EXPECT_TRUE(ProhibitIpSec(path_));
  EXPECT_EQ(restart.calls, 0);
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0].first,
            G("出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？"));
  EXPECT_EQ(prompts_.questions[0].second, G("修复成功"));
  EXPECT_TRUE(prompts_.messages.empty());
  // The user's own file, in a folder of the user's own.
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(dir_.File("tunvik").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Fix789Test, AnsweredYesAsksTheRestartAndReportsARefusal) {
  struct Case {
    RestartResult result;
    Fix789Outcome outcome;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {RestartResult::kRestarting, Fix789Outcome::kRestarting, {}},
      {RestartResult::kRefused, Fix789Outcome::kRestartRefused, {G("关机失败")}},
      {RestartResult::kCannotAsk, Fix789Outcome::kRestartRefused, {"OpenProcessToken Error!"}},
  };
  for (const Case& c : cases) {
    FakePrompts prompts;
    prompts.answer = true;
    FakeRestart restart(c.result);
    EXPECT_EQ(Fix789(prompts.Get(), restart, path_), c.outcome);
    EXPECT_EQ(restart.calls, 1);
    EXPECT_EQ(prompts.applicationMessages, c.shown);
    EXPECT_TRUE(ProhibitIpSec(path_));
  }
}

TEST_F(Fix789Test, KeepsTheFilesOtherLines) {
  ::mkdir(dir_.File("tunvik").c_str(), 0755);
  hosttools_test::WriteAll(path_, "[RasMan]\nProhibitIpSec=0\nOther=5\n[L2tp]\nmtu=1400\n");
  FakeRestart restart(RestartResult::kRestarting);
  Fix789(prompts_.Get(), restart, path_);
  EXPECT_TRUE(ProhibitIpSec(path_));
  EXPECT_EQ(settings::GetProfileString("RasMan", "Other", "", settings::kWhole, path_), "5");
  EXPECT_EQ(settings::GetProfileString("L2tp", "mtu", "", settings::kWhole, path_), "1400");
}

TEST_F(Fix789Test, WithoutTheRightShowsItsMessageAndChangesNothing) {
  // The folder and file belong to the test; a child without the right to write them (an
  // unprivileged user when the test runs as root) tries the repair.
  ::mkdir(dir_.File("tunvik").c_str(), 0755);
  ::chmod(dir_.path().c_str(), 0755);
  const std::string before = "[RasMan]\nProhibitIpSec=0\n";
  hosttools_test::WriteAll(path_, before, 0644);
  if (::geteuid() != 0) {
    ::chmod(dir_.File("tunvik").c_str(), 0555);
    ::chmod(path_.c_str(), 0444);
  }

  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    FakePrompts prompts;
    FakeRestart restart(RestartResult::kRestarting);
    Fix789Outcome outcome = Fix789(prompts.Get(), restart, path_);
    std::string shown = prompts.messages.empty() ? "" : prompts.messages.front();
    ssize_t written = ::write(channel[1], shown.data(), shown.size());
    (void)written;
    ::_exit(outcome == Fix789Outcome::kCannotOpen && prompts.messages.size() == 1 ? 0 : 1);
  }
  ::close(channel[1]);
  std::string shown;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) shown.append(buffer, n);
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(dir_.File("tunvik").c_str(), 0755);

  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 3) << "cannot drop the right";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(shown, G("打开注册表失败,请用管理员身份运行"));
  EXPECT_EQ(ReadAll(path_).value_or(""), before);
}

// The repair of a user without any right beyond their own: it writes the user's file, in the
// user's configuration folder, which the dialer then reads before the system-wide file.
TEST_F(Fix789Test, AnUnprivilegedUserWritesTheirOwnSettingWhichTheDialerUses) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the repair as another user";
  const std::string config = dir_.File("config");
  ::mkdir(config.c_str(), 0700);
  ASSERT_EQ(::chown(config.c_str(), 65534, 65534), 0);
  ::chmod(dir_.path().c_str(), 0755);
  const std::string system = dir_.File("etc-dialer.ini");
  hosttools_test::WriteAll(system, "[RasMan]\nProhibitIpSec=0\n");
  const std::string previousSystem = DialerSettingsPath();
  SetDialerSettingsPathForTesting(system);
  ScopedEnv xdg("XDG_CONFIG_HOME", config);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    FakePrompts prompts;
    FakeRestart restart(RestartResult::kRestarting);
    ::_exit(Fix789(prompts.Get(), restart) == Fix789Outcome::kDeclined ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string user = config + "/tunvik/dialer.ini";
  EXPECT_EQ(UserDialerSettingsPath(), user);
  struct stat st {};
  ASSERT_EQ(::stat(user.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_TRUE(ProhibitIpSec(user));
  EXPECT_TRUE(ProhibitIpSec());  // the user's file decides over the system's 0
  EXPECT_EQ(ReadAll(system).value_or(""), "[RasMan]\nProhibitIpSec=0\n");

  // Without the key in the user's file, the system-wide file decides.
  hosttools_test::WriteAll(user, "[RasMan]\nOther=1\n");
  EXPECT_FALSE(ProhibitIpSec());
  hosttools_test::WriteAll(system, "[RasMan]\nProhibitIpSec=1\n");
  EXPECT_TRUE(ProhibitIpSec());
  SetDialerSettingsPathForTesting(previousSystem);
}

TEST_F(Fix789Test, FolderThatCannotBeMadeCountsAsNoRight) {
  hosttools_test::WriteAll(dir_.File("tunvik"), "a file where the folder should be");
  FakeRestart restart(RestartResult::kRestarting);
  EXPECT_EQ(Fix789(prompts_.Get(), restart, path_), Fix789Outcome::kCannotOpen);
  EXPECT_EQ(prompts_.messages, std::vector<std::string>{G("打开注册表失败,请用管理员身份运行")});
  EXPECT_TRUE(prompts_.questions.empty());
}

// logind's tools replaced by scripts: busctl answers CanReboot, systemctl records its call.
class LogindRestartTest : public ::testing::Test {
 protected:
  void Tools(const std::string& answer, int busctlExit, int systemctlExit) {
    WriteScript(busctl_, "echo \"$*\" >> '" + log_ + "'\necho '" + answer + "'\nexit " +
                             std::to_string(busctlExit) + "\n");
    WriteScript(systemctl_, "echo \"systemctl $*\" >> '" + log_ + "'\nexit " +
                                std::to_string(systemctlExit) + "\n");
  }
  std::string Log() { return ReadAll(log_).value_or(""); }

  TempDir dir_;
  std::string log_ = dir_.File("calls");
  std::string busctl_ = dir_.File("busctl");
  std::string systemctl_ = dir_.File("systemctl");
};

TEST_F(LogindRestartTest, AsksCanRebootThenReboots) {
  Tools("s \"yes\"", 0, 0);
  EXPECT_EQ(LogindRestart(busctl_, systemctl_).Restart(), RestartResult::kRestarting);
  EXPECT_EQ(Log(),
            "call org.freedesktop.login1 /org/freedesktop/login1 org.freedesktop.login1.Manager "
            "CanReboot\nsystemctl reboot\n");
}

TEST_F(LogindRestartTest, RefusalsAndFailures) {
  struct Case {
    const char* answer;
    int busctlExit;
    int systemctlExit;
    RestartResult result;
    bool rebootRun;
  };
  const Case cases[] = {
      {"s \"no\"", 0, 0, RestartResult::kRefused, false},
      {"s \"na\"", 0, 0, RestartResult::kRefused, false},
      {"s \"challenge\"", 0, 1, RestartResult::kRefused, true},
      {"s \"yes\"", 0, 1, RestartResult::kRefused, true},
      {"Failed to connect to bus", 1, 0, RestartResult::kCannotAsk, false},
  };
  for (const Case& c : cases) {
    ::unlink(log_.c_str());
    Tools(c.answer, c.busctlExit, c.systemctlExit);
    EXPECT_EQ(LogindRestart(busctl_, systemctl_).Restart(), c.result) << c.answer;
    EXPECT_EQ(Log().find("systemctl reboot") != std::string::npos, c.rebootRun) << c.answer;
  }
  EXPECT_EQ(LogindRestart(dir_.File("missing"), systemctl_).Restart(), RestartResult::kCannotAsk);
}

class AutostartTest : public ::testing::Test {
 protected:
  TempDir home_;
  TempDir config_;
  ScopedEnv homeEnv_{"HOME", home_.path()};
  ScopedEnv configEnv_{"XDG_CONFIG_HOME", config_.path()};
  TempDir settingsDir_;
  std::string settings_ = settingsDir_.File("XolConfig.ini");
  FakePrompts prompts_;

  int StoredAutostart() {
    return settings::GetProfileInt(settings::kHostConfig, settings::kAutostart, -1, settings_);
  }
};

TEST_F(AutostartTest, CheckingCreatesTheEntryAndClearingDeletesIt) {
  const std::string program = "/opt/tunvik/bin/tunvik";
  const std::string entry = config_.File("autostart/Quoril_v10.6.desktop");
  EXPECT_EQ(AutostartEntryPath("10.6"), entry);

  EXPECT_TRUE(ToggleAutostart(true, "10.6", program, "", settings_, prompts_.Get()));
  EXPECT_EQ(ReadAll(entry).value_or(""),
            "[Desktop Entry]\nType=Application\nName=Quoril_v10.6\n"
            "Exec=\"/opt/tunvik/bin/tunvik\"\nTryExec=/opt/tunvik/bin/tunvik\nTerminal=false\n");
  EXPECT_EQ(StoredAutostart(), 1);

  EXPECT_FALSE(ToggleAutostart(false, "10.6", program, "", settings_, prompts_.Get()));
  EXPECT_FALSE(ReadAll(entry).has_value());
  EXPECT_EQ(StoredAutostart(), 0);
  EXPECT_EQ(prompts_.messages, (std::vector<std::string>{G("设置自启成功"), G("关闭自启成功")}));
}

TEST_F(AutostartTest, InstalledProgramStartsWithItsThemeIcon) {
  const std::string entry = config_.File("autostart/Quoril_v10.6.desktop");
  EXPECT_TRUE(ToggleAutostart(true, "10.6", "/usr/bin/tunvik", kInstalledIconName, settings_,
                              prompts_.Get()));
  EXPECT_EQ(ReadAll(entry).value_or(""),
            "[Desktop Entry]\nType=Application\nName=Quoril_v10.6\n"
            "Exec=\"/usr/bin/tunvik\"\nTryExec=/usr/bin/tunvik\nIcon=tunvik\nTerminal=false\n");
}

TEST_F(AutostartTest, NameCarriesTheVersionAndOlderEntriesStay) {
  ASSERT_TRUE(CreateAutostartEntry("10.5", "/old/tunvik"));
  EXPECT_TRUE(ToggleAutostart(true, "10.7", "/new/tunvik", "", settings_, prompts_.Get()));
  EXPECT_FALSE(ToggleAutostart(false, "10.7", "/new/tunvik", "", settings_, prompts_.Get()));
  EXPECT_TRUE(ReadAll(config_.File("autostart/Quoril_v10.5.desktop")).has_value());
  EXPECT_FALSE(ReadAll(config_.File("autostart/Quoril_v10.7.desktop")).has_value());
}

TEST_F(AutostartTest, FailingWriteClearsTheBoxWhileAutostartHoldsOne) {
  // A file where the configuration folder should be: the autostart folder cannot be made.
  ScopedEnv config("XDG_CONFIG_HOME", home_.File("not-a-folder"));
  hosttools_test::WriteAll(home_.File("not-a-folder"), "x");
  EXPECT_FALSE(ToggleAutostart(true, "10.6", "/opt/tunvik", "", settings_, prompts_.Get()));
  EXPECT_EQ(StoredAutostart(), 1);
  EXPECT_TRUE(ToggleAutostart(false, "10.6", "/opt/tunvik", "", settings_, prompts_.Get()));
  EXPECT_EQ(StoredAutostart(), 0);
  EXPECT_EQ(prompts_.messages, (std::vector<std::string>{G("打开启动项失败"), G("设置自启失败"),
                                                         G("打开启动项失败"), G("关闭自启失败")}));
}

TEST_F(AutostartTest, FallsBackToHomeConfigAndMakesMissingFoldersPrivate) {
  for (std::optional<std::string> value :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative")}) {
    ScopedEnv config("XDG_CONFIG_HOME", value);
    EXPECT_EQ(AutostartEntryPath("10.6"), home_.File(".config/autostart/Quoril_v10.6.desktop"));
  }
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  ASSERT_TRUE(OpenAutostartFolder());
  struct stat st {};
  ASSERT_EQ(::stat(home_.File(".config/autostart").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ScopedEnv noHome("HOME", std::nullopt);
  EXPECT_EQ(AutostartEntryPath("10.6"), "");
  EXPECT_FALSE(OpenAutostartFolder());
}

TEST(QuoteExecArgument, EscapesWhatTheDesktopEntryFormatReserves) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"/usr/bin/tunvik", R"("/usr/bin/tunvik")"},
      {"/opt/my apps/tunvik", R"("/opt/my apps/tunvik")"},
      {"/opt/a\"b", R"("/opt/a\\"b")"},
      {"/opt/a\\b", R"("/opt/a\\\\b")"},
      {"/opt/$HOME/`x`", R"("/opt/\\$HOME/\\`x\\`")"},
      {"/opt/100%/t", R"("/opt/100%%/t")"},
      {"/opt/a\nb", R"("/opt/a\nb")"},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteExecArgument(c.path), c.expected) << c.path;
}

TEST(ToggleAutoConnect, StoresTheBox) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  ASSERT_TRUE(ToggleAutoConnect(true, path));
  EXPECT_EQ(settings::GetProfileString(settings::kHostConfig, settings::kAutoConnect, "",
                                       settings::kWhole, path),
            "1");
  ASSERT_TRUE(ToggleAutoConnect(false, path));
  EXPECT_EQ(settings::GetProfileInt(settings::kHostConfig, settings::kAutoConnect, -1, path), 0);
}

}  // namespace
}  // namespace hosttools
