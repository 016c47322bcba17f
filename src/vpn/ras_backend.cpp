// The choice of the remote-access backend for this run.
#include <cstdio>
#include <mutex>

#include "settings/deployment.h"
#include "vpn/ras.h"
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
  return std::make_shared<UnavailableRasBackend>();
}

}  // namespace

RasBackend& CurrentBackend() {
  std::lock_guard lock(g_mutex);
  if (g_testBackend) return *g_testBackend;
  // Made once and kept for the whole run: dial threads may use it until the process ends.
  static RasBackend* backend = [] {
    auto made = MakeBackendByDeployment();
    return new std::shared_ptr<RasBackend>(made);
  }()->get();
  return *backend;
}

void SetBackendForTesting(std::shared_ptr<RasBackend> backend) {
  std::lock_guard lock(g_mutex);
  g_testBackend = std::move(backend);
}

}  // namespace vpn
