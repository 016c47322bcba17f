// The choice of the remote-access backend for this run: the simulated dialer when the
// deployment asks for "sim", NetworkManager when it asks for "nm" or, with no choice made, when
// NetworkManager answers on the system bus; otherwise a stand-in that refuses every dial.
#include <cstdio>
#include <mutex>

#include "settings/deployment.h"
#include "text/gbk.h"
#include "vpn/ras.h"
#include "vpn/ras_nm_linux.h"
#include "vpn/ras_sim.h"

namespace vpn {
namespace {

// Stands in when no VPN backend is available: every dial refuses to start.
class UnavailableRasBackend : public RasBackend {
 public:
  unsigned SetEntryProperties(const RasEntry&) override { return kRasSuccess; }
  unsigned SetEntryDialParams(const RasDialParams&) override { return kRasSuccess; }
  unsigned Dial(const RasDialParams&, DialCallback, ConnectionHandle*) override {
    return ERROR_NO_VPN_BACKEND;
  }
  unsigned GetConnectStatus(ConnectionHandle) override { return ERROR_INVALID_HANDLE; }
  unsigned HangUp(ConnectionHandle) override { return ERROR_INVALID_HANDLE; }
  unsigned DeleteEntry(const std::string&) override { return kRasSuccess; }
  std::string GetErrorString(unsigned code) override {
    if (code != ERROR_NO_VPN_BACKEND) return RasErrorText(code);
    return text::Utf8ToGbk(
        "没有可用的 VPN 拨号后端：NetworkManager 没有在系统总线上应答。请安装并启动 "
        "NetworkManager 及其 L2TP 和 PPTP 插件（软件包 network-manager、network-manager-l2tp、"
        "network-manager-pptp），或以 TUNVIK_DIALER=sim 选择模拟拨号器。");
  }
};

std::mutex g_mutex;
std::shared_ptr<RasBackend> g_testBackend;

std::shared_ptr<RasBackend> MakeBackendByDeployment() {
  const settings::Deployment& deployment = settings::CurrentDeployment();
  if (deployment.dialer == "sim") {
    std::optional<SimScenario> scenario = ParseSimScenario(deployment.simScenario);
    if (!scenario) {
      std::fprintf(stderr, "tunvik: unknown TUNVIK_SIM scenario \"%s\", using \"ok\"\n",
                   deployment.simScenario.c_str());
      scenario = SimScenario{};
    }
    return std::make_shared<SimRasBackend>(*scenario);
  }
  if (deployment.dialer == "nm") return std::make_shared<NmRasBackend>();
  if (!deployment.dialer.empty()) {
    std::fprintf(stderr, "tunvik: unknown dialer \"%s\" (nm or sim), choosing by itself\n",
                 deployment.dialer.c_str());
  }
  if (NetworkManagerAnswers()) return std::make_shared<NmRasBackend>();
  std::fprintf(stderr,
               "tunvik: NetworkManager does not answer on the system bus; dialing is not "
               "available (install network-manager, network-manager-l2tp and "
               "network-manager-pptp, or set TUNVIK_DIALER=sim for the simulated dialer)\n");
  return std::make_shared<UnavailableRasBackend>();
}

}  // namespace

RasBackend& CurrentBackend() {
  std::lock_guard lock(g_mutex);
  if (g_testBackend) return *g_testBackend;
  // Made once and kept for the whole run: dial threads may use it until the process ends.
  static RasBackend* backend =
      [] {
        auto made = MakeBackendByDeployment();
        return new std::shared_ptr<RasBackend>(made);
      }()
          ->get();
  return *backend;
}

void SetBackendForTesting(std::shared_ptr<RasBackend> backend) {
  std::lock_guard lock(g_mutex);
  g_testBackend = std::move(backend);
}

}  // namespace vpn
