// The NetworkManager backend: the entry's profile, written, given its credentials, deleted.
#include <NetworkManager.h>

#include <cstdio>

#include "hosttools/dialer_settings.h"
#include "text/gbk.h"
#include "vpn/nm_backend_linux.h"
#include "vpn/nm_plugins_linux.h"

namespace vpn {

std::vector<NmRasBackend::Impl::OwnProfile> NmRasBackend::Impl::FindOwn(
    const std::string& entryName, ErrorPtr* error) {
  std::vector<OwnProfile> found;
  const std::string wanted = text::GbkToUtf8(entryName);
  for (const std::string& path : bus_->ListProfiles(error)) {
    // A profile that goes away between the listing and the reading is simply not there.
    VariantPtr settings = bus_->GetSettings(path, nullptr);
    if (!settings) continue;
    std::optional<NmOwnProfile> info = ReadOwnProfile(settings.get());
    if (info && info->entryName == wanted) {
      found.push_back(OwnProfile{path, std::move(*info), std::move(settings)});
    }
  }
  return found;
}

// --- the entry ----------------------------------------------------------------------------

unsigned NmRasBackend::Impl::SetEntryProperties(const RasEntry& entry) {
  const bool prohibitIpSec = hosttools::ProhibitIpSec();
  unsigned result = kRasSuccess;
  loop_.Run([&] {
    entryRefusals_.erase(entry.entryName);
    if (!Answering()) {
      result = Refuse(NmRefusal::kNotRunning);
      return;
    }
    std::optional<NmProfile> profile = MakeNmProfile(entry, prohibitIpSec);
    if (!profile) {
      result = ERROR_INVALID_PARAMETER;
      return;
    }
    if (!NmPluginInstalled(profile->plugin->service, options_.pluginFolder)) {
      entryRefusals_[entry.entryName] = {NmRefusal::kPluginMissing, profile->plugin};
      result = Refuse(NmRefusal::kPluginMissing, profile->plugin);
      return;
    }
    ErrorPtr error;
    std::vector<OwnProfile> existing = FindOwn(entry.entryName, &error);
    if (error) {
      result = ProfileFailure("list", entry.entryName, error.get());
      return;
    }
    std::string invalid;
    if (existing.empty()) {
      gchar* uuid = g_uuid_string_random();
      GVariant* settings = SettingsOfProfile(*profile, uuid, {}, &invalid);
      g_free(uuid);
      if (!settings) {
        std::fprintf(stderr, "tunvik: invalid VPN profile: %s\n", invalid.c_str());
        result = ERROR_INVALID_PARAMETER;
      } else if (bus_->AddProfile(settings, &error).empty()) {
        result = ProfileFailure("add", entry.entryName, error.get());
      }
      return;
    }
    // The profile made before is updated in place, so that its stored user name and password
    // (which NM keeps when an update carries no secrets) stay with it, as an entry's do.
    const OwnProfile& kept = existing.front();
    GVariant* settings = SettingsOfProfile(*profile, kept.info.uuid, kept.info.user, &invalid);
    if (!settings) {
      std::fprintf(stderr, "tunvik: invalid VPN profile: %s\n", invalid.c_str());
      result = ERROR_INVALID_PARAMETER;
      return;
    }
    if (!bus_->UpdateProfile(kept.path, settings, &error)) {
      result = ProfileFailure("update", entry.entryName, error.get());
      return;
    }
    for (std::size_t i = 1; i < existing.size(); ++i)
      bus_->DeleteProfile(existing[i].path, nullptr);
  });
  return result;
}

unsigned NmRasBackend::Impl::StoreCredentials(const OwnProfile& profile,
                                              const RasDialParams& params, ErrorPtr* error,
                                              std::string* invalid) {
  GVariant* settings = SettingsWithCredentials(
      profile.settings.get(), text::GbkToUtf8(params.userName), text::GbkToUtf8(params.domain),
      text::GbkToUtf8(params.password), invalid);
  if (!settings) return ERROR_INVALID_PARAMETER;
  return bus_->UpdateProfile(profile.path, settings, error) ? kRasSuccess
                                                            : ERROR_CANNOT_WRITE_PHONEBOOK;
}

unsigned NmRasBackend::Impl::SetEntryDialParams(const RasDialParams& params) {
  if (!IsStorableCredential(params.userName) || !IsStorableCredential(params.password) ||
      !IsStorableCredential(params.domain)) {
    return ERROR_INVALID_PARAMETER;
  }
  unsigned result = kRasSuccess;
  loop_.Run([&] {
    if (!Answering()) {
      result = Refuse(NmRefusal::kNotRunning);
      return;
    }
    ErrorPtr error;
    std::vector<OwnProfile> existing = FindOwn(params.entryName, &error);
    if (error) {
      result = ProfileFailure("list", params.entryName, error.get());
      return;
    }
    if (existing.empty()) {
      result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
      return;
    }
    std::string invalid;
    result = StoreCredentials(existing.front(), params, &error, &invalid);
    if (result == ERROR_INVALID_PARAMETER) {
      std::fprintf(stderr, "tunvik: invalid VPN credentials: %s\n", invalid.c_str());
    } else if (result != kRasSuccess) {
      result = ProfileFailure("store the password of", params.entryName, error.get());
    }
  });
  return result;
}

unsigned NmRasBackend::Impl::DeleteEntry(const std::string& entryName) {
  unsigned result = kRasSuccess;
  loop_.Run([&] {
    if (!Answering()) {
      result = Refuse(NmRefusal::kNotRunning);
      return;
    }
    ErrorPtr error;
    std::vector<OwnProfile> existing = FindOwn(entryName, &error);
    if (error) {
      result = ProfileFailure("list", entryName, error.get());
      return;
    }
    if (existing.empty()) {
      result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
      return;
    }
    for (const OwnProfile& profile : existing) {
      ErrorPtr deleteError;
      if (!bus_->DeleteProfile(profile.path, &deleteError) && result == kRasSuccess) {
        result = ProfileFailure("delete", entryName, deleteError.get());
      }
    }
  });
  return result;
}

}  // namespace vpn
