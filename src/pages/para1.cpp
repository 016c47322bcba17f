#include "pages/para1.h"

#include "app/resource.h"
#include "controls/close_thread_dlg.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "settings/program_dir.h"
#include "text/gbk.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

const ui::DialogTemplate kPara1Template{
    IDD_PARA1,
    "",
    311,
    117,
    ui::dialog_style::kChild,
    {
        {IDC_SERVER_LIST, ControlKind::kListView, "", 0, 2, 2, 170, 84, "服务器列表"},
        {ui::IDC_STATIC, ControlKind::kGroupBox, "掉线防封策略", 0, 176, 0, 76, 44},
        {IDC_OFFLINE_REDIAL, ControlKind::kRadioButton, "掉线自动重连", style::kGroup, 182, 10, 66,
         10},
        {IDC_OFFLINE_CLOSE, ControlKind::kRadioButton, "掉线关闭进程", 0, 182, 21, 66, 10},
        {IDC_OFFLINE_DISABLE, ControlKind::kRadioButton, "掉线自动断网", 0, 182, 32, 66, 10},
        {ui::IDC_STATIC, ControlKind::kGroupBox, "连接协议", style::kGroup, 176, 45, 76, 24},
        {IDC_PROTOCOL_L2TP, ControlKind::kRadioButton, "L2TP", style::kGroup, 182, 55, 32, 10},
        {IDC_PROTOCOL_PPTP, ControlKind::kRadioButton, "PPTP", 0, 216, 55, 32, 10},
        {IDC_CHOSEN_SERVER, ControlKind::kEdit, "", style::kReadOnly | style::kBorder, 176, 73, 76,
         12, "当前服务器"},
    }};

const std::string& ServerSuffix() {
  static const std::string suffix = text::Utf8ToGbk("#服务器");
  return suffix;
}

}  // namespace

CPara1::CPara1() : ui::Dialog(kPara1Template) {
  LoadSettings();
  OnItemClick(IDC_SERVER_LIST, [this](int row) { ChooseServer(row); });
  for (int id : {IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE, IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP}) {
    OnClicked(id, [this] { SaveSettings(); });
  }
  OnClicked(IDC_OFFLINE_CLOSE, [this] {
    SaveSettings();
    OpenCloseList();
  });
}

void CPara1::LoadSettings() {
  const std::string path = settings::SettingsPath();
  vpnStrategy = settings::GetProfileInt(settings::kHostConfig, settings::kVpnStrategy, 0, path);
  offlineStrategy =
      settings::GetProfileInt(settings::kHostConfig, settings::kOfflineStrategy, 0, path);
  serverNo = settings::GetProfileString(settings::kHostConfig, settings::kXolNo, "",
                                        settings::kXolNoLimit, path);
  serverHost = settings::GetProfileString(settings::kHostConfig, settings::kHost, "",
                                          settings::kHostLimit, path);
}

void CPara1::DoDataExchange(ui::DataExchange& dx) {
  // A value outside a group checks none of its radios, and a group without a checked radio
  // reads as -1.
  dx.Radio(IDC_OFFLINE_REDIAL, offlineStrategy);
  dx.Radio(IDC_PROTOCOL_L2TP, vpnStrategy);
}

bool CPara1::OnInitDialog() {
  ui::Dialog::OnInitDialog();

  ui::ListView list = GetListView(IDC_SERVER_LIST);
  list.SetExtendedStyle(list.GetExtendedStyle() | ui::LVS_EX_GRIDLINES | ui::LVS_EX_FULLROWSELECT);
  const int width = list.GetClientWidth();
  list.InsertColumn(0, text::Utf8ToGbk("服务器编号"), ui::ColumnFormat::kCentre, width / 4, 0);
  list.InsertColumn(1, text::Utf8ToGbk("服务器地区"), ui::ColumnFormat::kCentre,
                    static_cast<int>(width / 2.5), 1);
  list.InsertColumn(2, text::Utf8ToGbk("服务器状态"), ui::ColumnFormat::kCentre, width / 3, 2);
  list.InsertColumn(3, text::Utf8ToGbk("服务器状态"), ui::ColumnFormat::kCentre, 1, 3);

  SetTimer(kFetchTimer, 1000);
  SetDlgItemText(IDC_CHOSEN_SERVER, serverNo + ServerSuffix());
  return true;
}

void CPara1::OnTimer(int id) {
  if (id != kFetchTimer) return;
  KillTimer(kFetchTimer);
  ui::RunBackgroundTask(fetchTask, [this] { FetchServerList(); });
}

void CPara1::FetchServerList() {
  api::ServerListReply reply = api::GetVpnHost(api);
  if (reply.answered == api::Answered::kNone) {
    SetTimer(kFetchTimer, 1000);
    return;
  }
  if (!reply.isList) return;
  ui::ListView list = GetListView(IDC_SERVER_LIST);
  list.DeleteAllItems();
  const std::string normal = text::Utf8ToGbk("正常");
  for (std::size_t i = 0; i < reply.servers.size(); ++i) {
    const api::VpnServer& server = reply.servers[i];
    int row = list.InsertItem(static_cast<int>(i), server.vpnNo);
    list.SetItemText(row, 1, server.vpnAddress);
    list.SetItemText(row, 2, normal);
    list.SetItemText(row, 3, server.vpnHost);
  }
}

void CPara1::ChooseServer(int row) {
  if (row < 0) return;
  ui::ListView list = GetListView(IDC_SERVER_LIST);
  std::string number = list.GetItemText(row, 0);
  std::string host = list.GetItemText(row, 3);
  SetDlgItemText(IDC_CHOSEN_SERVER, number + ServerSuffix());
  serverNo = number;
  serverHost = host;
  SaveSettings();
}

void CPara1::SaveSettings() {
  UpdateData(true);
  const std::string path = settings::SettingsPath();
  settings::WriteProfileInt(settings::kHostConfig, settings::kVpnStrategy, vpnStrategy, path);
  settings::WriteProfileInt(settings::kHostConfig, settings::kOfflineStrategy, offlineStrategy,
                            path);
  settings::WriteProfileString(settings::kHostConfig, settings::kXolNo, serverNo, path);
  settings::WriteProfileString(settings::kHostConfig, settings::kHost, serverHost, path);
}

void CPara1::OpenCloseList() {
  CCloseThreadDlg::ShowModal(this);
}
