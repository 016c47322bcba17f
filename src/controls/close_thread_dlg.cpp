#include "controls/close_thread_dlg.h"

#include "app/resource.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "settings/program_dir.h"
#include "text/gbk.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

const ui::DialogTemplate kCloseThreadTemplate{
    IDD_CLOSE_THREAD,
    "掉线关闭指定进程",
    349,
    138,
    0,
    {
        {ui::IDC_STATIC, ControlKind::kLabel, "关闭进程", 0, 7, 9, 34, 8},
        {IDC_CLOSE_LIST, ControlKind::kEdit, "",
         style::kMultiLine | style::kWantReturn | style::kVScroll | style::kBorder |
             style::kAcceptFiles,
         44, 7, 248, 98},
        {ui::IDC_STATIC, ControlKind::kLabel, "←拖进进程", 0, 297, 9, 45, 8},
        {ui::IDC_STATIC, ControlKind::kLabel, "使用方法：一行一个进程路径", 0, 44, 113, 180, 8},
        {IDC_CLOSE_SAVE, ControlKind::kButton, "保存设置", 0, 292, 110, 50, 16},
    }};

}  // namespace

CCloseThreadDlg::CCloseThreadDlg() : ui::Dialog(kCloseThreadTemplate) {
  LoadSettings();
  OnChanged(IDC_CLOSE_LIST, [this] { OnListChanged(); });
  OnClicked(IDC_CLOSE_SAVE, [this] { SaveCloseList(); });
}

void CCloseThreadDlg::ShowModal(ui::Dialog* owner) {
  CCloseThreadDlg dialog;
  dialog.DoModal(owner);
}

void CCloseThreadDlg::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_CLOSE_LIST, listText);
  // The first exchange attaches the drop target to its edit; later ones find it attached.
  closeList.Attach(*this, IDC_CLOSE_LIST);
}

void CCloseThreadDlg::LoadSettings() {
  // Read whole: a list cut short would silently leave programs running after a drop.
  const std::string stored =
      settings::GetProfileString(settings::kHardwareConfig, settings::kClosingProcess, "",
                                 settings::kClosingProcessLimit, settings::SettingsPath());
  listText = text::ReplaceAll(stored, "|", "\r\n");
  closeList.accumulatedText = listText;
}

void CCloseThreadDlg::OnListChanged() {
  listText = GetDlgItemText(IDC_CLOSE_LIST);
  closeList.accumulatedText = listText;
}

void CCloseThreadDlg::SaveCloseList() {
  listText = GetDlgItemText(IDC_CLOSE_LIST);
  std::string value = text::ReplaceAll(listText, "\r\n", "|");
  // A line break of another form separates two paths all the same; the settings file cannot
  // hold one inside a value.
  value = text::ReplaceAll(text::ReplaceAll(value, "\r", "|"), "\n", "|");
  const std::string path = settings::SettingsPath();
  const bool saved =
      !path.empty() && settings::WriteProfileString(settings::kHardwareConfig,
                                                    settings::kClosingProcess, value, path);
  MessageBox(text::Utf8ToGbk(saved ? "保存成功！" : "保存失败！"));
}
