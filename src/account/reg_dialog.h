// CRegDialog, the account dialog: a modal window whose tab control holds the register, recharge
// and change-password pages. The main window opens it with DoModal(this).
#pragma once

#include "account/account_para1.h"
#include "account/account_para2.h"
#include "account/account_para3.h"
#include "ui/dialog.h"

class CRegDialog : public ui::Dialog {
 public:
  CRegDialog();

  // Inserts the three tabs, creates the pages inside the tab control and shows the register page.
  bool OnInitDialog() override;

  // Selection change of tab control 1021: sets the caption and shows the page of the chosen tab.
  void OnTabChange();

  // The dialog has no buttons of its own: Enter does nothing, and the close box and Escape close
  // it. While a page's request runs, closing waits until that page has shown its answer.
  void OnOK() override;
  void OnCancel() override;
  void OnClose() override;

  CAccountPara1 registerPage;
  CAccountPara2 rechargePage;
  CAccountPara3 passwordPage;

 private:
  bool PageActing() const;
  void CloseWhenIdle();

  bool closePending_ = false;
};
