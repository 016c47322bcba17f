// The remote-access layer: the operations the dialer needs from the platform to write a VPN
// entry, dial it, watch it and hang it up, with the platform's result codes (0 for success, 6
// from the status query once the connection is gone) and its connection states. Backends stand
// behind this interface: the simulated dialer and NetworkManager.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vpn {

// Connection states reported to the dial callback.
enum RasConnState : int {
  RASCS_OpenPort = 0,
  RASCS_PortOpened = 1,
  RASCS_ConnectDevice = 2,
  RASCS_DeviceConnected = 3,
  RASCS_AllDevicesConnected = 4,
  RASCS_Authenticate = 5,
  RASCS_AuthNotify = 6,
  RASCS_AuthRetry = 7,
  RASCS_AuthCallback = 8,
  RASCS_AuthChangePassword = 9,
  RASCS_AuthProject = 10,
  RASCS_AuthLinkSpeed = 11,
  RASCS_AuthAck = 12,
  RASCS_ReAuthenticate = 13,
  RASCS_Authenticated = 14,
  RASCS_PrepareForCallback = 15,
  RASCS_WaitForModemReset = 16,
  RASCS_WaitForCallback = 17,
  RASCS_Projected = 18,
  RASCS_StartAuthentication = 19,
  RASCS_CallbackComplete = 20,
  RASCS_LogonNetwork = 21,
  RASCS_SubEntryConnected = 22,
  RASCS_SubEntryDisconnected = 23,
  RASCS_Connected = 0x2000,
  RASCS_Disconnected = 0x2001,
};

// Result codes the dialer relies on.
inline constexpr unsigned kRasSuccess = 0;
inline constexpr unsigned ERROR_INVALID_HANDLE = 6;

// Entry options and strategies, as the entry record carries them.
inline constexpr std::uint32_t RASEO_RemoteDefaultGateway = 0x00000010;
inline constexpr std::uint32_t RASEO_ModemLights = 0x00000100;
inline constexpr std::uint32_t RASEO_RequireMsEncryptedPw = 0x00000800;
inline constexpr std::uint32_t RASEO_RequireCHAP = 0x08000000;
inline constexpr std::uint32_t RASEO2_SecureFileAndPrint = 0x1;
inline constexpr std::uint32_t RASEO2_SecureClientForMSNet = 0x2;
inline constexpr std::uint32_t RASNP_Ip = 0x4;
inline constexpr std::uint32_t RASET_Vpn = 2;
inline constexpr std::uint32_t ET_Optional = 3;
inline constexpr std::uint32_t VS_PptpOnly = 1;
inline constexpr std::uint32_t VS_L2tpOnly = 3;

// The phone-book entry: what the dialer writes before every dial. Texts are GBK.
struct RasEntry {
  std::string entryName;
  std::string localPhoneNumber;  // the server's address
  std::uint32_t options = 0;
  std::uint32_t options2 = 0;
  std::uint32_t netProtocols = 0;
  std::string deviceType;
  std::string deviceName;
  std::uint32_t type = 0;
  std::uint32_t encryptionType = 0;
  std::uint32_t vpnStrategy = 0;
  std::uint32_t redialCount = 0;
  std::uint32_t redialPause = 0;
};

// The dial parameters: entry, number and credentials. Texts are GBK.
struct RasDialParams {
  std::string entryName;
  std::string phoneNumber;
  std::string userName;
  std::string password;
  std::string domain;
};

using ConnectionHandle = std::uint64_t;  // 0: none

// The status callback: message, state, error (0 for a state change). Backends call it on a
// thread of their own.
using DialCallback = std::function<void(unsigned message, int state, unsigned error)>;

class RasBackend {
 public:
  virtual ~RasBackend() = default;

  // Writes (or replaces) the entry. Returns 0 or an error code.
  virtual unsigned SetEntryProperties(const RasEntry& entry) = 0;
  // Stores user name and password with the entry. Returns 0 or an error code.
  virtual unsigned SetEntryDialParams(const RasDialParams& params) = 0;
  // Starts the dial; returns 0 when it has started (states follow through `callback`) and sets
  // `handle`, or an error code when it cannot start.
  virtual unsigned Dial(const RasDialParams& params, DialCallback callback,
                        ConnectionHandle* handle) = 0;
  // Returns 0 while the connection exists, ERROR_INVALID_HANDLE once it is gone.
  virtual unsigned GetConnectStatus(ConnectionHandle handle) = 0;
  // Hangs the connection up. Returns 0 or an error code.
  virtual unsigned HangUp(ConnectionHandle handle) = 0;
  // Removes the entry. Returns 0 or an error code.
  virtual unsigned DeleteEntry(const std::string& entryName) = 0;
  // The backend's text for an error code, GBK.
  virtual std::string GetErrorString(unsigned code);
  // Calls `gone` once, on a thread of the backend's, as soon as the backend learns that the
  // connection went away without a hang-up of ours (at once when it is gone already), so that a
  // watch need not wait for its next status query. A backend that cannot tell never calls it;
  // the base never does.
  virtual void NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone);
};

// Returns the backend of this run: the one a test installed, else the one the deployment's
// dialer value names ("sim" the simulated dialer, "nm" NetworkManager), else the first available.
RasBackend& CurrentBackend();

// Makes `backend` the current one (an empty pointer restores the choice by deployment).
void SetBackendForTesting(std::shared_ptr<RasBackend> backend);

// The platform's text for a remote-access error code, GBK; a generic text for unknown codes.
std::string RasErrorText(unsigned code);

// The code a dial refuses to start with when no VPN backend is available.
inline constexpr unsigned ERROR_NO_VPN_BACKEND = 711;

}  // namespace vpn
