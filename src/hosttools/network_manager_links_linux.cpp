#include <NetworkManager.h>

#include <map>

#include "hosttools/network_manager_links.h"
#include "vpn/nm_bus_linux.h"

namespace hosttools {
namespace {

// Each call waits at most this long for NM's answer (polkit's decision included).
constexpr int kCallTimeoutMs = 5000;

}  // namespace

struct NetworkManagerLinks::Impl {
  std::unique_ptr<vpn::NmBus> bus;
  std::map<std::string, std::string> devices;  // interface name -> device path ("" for none)

  const std::string& Device(const std::string& name) {
    auto found = devices.find(name);
    if (found == devices.end()) {
      found = devices.emplace(name, bus->DeviceByInterface(name, nullptr)).first;
    }
    return found->second;
  }
};

NetworkManagerLinks::NetworkManagerLinks(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
NetworkManagerLinks::~NetworkManagerLinks() = default;

std::unique_ptr<NetworkManagerLinks> NetworkManagerLinks::Connect() {
  auto impl = std::make_unique<Impl>();
  impl->bus = vpn::NmBus::Connect({}, kCallTimeoutMs, nullptr);
  if (!impl->bus || !impl->bus->NetworkManagerRunning()) return nullptr;
  return std::unique_ptr<NetworkManagerLinks>(new NetworkManagerLinks(std::move(impl)));
}

bool NetworkManagerLinks::SwitchOff() {
  vpn::ErrorPtr error;
  bool enabled = impl_->bus->NetworkingEnabled(&error);
  if (error) return false;
  return !enabled || impl_->bus->EnableNetworking(false, nullptr);
}

bool NetworkManagerLinks::SwitchOn() {
  vpn::ErrorPtr error;
  bool enabled = impl_->bus->NetworkingEnabled(&error);
  if (error) return false;
  return enabled || impl_->bus->EnableNetworking(true, nullptr);
}

bool NetworkManagerLinks::Manages(const std::string& name) {
  const std::string& device = impl_->Device(name);
  return !device.empty() && impl_->bus->DeviceState(device, nullptr) > NM_DEVICE_STATE_UNMANAGED;
}

}  // namespace hosttools
