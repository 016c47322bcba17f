// CAccountPara1, the register page of the account dialog: shows the address of the service's
// registration web page, copies it to the clipboard and opens it in the browser.
#pragma once

#include <string>

#include "ui/dialog.h"

// The label that shows the registration address; its text is set when the page opens.

class CAccountPara1 : public ui::Dialog {
 public:
  CAccountPara1();

  // Shows "注册地址：" followed by the registration address in the label.
  bool OnInitDialog() override;

  // Handler of button 1032: puts the registration address on the clipboard; nothing happens
  // when the clipboard cannot be opened.
  void OnCopyRegAddress();
  // Handler of button 1034: opens the registration address in the default browser; the outcome
  // is not checked.
  void OnOpenRegAddress();

  // The registration web address (GBK), the deployment's unless a test sets another.
  std::string registerAddress;
};
