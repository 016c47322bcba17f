#include "vpn/dialer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "base/guarded.h"
#include "text/gbk.h"

namespace vpn {
namespace {

// What one dial thread shares with the status callback of its own dial. Each dial has its own:
// a late report of an older dial never wakes or fails a newer one.
struct Dial {
  std::uint64_t generation = 0;
  EventPtr stopEvent;                   // the request's, so that the close can signal it too
  Event dialEvent;                      // the callback has seen a final state
  std::atomic<bool> dialFailed{false};  // the callback has reported an error
  // The backend has told that the connection went away by itself; it also signals the stop
  // event, so that the watch wakes at once and its status query finds the connection gone.
  std::atomic<bool> connectionGone{false};
};

std::atomic<DialerView*> g_view{nullptr};
// The generation of the newest dial thread. The status line, the Connect button and the entry
// belong to it: an older dial thread that reports or ends late leaves them as they are.
std::atomic<std::uint64_t> g_newestDial{0};

// The running dial threads, and whether new ones may start.
std::mutex g_dialsMutex;
std::condition_variable g_dialsEnded;
std::set<std::shared_ptr<Dial>> g_runningDials;  // guarded by g_dialsMutex
bool g_closed = false;                           // guarded by g_dialsMutex

std::mutex g_timingsMutex;
DialTimings g_timings;

// After the close, a hung-up connection is waited for at most this long before its entry is
// deleted, so that the process ends within a few seconds.
constexpr std::chrono::milliseconds kClosingHangUpLimit{2000};

DialTimings Timings() {
  std::lock_guard lock(g_timingsMutex);
  return g_timings;
}

bool Closed() {
  std::lock_guard lock(g_dialsMutex);
  return g_closed;
}

bool IsNewest(const Dial& dial) {
  return g_newestDial.load() == dial.generation;
}

// Serialises the entry's writes and deletions of the dial threads, so that an older thread's
// check "am I the newest?" and its deletion of the entry happen before a newer thread writes it,
// or not at all. Never held across a call into the view.
std::mutex g_entryMutex;

// Formats like printf into at most 1023 bytes; a cut never leaves half a double-byte character.
std::string FormatStatus(const char* gbkFormat, va_list args) {
  char buffer[1024];
  int n = std::vsnprintf(buffer, sizeof buffer, gbkFormat, args);
  if (n < 0) return std::string();
  std::string_view shown(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), 1023));
  std::size_t whole = 0;
  while (whole < shown.size()) {
    std::size_t width = text::IsLeadByte(static_cast<unsigned char>(shown[whole])) ? 2 : 1;
    if (whole + width > shown.size()) break;
    whole += width;
  }
  return std::string(shown.substr(0, whole));
}

// Runs `fn` where the view lives (see DialerView::RunInView), or here without a view.
void InView(const std::function<void()>& fn) {
  if (DialerView* view = g_view.load()) {
    view->RunInView(fn);
  } else {
    fn();
  }
}

// SetStatus on behalf of `dial`: shown only while it is the newest.
void ShowFor(const Dial& dial, const char* gbkFormat, ...) __attribute__((format(printf, 2, 3)));
void ShowFor(const Dial& dial, const char* gbkFormat, ...) {
  va_list args;
  va_start(args, gbkFormat);
  const std::string text = FormatStatus(gbkFormat, args);
  va_end(args);
  InView([&] {
    if (!IsNewest(dial)) return;
    if (DialerView* view = g_view.load()) view->SetStatus(text);
  });
}

void SetCaptionFor(const Dial& dial, const char* utf8Caption) {
  const std::string caption = text::Gbk(utf8Caption);
  InView([&] {
    if (!IsNewest(dial)) return;
    if (DialerView* view = g_view.load()) view->SetConnectCaptionEnabled(caption);
  });
}

// Deletes the entry when `dial` is still the newest.
void DeleteEntryFor(const Dial& dial, RasBackend& backend, const std::string& entryName) {
  std::lock_guard lock(g_entryMutex);
  if (IsNewest(dial)) backend.DeleteEntry(entryName);
}

// Makes a dial for `request` the newest and counts it among the running ones; null, with
// nothing changed, once the dialer is closed. Done in the view, like every check of the newest.
std::shared_ptr<Dial> RegisterNewDial(const DialRequest& request) {
  std::shared_ptr<Dial> dial;
  InView([&] {
    std::lock_guard lock(g_dialsMutex);
    if (g_closed) return;
    dial = std::make_shared<Dial>();
    dial->generation = ++g_newestDial;
    dial->stopEvent = request.stopEvent;
    g_runningDials.insert(dial);
  });
  return dial;
}

