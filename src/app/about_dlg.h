// The About box: the program icon, its name and version, and an OK button.
#pragma once

#include "ui/dialog.h"

class CAboutDlg : public ui::Dialog {
 public:
  CAboutDlg();
  bool OnInitDialog() override;
};
