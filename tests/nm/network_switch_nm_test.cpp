// The network switch-off and restore of the offline action against a NetworkManager of the test's
// own, run by the client's code as a user other than root, inside the sandbox's network namespace.
//
// The sandbox's bus applies the machine's real D-Bus policy files to such a user, and polkit runs
// with the machine's actions and NetworkManager's default policy; there is no login manager, so
// the user has no active session, and a rule of the test grants the one action an active desktop
// session has by default and the switch needs: enable-disable-network. What this proves: with
// that one grant and no other right (no CAP_NET_ADMIN, no group), the client takes every link that
// NetworkManager manages down (IPv4, IPv6 only, no address), NetworkManager keeps them down, and
// the restore brings them back with their addresses; a link NetworkManager does not manage is told
// as not switched; and a user without the grant switches nothing and is told so.
#include <gtest/gtest.h>
#include <pwd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "hosttools/command_runner.h"
#include "nm_sandbox.h"
#include "settings/program_dir.h"

namespace {

using namespace std::chrono_literals;
using nmtest::NmSandbox;
using Names = std::vector<std::string>;

// The links of the sandbox: v0 (NM's, IPv4 with a default route), v1 (its peer, which NM does
// not manage), tvk6 (NM's, IPv6 only) and its peer tvknone (NM's, no address at all).
const Names kNmLinks = {"tvk6", "tvknone", "v0"};

struct SwitchOutcome {
  Names switched;
  Names failed;
  std::string output;
};

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

Names ParseNames(const std::string& output, const std::string& tag) {
  Names names;
  std::size_t at = output.find(tag + " ");
  if (at == std::string::npos) return names;
  std::string line = output.substr(at + tag.size() + 1);
  line = line.substr(0, line.find('\n'));
  for (std::size_t start = 0, bar; (bar = line.find('|', start)) != std::string::npos;
       start = bar + 1) {
    names.push_back(line.substr(start, bar - start));
  }
  return names;
}

class NetworkSwitchNm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = new NmSandbox;
    whyNot_ = new std::string;
    // getpwuid answers in one static record: each answer is copied before the next question.
    const passwd* granted = getpwuid(kGrantedUid);
    if (granted == nullptr) {
      *whyNot_ = "no user name for uid " + std::to_string(kGrantedUid);
      return;
    }
    const std::string grantedName = granted->pw_name;
    grantedGid_ = granted->pw_gid;
    const passwd* refused = getpwuid(kRefusedUid);
    if (refused == nullptr) {
      *whyNot_ = "no user name for uid " + std::to_string(kRefusedUid);
      return;
    }
    refusedGid_ = refused->pw_gid;
    const std::string rules =
        "polkit.addRule(function(action, subject) {\n"
        "  if (action.id == \"org.freedesktop.NetworkManager.enable-disable-network\" &&\n"
        "      subject.user == \"" +
        grantedName +
        "\") {\n"
        "    return polkit.Result.YES;\n"
        "  }\n"
        "});\n";
    *whyNot_ = sandbox_->Start(rules);
    if (!whyNot_->empty()) return;
    // A veth pair: tvk6 gets a profile with an IPv6 address only; its peer tvknone gets none,
    // so NetworkManager keeps it up without any address.
    int status = -1;
    std::string made = InSandbox(
        {"ip", "link", "add", "tvk6", "type", "veth", "peer", "name", "tvknone"}, &status);
    if (status != 0) {
      *whyNot_ = "cannot make a veth pair in the sandbox: " + made;
      return;
    }
    std::string output;
    if (sandbox_->Nmcli(
            {"connection", "add", "type", "ethernet", "ifname", "tvk6", "con-name", "tvk6",
             "ipv4.method", "disabled", "ipv6.method", "manual", "ipv6.addresses", "fd00:99::1/64"},
            &output) != 0 ||
        sandbox_->Nmcli({"--wait", "30", "connection", "up", "tvk6"}, &output) != 0) {
      *whyNot_ = "nmcli could not set up tvk6: " + output;
      return;
    }
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < until && !LinkUp("tvknone")) {
      std::this_thread::sleep_for(100ms);
    }
  }
  static void TearDownTestSuite() {
    delete sandbox_;
    delete whyNot_;
  }
  void SetUp() override {
    if (!whyNot_->empty()) GTEST_SKIP() << *whyNot_;
  }

  // Runs `args` in the sandbox's network namespace as root; returns its output.
  static std::string InSandbox(const Names& args, int* status = nullptr) {
    Names argv = {"nsenter", "--net=" + sandbox_->NetworkNamespace(), "--"};
    argv.insert(argv.end(), args.begin(), args.end());
    return hosttools::RunCommand(argv, {}, status);
  }
  static bool LinkUp(const std::string& name) {
    std::string line = InSandbox({"ip", "-o", "link", "show", "dev", name});
    std::size_t open = line.find('<');
    std::size_t close = line.find('>');
    if (open == std::string::npos || close == std::string::npos) return false;
    std::string flags = "," + line.substr(open + 1, close - open - 1) + ",";
    return flags.find(",UP,") != std::string::npos;
  }
  static bool HasAddress(const std::string& name, const std::string& address) {
    return InSandbox({"ip", "-o", "addr", "show", "dev", name}).find(" " + address + "/") !=
           std::string::npos;
  }
  static std::string Networking() {
    std::string output;
    sandbox_->Nmcli({"-t", "-f", "NETWORKING", "general"}, &output);
    return output.substr(0, output.find('\n'));
  }

  // Runs the client's switch ("off", or "on" for `names`) in the sandbox as the user `uid`.
  static SwitchOutcome RunSwitchAs(uid_t uid, gid_t gid, const std::string& mode,
                                   const Names& names = {}) {
    std::string joined;
    for (const std::string& name : names) joined += name + "|";
    Names argv = {"env",
                  "DBUS_SYSTEM_BUS_ADDRESS=" + sandbox_->BusAddress(),
                  "nsenter",
                  "--net=" + sandbox_->NetworkNamespace(),
                  "--",
                  "setpriv",
                  "--reuid=" + std::to_string(uid),
                  "--regid=" + std::to_string(gid),
                  "--clear-groups",
                  "--",
                  settings::ProgramPath(),
                  "--network-switch-child",
                  mode,
                  joined};
    SwitchOutcome outcome;
    outcome.output = hosttools::RunCommand(argv, {});
    outcome.switched = ParseNames(outcome.output, "SWITCHED");
    outcome.failed = ParseNames(outcome.output, "FAILED");
    return outcome;
  }

  static constexpr uid_t kGrantedUid = 65534;  // nobody
  static constexpr uid_t kRefusedUid = 1;      // daemon
  static inline gid_t grantedGid_ = 0, refusedGid_ = 0;
  static inline NmSandbox* sandbox_ = nullptr;
  static inline std::string* whyNot_ = nullptr;
};

