// DisableNetwork and RestoreNetwork run only inside a network namespace that the test makes for
// itself, never on the machine's own interfaces.
#include "hosttools/network_switch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>

#include "settings/keys.h"
#include "settings/profile.h"
#include "test_support.h"

namespace hosttools {
namespace {

using hosttools_test::TempDir;

const std::string kPlain = "tvk0";
const std::string kQuoted = "tvk;q\"'";      // a semicolon and quotes, one name all the same
const std::string kGbk = "wan\xcd\xf8";      // "wan" and one GBK character
const std::string kNoAddress = "tvknoaddr";  // has no IPv4 address, so it stays on

std::optional<bool> IsUp(const std::string& name) {
  int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::nullopt;
  ifreq request{};
  std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
  int rc = ::ioctl(s, SIOCGIFFLAGS, &request);
  ::close(s);
  if (rc != 0) return std::nullopt;
  return (request.ifr_flags & IFF_UP) != 0;
}

bool WriteFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// Moves the calling process into a new network namespace of its own: directly with the right to,
// else inside a new user namespace where it is root.
bool EnterNewNetworkNamespace() {
  if (::unshare(CLONE_NEWNET) == 0) return true;
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
  return WriteFile("/proc/self/setgroups", "deny") &&
         WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
         WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

ino_t NetworkNamespaceInode() {
  struct stat st {};
  return ::stat("/proc/self/ns/net", &st) == 0 ? st.st_ino : 0;
}

bool Ip(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"ip"};
  argv.insert(argv.end(), args.begin(), args.end());
  int status = -1;
  RunCommand(argv, {}, &status);
  return status == 0;
}

bool AddLink(const std::string& name) {
  // Dummy links where the kernel has them, else bridges without ports: both are local only.
  return Ip({"link", "add", name, "type", "dummy"}) || Ip({"link", "add", name, "type", "bridge"});
}

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
