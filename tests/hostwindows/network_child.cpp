#include "network_child.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "app/resource.h"
#include "hosttools/netns_support.h"
#include "hosttools/network_switch.h"
#include "settings/program_dir.h"
#include "ui/testing.h"

namespace hostwindows_test {
namespace {

namespace t = ui::testing;
using hosttools_test::IsUp;

const std::string kPlain = "tvk0";
const std::string kGbk = "wan\xcd\xf8";  // "wan" and one GBK character

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string MakeLinks() {
  using hosttools_test::Ip;
  for (const std::string& name : {kPlain, kGbk}) {
    if (!hosttools_test::AddLink(name)) return "SKIP: cannot create a local link";
    if (!Ip({"link", "set", "dev", name, "up"})) return "FAIL: cannot switch on " + name;
  }
  if (!Ip({"addr", "add", "10.201.0.1/24", "dev", kPlain}) ||
      !Ip({"addr", "add", "10.201.1.1/24", "dev", kGbk})) {
    return "FAIL: cannot add the addresses";
  }
  return "";
}

std::string RunWindow(const std::string& settingsPath) {
  t::ScriptedMessageBoxes boxes;
  CTunvikDlg window;
  std::string result = "OK";
  auto fail = [&](const std::string& why) {
    if (result == "OK") result = why;
  };
  t::RunModal(window, [&] {
    // No interface but loopback: an empty list is written all the same.
    if (!hosttools::Ipv4InterfaceNames().empty()) return fail("FAIL: a new namespace with links");
    window.DisableNetwork();
    if (!window.disabledAdapters.empty()) return fail("FAIL: adapters without interfaces");
    if (ReadFile(settingsPath).find("network=\n") == std::string::npos) {
      return fail("FAIL: empty network not written: " + ReadFile(settingsPath));
    }

    std::string made = MakeLinks();
    if (!made.empty()) return fail(made);
    // Last guard before switching anything off: only the child's own links may be listed.
    if (hosttools::Ipv4InterfaceNames() != std::vector<std::string>{kPlain, kGbk}) {
      return fail("FAIL: unexpected interfaces, nothing switched off");
    }

    window.DisableNetwork();
    if (IsUp(kPlain) != false || IsUp(kGbk) != false) return fail("FAIL: a link is still on");
    if (IsUp("lo") != true) return fail("FAIL: loopback switched off");
    if (window.disabledAdapters != std::vector<std::string>{kPlain, kGbk}) {
      return fail("FAIL: disabledAdapters differ");
    }
    if (ReadFile(settingsPath).find("network=tvk0|wan\xcd\xf8|\n") == std::string::npos) {
      return fail("FAIL: network not saved: " + ReadFile(settingsPath));
    }

    t::Click(window, IDC_RESTORE_NETWORK);
    if (IsUp(kPlain) != true || IsUp(kGbk) != true) return fail("FAIL: a link is still off");
    if (boxes.Count() != 0) return fail("FAIL: a box was shown: " + boxes.TextsUtf8().front());
  });
  return result;
}

}  // namespace

std::string RunDisableNetworkChild(const std::string& programDir,
                                   const std::string& hostNamespaceInode) {
  if (!hosttools_test::EnterNewNetworkNamespace()) {
    return std::string("SKIP: cannot make a network namespace: ") + std::strerror(errno);
  }
  const ino_t inode = hosttools_test::NetworkNamespaceInode();
  if (inode == 0 || std::to_string(inode) == hostNamespaceInode) {
    return "FAIL: still in the machine's network namespace";
  }
  if (!hosttools_test::Ip({"link", "set", "lo", "up"})) return "SKIP: ip cannot manage links";

  // The application comes only now: the namespace must be entered by a single thread.
  t::EnsureApplication();
  settings::SetProgramDirectoryForTesting(programDir);
  return RunWindow(programDir + "/XolConfig.ini");
}

}  // namespace hostwindows_test
