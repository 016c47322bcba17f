// The main window's own keys of the settings file: what it loads at construction and after the
// account dialog, and the save of the account before a connection attempt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The values the main window takes from the settings file. A missing file gives the defaults of a
// first start: empty texts, both switches clear, no switched-off adapters.
struct MainWindowSettings {
  std::string account;        // AccountConfig/Account, GBK
  std::string password;       // AccountConfig/Password, GBK
  std::string dueDate;        // AccountConfig/DueDate, GBK, at most 49 bytes
  std::string processFilter;  // HardwareConfig/ProcessIP, GBK; empty shows every process
  int autostart = 0;          // HostConfig/Autostart
  int autoConnect = 0;        // HostConfig/AutoConnect
  std::vector<std::string> disabledAdapters;  // HostConfig/network split at "|"
};

// Reads the main window's keys from the settings file at `settingsPath`: Account, Password,
// DueDate, ProcessIP, then Autostart and AutoConnect, then network. Never fails; whatever is
// missing or unreadable reads as its default.
MainWindowSettings LoadMainWindowSettings(const std::string& settingsPath);

// Writes Account and then Password (GBK texts) to the settings file. Returns false when a write
// failed; a failed first write skips the second.
bool SaveAccount(const std::string& settingsPath, std::string_view account,
                 std::string_view password);

}  // namespace settings