// Runs first: a refusal changes nothing, so the next test starts from the same links.
TEST_F(NetworkSwitchNm, AUserWithoutTheGrantSwitchesNothingAndIsToldEveryLink) {
  for (const char* name : {"v0", "v1", "tvk6", "tvknone"}) ASSERT_TRUE(LinkUp(name)) << name;
  SwitchOutcome off = RunSwitchAs(kRefusedUid, refusedGid_, "off");
  EXPECT_TRUE(off.switched.empty()) << off.output;
  EXPECT_EQ(Sorted(off.failed), (Names{"tvk6", "tvknone", "v0", "v1"})) << off.output;
  EXPECT_EQ(Networking(), "enabled");
  for (const char* name : {"v0", "v1", "tvk6", "tvknone"}) EXPECT_TRUE(LinkUp(name)) << name;
}

TEST_F(NetworkSwitchNm, AGrantedUserSwitchesOffNetworkManagersLinksWhichStayOffUntilRestored) {
  ASSERT_TRUE(HasAddress("v0", "10.99.0.2"));
  ASSERT_TRUE(HasAddress("tvk6", "fd00:99::1"));

  SwitchOutcome off = RunSwitchAs(kGrantedUid, grantedGid_, "off");
  EXPECT_EQ(Sorted(off.switched), kNmLinks) << off.output;
  // NetworkManager does not manage v1, and the user may not switch links with `ip`.
  EXPECT_EQ(off.failed, Names{"v1"}) << off.output;
  EXPECT_EQ(Networking(), "disabled");
  for (const std::string& name : kNmLinks) EXPECT_FALSE(LinkUp(name)) << name;

  // Nothing brings them back by itself: not time, not the peer's carrier coming back.
  InSandbox({"ip", "link", "set", "v1", "down"});
  InSandbox({"ip", "link", "set", "v1", "up"});
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(Networking(), "disabled");
  for (const std::string& name : kNmLinks) EXPECT_FALSE(LinkUp(name)) << name;

  SwitchOutcome on = RunSwitchAs(kGrantedUid, grantedGid_, "on", off.switched);
  EXPECT_EQ(Sorted(on.switched), kNmLinks) << on.output;
  EXPECT_TRUE(on.failed.empty()) << on.output;
  EXPECT_EQ(Networking(), "enabled");
  // NetworkManager brings back what was on, addresses included.
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < until &&
         !(HasAddress("v0", "10.99.0.2") && HasAddress("tvk6", "fd00:99::1"))) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(HasAddress("v0", "10.99.0.2"));
  EXPECT_TRUE(HasAddress("tvk6", "fd00:99::1"));
  for (const std::string& name : kNmLinks) EXPECT_TRUE(LinkUp(name)) << name;
}

}  // namespace
