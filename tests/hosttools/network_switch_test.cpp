// DisableNetwork and RestoreNetwork run only inside a network namespace that the test makes for
// itself, never on the machine's own interfaces.
#include "hosttools/network_switch.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>

#include "hosttools/network_links.h"
#include "netns_support.h"
#include "settings/keys.h"
#include "settings/main_window_settings.h"
#include "settings/profile.h"
#include "test_support.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

using hosttools_test::AddLink;
using hosttools_test::EnterNewNetworkNamespace;
using hosttools_test::Ip;
using hosttools_test::IsUp;
using hosttools_test::NetworkNamespaceInode;
using hosttools_test::TempDir;

const std::string kPlain = "tvk0";       // IPv4, and an alias address "tvk0:1"
const std::string kQuoted = "tvk;q\"'";  // IPv6 only; a semicolon and quotes, one name all the same
const std::string kUtf8 = "wan\xe7\xbd\x91";  // no address; "wan" and a UTF-8 character
const std::string kDown = "tvkdown";          // switched off before: left alone
const std::vector<std::string> kUp = {kPlain, kQuoted, kUtf8};

std::string Joined(const std::vector<std::string>& names) {
  return JoinAdapterNames(names);
}

// The body of the forked child, already inside its own namespace. Returns "OK", "SKIP: ..." or
// "FAIL: ...".
std::string RunInNamespace(const std::string& settingsPath) {
  if (!Ip({"link", "set", "lo", "up"})) return "SKIP: ip cannot manage links here";
  // No NetworkManager: every link goes through `ip`.
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tunvik-no-bus", 1);
  for (const std::string& name : {kPlain, kQuoted, kUtf8, kDown}) {
    if (!AddLink(name)) return "SKIP: cannot create a local link (dummy or bridge)";
    if (name != kDown && !Ip({"link", "set", "dev", name, "up"})) {
      return "FAIL: cannot switch on " + name;
    }
  }
  if (!Ip({"addr", "add", "10.200.0.1/24", "dev", kPlain}) ||
      !Ip({"addr", "add", "10.200.9.1/24", "dev", kPlain, "label", kPlain + ":1"}) ||
      !Ip({"-6", "addr", "add", "fd00:200::1/64", "dev", kQuoted})) {
    return "FAIL: cannot add the addresses";
  }
  // Last guard before switching anything off: only the test's own links may be listed.
  if (LinksUp() != kUp) return "FAIL: unexpected links, nothing switched off";

  std::vector<std::string> messages;
  ErrorReport report = [&messages](std::string_view m) { messages.emplace_back(m); };
  LinkSwitchResult off = DisableNetwork(report);
  if (off.switched != kUp || !off.failed.empty())
    return "FAIL: DisableNetwork: " + Joined(off.switched);
  for (const std::string& name : kUp) {
    if (IsUp(name) != false) return "FAIL: still on after DisableNetwork: " + name;
  }
  if (IsUp("lo") != true) return "FAIL: loopback switched off";
  // A second drop finds nothing up, and keeps what the first left off.
  if (!DisableNetwork(report).switched.empty()) return "FAIL: a second switch-off switched";
  if (MergeSwitchedOff(kUp, {}) != kUp) return "FAIL: links still off dropped from the list";

  settings::WriteProfileString(settings::kHostConfig, settings::kNetwork, Joined(off.switched),
                               settingsPath);
  // As after a restart: the names come back from the settings file, byte for byte.
  std::vector<std::string> saved = settings::LoadMainWindowSettings(settingsPath).disabledAdapters;
  if (saved != kUp) return "FAIL: saved names read back differently";
  LinkSwitchResult on = RestoreNetwork(saved, report);
  if (on.switched != kUp || !on.failed.empty()) return "FAIL: RestoreNetwork: " + Joined(on.failed);
  for (const std::string& name : kUp) {
    if (IsUp(name) != true) return "FAIL: still off after RestoreNetwork: " + name;
  }
  if (IsUp(kDown) != false) return "FAIL: a link that was off came on";
  // Restored links are no longer kept; a link that is gone cannot be restored.
  if (!MergeSwitchedOff(kUp, {}).empty()) return "FAIL: restored links kept";
  if (RestoreNetwork({"tvkgone"}, report).failed != std::vector<std::string>{"tvkgone"}) {
    return "FAIL: a missing link counted as restored";
  }
  if (!messages.empty()) return "FAIL: runner message " + messages.front();

  // Without the right to change links (as root, a user other than root): told, not switched.
  if (::geteuid() == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
      return "FAIL: cannot become the unprivileged user";
    }
    LinkSwitchResult refused = DisableNetwork(report);
    if (!refused.switched.empty() || refused.failed != kUp) {
      return "FAIL: a refused switch-off: " + Joined(refused.switched);
    }
    for (const std::string& name : kUp) {
      if (IsUp(name) != true) return "FAIL: switched off without the right: " + name;
    }
  }
  return "OK";
}

TEST(NetworkSwitch, SwitchesEveryKindOfLinkOffAndOnInAnOwnNamespace) {
  TempDir dir;
  const std::string settingsPath = dir.File("XolConfig.ini");
  const ino_t hostNamespace = NetworkNamespaceInode();
  ASSERT_NE(hostNamespace, 0u);

  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    std::string result;
    if (!EnterNewNetworkNamespace()) {
      result = std::string("SKIP: cannot make a network namespace: ") + std::strerror(errno);
    } else if (NetworkNamespaceInode() == hostNamespace || NetworkNamespaceInode() == 0) {
      result = "FAIL: still in the machine's network namespace";
    } else {
      result = RunInNamespace(settingsPath);
    }
    ssize_t written = ::write(channel[1], result.data(), result.size());
    (void)written;
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string result;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);

  if (result.rfind("SKIP", 0) == 0) GTEST_SKIP() << result;
  EXPECT_EQ(result, "OK");
}

TEST(NetworkSwitch, JoinAdapterNamesAndStatusTexts) {
  EXPECT_EQ(JoinAdapterNames({}), "");
  EXPECT_EQ(JoinAdapterNames({"a", "b c"}), "a|b c|");
  EXPECT_EQ(text::GbkToUtf8(SwitchOffFailedStatus({"eth0", "wlan\xe7\xbd\x91"})),
            "网卡 eth0、wlan网 断开失败，请手动断开网络！");
  EXPECT_EQ(text::GbkToUtf8(SwitchOnFailedStatus({"eth0"})),
            "网卡 eth0 恢复失败，请手动恢复网络！");
}

}  // namespace
}  // namespace hosttools
