#include "hosttools/fix789.h"

#include "text/gbk.h"

namespace hosttools {

Fix789Outcome Fix789(const Prompts& prompts, RestartAction& restart, const std::string& path) {
  if (!OpenDialerSettingsForWriting(path)) {
    prompts.showMessage(text::Utf8ToGbk("打开注册表失败,请用管理员身份运行"));
    return Fix789Outcome::kCannotOpen;
  }
  if (!WriteProhibitIpSec(path)) {
    prompts.showMessage(text::Utf8ToGbk("修复789错误失败,请手动修复！"));
    return Fix789Outcome::kWriteFailed;
  }
  if (!prompts.askYesNo(
          text::Utf8ToGbk("出现错误789，已经修复此问题，必须重启电脑生效！是否重启电脑？"),
          text::Utf8ToGbk("修复成功"))) {
    return Fix789Outcome::kDeclined;
  }
  switch (restart.Restart()) {
    case RestartResult::kRestarting:
      return Fix789Outcome::kRestarting;
    case RestartResult::kCannotAsk:
      prompts.showApplicationMessage("OpenProcessToken Error!");
      return Fix789Outcome::kRestartRefused;
    case RestartResult::kRefused:
      break;
  }
  prompts.showApplicationMessage(text::Utf8ToGbk("关机失败"));
  return Fix789Outcome::kRestartRefused;
}

}  // namespace hosttools
