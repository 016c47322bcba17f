#include "account/reg_dialog.h"

#include "app/resource.h"
#include "text/gbk.h"
#include "ui/tab_pages.h"

namespace {

const ui::DialogTemplate kRegDialogTemplate{
    IDD_REG_DIALOG,
    "XOL_VPN 注册",
    245,
    141,
    0,
    {
        {IDC_REG_TAB, ui::ControlKind::kTab, "", 0, 7, 7, 231, 127},
    }};

}  // namespace

CRegDialog::CRegDialog() : ui::Dialog(kRegDialogTemplate) {
  OnSelChange(IDC_REG_TAB, [this] { OnTabChange(); });
  auto closeIfPending = [this] {
    if (closePending_ && !PageActing()) EndDialog(ui::IDCANCEL);
  };
  rechargePage.onActionEnded = closeIfPending;
  passwordPage.onActionEnded = closeIfPending;
}

bool CRegDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();

  ui::TabControl tabs = GetTabControl(IDC_REG_TAB);
  tabs.InsertItem(0, text::Utf8ToGbk("注册"));
  tabs.InsertItem(1, text::Utf8ToGbk("充值续费"));
  tabs.InsertItem(2, text::Utf8ToGbk("修改密码"));
  registerPage.Create(*this, IDC_REG_TAB);
  rechargePage.Create(*this, IDC_REG_TAB);
  passwordPage.Create(*this, IDC_REG_TAB);

  const ui::Rect area = ui::TabPageArea(tabs.GetClientRect());
  registerPage.SetWindowPos(area);
  rechargePage.SetWindowPos(area);
  passwordPage.SetWindowPos(area);
  registerPage.ShowWindow(true);
  rechargePage.ShowWindow(true);
  passwordPage.ShowWindow(false);
  ui::ShowOnlyPage({&registerPage, &rechargePage, &passwordPage}, 0);
  tabs.SetCurSel(0);
  return true;
}

void CRegDialog::OnTabChange() {
  static constexpr std::string_view kCaptions[] = {"XOL_VPN 注册", "XOL_VPN 充值续费",
                                                   "XOL_VPN 修改密码"};
  const int index = GetTabControl(IDC_REG_TAB).GetCurSel();
  if (index < 0 || index >= static_cast<int>(std::size(kCaptions))) return;
  SetWindowText(text::Gbk(kCaptions[index]));
  ui::ShowOnlyPage({&registerPage, &rechargePage, &passwordPage}, index);
}

void CRegDialog::OnOK() {}

void CRegDialog::OnCancel() {
  CloseWhenIdle();
}

void CRegDialog::OnClose() {
  CloseWhenIdle();
}

bool CRegDialog::PageActing() const {
  return rechargePage.Acting() || passwordPage.Acting();
}

void CRegDialog::CloseWhenIdle() {
  // Closing in the middle of a request would hide the window while its answer is still to be
  // shown, and leave the main window usable while this dialog's handler still waits.
  if (PageActing()) {
    closePending_ = true;
    return;
  }
  EndDialog(ui::IDCANCEL);
}
