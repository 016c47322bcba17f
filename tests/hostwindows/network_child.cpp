#include "network_child.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/fake_api.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "hosttools/netns_support.h"
#include "hosttools/network_links.h"
#include "settings/keys.h"
#include "settings/main_window_settings.h"
#include "settings/program_dir.h"
#include "text/gbk.h"
#include "ui/testing.h"
#include "vpn/dialer.h"
#include "vpn/ras_sim.h"

namespace hostwindows_test {
namespace {

namespace t = ui::testing;
using hosttools_test::Ip;
using hosttools_test::IsUp;
using Names = std::vector<std::string>;

const std::string kIpv4 = "tvk0";
const std::string kIpv6 = "wan\xe7\xbd\x91";  // "wan" and a UTF-8 character of 3 bytes
const std::string kBare = "tvknoaddr";        // no address at all
const Names kAll = {kIpv4, kIpv6, kBare};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string MakeLinks() {
  for (const std::string& name : kAll) {
    if (!hosttools_test::AddLink(name)) return "SKIP: cannot create a local link";
    if (!Ip({"link", "set", "dev", name, "up"})) return "FAIL: cannot switch on " + name;
  }
  if (!Ip({"addr", "add", "10.201.0.1/24", "dev", kIpv4}) ||
      !Ip({"-6", "addr", "add", "fd00:201::1/64", "dev", kIpv6})) {
    return "FAIL: cannot add the addresses";
  }
  // Last guard before switching anything off: only the child's own links may be listed.
  if (hosttools::LinksUp() != kAll) return "FAIL: unexpected links, nothing switched off";
  return "";
}

bool AllAre(const Names& names, bool up) {
  for (const std::string& name : names) {
    if (IsUp(name) != up) return false;
  }
  return true;
}

std::string StoredNetwork(const std::string& settingsPath) {
  return settings::GetProfileString(settings::kHostConfig, settings::kNetwork, "", settings::kWhole,
                                    settingsPath);
}

class Checks {
 public:
  void Fail(const std::string& why) {
    if (result_ == "OK") result_ = "FAIL: " + why;
  }
  const std::string& Result() const { return result_; }

 private:
  std::string result_ = "OK";
};

// Three kinds of links go off and come back; a second drop, with the links still off, keeps
// them in the list; after a restart the list reads back byte for byte.
std::string RunLinks(const std::string& settingsPath) {
  t::ScriptedMessageBoxes boxes;
  Checks checks;
  {
    CTunvikDlg window;
    t::RunModal(window, [&] {
      // No link but loopback: an empty list is written all the same.
      window.DisableNetwork();
      if (!window.disabledAdapters.empty()) return checks.Fail("adapters without links");
      if (ReadFile(settingsPath).find("network=\n") == std::string::npos) {
        return checks.Fail("empty network not written: " + ReadFile(settingsPath));
      }
    });
  }
  std::string made = MakeLinks();
  if (!made.empty()) return made;
  {
    CTunvikDlg window;
    t::RunModal(window, [&] {
      window.DisableNetwork();
      if (!AllAre(kAll, false)) return checks.Fail("a link is still on");
      if (IsUp("lo") != true) return checks.Fail("loopback switched off");
      if (window.disabledAdapters != kAll) return checks.Fail("disabledAdapters differ");
      if (StoredNetwork(settingsPath) != kIpv4 + "|" + kIpv6 + "|" + kBare + "|") {
        return checks.Fail("network not saved: " + ReadFile(settingsPath));
      }
      // The tunnel drops again before anyone restored: the links still off stay listed.
      window.DisableNetwork();
      if (window.disabledAdapters != kAll) return checks.Fail("a second drop lost the list");
    });
  }
  // As after a restart: the list comes back from the file, whatever bytes the names hold.
  if (settings::LoadMainWindowSettings(settingsPath).disabledAdapters != kAll) {
    checks.Fail("the stored list reads back otherwise");
  }
  CTunvikDlg window;
  t::RunModal(window, [&] {
    t::Click(window, IDC_RESTORE_NETWORK);
    t::WaitUntil([&] { return !window.networkTask.Running(); }, 30000);
    if (!AllAre(kAll, true)) return checks.Fail("a link is still off");
  });
  if (boxes.Count() != 0) checks.Fail("a box was shown: " + boxes.TextsUtf8().front());
  return checks.Result();
}

// The window runs as a user who may not switch links.
std::string RunRefused(const std::string& programDir) {
  std::string made = MakeLinks();
  if (!made.empty()) return made;
  if (::geteuid() != 0) return "SKIP: needs root to run the window as another user";
  // A folder of the user's own for the settings file and the user's folders.
  const std::string home = programDir + "/nobody";
  if (::mkdir(home.c_str(), 0700) != 0 || ::chown(home.c_str(), 65534, 65534) != 0 ||
      ::chmod(programDir.c_str(), 0755) != 0) {
    return "FAIL: cannot make the user's folder";
  }
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
    return "FAIL: cannot become the unprivileged user";
  }
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    ::setenv(name, home.c_str(), 1);
  }
  settings::SetProgramDirectoryForTesting(home);
  const std::string settingsPath = home + "/XolConfig.ini";

