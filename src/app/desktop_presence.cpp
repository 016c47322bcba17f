#include "app/desktop_presence.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

#include "api/api_texts.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "ui/notifications.h"
#include "update/package_update.h"

namespace {

// Days an expiry is told ahead.
constexpr int kExpiryWarningDays = 3;

// The date at the start of an expiry text ("2027-01-31", "2027/1/31", also with a time after it),
// or nullopt when it holds none.
std::optional<std::chrono::sys_days> DateOf(const std::string& text) {
  int year = 0, month = 0, day = 0;
  char first = 0, second = 0;
  if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d", &year, &first, &month, &second, &day) != 5 ||
      first != second || (first != '-' && first != '/')) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_days(date);
}

std::chrono::sys_days Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::chrono::sys_days(
      std::chrono::year_month_day{std::chrono::year(local.tm_year + 1900),
                                  std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                  std::chrono::day(static_cast<unsigned>(local.tm_mday))});
}

void Tell(ui::NotificationTopic topic, const std::string& summaryUtf8, const std::string& bodyGbk,
          const char* category, bool critical = false) {
  ui::Notification n;
  n.topic = topic;
  n.summary = text::Utf8ToGbk(summaryUtf8);
  n.body = bodyGbk;
  n.category = category;
  n.critical = critical;
  n.iconResource = IDR_MAINFRAME;
  ui::Notify(n);
}

// The menu's words for what the Connect button does now: its caption without the blank that
// spreads it over the button.
std::string MenuWordsOf(const std::string& captionGbk) {
  if (captionGbk == text::Gbk(kCaptionIdle)) return text::Gbk("连接");
  if (captionGbk == text::Gbk(kCaptionConnected)) return text::Gbk("断开");
  return captionGbk;
}

}  // namespace

CDesktopPresence::CDesktopPresence(CTunvikDlg& window) : window_(window) {}

CDesktopPresence::~CDesktopPresence() = default;

void CDesktopPresence::Start() {
  if (started_) return;
  started_ = true;
  tray_ = std::make_unique<ui::TrayIcon>(IDR_MAINFRAME);
  CTunvikDlg& window = window_;
  tray_->AddMenuItem(kShowWindow, text::Gbk("显示主窗口"), [&window] { window.BringToFront(); });
  tray_->AddMenuItem(kConnect, MenuWordsOf(text::Gbk(kCaptionIdle)),
                     [&window] { window.ClickDlgItem(IDC_CONNECT); });
  tray_->AddMenuItem(kRestoreNetwork, text::Gbk("恢复网络"),
                     [&window] { window.ClickDlgItem(IDC_RESTORE_NETWORK); });
  tray_->AddMenuSeparator();
  // The same question as the window's close request, which also keeps a second one from opening.
  tray_->AddMenuItem(kExit, text::Gbk("退出"), [&window] { window.OnSysCommand(ui::SC_CLOSE); });
  tray_->OnActivated([&window] { window.BringToFront(); });
  Follow();
  caption_ = window_.GetDlgItemText(IDC_CONNECT);
  UpdateTray();
  DueDateSeen();
  tray_->Show();
}

void CDesktopPresence::Follow() {
  auto watch = [this](int id, void (CDesktopPresence::*seen)()) {
    std::weak_ptr<int> alive = lifetime_;
    window_.WatchDlgItem(id, [this, alive, seen] {
      if (!alive.expired()) (this->*seen)();
    });
  };
  watch(IDC_CONNECT, &CDesktopPresence::CaptionSeen);
  watch(IDC_STATUS, &CDesktopPresence::StatusSeen);
  watch(IDC_RESTORE_NETWORK, &CDesktopPresence::UpdateTray);
  watch(IDC_DUE_DATE, &CDesktopPresence::DueDateSeen);
  watch(0, &CDesktopPresence::UpdateTray);
}

void CDesktopPresence::CaptionSeen() {
  const std::string caption = window_.GetDlgItemText(IDC_CONNECT);
  if (caption != caption_) {
    caption_ = caption;
    if (caption == text::Gbk(kCaptionConnected)) {
      upSinceLastDrop_ = true;
      networkOff_ = false;
      const std::string place = window_.serverNo.empty()
                                    ? text::Gbk("服务器连接成功")
                                    : window_.serverNo + text::Gbk(" #服务器连接成功");
      Tell(ui::NotificationTopic::kConnection, "VPN 已连接", place, "network.connected");
    }
  }
  UpdateTray();
}

