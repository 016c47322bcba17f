#include "pages/para1.h"

#include "app/resource.h"

namespace {

using ui::ControlKind;
namespace style = ui::style;

const ui::DialogTemplate kPara1Template{
    IDD_PARA1,
    "",
    311,
    117,
    ui::dialog_style::kChild,
    {
        {IDC_SERVER_LIST, ControlKind::kListView, "", 0, 2, 2, 170, 84},
        {ui::IDC_STATIC, ControlKind::kGroupBox, "掉线防封策略", 0, 176, 0, 76, 44},
        {IDC_OFFLINE_REDIAL, ControlKind::kRadioButton, "掉线自动重连", style::kGroup, 182, 10,
         66, 10},
        {IDC_OFFLINE_CLOSE, ControlKind::kRadioButton, "掉线关闭进程", 0, 182, 21, 66, 10},
        {IDC_OFFLINE_DISABLE, ControlKind::kRadioButton, "掉线自动断网", 0, 182, 32, 66, 10},
        {ui::IDC_STATIC, ControlKind::kGroupBox, "连接协议", style::kGroup, 176, 45, 76, 24},
        {IDC_PROTOCOL_L2TP, ControlKind::kRadioButton, "L2TP", style::kGroup, 182, 55, 32, 10},
        {IDC_PROTOCOL_PPTP, ControlKind::kRadioButton, "PPTP", 0, 216, 55, 32, 10},
        {IDC_CHOSEN_SERVER, ControlKind::kEdit, "", style::kReadOnly | style::kBorder, 176, 73,
         76, 12},
    }};

}  // namespace

CPara1::CPara1() : ui::Dialog(kPara1Template) {}
