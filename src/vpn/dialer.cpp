#include "vpn/dialer.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "text/gbk.h"

namespace vpn {
namespace {

// The state the status callback shares with the most recent dial thread.
std::atomic<std::shared_ptr<Event>> g_dialEvent;
std::atomic<bool> g_dialFailed{false};
std::atomic<DialerView*> g_view{nullptr};
std::atomic<int> g_runningDialThreads{0};

std::mutex g_timingsMutex;
DialTimings g_timings;

DialTimings Timings() {
  std::lock_guard lock(g_timingsMutex);
  return g_timings;
}

void RestoreConnectButton() {
  if (DialerView* view = g_view.load()) view->SetConnectCaptionEnabled(text::Gbk("连 接"));
}

}  // namespace

void SetDialerView(DialerView* view) {
  g_view.store(view);
}

void SetDialTimingsForTesting(const DialTimings& timings) {
  std::lock_guard lock(g_timingsMutex);
  g_timings = timings;
}

void SetStatus(const char* gbkFormat, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, gbkFormat);
  int n = std::vsnprintf(buffer, sizeof buffer, gbkFormat, args);
  va_end(args);
  if (n < 0) return;
  std::string_view shown(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), 1023));
  // A cut never leaves half a double-byte character at the end.
  std::size_t whole = 0;
  while (whole < shown.size()) {
    std::size_t width = text::IsLeadByte(static_cast<unsigned char>(shown[whole])) ? 2 : 1;
    if (whole + width > shown.size()) break;
    whole += width;
  }
  if (DialerView* view = g_view.load()) view->SetStatus(shown.substr(0, whole));
}

RasEntry MakeDialEntry(const std::string& entryName, const std::string& phoneNumber,
                       const std::string& protocol) {
  RasEntry entry;
  entry.entryName = entryName;
  entry.localPhoneNumber = phoneNumber;
  entry.options = RASEO_RemoteDefaultGateway | RASEO_ModemLights | RASEO_RequireMsEncryptedPw |
                  RASEO_RequireCHAP;
  entry.netProtocols = RASNP_Ip;
  entry.deviceType = "vpn";
  entry.deviceName = "RAS VPN Line 0";
  entry.type = RASET_Vpn;
  entry.encryptionType = ET_Optional;
  entry.vpnStrategy = protocol == "1" ? VS_PptpOnly : VS_L2tpOnly;
  entry.options2 = RASEO2_SecureFileAndPrint | RASEO2_SecureClientForMSNet;
  entry.redialCount = 3;
  entry.redialPause = 60;
  return entry;
}

bool CreateDialEntry(const std::string& entryName, const std::string& phoneNumber,
                     const std::string& userName, const std::string& password,
                     const std::string& protocol) {
  RasBackend& backend = CurrentBackend();
  unsigned error = backend.SetEntryProperties(MakeDialEntry(entryName, phoneNumber, protocol));
  if (error != kRasSuccess) {
    SetStatus(text::Gbk("%s拨号失败!(ERROR：%d)\n").c_str(), entryName.c_str(), error);
    return false;
  }
  RasDialParams stored;
  stored.entryName = entryName;
  stored.userName = userName;
  stored.password = password;
  return backend.SetEntryDialParams(stored) == kRasSuccess;
}

std::string DialStateText(int state) {
  switch (state) {
    case RASCS_OpenPort:
      return text::Gbk("打开端口...\n");
    case RASCS_PortOpened:
      return text::Gbk("端口打开成功.\n");
    case RASCS_ConnectDevice:
      return text::Gbk("连接设备...\n");
    case RASCS_DeviceConnected:
      return text::Gbk("设备连接成功.\n");
    case RASCS_AllDevicesConnected:
      return "All devices connected.\n";
    case RASCS_Authenticate:
      return text::Gbk("验证账户...\n");
    case RASCS_AuthNotify:
      return "Authentication notify.\n";
    case RASCS_AuthRetry:
      return text::Gbk("再次验证账户...\n");
    case RASCS_AuthCallback:
      return "Authentication callback...\n";
    case RASCS_AuthChangePassword:
      return text::Gbk("请修改密码...\n");
    case RASCS_AuthProject:
      return "Projection phase started...\n";
    case RASCS_AuthLinkSpeed:
      return "Negotiating speed...\n";
    case RASCS_AuthAck:
      return "Authentication acknowledge...\n";
    case RASCS_ReAuthenticate:
      return "Retrying Authentication...\n";
    case RASCS_Authenticated:
      return "Authentication complete.\n";
    case RASCS_PrepareForCallback:
      return "Preparing for callback...\n";
    case RASCS_WaitForModemReset:
      return "Waiting for modem reset...\n";
    case RASCS_WaitForCallback:
      return "Waiting for callback...\n";
    case RASCS_Projected:
      return "Projection completed.\n";
    case RASCS_StartAuthentication:
      return "Starting authentication...\n";
    case RASCS_CallbackComplete:
      return "Callback complete.\n";
    case RASCS_LogonNetwork:
      return "Logon to the network.\n";
    case RASCS_SubEntryConnected:
      return "Subentry connected.\n";
    case RASCS_SubEntryDisconnected:
      return "Subentry disconnected.\n";
    case RASCS_Connected:
      return text::Gbk("连接成功\n");
    case RASCS_Disconnected:
      return text::Gbk("连接中...\n");
    default: {
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "Unknown Status = %d\n", state);
      return buffer;
    }
  }
}