void CDesktopPresence::StatusSeen() {
  const std::string status = window_.GetDlgItemText(IDC_STATUS);
  api::CodeReply expired;
  expired.answered = api::Answered::kPrimary;
  expired.code = "202";
  if ((status == api::DueDateExpiredStatus() || status == api::ContactServerStatus(expired)) &&
      !expiryTold_) {
    expiryTold_ = true;
    NotifyAccount("账号已到期", "使用时间已到期，请充值续费后再连接");
  }
  UpdateTray();
}

void CDesktopPresence::DueDateSeen() {
  const std::string dueDate = window_.GetDlgItemText(IDC_DUE_DATE);
  std::optional<std::chrono::sys_days> date = DateOf(dueDate);
  if (!date) return;
  const int daysLeft = static_cast<int>((*date - Today()).count());
  if (daysLeft > kExpiryWarningDays) {
    // A recharge moved the date on: a later expiry is told again.
    expiryTold_ = false;
    dueDateTold_.clear();
    return;
  }
  if (dueDate == dueDateTold_) return;
  dueDateTold_ = dueDate;
  if (daysLeft < 0) {
    if (expiryTold_) return;
    expiryTold_ = true;
    NotifyAccount("账号已到期", "到期时间：" + text::GbkToUtf8(dueDate) + "，请充值续费后再连接");
  } else {
    const std::string when = daysLeft == 0 ? "今天" : std::to_string(daysLeft) + " 天后";
    NotifyAccount("账号即将到期",
                  "账号将于" + when + "到期（" + text::GbkToUtf8(dueDate) + "），请及时充值续费");
  }
}

void CDesktopPresence::NotifyAccount(const std::string& summaryUtf8, const std::string& bodyUtf8) {
  Tell(ui::NotificationTopic::kAccount, summaryUtf8, text::Utf8ToGbk(bodyUtf8), "");
}

void CDesktopPresence::Dropped(int strategy, int redialDelayMs) {
  if (!started_) return;
  const bool wasUp = upSinceLastDrop_;
  upSinceLastDrop_ = false;
  const std::string summary = wasUp ? "VPN 连接已断开" : "VPN 连接失败";
  std::string body;
  bool critical = false;
  switch (strategy) {
    case 0:
      // A failed redial is a stage of the redialling, not a drop of its own.
      if (!wasUp) break;
      body = std::to_string((redialDelayMs + 999) / 1000) + " 秒后自动重连";
      break;
    case 1:
      body = "已按掉线策略关闭指定进程";
      break;
    case 2:
      critical = true;
      networkOff_ = !window_.disabledAdapters.empty();
      body = networkOff_ ? "已自动断网，点击“恢复网络”恢复上网" : "掉线自动断网未能断开任何网卡";
      break;
    default:
      if (wasUp) body = "未设置掉线策略，请手动重新连接";
      break;
  }
  if (!body.empty()) {
    Tell(ui::NotificationTopic::kConnection, summary, text::Utf8ToGbk(body), "network.disconnected",
         critical);
  }
  UpdateTray();
}

void CDesktopPresence::NetworkRestored(bool allOn) {
  if (!started_) return;
  if (allOn) {
    networkOff_ = false;
    Tell(ui::NotificationTopic::kConnection, "网络已恢复", text::Gbk("已重新启用网卡"), "network");
  }
  UpdateTray();
}

void CDesktopPresence::NewerVersionOffered(const std::string& version, bool byPackage) {
  ui::Invoke([&] {
    if (!started_ || !versionsTold_.insert(version).second) return;
    // The version comes from the network: shown only when it is a plain version number.
    std::string body =
        update::IsPlainVersion(version) ? "Quoril " + version + " 已发布" : "新版本已发布";
    if (byPackage) body += "，请通过系统的软件包管理器更新本程序";
    Tell(ui::NotificationTopic::kUpdate, "发现新版本", text::Utf8ToGbk(body), "");
  });
}

void CDesktopPresence::UpdateTray() {
  if (!tray_) return;
  const std::string caption = window_.GetDlgItemText(IDC_CONNECT);
  ui::TrayState state = ui::TrayState::kConnecting;
  if (caption == text::Gbk(kCaptionConnected)) {
    state = ui::TrayState::kConnected;
  } else if (caption == text::Gbk(kCaptionIdle)) {
    state = networkOff_ ? ui::TrayState::kNetworkOff : ui::TrayState::kIdle;
  }
  tray_->SetState(state);
  tray_->SetToolTip(window_.GetWindowText() + "\n" + window_.GetDlgItemText(IDC_STATUS));
  tray_->SetMenuItem(kConnect, MenuWordsOf(caption), window_.IsDlgItemEnabled(IDC_CONNECT));
  tray_->SetMenuItem(kRestoreNetwork, text::Gbk("恢复网络"),
                     window_.IsDlgItemEnabled(IDC_RESTORE_NETWORK));
}
