#include "app/about_dlg.h"

#include "app/resource.h"

namespace {

constexpr int IDC_ABOUT_ICON = 1050;

const ui::DialogTemplate kAboutTemplate{
    IDD_ABOUTBOX,
    "关于 Tunvik",
    170,
    62,
    ui::dialog_style::kCentre,
    {
        {IDC_ABOUT_ICON, ui::ControlKind::kLabel, "", 0, 14, 14, 21, 20, "Tunvik 图标"},
        {ui::IDC_STATIC, ui::ControlKind::kLabel, "Tunvik，1.0 版", 0, 42, 14, 114, 8},
        {ui::IDOK, ui::ControlKind::kButton, "确定", 0, 113, 41, 50, 14},
    }};

}  // namespace

CAboutDlg::CAboutDlg() : ui::Dialog(kAboutTemplate) {
  OnClicked(ui::IDOK, [this] { EndDialog(ui::IDOK); });
}

bool CAboutDlg::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  SetIconResource(IDR_MAINFRAME);
  SetDlgItemIcon(IDC_ABOUT_ICON, IDR_MAINFRAME);
  return true;
}
