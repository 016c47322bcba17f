// The main window's two refreshes of the service's state: the notice (until the API has
// answered once, then the start-up actions that wait for it) and the account's expiry date.
#include "api/api_texts.h"
#include "api/service_api.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "update/version_number.h"

void CTunvikDlg::RefreshNotice() {
  if (noticeSettled) return;
  api::NoticeReply reply;
  {
    std::lock_guard lock(apiMutex);
    reply = api::GetNotice(api);
  }
  if (reply.answered == api::Answered::kNone) {
    SetWindowText(text::Utf8ToGbk("正在连接服务器..."));
    SetDlgItemText(IDC_NOTICE, "");
    return;
  }
  KillTimer(kNoticeTimer);
  noticeSettled = true;

  std::string notice;
  if (reply.parsed) {
    notice = reply.msg;
    if (reply.answered == api::Answered::kPrimary) SetDlgItemText(IDC_NOTICE, notice);
    if (update::VersionNumber(reply.version) > update::VersionNumber(versionText)) {
      OnNewerVersionAnnounced(reply.version);
      // After a hand-over the new program makes its own start; this one only leaves.
      if (handedOver) return;
    }
  }
  SetWindowText("Quoril_v" + versionText);
  SetDlgItemText(IDC_NOTICE, notice);
  DeleteShares();
  int autoConnect = 0;
  ui::Invoke([&] { autoConnect = autoConnectFlag; });
  if (autoConnect == 1) StartAutoConnect();
}

void CTunvikDlg::RefreshDueDate() {
  AccountSnapshot account = TakeAccount();
  if (account.name.empty() || account.password.empty()) return;
  api::DueDateReply reply;
  {
    std::lock_guard lock(apiMutex);
    reply = api::GetDueDate(api, account.name, account.password);
  }
  if (reply.BothFailed()) return;
  if (reply.CodeIs("200")) {
    std::string date = reply.dueDate.value_or("");
    ui::Invoke([&] { dueDate = date; });
    settings::WriteProfileString(settings::kAccountConfig, settings::kDueDate, date, settingsPath);
    SetDlgItemText(IDC_DUE_DATE, date);
  } else if (reply.CodeIs("202")) {
    SignalStopEvent();
    SetConnectCaptionEnabled(text::Utf8ToGbk(kCaptionIdle));
    ShowStatus(api::DueDateExpiredStatus());
  }
}
