// The main window as the dialer sees it: the status line, the Connect button, the stop event and
// the account the attempt takes.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/main_window.h"
#include "app/resource.h"
#include "text/gbk.h"
#include "ui/application.h"

namespace {

// Writes "[HH:MM:SS.mmm] text" to standard error, the text in UTF-8 without its line ends.
void LogStatus(std::string_view gbk) {
  std::string shown = text::GbkToUtf8(gbk);
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  std::fprintf(stderr, "[%02d:%02d:%02d.%03d] %s\n", local.tm_hour, local.tm_min, local.tm_sec,
               static_cast<int>(millis.count()), shown.c_str());
  std::fflush(stderr);
}

}  // namespace

void CTunvikDlg::ShowStatus(std::string_view gbk) {
  ui::Invoke([&] {
    SetDlgItemText(IDC_STATUS, gbk);
    ++statusGeneration;
    if (gbk != lastLoggedStatus) {
      lastLoggedStatus = std::string(gbk);
      LogStatus(gbk);
    }
  });
}

void CTunvikDlg::SetConnectCaptionEnabled(std::string_view gbk) {
  ui::Invoke([&] {
    EnableDlgItem(IDC_CONNECT, true);
    const bool toIdle = gbk == text::Gbk(kCaptionIdle) && GetDlgItemText(IDC_CONNECT) != gbk;
    SetDlgItemText(IDC_CONNECT, gbk);
    // A connection that went away is acted on by the next supervision tick; it comes now rather
    // than up to a second later. The supervision itself decides, as on every tick, whether the
    // change is a drop. Its timer is the window's, so no tick outlives the window.
    if (toIdle && IsTimerRunning(kSupervisionTimer)) SetTimer(kSupervisionSoonTimer, 0);
  });
}

void CTunvikDlg::RunInView(const std::function<void()>& fn) {
  ui::Invoke(fn);
}

void CTunvikDlg::SignalStopEvent() {
  if (vpn::EventPtr event = stopEvent.load()) event->Set();
}

CTunvikDlg::AccountSnapshot CTunvikDlg::TakeAccount() {
  AccountSnapshot account;
  ui::Invoke([&] {
    UpdateData(true);
    account.name = accountName;
    account.password = accountPassword;
  });
  return account;
}