void Unregister(const std::shared_ptr<Dial>& dial) {
  std::lock_guard lock(g_dialsMutex);
  g_runningDials.erase(dial);
  if (g_runningDials.empty()) g_dialsEnded.notify_all();
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
  va_list args;
  va_start(args, gbkFormat);
  const std::string text = FormatStatus(gbkFormat, args);
  va_end(args);
  if (DialerView* view = g_view.load()) view->SetStatus(text);
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

namespace {

// The status callback of one dial.
void OnDialStatus(Dial& dial, unsigned, int state, unsigned error) {
  if (error != 0) {
    std::string description = CurrentBackend().GetErrorString(error);
    ShowFor(dial, "ERROR:%d - %s\n", error, description.c_str());
    SetCaptionFor(dial, "连 接");
    dial.dialFailed = true;
    dial.dialEvent.Set();
    return;
  }
  ShowFor(dial, "%s", DialStateText(state).c_str());
  if (state == RASCS_Connected) {
    SetCaptionFor(dial, "断 开");
    dial.dialEvent.Set();
  } else if (state == RASCS_Disconnected) {
    dial.dialEvent.Set();
  }
}

int RunDial(const std::shared_ptr<Dial>& dial, const DialRequest& request) {
  const DialTimings timings = Timings();
  RasBackend& backend = CurrentBackend();

  RasDialParams params;
  params.entryName = request.entryName;
  params.phoneNumber = request.phoneNumber;
  params.userName = request.userName;
  params.password = request.password;
  params.domain = request.domain;
  {
    std::lock_guard lock(g_entryMutex);
    CreateDialEntry(request.entryName, request.phoneNumber, request.userName, request.password,
                    request.protocol);
  }

  ShowFor(*dial, "Dialing... %s\n", request.phoneNumber.c_str());
  ConnectionHandle connection = 0;
  // The callback holds its own dial, so a report that comes after this thread has ended still
  // finds it.
  unsigned error = backend.Dial(
      params,
      [dial](unsigned message, int state, unsigned code) {
        base::RunGuarded("the dial status callback",
                         [&] { OnDialStatus(*dial, message, state, code); });
      },
      &connection);
  if (error != kRasSuccess) {
    ShowFor(*dial, "RasDial %s error %d\n", request.phoneNumber.c_str(), error);
    DeleteEntryFor(*dial, backend, request.entryName);
    SetCaptionFor(*dial, "连 接");
    return 0;
  }

  backend.NotifyWhenGone(connection, [dial] {
    dial->connectionGone = true;
    if (dial->stopEvent) dial->stopEvent->Set();
  });

  if (!dial->dialEvent.Wait(timings.finalState)) {
    ShowFor(*dial, "%s", text::Gbk("连接设备...\n").c_str());
  }

  bool endedByItself = true;
  unsigned status = backend.GetConnectStatus(connection);
  while (status != ERROR_INVALID_HANDLE && endedByItself) {
    if (request.stopEvent && request.stopEvent->Wait(timings.stopPoll) && !dial->connectionGone) {
      endedByItself = false;
    }
    if (!request.stopEvent) std::this_thread::sleep_for(timings.stopPoll);
    if (Closed()) endedByItself = false;
    status = backend.GetConnectStatus(connection);
  }

  const unsigned hangUp = backend.HangUp(connection);
  const bool quiet = endedByItself && hangUp == kRasSuccess;
  const auto hungUp = std::chrono::steady_clock::now();
  auto limit = [&] {
    return Closed() ? std::min(timings.hangUpLimit, kClosingHangUpLimit) : timings.hangUpLimit;
  };
  while (backend.GetConnectStatus(connection) != ERROR_INVALID_HANDLE &&
         std::chrono::steady_clock::now() - hungUp < limit()) {
    std::this_thread::sleep_for(timings.hangUpPoll);
  }

  // A newer dial thread owns the entry, the caption and the status line: this one leaves them
  // exactly as they are (each step checks again, as a newer dial may start meanwhile).
  if (!IsNewest(*dial)) return 1;
  if (dial->dialFailed || quiet) {
    DeleteEntryFor(*dial, backend, request.entryName);
  } else {
    ShowFor(*dial, "Connection to %s terminated.\n", request.phoneNumber.c_str());
    DeleteEntryFor(*dial, backend, request.entryName);
    ShowFor(*dial, "Delete EntryName %s OK.\n", request.entryName.c_str());
    ShowFor(*dial, "%s", text::Gbk("已断开").c_str());
  }
  SetCaptionFor(*dial, "连 接");
  return 1;
}

// Runs the dial of `dial` on this thread. An error nobody expected ends it with the button
// given back, so that the window can go on.
int RunRegisteredDial(const std::shared_ptr<Dial>& dial, const DialRequest& request) {
  int result = 0;
  if (!base::RunGuarded("a dial thread", [&] { result = RunDial(dial, request); })) {
    SetCaptionFor(*dial, "连 接");
  }
  Unregister(dial);
  return result;
}

}  // namespace

int DialThread(DialRequest request) {
  auto dial = RegisterNewDial(request);
  if (!dial) return 0;
  return RunRegisteredDial(dial, request);
}

bool StartDialThread(const DialRequest& request) {
  auto dial = RegisterNewDial(request);
  if (!dial) return false;
  try {
    std::thread([dial, request] { RunRegisteredDial(dial, request); }).detach();
  } catch (const std::system_error& error) {
    std::fprintf(stderr, "tunvik: the dial thread could not start: %s\n", error.what());
    Unregister(dial);
    return false;
  }
  return true;
}

int RunningDialThreads() {
  std::lock_guard lock(g_dialsMutex);
  return static_cast<int>(g_runningDials.size());
}

void CloseDialer() {
  std::lock_guard lock(g_dialsMutex);
  g_closed = true;
  for (const auto& dial : g_runningDials) {
    dial->dialEvent.Set();
    if (dial->stopEvent) dial->stopEvent->Set();
  }
}

bool WaitForDialThreads(std::chrono::milliseconds limit) {
  std::unique_lock lock(g_dialsMutex);
  return g_dialsEnded.wait_for(lock, limit, [] { return g_runningDials.empty(); });
}

void ReopenDialerForTesting() {
  std::lock_guard lock(g_dialsMutex);
  g_closed = false;
}

}  // namespace vpn