  t::EnsureApplication();
  t::ScriptedMessageBoxes boxes;
  Checks checks;
  CTunvikDlg window;
  t::RunModal(window, [&] {
    window.DisableNetwork();
    if (!AllAre(kAll, true)) return checks.Fail("a link went off without the right");
    if (!window.disabledAdapters.empty()) return checks.Fail("links stored that stayed on");
    if (StoredNetwork(settingsPath) != "") return checks.Fail("network holds links that stayed on");
    const std::string status = text::GbkToUtf8(window.GetDlgItemText(IDC_STATUS));
    if (status != "网卡 " + kIpv4 + "、" + kIpv6 + "、" + kBare + " 断开失败，请手动断开网络！") {
      return checks.Fail("status: " + status);
    }
  });
  if (boxes.Count() != 0) checks.Fail("a box was shown: " + boxes.TextsUtf8().front());
  return checks.Result();
}

// One link refuses: a stand-in `ip` passes every other call on to the real one.
std::string RunPartly(const std::string& programDir, const std::string& settingsPath) {
  std::string made = MakeLinks();
  if (!made.empty()) return made;
  const std::string realIp = hosttools::FindOnPath("ip");
  const std::string bin = programDir + "/bin";
  ::mkdir(bin.c_str(), 0755);
  std::ofstream(bin + "/ip") << "#!/bin/sh\n[ \"$4\" = '" << kIpv6 << "' ] && exit 2\nexec '"
                             << realIp << "' \"$@\"\n";
  ::chmod((bin + "/ip").c_str(), 0755);
  ::setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);

  t::EnsureApplication();
  settings::SetProgramDirectoryForTesting(programDir);
  t::ScriptedMessageBoxes boxes;
  Checks checks;
  CTunvikDlg window;
  t::RunModal(window, [&] {
    window.DisableNetwork();
    if (IsUp(kIpv4) != false || IsUp(kBare) != false || IsUp(kIpv6) != true) {
      return checks.Fail("links not as the stand-in let them");
    }
    if (window.disabledAdapters != Names{kIpv4, kBare}) return checks.Fail("disabledAdapters");
    if (StoredNetwork(settingsPath) != kIpv4 + "|" + kBare + "|") {
      return checks.Fail("network: " + ReadFile(settingsPath));
    }
    const std::string status = text::GbkToUtf8(window.GetDlgItemText(IDC_STATUS));
    if (status != "网卡 " + kIpv6 + " 断开失败，请手动断开网络！") {
      return checks.Fail("status: " + status);
    }
    // The restore told about a link that stayed off, likewise.
    window.ShowStatus("");
    hosttools::RunCommand({realIp, "link", "set", "dev", kIpv6, "down"}, {});
    window.disabledAdapters = kAll;
    window.RestoreNetwork();
    const std::string restored = text::GbkToUtf8(window.GetDlgItemText(IDC_STATUS));
    if (restored != "网卡 " + kIpv6 + " 恢复失败，请手动恢复网络！") {
      return checks.Fail("restore status: " + restored);
    }
    if (IsUp(kIpv4) != true || IsUp(kBare) != true) return checks.Fail("restore left links off");
  });
  return checks.Result();
}

