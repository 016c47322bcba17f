// The connect workflow of the main window: the Connect button, the attempts of the user and the
// automatic ones, the login at the service and the start of the dial.
#include <ctime>
#include <thread>

#include "api/api_texts.h"
#include "api/service_api.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "vpn/dialer.h"

namespace {

// The local time as the start-time label shows it, e.g. 03月07日09时05分31秒.
std::string StartTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[128];
  std::size_t n =
      std::strftime(buffer, sizeof buffer, text::Gbk("%m月%d日%H时%M分%S秒").c_str(), &local);
  return std::string(buffer, n);
}

}  // namespace

void CTunvikDlg::OnConnectButton() {
  if (leaving) return;
  UpdateData(true);
  std::string caption = GetDlgItemText(IDC_CONNECT);
  if (caption == text::Gbk(kCaptionIdle)) {
    StartUserConnect();
  } else if (caption == text::Gbk(kCaptionConnected)) {
    dropWatchArmed = false;
    SignalStopEvent();
    EnableDlgItem(IDC_CONNECT, false);
    SetDlgItemText(IDC_CONNECT, text::Gbk(kCaptionDisconnecting));
  }
}

void CTunvikDlg::StartUserConnect() {
  ui::RunBackgroundTask(userConnectTask, [this] { RunConnectAttempt(false); });
}

void CTunvikDlg::StartAutoConnect() {
  ui::RunBackgroundTask(autoConnectTask, [this] { RunConnectAttempt(true); });
}

void CTunvikDlg::RunConnectAttempt(bool automatic) {
  if (leaving) return;
  AccountSnapshot account = TakeAccount();
  std::string caption = GetDlgItemText(IDC_CONNECT);
  if (account.name.empty()) {
    MessageBox(text::Gbk("用户名不能为空"));
    SelectEditText(IDC_ACCOUNT);
    SetFocusItem(IDC_ACCOUNT);
    return;
  }
  if (account.password.empty()) {
    MessageBox(text::Gbk("密码不能为空"));
    SelectEditText(IDC_PASSWORD);
    SetFocusItem(IDC_PASSWORD);
    return;
  }
  std::string chosenNo, chosenHost;
  int protocol = 0;
  ui::Invoke([&] {
    chosenNo = page1.GetServerNo();
    chosenHost = page1.GetServerHost();
    protocol = page1.vpnStrategy;
    serverNo = chosenNo;
  });
  if (chosenNo.empty()) {
    MessageBox(text::Gbk("请选择服务器"));
    return;
  }
  ui::Invoke([&] { serverHost = chosenHost; });
  if (caption != text::Gbk(kCaptionIdle)) return;

  // The caption is read again and taken in one step on the window thread: of two attempts that
  // both read "连 接" above (a click and a redial, say), only one goes on.
  bool claimed = false;
  ui::Invoke([&] {
    if (leaving || GetDlgItemText(IDC_CONNECT) != text::Gbk(kCaptionIdle)) return;
    claimed = true;
    SetDlgItemText(IDC_CONNECT, text::Gbk(kCaptionConnecting));
    lastButtonText = text::Gbk(kCaptionConnecting);
    EnableDlgItem(IDC_CONNECT, false);
    if (automatic) dropWatchArmed = true;
  });
  if (!claimed) return;
  try {
    LogInAndDial(chosenHost, chosenNo, std::to_string(protocol));
  } catch (...) {
    // The attempt broke off: the button is given back, so that the window (and, when the
    // drop watch is armed, the redial) goes on.
    SetConnectCaptionEnabled(text::Gbk(kCaptionIdle));
    throw;
  }
}

void CTunvikDlg::LogInAndDial(const std::string& host, const std::string& number,
                              const std::string& protocolText) {
  SetDlgItemText(IDC_START_TIME, StartTimeText());
  vpn::SetStatus("%s", text::Gbk("正在连接中！").c_str());
  SaveAccount();
  AccountSnapshot account = TakeAccount();

  api::DueDateReply reply;
  {
    std::lock_guard lock(apiMutex);
    reply = api::ContactServer(api, account.name, account.password, number);
  }

  if (!reply.CodeIs("200")) {
    EnableDlgItem(IDC_CONNECT, true);
    SetDlgItemText(IDC_CONNECT, text::Gbk(kCaptionIdle));
    ShowStatus(api::ContactServerStatus(reply));
    return;
  }

  auto event = std::make_shared<vpn::Event>();
  event->Reset();
  account = TakeAccount();
  vpn::DialRequest request;
  request.entryName = "XOL";
  request.phoneNumber = host;
  request.userName = account.name;
  request.password = account.password;
  request.stopEvent = event;
  request.protocol = protocolText;
  UpdateData(false);
  if (auto refusal = vpn::RefusalOfOversizedFields(request)) {
    ShowStatus(*refusal);
    SetConnectCaptionEnabled(text::Gbk(kCaptionIdle));
    return;
  }
  stopEvent.store(event);
  // Once the program has started to leave (the login may have waited for its answer across the
  // exit), the dialer starts nothing.
  if (!vpn::StartDialThread(request)) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (reply.dueDate) {
    ui::Invoke([&] { dueDate = *reply.dueDate; });
    settings::WriteProfileString(settings::kAccountConfig, settings::kDueDate, *reply.dueDate,
                                 settingsPath);
    SetDlgItemText(IDC_DUE_DATE, *reply.dueDate);
  }
}
