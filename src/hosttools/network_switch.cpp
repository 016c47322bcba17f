#include "hosttools/network_switch.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "hosttools/network_links.h"
#include "hosttools/network_manager_links.h"
#include "text/gbk.h"

namespace hosttools {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollInterval{10};

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// Brings each link of `names` to `up`. NetworkManager, when `nm` is set and has switched
// networking, is given until `settle` to do it for the links it manages; every other link (one NM
// does not or no longer manages, and at the end one NM left as it was) is switched with
// `ip link` once. Decided by the kernel's state.
LinkSwitchResult SwitchLinks(const std::vector<std::string>& names, bool up,
                             NetworkManagerLinks* nm, const std::vector<std::string>& managedBefore,
                             std::chrono::milliseconds settle, const ErrorReport& report) {
  const Clock::time_point deadline = Clock::now() + (nm != nullptr ? settle : settle.zero());
  // Taking links down, NM may mark a device unmanaged (asleep) a moment before its link goes down:
  // whether NM takes a link down is decided by what it managed before it was asked.
  std::vector<std::string> nmLinks;
  if (nm != nullptr && !up) nmLinks = managedBefore;
  std::vector<std::string> pending = names;
  std::vector<std::string> tried;
  LinkSwitchResult result;
  for (;;) {
    const bool lastPass = Clock::now() >= deadline;
    std::vector<std::string> still;
    for (const std::string& name : pending) {
      std::optional<bool> isUp = LinkIsUp(name);
      if (!isUp) {
        // Gone: nothing of it is left to switch off; one to switch on counts as failed.
        if (up) still.push_back(name);
      } else if (*isUp == up) {
        result.switched.push_back(name);
      } else if (!Contains(tried, name) && (lastPass || nm == nullptr ||
                                            !(up ? nm->Manages(name) : Contains(nmLinks, name)))) {
        tried.push_back(name);
        if (SetLinkWithIp(name, up, report)) {
          result.switched.push_back(name);
        } else if (!up && !Contains(nmLinks, name)) {
          // Neither NM nor we can take it down: told at once, not after the wait.
          result.failed.push_back(name);
        } else {
          still.push_back(name);
        }
      } else {
        still.push_back(name);
      }
    }
    pending = std::move(still);
    if (pending.empty() || lastPass) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  result.failed.insert(result.failed.end(), pending.begin(), pending.end());
  // Kept in the order of `names`, whichever way each link went.
  auto byInput = [&names](const std::string& a, const std::string& b) {
    return std::find(names.begin(), names.end(), a) < std::find(names.begin(), names.end(), b);
  };
  std::sort(result.switched.begin(), result.switched.end(), byInput);
  std::sort(result.failed.begin(), result.failed.end(), byInput);
  return result;
}

std::string JoinForStatus(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += text::Gbk("、");
    joined += text::Utf8ToGbk(name);
  }
  return joined;
}

}  // namespace

LinkSwitchResult DisableNetwork(const ErrorReport& report) {
  const std::vector<std::string> names = LinksUp();
  if (names.empty()) return {};
  std::unique_ptr<NetworkManagerLinks> nm = NetworkManagerLinks::Connect();
  std::vector<std::string> managed;
  if (nm) {
    for (const std::string& name : names) {
      if (nm->Manages(name)) managed.push_back(name);
    }
  }
  // NM refused (the caller may not switch networking): every link goes to `ip link`.
  if (nm && !nm->SwitchOff()) nm.reset();
  return SwitchLinks(names, false, nm.get(), managed, kSwitchOffSettle, report);
}

LinkSwitchResult RestoreNetwork(const std::vector<std::string>& names, const ErrorReport& report) {
  std::vector<std::string> wanted;
  for (const std::string& name : names) {
    if (!name.empty() && !Contains(wanted, name)) wanted.push_back(name);
  }
  if (wanted.empty()) return {};
  std::unique_ptr<NetworkManagerLinks> nm = NetworkManagerLinks::Connect();
  if (nm && !nm->SwitchOn()) nm.reset();
  return SwitchLinks(wanted, true, nm.get(), {}, kSwitchOnSettle, report);
}

std::vector<std::string> MergeSwitchedOff(const std::vector<std::string>& previous,
                                          const std::vector<std::string>& switched) {
  std::vector<std::string> merged;
  for (const std::string& name : previous) {
    if (!name.empty() && LinkIsUp(name) == false && !Contains(merged, name)) {
      merged.push_back(name);
    }
  }
  for (const std::string& name : switched) {
    if (!Contains(merged, name)) merged.push_back(name);
  }
  return merged;
}

std::string JoinAdapterNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    joined += name;
    joined += '|';
  }
  return joined;
}

std::string SwitchOffFailedStatus(const std::vector<std::string>& names) {
  return text::Gbk("网卡 ") + JoinForStatus(names) + text::Gbk(" 断开失败，请手动断开网络！");
}

std::string SwitchOnFailedStatus(const std::vector<std::string>& names) {
  return text::Gbk("网卡 ") + JoinForStatus(names) + text::Gbk(" 恢复失败，请手动恢复网络！");
}

}  // namespace hosttools