void OnDialStatus(unsigned, int state, unsigned error) {
  if (error != 0) {
    std::string description = CurrentBackend().GetErrorString(error);
    SetStatus("ERROR:%d - %s\n", error, description.c_str());
    RestoreConnectButton();
    g_dialFailed = true;
    if (auto event = g_dialEvent.load()) event->Set();
    return;
  }
  SetStatus("%s", DialStateText(state).c_str());
  if (state == RASCS_Connected) {
    if (DialerView* view = g_view.load()) view->SetConnectCaptionEnabled(text::Gbk("断 开"));
    if (auto event = g_dialEvent.load()) event->Set();
  } else if (state == RASCS_Disconnected) {
    if (auto event = g_dialEvent.load()) event->Set();
  }
}

int DialThread(DialRequest request) {
  g_dialFailed = false;
  const DialTimings timings = Timings();
  auto dialEvent = std::make_shared<Event>();
  g_dialEvent.store(dialEvent);
  RasBackend& backend = CurrentBackend();

  RasDialParams params;
  params.entryName = request.entryName;
  params.phoneNumber = request.phoneNumber;
  params.userName = request.userName;
  params.password = request.password;
  params.domain = request.domain;
  CreateDialEntry(request.entryName, request.phoneNumber, request.userName, request.password,
                  request.protocol);

  SetStatus("Dialing... %s\n", request.phoneNumber.c_str());
  ConnectionHandle connection = 0;
  unsigned error = backend.Dial(params, OnDialStatus, &connection);
  if (error != kRasSuccess) {
    SetStatus("RasDial %s error %d\n", request.phoneNumber.c_str(), error);
    backend.DeleteEntry(request.entryName);
    RestoreConnectButton();
    return 0;
  }

  if (!dialEvent->Wait(timings.finalState)) SetStatus("%s", text::Gbk("连接设备...\n").c_str());

  bool endedByItself = true;
  unsigned status = backend.GetConnectStatus(connection);
  while (status != ERROR_INVALID_HANDLE && endedByItself) {
    if (request.stopEvent && request.stopEvent->Wait(timings.stopPoll)) endedByItself = false;
    if (!request.stopEvent) std::this_thread::sleep_for(timings.stopPoll);
    status = backend.GetConnectStatus(connection);
  }

  const unsigned hangUp = backend.HangUp(connection);
  const bool quiet = endedByItself && hangUp == kRasSuccess;
  const auto hungUp = std::chrono::steady_clock::now();
  while (backend.GetConnectStatus(connection) != ERROR_INVALID_HANDLE &&
         std::chrono::steady_clock::now() - hungUp < timings.hangUpLimit) {
    std::this_thread::sleep_for(timings.hangUpPoll);
  }

  if (g_dialFailed || quiet) {
    backend.DeleteEntry(request.entryName);
  } else {
    SetStatus("Connection to %s terminated.\n", request.phoneNumber.c_str());
    backend.DeleteEntry(request.entryName);
    SetStatus("Delete EntryName %s OK.\n", request.entryName.c_str());
    SetStatus("%s", text::Gbk("已断开").c_str());
  }
  RestoreConnectButton();
  return 1;
}

void StartDialThread(const DialRequest& request) {
  ++g_runningDialThreads;
  std::thread([request] {
    DialThread(request);
    --g_runningDialThreads;
  }).detach();
}

int RunningDialThreads() {
  return g_runningDialThreads.load();
}

}  // namespace vpn
