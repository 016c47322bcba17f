// A small dialog with one control of each kind, for the dialog layer's tests.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace uitest {

inline constexpr int IDC_EDIT = 100, IDC_BUTTON = 101, IDC_CHECK = 102, IDC_RADIO_A = 103,
                     IDC_RADIO_B = 104, IDC_LABEL = 105, IDC_LIST = 106, IDC_TAB = 107,
                     IDC_MULTI = 108;

inline const ui::DialogTemplate kTestTemplate{
    900,
    "测试",
    200,
    150,
    0,
    {
        {IDC_EDIT, ui::ControlKind::kEdit, "", ui::style::kBorder, 5, 5, 80, 12},
        {IDC_BUTTON, ui::ControlKind::kButton, "按钮", 0, 90, 5, 40, 14},
        {IDC_CHECK, ui::ControlKind::kCheckBox, "选择", 0, 5, 20, 50, 10},
        {IDC_RADIO_A, ui::ControlKind::kRadioButton, "甲", ui::style::kGroup, 5, 32, 40, 10},
        {IDC_RADIO_B, ui::ControlKind::kRadioButton, "乙", 0, 50, 32, 40, 10},
        {IDC_LABEL, ui::ControlKind::kLabel, "标签", 0, 5, 45, 80, 8},
        {IDC_LIST, ui::ControlKind::kListView, "", 0, 5, 56, 190, 40},
        {IDC_TAB, ui::ControlKind::kTab, "", 0, 5, 100, 100, 40},
        {IDC_MULTI, ui::ControlKind::kEdit, "", ui::style::kMultiLine | ui::style::kWantReturn, 110,
         100, 80, 40},
    }};

class TestDialog : public ui::Dialog {
 public:
  TestDialog() : ui::Dialog(kTestTemplate) {}

  std::string editText;
  int checked = 0;
  int radio = -1;

  void DoDataExchange(ui::DataExchange& dx) override {
    dx.Text(IDC_EDIT, editText);
    dx.Check(IDC_CHECK, checked);
    dx.Radio(IDC_RADIO_A, radio);
  }
};

}  // namespace uitest
