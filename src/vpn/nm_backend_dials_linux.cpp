// The NetworkManager backend: dials, their status and hang-up, and NetworkManager's signals
// about the active connections.
#include <NetworkManager.h>

#include <cstdio>

#include "base/guarded.h"
#include "vpn/nm_backend_linux.h"
#include "vpn/nm_plugins_linux.h"
#include "vpn/nm_texts.h"

namespace vpn {

// --- the dial -----------------------------------------------------------------------------

unsigned NmRasBackend::Impl::Dial(const RasDialParams& params, DialCallback callback,
                                  ConnectionHandle* handle) {
  if (!IsStorableCredential(params.userName) || !IsStorableCredential(params.password) ||
      !IsStorableCredential(params.domain)) {
    return ERROR_INVALID_PARAMETER;
  }
  unsigned result = kRasSuccess;
  loop_.Run([&] {
    const ConnectionHandle h = nextHandle_;
    auto start = [&](bool l2tpWithIpsec) -> DialRecord& {
      ++nextHandle_;
      *handle = h;
      return dials_.emplace(h, DialRecord{NmDialProgress(l2tpWithIpsec), callback, {}, {}})
          .first->second;
    };
    // Every refusal from here on is a dial that started and failed at once, reported through
    // the callback so that its text is shown.
    auto refuse = [&](NmRefusal refusal, const NmVpnPlugin* plugin = nullptr) {
      DialRecord& dial = dials_.count(h) ? dials_.at(h) : start(false);
      Refuse(refusal, plugin);
      ReportLater(h, dial.progress.OnRefused(refusal));
    };

    if (!Answering()) return refuse(NmRefusal::kNotRunning);
    ErrorPtr error;
    std::vector<OwnProfile> existing = FindOwn(params.entryName, &error);
    if (error) {
      std::fprintf(stderr, "tunvik: NetworkManager did not list its profiles: %s\n",
                   MessageOf(error.get()));
      return refuse(RefusalOf(error.get()));
    }
    if (existing.empty()) {
      // An entry that could not be written for want of a plugin: the dial explains why.
      auto refused = entryRefusals_.find(params.entryName);
      if (refused != entryRefusals_.end()) {
        return refuse(refused->second.refusal, refused->second.plugin);
      }
      result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
      return;
    }
    const OwnProfile& profile = existing.front();
    const NmVpnPlugin* plugin = PluginOfService(profile.info.service);
    if (!plugin || !NmPluginInstalled(plugin->service, options_.pluginFolder)) {
      return refuse(NmRefusal::kPluginMissing, plugin);
    }
    if (!params.userName.empty()) {
      std::string invalid;
      if (StoreCredentials(profile, params, &error, &invalid) != kRasSuccess) {
        std::fprintf(stderr, "tunvik: NetworkManager did not store the password: %s\n",
                     error ? error->message : invalid.c_str());
        return refuse(error ? RefusalOf(error.get()) : NmRefusal::kInvalidProfile);
      }
    }

    DialRecord& dial = start(profile.info.l2tpWithIpsec);
    std::string active = bus_->Activate(profile.path, &error);
    if (active.empty()) {
      std::fprintf(stderr, "tunvik: NetworkManager refused to activate %s: %s\n",
                   profile.info.entryName.c_str(), MessageOf(error.get()));
      return refuse(RefusalOf(error.get(), true));
    }
    // NM's signals about the new connection are dispatched after this task, so none is missed,
    // and the first stage is reported before them.
    dial.activePath = std::move(active);
    if (std::optional<DialReport> first = dial.progress.OnAccepted()) Report(dial, *first);
  });
  return result;
}

void NmRasBackend::Impl::ReportLater(ConnectionHandle handle, std::optional<DialReport> report) {
  if (!report) return;
  // The dial's caller learns of the failure as of any other, after the dial has started.
  loop_.Post([this, handle, report = *report] {
    auto it = dials_.find(handle);
    if (it == dials_.end() || it->second.progress.HungUp()) return;
    Report(it->second, report);
  });
}

void NmRasBackend::Impl::Report(DialRecord& dial, const DialReport& report) {
  DialCallback callback = dial.callback;  // the callback may call back into the backend
  if (callback) callback(0, report.state, report.error);
}

unsigned NmRasBackend::Impl::GetConnectStatus(ConnectionHandle handle) {
  unsigned result = ERROR_INVALID_HANDLE;
  loop_.Run([&] {
    CheckBus();
    auto it = dials_.find(handle);
    if (it == dials_.end()) return;
    if (!it->second.progress.Gone()) {
      result = kRasSuccess;
    } else if (it->second.progress.HungUp()) {
      dials_.erase(it);  // gone and hung up: nobody asks about it any more
    }
  });
  return result;
}

unsigned NmRasBackend::Impl::HangUp(ConnectionHandle handle) {
  unsigned result = kRasSuccess;
  loop_.Run([&] {
    auto it = dials_.find(handle);
    if (it == dials_.end()) {
      result = ERROR_INVALID_HANDLE;
      return;
    }
    DialRecord& dial = it->second;
    dial.progress.OnHangUp();
    if (dial.progress.Gone()) {
      dials_.erase(it);
      return;
    }
    if (dial.activePath.empty() || !bus_) return;
    ErrorPtr error;
    if (bus_->Deactivate(dial.activePath, &error)) return;
    if (RemoteErrorName(error.get()) == "org.freedesktop.NetworkManager.ConnectionNotActive") {
      dial.progress.OnVanished(false);
      return;
    }
    std::fprintf(stderr, "tunvik: NetworkManager did not deactivate the VPN: %s\n",
                 MessageOf(error.get()));
    result = Refuse(RefusalOf(error.get()));
  });
  return result;
}

// --- NetworkManager's signals -------------------------------------------------------------

void NmRasBackend::Impl::NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone) {
  loop_.Run([&] {
    auto it = dials_.find(handle);
    if (it == dials_.end() || it->second.progress.HungUp()) return;
    it->second.gone = std::move(gone);
    TellIfGone(handle);
  });
}

