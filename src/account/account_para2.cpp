#include "account/account_para2.h"

#include "account/field_checks.h"
#include "api/api_texts.h"
#include "app/resource.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

constexpr std::uint32_t kEditStyle = style::kBorder | style::kAutoHScroll;

const ui::DialogTemplate kAccountPara2Template{
    IDD_ACCOUNT_PARA2,
    "",
    245,
    148,
    ui::dialog_style::kChild,
    {
        {ui::IDC_STATIC, ControlKind::kLabel, "用户名", 0, 18, 12, 25, 8},
        {ui::IDC_STATIC, ControlKind::kLabel, "密码", 0, 18, 40, 17, 8},
        {ui::IDC_STATIC, ControlKind::kLabel, "充值卡号", 0, 18, 69, 33, 8},
        {IDC_RECHARGE_USER, ControlKind::kEdit, "", kEditStyle, 54, 10, 144, 14},
        {IDC_RECHARGE_PASSWORD, ControlKind::kEdit, "", kEditStyle, 54, 38, 143, 14},
        {IDC_RECHARGE_CARD, ControlKind::kEdit, "", kEditStyle, 54, 66, 144, 14},
        {IDC_RECHARGE, ControlKind::kButton, "充值/续费", 0, 85, 89, 52, 18},
    }};

}  // namespace

CAccountPara2::CAccountPara2() : CAccountActionPage(kAccountPara2Template) {
  OnClicked(IDC_RECHARGE, [this] { OnRecharge(); });
}

void CAccountPara2::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_RECHARGE_USER, userName);
  dx.Text(IDC_RECHARGE_PASSWORD, password);
  dx.Text(IDC_RECHARGE_CARD, cardNo);
}

void CAccountPara2::OnRecharge() {
  RunAction(IDC_RECHARGE, [this] {
    UpdateData(true);
    const std::string error = account::FirstFieldError({{account::kUserNameField, userName},
                                                        {account::kPasswordField, password},
                                                        {account::kCardNumberField, cardNo}});
    if (!error.empty()) {
      MessageBox(error);
      return;
    }
    Recharge();
  });
}

void CAccountPara2::Recharge() {
  // The worker reads its own copies, so nothing it uses changes while it runs.
  const std::string name = userName, pass = password, card = cardNo;
  api::CodeReply reply;
  if (!SendInBackground([&] { reply = api::Recharge(api, name, pass, card); })) return;
  if (reply.BothFailed()) return;

  MessageBox(api::RechargeMessage(reply));
  if (!reply.CodeIs("200")) return;

  cardNo.clear();
  SetDlgItemText(IDC_RECHARGE_CARD, "");
  const std::string base = api::AnsweredBase(api, reply.answered);
  SendInBackground([&] { api::SendRechargeFollowUp(api, name, pass, base); });
}
