#include "vpn/ras_nm_linux.h"

#include <NetworkManager.h>

#include <cstdio>

#include "text/gbk.h"
#include "vpn/nm_backend_linux.h"
#include "vpn/nm_texts.h"

namespace vpn {
namespace {

constexpr int kProbeTimeoutMs = 3000;

static_assert(static_cast<unsigned>(NmVpnState::kIpConfigGet) ==
              NM_VPN_CONNECTION_STATE_IP_CONFIG_GET);
static_assert(static_cast<unsigned>(NmVpnState::kDisconnected) ==
              NM_VPN_CONNECTION_STATE_DISCONNECTED);
static_assert(static_cast<unsigned>(NmActiveState::kDeactivated) ==
              NM_ACTIVE_CONNECTION_STATE_DEACTIVATED);
static_assert(static_cast<unsigned>(NmReason::kLoginFailed) ==
              NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED);
static_assert(static_cast<unsigned>(NmReason::kDeviceRemoved) ==
              NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_REMOVED);

}  // namespace

NmRefusal RefusalOf(const GError* error, bool ofActivation) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return NmRefusal::kNoAnswer;
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED)) return NmRefusal::kNotRunning;
  return RefusalOfNmError(RemoteErrorName(error), ofActivation);
}

const char* MessageOf(const GError* error) {
  return error ? error->message : "no answer";
}

// --- connection to NetworkManager ---------------------------------------------------------

void NmRasBackend::Impl::CheckBus() {
  if (!bus_ || !bus_->Closed()) return;
  // The bus went away, and with it NetworkManager and every connection it had made.
  OnNetworkManagerGone();
  Disconnect();
}

bool NmRasBackend::Impl::Answering() {
  CheckBus();
  if (!bus_) {
    ErrorPtr error;
    bus_ = NmBus::Connect(options_.busAddress, options_.callTimeoutMs, &error);
    if (!bus_) return false;
    vpnSubscription_ =
        bus_->Subscribe(NM_DBUS_INTERFACE_VPN_CONNECTION, "VpnStateChanged", VpnStateSignal, this);
    activeSubscription_ = bus_->Subscribe(NM_DBUS_INTERFACE_ACTIVE_CONNECTION, "StateChanged",
                                          ActiveStateSignal, this);
    nameWatch_ = g_bus_watch_name_on_connection(bus_->Connection(), NM_DBUS_SERVICE,
                                                G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                                                NameVanished, this, nullptr);
  }
  return bus_->NetworkManagerRunning();
}

void NmRasBackend::Impl::Disconnect() {
  if (!bus_) return;
  bus_->Unsubscribe(vpnSubscription_);
  bus_->Unsubscribe(activeSubscription_);
  g_bus_unwatch_name(nameWatch_);
  vpnSubscription_ = activeSubscription_ = nameWatch_ = 0;
  bus_.reset();
}

// --- error codes and their texts ----------------------------------------------------------

void NmRasBackend::Impl::SetDetail(unsigned code, std::string detail) {
  std::lock_guard lock(detailsMutex_);
  if (detail.empty()) {
    details_.erase(code);
  } else {
    details_[code] = std::move(detail);
  }
}

std::string NmRasBackend::Impl::GetErrorString(unsigned code) {
  {
    std::lock_guard lock(detailsMutex_);
    auto it = details_.find(code);
    if (it != details_.end()) return it->second;
  }
  std::string own = NmCodeText(code);
  return own.empty() ? RasErrorText(code) : own;
}

unsigned NmRasBackend::Impl::Refuse(NmRefusal refusal, const NmVpnPlugin* plugin) {
  const unsigned code = RasErrorOfRefusal(refusal);
  switch (refusal) {
    case NmRefusal::kNotRunning:
      SetDetail(code, NmNotRunningText());
      break;
    case NmRefusal::kPluginMissing: {
      const NmVpnPlugin& missing = plugin ? *plugin : kL2tpPlugin;
      SetDetail(code,
                NmPluginMissingText(std::string(missing.protocol), std::string(missing.package)));
      break;
    }
    case NmRefusal::kNoNetwork:
      SetDetail(code, NmNoNetworkText());
      break;
    case NmRefusal::kNoAnswer:
      SetDetail(code, NmNoAnswerText());
      break;
    default:
      SetDetail(code, {});
      break;
  }
  return code;
}

unsigned NmRasBackend::Impl::ProfileFailure(const char* what, const std::string& entry,
                                            const GError* error) {
  std::fprintf(stderr, "tunvik: NetworkManager could not %s the profile %s: %s\n", what,
               text::GbkToUtf8(entry).c_str(), MessageOf(error));
  const NmRefusal refusal = RefusalOf(error);
  if (refusal == NmRefusal::kOther || refusal == NmRefusal::kNoNetwork ||
      refusal == NmRefusal::kAlreadyActive) {
    return ERROR_CANNOT_WRITE_PHONEBOOK;
  }
  return Refuse(refusal);
}

// --- the public face ----------------------------------------------------------------------

NmRasBackend::NmRasBackend() : NmRasBackend(Options{}) {}
NmRasBackend::NmRasBackend(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}
NmRasBackend::~NmRasBackend() = default;

unsigned NmRasBackend::SetEntryProperties(const RasEntry& entry) {
  return impl_->SetEntryProperties(entry);
}
unsigned NmRasBackend::SetEntryDialParams(const RasDialParams& params) {
  return impl_->SetEntryDialParams(params);
}
unsigned NmRasBackend::Dial(const RasDialParams& params, DialCallback callback,
                            ConnectionHandle* handle) {
  return impl_->Dial(params, std::move(callback), handle);
}
unsigned NmRasBackend::GetConnectStatus(ConnectionHandle handle) {
  return impl_->GetConnectStatus(handle);
}
unsigned NmRasBackend::HangUp(ConnectionHandle handle) {
  return impl_->HangUp(handle);
}
unsigned NmRasBackend::DeleteEntry(const std::string& entryName) {
  return impl_->DeleteEntry(entryName);
}
std::string NmRasBackend::GetErrorString(unsigned code) {
  return impl_->GetErrorString(code);
}

void NmRasBackend::NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone) {
  impl_->NotifyWhenGone(handle, std::move(gone));
}

bool NetworkManagerAnswers(const std::string& busAddress) {
  ErrorPtr error;
  std::unique_ptr<NmBus> bus = NmBus::Connect(busAddress, kProbeTimeoutMs, &error);
  return bus && bus->NetworkManagerRunning();
}

}  // namespace vpn
