#include "app/main_window.h"

#include <cstdio>

#include "account/reg_dialog.h"
#include "app/about_dlg.h"
#include "app/desktop_presence.h"
#include "app/main_window_template.h"
#include "app/resource.h"
#include "controls/app_icon.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "ui/tab_pages.h"

namespace {

// The text of string resource 101, the About item of the window's menu.
const std::string& AboutMenuText() {
  static const std::string text = text::Utf8ToGbk("关于 Tunvik(&A)...");
  return text;
}

}  // namespace

CTunvikDlg::CTunvikDlg() : ui::Dialog(MainWindowTemplate()) {
  RegisterAppIcon();
  SetIconResource(IDR_MAINFRAME);
  LoadSettings();

  OnSelChange(IDC_TAB, [this] { OnTabSelChange(); });
  OnClicked(IDC_CONNECT, [this] { OnConnectButton(); });
  OnClicked(IDC_RESTORE_NETWORK, [this] {
    const bool anything = !disabledAdapters.empty();
    const bool allOn = RestoreNetwork();
    if (desktop && anything) desktop->NetworkRestored(allOn);
  });
  OnChanged(IDC_PROCESS_EDIT, [this] { SaveProcessFilter(); });
  OnClicked(IDC_AUTOSTART, [this] { ToggleAutostart(); });
  OnClicked(IDC_AUTOCONNECT, [this] { ToggleAutoConnect(); });
  OnClicked(IDC_ACCOUNT_BUTTON, [this] { OnAccountButton(); });
  vpn::SetDialerView(this);
}

CTunvikDlg::~CTunvikDlg() {
  vpn::SetDialerView(nullptr);
}

void CTunvikDlg::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_ACCOUNT, accountName);
  dx.Text(IDC_PASSWORD, accountPassword);
  dx.Text(IDC_PROCESS_EDIT, processFilter);
  dx.Text(IDC_DUE_DATE, dueDate);
  // The first exchange attaches the drop target to its edit; later ones find it attached.
  processEdit.Attach(*this, IDC_PROCESS_EDIT);
  dx.Check(IDC_AUTOSTART, autostartFlag);
  dx.Check(IDC_AUTOCONNECT, autoConnectFlag);
}

bool CTunvikDlg::OnInitDialog() {
  ui::Dialog::OnInitDialog();

  if (!AboutMenuText().empty()) {
    AppendSystemMenuItem(0, "");
    AppendSystemMenuItem(IDM_ABOUTBOX, AboutMenuText());
  }
  SetIconResource(IDR_MAINFRAME);

  ui::TabControl tabs = GetTabControl(IDC_TAB);
  tabs.InsertItem(0, text::Utf8ToGbk("服务器"));
  tabs.InsertItem(1, text::Utf8ToGbk("虚拟信息"));
  tabs.InsertItem(2, text::Utf8ToGbk("帮助中心"));
  page1.Create(*this, IDC_TAB);
  page2.Create(*this, IDC_TAB);
  page3.Create(*this, IDC_TAB);

  const ui::Rect area = ui::TabPageArea(tabs.GetClientRect());
  for (ui::Dialog* page : {static_cast<ui::Dialog*>(&page1), static_cast<ui::Dialog*>(&page2),
                           static_cast<ui::Dialog*>(&page3)}) {
    page->SetWindowPos(area);
  }
  page1.ShowWindow(true);
  page2.ShowWindow(true);
  page3.ShowWindow(false);
  ui::ShowOnlyPage({&page1, &page2, &page3}, 0);
  tabs.SetCurSel(0);

  SetUpProcessListColumns();
  startupPids.reserve(1000);

  SetTimer(kProcessListTimer, 20000);
  SetTimer(kNoticeTimer, 1500);
  // Files are dropped onto the window from any program of the desktop session; there is no
  // integrity level whose messages would have to be admitted first.
  SetTimer(kSupervisionTimer, 1000);
  SetTimer(kExpiryTimer, 3600000);

  RecordStartupPids();
  ScanConnections();

  updateState =
      settings::GetProfileInt(settings::kHostConfig, settings::kUpdateState, 0, settingsPath);
  if (updateState == 1) SetTimer(kUpdateCleanUpTimer, 3000);
  if (desktop) desktop->Start();
  return true;
}