// A drop with strategy 2: the links go down although the supervision's timer is an hour away.
std::string RunDrop(const std::string& programDir, const std::string& settingsPath) {
  std::string made = MakeLinks();
  if (!made.empty()) return made;
  t::EnsureApplication();
  settings::SetProgramDirectoryForTesting(programDir);
  apptest::FakeApi api;
  api.Set("contactServer", {200, R"({"code":"200","duedate":"2030-01-01"})"});
  std::ofstream(settingsPath) << "[AccountConfig]\nAccount=demo\nPassword=demo123\n"
                                 "[HostConfig]\nXOLNO=1\nHost=127.0.0.1\nOfflineStrategy=2\n";
  auto backend = std::make_shared<vpn::SimRasBackend>();
  vpn::SimScenario fast;
  fast.stageMilliseconds = 5;
  backend->SetScenario(fast);
  vpn::SetBackendForTesting(backend);

  t::ScriptedMessageBoxes boxes;
  Checks checks;
  CTunvikDlg window;
  window.api = api::ApiMembers(api.Base());
  window.page1.api = api::ApiMembers(api.Base());
  t::RunModal(window, [&] {
    window.page1.KillTimer(1);
    for (int id : {kProcessListTimer, kNoticeTimer, kExpiryTimer}) window.KillTimer(id);
    t::Click(window, IDC_CONNECT);
    if (!t::WaitUntil([&] { return window.dropWatchArmed; }, 30000)) {
      return checks.Fail("the connection was never seen: " +
                         text::GbkToUtf8(window.GetDlgItemText(IDC_STATUS)));
    }
    window.SetTimer(kSupervisionTimer, 3600000);
    backend->DropAll();
    if (!t::WaitUntil([&] { return AllAre(kAll, false); }, 20000)) {
      return checks.Fail("the links stayed on after the drop");
    }
    if (window.disabledAdapters != kAll) checks.Fail("disabledAdapters differ");
  });
  vpn::SetBackendForTesting(nullptr);
  return checks.Result();
}

}  // namespace

std::string RunNetworkChild(const std::string& mode, const std::string& programDir,
                            const std::string& hostNamespaceInode) {
  if (!hosttools_test::EnterNewNetworkNamespace()) {
    return std::string("SKIP: cannot make a network namespace: ") + std::strerror(errno);
  }
  const ino_t inode = hosttools_test::NetworkNamespaceInode();
  if (inode == 0 || std::to_string(inode) == hostNamespaceInode) {
    return "FAIL: still in the machine's network namespace";
  }
  if (!Ip({"link", "set", "lo", "up"})) return "SKIP: ip cannot manage links";
  // No NetworkManager: whatever runs on the machine's bus is never asked to switch anything.
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + programDir + "/no-bus").c_str(), 1);

  const std::string settingsPath = programDir + "/XolConfig.ini";
  if (mode == "refused") return RunRefused(programDir);
  if (mode == "partly") return RunPartly(programDir, settingsPath);
  if (mode == "drop") return RunDrop(programDir, settingsPath);
  // The application comes only now: the namespace must be entered by a single thread.
  t::EnsureApplication();
  settings::SetProgramDirectoryForTesting(programDir);
  return RunLinks(settingsPath);
}

}  // namespace hostwindows_test
