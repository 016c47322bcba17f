#include "account/account_para3.h"

#include "account/field_checks.h"
#include "api/api_texts.h"
#include "app/resource.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

constexpr std::uint32_t kEditStyle = style::kBorder | style::kAutoHScroll;

const ui::DialogTemplate kAccountPara3Template{
    IDD_ACCOUNT_PARA3,
    "",
    252,
    150,
    ui::dialog_style::kChild,
    {
        {ui::IDC_STATIC, ControlKind::kLabel, "用户名", 0, 18, 12, 25, 8},
        {ui::IDC_STATIC, ControlKind::kLabel, "新密码", 0, 18, 69, 25, 8},
        {IDC_CHANGE_USER, ControlKind::kEdit, "", kEditStyle, 54, 10, 144, 14},
        {IDC_CHANGE_NEW_PASSWORD, ControlKind::kEdit, "", kEditStyle, 54, 66, 144, 14},
        {IDC_CHANGE, ControlKind::kButton, "修改", 0, 85, 89, 52, 18},
        {ui::IDC_STATIC, ControlKind::kLabel, "超级密码", 0, 18, 40, 33, 8},
        {IDC_CHANGE_SUPER_PASSWORD, ControlKind::kEdit, "", kEditStyle, 54, 38, 143, 14},
    }};

}  // namespace

CAccountPara3::CAccountPara3() : CAccountActionPage(kAccountPara3Template) {
  OnClicked(IDC_CHANGE, [this] { OnChangePassword(); });
}

void CAccountPara3::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_CHANGE_USER, userName);
  dx.Text(IDC_CHANGE_SUPER_PASSWORD, superPassword);
  dx.Text(IDC_CHANGE_NEW_PASSWORD, newPassword);
}

void CAccountPara3::OnChangePassword() {
  RunAction(IDC_CHANGE, [this] {
    UpdateData(true);
    const std::string error =
        account::FirstFieldError({{account::kUserNameField, userName},
                                  {account::kSuperPasswordField, superPassword},
                                  {account::kNewPasswordField, newPassword}});
    if (!error.empty()) {
      MessageBox(error);
      return;
    }
    ChangePassword();
  });
}

void CAccountPara3::ChangePassword() {
  const std::string name = userName, superKey = superPassword, fresh = newPassword;
  api::CodeReply reply;
  if (!SendInBackground([&] { reply = api::ChangePassword(api, name, superKey, fresh); })) return;
  if (reply.BothFailed()) return;
  MessageBox(api::ChangePasswordMessage(reply));
}
