// The sections and keys of the settings file XolConfig.ini, named once, with the limits their
// reads use.
//
// A limit is the most bytes of GBK text that a read returns (a double-byte character is never
// split). Values whose cut would change what the program does (a different account, filter,
// server, list of programs or adapters) are read whole (kWhole); a cut is kept only where the value
// is merely shown.
#pragma once

#include <cstddef>
#include <string_view>

#include "settings/profile.h"

namespace settings {

inline constexpr std::string_view kSettingsFileName = "XolConfig.ini";

// Items of the list values ClosingProcess and network are joined by this character.
inline constexpr char kListSeparator = '|';

// Section AccountConfig: the account, written by the connect workflow.
inline constexpr std::string_view kAccountConfig = "AccountConfig";
inline constexpr std::string_view kAccount = "Account";    // text: user name
inline constexpr std::string_view kPassword = "Password";  // text: password, in plain text
inline constexpr std::string_view kDueDate = "DueDate";    // text: expiry date as the API gave it
inline constexpr std::size_t kAccountLimit = kWhole;
inline constexpr std::size_t kPasswordLimit = kWhole;
inline constexpr std::size_t kDueDateLimit = 49;  // shown in the expiry label only

// Section HardwareConfig: the process filter, the close list and the page-2 switches.
inline constexpr std::string_view kHardwareConfig = "HardwareConfig";
inline constexpr std::string_view kProcessIP = "ProcessIP";  // text: program path or file name
inline constexpr std::string_view kClosingProcess = "ClosingProcess";  // list of program paths
inline constexpr std::string_view kVirtualMAC = "VirtualMAC";          // integer 0 or 1
inline constexpr std::string_view kVirtualCPUID = "VirtualCPUID";      // integer 0 or 1
inline constexpr std::string_view kVirtualBIOS = "VirtualBIOS";        // integer 0 or 1
inline constexpr std::string_view kVirtualMotherboardID = "VirtualMotherboardID";  // 0 or 1
inline constexpr std::string_view kVirtualHardDiskCode = "VirtualHardDiskCode";    // 0 or 1
inline constexpr std::size_t kProcessIPLimit = kWhole;
inline constexpr std::size_t kClosingProcessLimit = kWhole;

// Section HostConfig: the chosen server, the strategies and the start-up switches.
inline constexpr std::string_view kHostConfig = "HostConfig";
inline constexpr std::string_view kVpnStrategy = "VpnStrategy";  // integer: 0 L2TP, 1 PPTP
// Integer: on a drop 0 dials again, 1 closes the listed programs, 2 switches the adapters off.
inline constexpr std::string_view kOfflineStrategy = "OfflineStrategy";
inline constexpr std::string_view kXolNo = "XOLNO";              // text: chosen server's number
inline constexpr std::string_view kHost = "Host";                // text: chosen server's address
inline constexpr std::string_view kAutostart = "Autostart";      // integer 0 or 1
inline constexpr std::string_view kAutoConnect = "AutoConnect";  // integer 0 or 1
inline constexpr std::string_view kNetwork = "network";          // list: adapters switched off
inline constexpr std::string_view kUpdateState = "UpdateState";  // integer: 1 while old file waits
inline constexpr std::size_t kXolNoLimit = kWhole;
inline constexpr std::size_t kHostLimit = kWhole;
inline constexpr std::size_t kNetworkLimit = kWhole;

// Section MAINVER: the version of the program file that the update clean-up deletes.
inline constexpr std::string_view kMainVerSection = "MAINVER";
inline constexpr std::string_view kMainVer = "mainver";
inline constexpr std::size_t kMainVerLimit = 127;

// The page-1 keys are always written together, in this order.
inline constexpr std::string_view kPage1KeysInOrder[] = {kVpnStrategy, kOfflineStrategy, kXolNo,
                                                         kHost};

}  // namespace settings
