#include "app/main_window_template.h"

#include "app/resource.h"
#include "app/version.h"

using ui::ControlKind;
namespace style = ui::style;

const ui::DialogTemplate& MainWindowTemplate() {
  static const ui::DialogTemplate kTemplate{
      IDD_TUNVIK_DIALOG,
      "Quoril_v" TUNVIK_VERSION_TEXT,
      271,
      282,
      ui::dialog_style::kMinimizeBox | ui::dialog_style::kSizingBorder | ui::dialog_style::kCentre |
          ui::dialog_style::kTaskbarButton,
      {
          {IDC_TAB, ControlKind::kTab, "", 0, 7, 3, 257, 106},
          {ui::IDC_STATIC, ControlKind::kGroupBox, "", 0, 7, 108, 257, 64},
          {ui::IDC_STATIC, ControlKind::kLabel, "状态:", 0, 10, 177, 17, 8},
          {ui::IDC_STATIC, ControlKind::kLabel,
           "显示进程IP（不会设置可忽略）软件自动分配虚拟硬件一个进程一个IP", 0, 10, 189, 246, 8},
          {ui::IDC_STATIC, ControlKind::kLabel, "指定进程:", 0, 10, 204, 31, 8},
          {IDC_PROCESS_EDIT, ControlKind::kEdit, "",
           style::kBorder | style::kAutoHScroll | style::kAcceptFiles, 44, 201, 175, 14},
          {IDC_PROCESS_LIST, ControlKind::kListView, "", 0, 7, 218, 257, 50, "进程连接列表"},
          {ui::IDC_STATIC, ControlKind::kLabel, "账号:", 0, 16, 122, 17, 8},
          {IDC_ACCOUNT, ControlKind::kEdit, "", style::kBorder | style::kAutoHScroll, 39, 118, 52,
           12},
          {ui::IDC_STATIC, ControlKind::kLabel, "密码:", 0, 16, 136, 17, 8},
          {IDC_PASSWORD, ControlKind::kEdit, "",
           style::kBorder | style::kAutoHScroll | style::kPassword, 39, 134, 52, 12},
          {ui::IDC_STATIC, ControlKind::kGroupBox, "", 0, 189, 114, 72, 54},
          {IDC_CONNECT, ControlKind::kButton, "连 接", 0, 14, 152, 40, 17},
          {IDC_RESTORE_NETWORK, ControlKind::kButton, "恢复网络", 0, 61, 152, 37, 17},
          {ui::IDC_STATIC, ControlKind::kLabel, "←拖进进程", 0, 221, 204, 35, 8},
          {IDC_ACCOUNT_BUTTON, ControlKind::kRadioButton, "注册/改密 充值/续费",
           style::kGroup | style::kMultiLine, 197, 118, 48, 23},
          {IDC_AUTOSTART, ControlKind::kCheckBox, "开机自启", 0, 198, 140, 43, 10},
          {IDC_AUTOCONNECT, ControlKind::kCheckBox, "自启连接", 0, 198, 153, 43, 10},
          {ui::IDC_STATIC, ControlKind::kLabel, "启动时间:", 0, 6, 271, 31, 8},
          {ui::IDC_STATIC, ControlKind::kLabel, "到期时间:", 0, 158, 270, 31, 8},
          {IDC_START_TIME, ControlKind::kLabel, "", 0, 41, 271, 97, 8},
          {IDC_DUE_DATE, ControlKind::kLabel, "", 0, 190, 271, 74, 8},
          {IDC_STATUS, ControlKind::kLabel, "未连接", 0, 31, 177, 231, 8},
          {IDC_NOTICE_FRAME, ControlKind::kEdit, "",
           style::kMultiLine | style::kReadOnly | style::kDisabled | style::kBorder, 104, 117, 81,
           51, "公告"},
          {IDC_NOTICE, ControlKind::kLabel, "加载中...", 0, 106, 119, 77, 47},
      }};
  return kTemplate;
}
