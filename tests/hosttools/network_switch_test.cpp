// DisableNetwork and RestoreNetwork run only inside a network namespace that the test makes for
// itself, never on the machine's own interfaces.
#include "hosttools/network_switch.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>

#include "netns_support.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "test_support.h"

namespace hosttools {
namespace {

using hosttools_test::AddLink;
using hosttools_test::EnterNewNetworkNamespace;
using hosttools_test::Ip;
using hosttools_test::IsUp;
using hosttools_test::NetworkNamespaceInode;
using hosttools_test::TempDir;

const std::string kPlain = "tvk0";
const std::string kQuoted = "tvk;q\"'";      // a semicolon and quotes, one name all the same
const std::string kGbk = "wan\xcd\xf8";      // "wan" and one GBK character
const std::string kNoAddress = "tvknoaddr";  // has no IPv4 address, so it stays on

// The body of the forked child, already inside its own namespace. Returns "OK", "SKIP: ..." or
// "FAIL: ...".
std::string RunInNamespace(const std::string& settingsPath) {
  if (!Ip({"link", "set", "lo", "up"})) return "SKIP: ip cannot manage links here";
  for (const std::string& name : {kPlain, kQuoted, kGbk, kNoAddress}) {
    if (!AddLink(name)) return "SKIP: cannot create a local link (dummy or bridge)";
    if (!Ip({"link", "set", "dev", name, "up"})) return "FAIL: cannot switch on " + name;
  }
  if (!Ip({"addr", "add", "10.200.0.1/24", "dev", kPlain}) ||
      !Ip({"addr", "add", "10.200.9.1/24", "dev", kPlain, "label", kPlain + ":1"}) ||
      !Ip({"addr", "add", "10.200.1.1/24", "dev", kQuoted}) ||
      !Ip({"addr", "add", "10.200.2.1/24", "dev", kGbk})) {
    return "FAIL: cannot add the addresses";
  }

  const std::vector<std::string> expected = {kPlain, kQuoted, kGbk};
  // Last guard before switching anything off: only the test's own links may be listed.
  if (Ipv4InterfaceNames() != expected) return "FAIL: unexpected interfaces, nothing switched off";

  std::vector<std::string> messages;
  ErrorReport report = [&messages](std::string_view m) { messages.emplace_back(m); };
  std::vector<std::string> disabled = DisableNetwork(report);
  if (disabled != expected) return "FAIL: DisableNetwork returned other names";
  for (const std::string& name : expected) {
    if (IsUp(name) != false) return "FAIL: still on after DisableNetwork: " + name;
  }
  if (IsUp("lo") != true || IsUp(kNoAddress) != true) return "FAIL: switched off too much";

  settings::WriteProfileString(settings::kHostConfig, settings::kNetwork,
                               JoinAdapterNames(disabled), settingsPath);
  auto file = hosttools_test::ReadAll(settingsPath).value_or("");
  if (file.find("network=tvk0|tvk;q\"'|wan\xcd\xf8|") == std::string::npos) {
    return "FAIL: network not saved as expected: " + file;
  }

  // As after a restart: the names come back from the settings file.
  std::vector<std::string> saved;
  settings::SplitList(settings::GetProfileString(settings::kHostConfig, settings::kNetwork, "",
                                                 settings::kNetworkLimit, settingsPath),
                      '|', saved);
  if (saved != expected) return "FAIL: saved names read back differently";
  RestoreNetwork(saved, report);
  for (const std::string& name : expected) {
    if (IsUp(name) != true) return "FAIL: still off after RestoreNetwork: " + name;
  }
  if (!messages.empty()) return "FAIL: runner message " + messages.front();
  return "OK";
}

TEST(NetworkSwitch, DisablesAndRestoresTheLinksOfAnOwnNamespace) {
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

TEST(NetworkSwitch, JoinAdapterNames) {
  EXPECT_EQ(JoinAdapterNames({}), "");
  EXPECT_EQ(JoinAdapterNames({"a", "b c"}), "a|b c|");
}

}  // namespace
}  // namespace hosttools
