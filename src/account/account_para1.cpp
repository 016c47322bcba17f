#include "account/account_para1.h"

#include "account/browser.h"
#include "account/clipboard.h"
#include "app/resource.h"
#include "settings/deployment.h"
#include "text/gbk.h"

namespace {

using ui::ControlKind;

const ui::DialogTemplate kAccountPara1Template{
    IDD_ACCOUNT_PARA1,
    "",
    246,
    145,
    ui::dialog_style::kChild,
    {
        {IDC_REG_ADDRESS, ControlKind::kLabel, "注册地址：", 0, 16, 43, 155, 8},
        {IDC_REG_COPY, ControlKind::kButton, "复制", 0, 170, 37, 52, 18},
        {IDC_REG_OPEN, ControlKind::kButton, "浏览器打开", 0, 90, 95, 52, 18},
    }};

}  // namespace

CAccountPara1::CAccountPara1()
    : ui::Dialog(kAccountPara1Template),
      registerAddress(settings::CurrentDeployment().registerUrl) {
  OnClicked(IDC_REG_COPY, [this] { OnCopyRegAddress(); });
  OnClicked(IDC_REG_OPEN, [this] { OnOpenRegAddress(); });
}

bool CAccountPara1::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  SetDlgItemText(IDC_REG_ADDRESS, text::Utf8ToGbk("注册地址：") + registerAddress);
  return true;
}

void CAccountPara1::OnCopyRegAddress() {
  // A clipboard that cannot be opened leaves nothing to tell the user about.
  account::CopyTextToClipboard(registerAddress);
}

void CAccountPara1::OnOpenRegAddress() {
  account::OpenInBrowser(registerAddress);
}
