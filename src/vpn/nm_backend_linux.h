// The inside of the NetworkManager backend, shared by its source files: what it keeps on its
// loop thread and the steps of its operations. ras_nm_linux.cpp holds the bus connection, the
// error texts and the public face; nm_backend_entries_linux.cpp the entry's profile;
// nm_backend_dials_linux.cpp the dials and NetworkManager's signals about them.
#pragma once

#include <gio/gio.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "vpn/glib_loop_linux.h"
#include "vpn/nm_bus_linux.h"
#include "vpn/nm_dial_states.h"
#include "vpn/nm_profile.h"
#include "vpn/nm_settings_linux.h"
#include "vpn/ras_nm_linux.h"

namespace vpn {

// Remote-access codes of the backend's own refusals.
inline constexpr unsigned ERROR_INVALID_PARAMETER = 87;
inline constexpr unsigned ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
// A profile write that NM refuses for a reason no other code tells.
inline constexpr unsigned ERROR_CANNOT_WRITE_PHONEBOOK = 624;

// What a failed call to NetworkManager says about why it failed; `ofActivation` for the answer
// to ActivateConnection.
NmRefusal RefusalOf(const GError* error, bool ofActivation = false);

// The message of a failed call, for standard error.
const char* MessageOf(const GError* error);

class NmRasBackend::Impl {
 public:
  explicit Impl(Options options) : options_(std::move(options)) {}
  ~Impl() {
    loop_.Run([this] { Disconnect(); });
  }

  unsigned SetEntryProperties(const RasEntry& entry);
  unsigned SetEntryDialParams(const RasDialParams& params);
  unsigned Dial(const RasDialParams& params, DialCallback callback, ConnectionHandle* handle);
  unsigned GetConnectStatus(ConnectionHandle handle);
  unsigned HangUp(ConnectionHandle handle);
  unsigned DeleteEntry(const std::string& entryName);
  std::string GetErrorString(unsigned code);
  void NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone);

 private:
  struct DialRecord {
    NmDialProgress progress;
    DialCallback callback;
    std::string activePath;      // empty until NM has accepted the activation
    std::function<void()> gone;  // told once when the connection goes away by itself
  };
  struct OwnProfile {
    std::string path;
    NmOwnProfile info;
    VariantPtr settings;
  };

  // Everything below runs on the loop thread.
  bool Answering();
  void CheckBus();
  void Disconnect();
  std::vector<OwnProfile> FindOwn(const std::string& entryName, ErrorPtr* error);
  unsigned Refuse(NmRefusal refusal, const NmVpnPlugin* plugin = nullptr);
  unsigned ProfileFailure(const char* what, const std::string& entry, const GError* error);
  unsigned StoreCredentials(const OwnProfile& profile, const RasDialParams& params, ErrorPtr* error,
                            std::string* invalid);
  void ReportLater(ConnectionHandle handle, std::optional<DialReport> report);
  void Report(DialRecord& dial, const DialReport& report);
  void ReportStage(DialRecord& dial, std::optional<DialReport> report);
  void SetDetail(unsigned code, std::string detail);
  // Tells the dial's watcher, once, when its connection has gone without a hang-up of ours.
  void TellIfGone(ConnectionHandle handle);

  void OnVpnStateChanged(const std::string& path, unsigned state, unsigned reason);
  void OnActiveStateChanged(const std::string& path, unsigned state, unsigned reason);
  void OnNetworkManagerGone();
  static void VpnStateSignal(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                             const gchar*, GVariant* parameters, gpointer self);
  static void ActiveStateSignal(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                                const gchar*, GVariant* parameters, gpointer self);
  static void NameVanished(GDBusConnection*, const gchar*, gpointer self);

  Options options_;
  std::unique_ptr<NmBus> bus_;
  guint vpnSubscription_ = 0;
  guint activeSubscription_ = 0;
  guint nameWatch_ = 0;
  std::map<ConnectionHandle, DialRecord> dials_;
  ConnectionHandle nextHandle_ = 1;
  // Why the entry of each name could not be written last time, so that a dial of it says so.
  struct EntryRefusal {
    NmRefusal refusal;
    const NmVpnPlugin* plugin;
  };
  std::map<std::string, EntryRefusal> entryRefusals_;

  std::mutex detailsMutex_;
  std::map<unsigned, std::string> details_;  // GBK, by code

  // Last, so that it is made after and stopped before everything it works on.
  GLibLoopThread loop_;
};

}  // namespace vpn