void CTunvikDlg::SetUpProcessListColumns() {
  ui::ListView list = GetListView(IDC_PROCESS_LIST);
  list.SetExtendedStyle(list.GetExtendedStyle() | ui::LVS_EX_GRIDLINES | ui::LVS_EX_FULLROWSELECT);
  const int width = list.GetClientWidth();
  list.InsertColumn(0, "PID", ui::ColumnFormat::kCentre, width / 8, 0);
  list.InsertColumn(1, text::Utf8ToGbk("进程名"), ui::ColumnFormat::kCentre, width / 3, 1);
  list.InsertColumn(2, text::Utf8ToGbk("连接IP地址"), ui::ColumnFormat::kCentre, width / 3, 2);
}

void CTunvikDlg::OnTabSelChange() {
  ui::ShowOnlyPage({&page1, &page2, &page3}, GetTabControl(IDC_TAB).GetCurSel());
}

void CTunvikDlg::OnSysCommand(unsigned commandId) {
  if ((commandId & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal(this);
  } else if (commandId == ui::SC_MINIMIZE) {
    Minimize();
  } else if (commandId == ui::SC_CLOSE) {
    // The question is asked whenever the close is requested, also inside a wait; a request that
    // comes while it is open (or while the program leaves) adds nothing.
    if (exitQuestionOpen || leaving) return;
    exitQuestionOpen = true;
    const bool yes = MessageBox(text::Utf8ToGbk("确定退出吗？"), text::Utf8ToGbk("退出"),
                                ui::MB_YESNO) == ui::IDYES;
    exitQuestionOpen = false;
    if (yes) LeaveProgram();
  } else {
    ui::Dialog::OnSysCommand(commandId);
  }
}

bool CTunvikDlg::PreTranslateMessage(int key) {
  return key == ui::VK_ESCAPE || key == ui::VK_RETURN;
}

void CTunvikDlg::SignalAndCloseStopEvent() {
  if (vpn::EventPtr event = stopEvent.exchange(nullptr)) event->Set();
}

void CTunvikDlg::LeaveProgram() {
  if (!ui::IsUiThread()) {
    ui::Invoke([this] { LeaveProgram(); });
    return;
  }
  if (leaving.exchange(true)) return;
  for (int id : {kProcessListTimer, kNoticeTimer, kSupervisionTimer, kRedialTimer, kExpiryTimer,
                 kUpdateCleanUpTimer, kSupervisionSoonTimer}) {
    KillTimer(id);
  }
  page1.KillTimer(CPara1::kFetchTimer);
  ShowWindow(false);
  vpn::CloseDialer();
  SignalAndCloseStopEvent();
  // The dial threads still write their last texts into the (hidden) window, so the wait pumps.
  ui::RunBackgroundTask(leaveTask, [] {
    if (!vpn::WaitForDialThreads(kLeaveWait)) {
      std::fprintf(stderr, "tunvik: the connection did not end within %lld ms; leaving anyway\n",
                   static_cast<long long>(kLeaveWait.count()));
    }
  });
  ui::EndProcess();
  // Only a test's stand-in for the end of the process returns here.
  PostClose();
}

bool CTunvikDlg::OnSecondStart() {
  if (leaving || handedOver) return false;
  std::fprintf(stderr, "tunvik: another start of the client brought this window to the front\n");
  BringToFront();
  return true;
}

void CTunvikDlg::OnAccountButton() {
  if (IsDlgButtonChecked(IDC_ACCOUNT_BUTTON) == ui::BST_CHECKED) {
    CRegDialog dialog;
    dialog.DoModal(this);
    CheckDlgButton(IDC_ACCOUNT_BUTTON, ui::BST_UNCHECKED);
  }
  LoadSettings();
  SetDlgItemText(IDC_ACCOUNT, accountName);
  SetDlgItemText(IDC_PASSWORD, accountPassword);
  ui::RunBackgroundTask(expiryTask, [this] { RefreshDueDate(); });
}
