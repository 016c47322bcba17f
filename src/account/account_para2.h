// CAccountPara2, the recharge page of the account dialog: recharges or renews an account with a
// prepaid card number and tells the service to refresh it afterwards.
#pragma once

#include <string>

#include "account/action_page.h"

class CAccountPara2 : public CAccountActionPage {
 public:
  CAccountPara2();

  // Binds userName, password and cardNo to edits 1032, 1033 and 1034.
  void DoDataExchange(ui::DataExchange& dx) override;

  // Handler of button 1035: checks user name, password and card number, sends recharge with the
  // fallback and shows its message; on success empties the card number and sends freshikuai to
  // the base address that answered. Both attempts failed shows nothing and keeps the form.
  void OnRecharge();

  std::string userName;  // edit 1032
  std::string password;  // edit 1033
  std::string cardNo;    // edit 1034

 private:
  void Recharge();
};