void NmRasBackend::Impl::TellIfGone(ConnectionHandle handle) {
  auto it = dials_.find(handle);
  if (it == dials_.end() || !it->second.gone) return;
  if (!it->second.progress.Gone() || it->second.progress.HungUp()) return;
  std::function<void()> gone = std::move(it->second.gone);
  it->second.gone = nullptr;
  gone();
}

void NmRasBackend::Impl::OnVpnStateChanged(const std::string& path, unsigned state,
                                           unsigned reason) {
  for (auto& [handle, dial] : dials_) {
    if (dial.activePath == path) {
      const ConnectionHandle found = handle;
      ReportStage(dial, dial.progress.OnVpnState(state, reason));
      return TellIfGone(found);
    }
  }
}

void NmRasBackend::Impl::OnActiveStateChanged(const std::string& path, unsigned state,
                                              unsigned reason) {
  for (auto& [handle, dial] : dials_) {
    if (dial.activePath == path) {
      const ConnectionHandle found = handle;
      ReportStage(dial, dial.progress.OnActiveState(state, reason));
      return TellIfGone(found);
    }
  }
}

void NmRasBackend::Impl::ReportStage(DialRecord& dial, std::optional<DialReport> report) {
  if (!report) return;
  // Of the codes NM's reasons map to, only 711 (the plugin did not start) needs more words
  // than the common text has.
  if (report->error == ERROR_NO_VPN_BACKEND) {
    SetDetail(report->error, NmPluginNoStartText());
  } else if (report->error != 0) {
    SetDetail(report->error, {});
  }
  Report(dial, *report);
}

void NmRasBackend::Impl::OnNetworkManagerGone() {
  std::vector<std::pair<ConnectionHandle, DialReport>> reports;
  for (auto& [handle, dial] : dials_) {
    if (std::optional<DialReport> report = dial.progress.OnVanished(true)) {
      reports.emplace_back(handle, *report);
    }
  }
  if (reports.empty()) return;
  SetDetail(reports.front().second.error, NmNotRunningText());
  // Looked up again for each: a callback may have asked about its dial meanwhile.
  for (const auto& [handle, report] : reports) {
    auto it = dials_.find(handle);
    if (it != dials_.end()) Report(it->second, report);
    TellIfGone(handle);
  }
}

namespace {

// Both state signals carry a state and its reason; false when the signal has another form.
bool ReadStateAndReason(GVariant* parameters, guint32& state, guint32& reason) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) return false;
  g_variant_get(parameters, "(uu)", &state, &reason);
  return true;
}

}  // namespace

void NmRasBackend::Impl::VpnStateSignal(GDBusConnection*, const gchar*, const gchar* path,
                                        const gchar*, const gchar*, GVariant* parameters,
                                        gpointer self) {
  guint32 state = 0;
  guint32 reason = 0;
  if (ReadStateAndReason(parameters, state, reason)) {
    base::RunGuarded("a NetworkManager signal",
                     [&] { static_cast<Impl*>(self)->OnVpnStateChanged(path, state, reason); });
  }
}

void NmRasBackend::Impl::ActiveStateSignal(GDBusConnection*, const gchar*, const gchar* path,
                                           const gchar*, const gchar*, GVariant* parameters,
                                           gpointer self) {
  guint32 state = 0;
  guint32 reason = 0;
  if (ReadStateAndReason(parameters, state, reason)) {
    base::RunGuarded("a NetworkManager signal",
                     [&] { static_cast<Impl*>(self)->OnActiveStateChanged(path, state, reason); });
  }
}

void NmRasBackend::Impl::NameVanished(GDBusConnection*, const gchar*, gpointer self) {
  base::RunGuarded("NetworkManager's leaving",
                   [&] { static_cast<Impl*>(self)->OnNetworkManagerGone(); });
}

}  // namespace vpn
