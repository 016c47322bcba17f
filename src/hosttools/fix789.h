// The repair of dial error 789 (an L2TP connection failing in its IPsec layer): switches the
// dialer to L2TP without IPsec and offers to restart the machine.
#pragma once

#include <string>

#include "hosttools/dialer_settings.h"
#include "hosttools/prompts.h"
#include "hosttools/restart_action.h"

namespace hosttools {

enum class Fix789Outcome {
  kCannotOpen,      // no right to write the dialer settings; nothing changed
  kWriteFailed,     // the value could not be written
  kDeclined,        // value set, the user chose not to restart
  kRestartRefused,  // value set, the restart was refused
  kRestarting,      // value set, the restart has been started
};

// Sets ProhibitIpSec in the dialer settings file at `path` (the user's own, which needs no
// right beyond the user's) and asks whether to restart; on Yes asks `restart`. Tells the user
// through `prompts`: "打开注册表失败,请用管理员身份运行" when the file cannot be made or written,
// "修复789错误失败,请手动修复！" when the write fails, the question
// "出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？" (caption "修复成功") after
// success, and in the application's box "OpenProcessToken Error!" or "关机失败" when the restart
// cannot be asked for or is refused. Returns what happened.
Fix789Outcome Fix789(const Prompts& prompts, RestartAction& restart,
                     const std::string& path = UserDialerSettingsPath());

}  // namespace hosttools
