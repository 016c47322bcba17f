// CAccountPara3, the change-password page of the account dialog: sets a new password with the
// account's super password.
#pragma once

#include <string>

#include "account/action_page.h"

class CAccountPara3 : public CAccountActionPage {
 public:
  CAccountPara3();

  // Binds userName, superPassword and newPassword to edits 1022, 1036 and 1025.
  void DoDataExchange(ui::DataExchange& dx) override;

  // Handler of button 1026: checks user name, super password and new password, sends changePwd
  // with the fallback and shows its message. Both attempts failed shows nothing. Neither the
  // settings file nor the main window's password is changed.
  void OnChangePassword();

  std::string userName;       // edit 1022
  std::string superPassword;  // edit 1036
  std::string newPassword;    // edit 1025

 private:
  void ChangePassword();
};
