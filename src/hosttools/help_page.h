// The help page: the third tab page, with the button of the 789 repair.
#pragma once

#include "ui/dialog.h"

class CPara3 : public ui::Dialog {
 public:
  CPara3();

  // Handler of button 1045: the 789 repair, with this page owning its boxes.
  void Fix789();
};
