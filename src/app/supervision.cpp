// The main window's timers and the supervision of the connection: once a second the status line
// and the Connect caption are read; error codes in the status line change the redial delay or
// stop the connection, a connection that has come up is announced, and a drop applies the
// user's offline strategy.
#include "app/desktop_presence.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"

void CTunvikDlg::OnTimer(int id) {
  switch (id) {
    case kProcessListTimer:
      RefreshProcessList();
      break;
    case kNoticeTimer:
      ui::RunBackgroundTask(noticeTask, [this] { RefreshNotice(); });
      break;
    case kSupervisionTimer:
      Supervise();
      break;
    case kSupervisionSoonTimer:
      KillTimer(kSupervisionSoonTimer);
      if (IsTimerRunning(kSupervisionTimer)) Supervise();
      break;
    case kRedialTimer:
      KillTimer(kRedialTimer);
      StartAutoConnect();
      break;
    case kExpiryTimer:
      ui::RunBackgroundTask(expiryTask, [this] { RefreshDueDate(); });
      break;
    case kUpdateCleanUpTimer:
      CleanUpAfterUpdate();
      break;
    default:
      break;
  }
}

void CTunvikDlg::Supervise() {
  statusText = GetDlgItemText(IDC_STATUS);
  const std::uint64_t generation = statusGeneration;
  redialDelay = 3000;
  const std::string status = statusText;

  errorPosition = -1;
  if (std::size_t p = text::Find(status, "error"); p != text::npos) {
    errorPosition = static_cast<int>(p);
    errorCode = p + 6 < status.size() ? status.substr(p + 6, 3) : std::string();
    ApplyErrorCode(ErrorMarker::kLower, errorCode, generation);
  }
  if (std::size_t p = text::Find(status, "ERROR:"); p != text::npos) {
    errorPosition = static_cast<int>(p);
    errorCode = p + 6 < status.size() ? status.substr(p + 6, 3) : std::string();
    ApplyErrorCode(ErrorMarker::kUpper, errorCode, generation);
  }

  buttonText = GetDlgItemText(IDC_CONNECT);
  if (buttonText == lastButtonText) return;
  lastButtonText = buttonText;
  if (buttonText == text::Gbk(kCaptionConnected)) {
    ShowStatus(serverNo + text::Gbk(" #服务器连接成功 状态 （正常）"));
    dropWatchArmed = true;
  } else if (buttonText == text::Gbk(kCaptionIdle) && dropWatchArmed) {
    offlineStrategy =
        settings::GetProfileInt(settings::kHostConfig, settings::kOfflineStrategy, 0, settingsPath);
    switch (offlineStrategy) {
      case 0:
        SetTimer(kRedialTimer, redialDelay);
        break;
      case 1:
        CloseListedPrograms();
        break;
      case 2:
        DisableNetwork();
        break;
      default:
        break;
    }
    if (desktop) desktop->Dropped(offlineStrategy, redialDelay);
  }
}

void CTunvikDlg::ApplyErrorCode(ErrorMarker marker, const std::string& code,
                                std::uint64_t statusWrite) {
  if (code == "789") {
    // A 789 is acted on once for each time it is written to the status line, and never while
    // the question of an earlier one is still open.
    if (statusWrite != fix789HandledWrite && !fix789Open) {
      fix789HandledWrite = statusWrite;
      fix789Open = true;
      Fix789();
      fix789Open = false;
    }
  } else if (code == "756") {
    ShowStatus(text::Gbk("正在连接中！稍后再拨"));
    redialDelay = 30000;
  } else if (marker == ErrorMarker::kLower && code == "668") {
    ShowStatus(text::Gbk("连接已断开"));
  } else if (marker == ErrorMarker::kUpper && code == "628") {
    SignalStopEvent();
  } else if (code == "404") {
    redialDelay = 5000;
  } else if (code == "800" || code == "809" || code == "807" || code == "868" || code == "806") {
    redialDelay = 30000;
  }
}
