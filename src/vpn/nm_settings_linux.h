// NetworkManager's settings of the profiles the backend owns, built and read with libnm: the
// settings that stand for an entry, what a profile read back says about itself, and the same
// settings with the entry's credentials stored.
#pragma once

#include <glib.h>

#include <optional>
#include <string>

#include "vpn/nm_profile.h"

namespace vpn {

// What the backend needs to know of a profile it owns.
struct NmOwnProfile {
  std::string entryName;  // UTF-8
  std::string uuid;
  std::string service;
  std::string user;
  bool l2tpWithIpsec = false;
};

// Reads the settings of one profile (a{sa{sv}}); nullopt unless it is a VPN profile that this
// program owns (marked with kNmEntryKey).
std::optional<NmOwnProfile> ReadOwnProfile(GVariant* settings);

// The settings (a floating a{sa{sv}}) of `profile` under `uuid`, with the user name `user`
// (UTF-8, may be empty) and no secrets. Returns null and sets `error` when libnm finds the
// profile invalid.
GVariant* SettingsOfProfile(const NmProfile& profile, const std::string& uuid,
                            const std::string& user, std::string* error);

// `settings` (as read back, without secrets) with the user name, domain and password (UTF-8)
// stored: the password with secret flags 0, so NetworkManager keeps it with the profile.
// Returns a floating a{sa{sv}}, or null and sets `error`.
GVariant* SettingsWithCredentials(GVariant* settings, const std::string& user,
                                  const std::string& domain, const std::string& password,
                                  std::string* error);

}  // namespace vpn
