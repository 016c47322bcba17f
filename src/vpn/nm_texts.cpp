#include "vpn/nm_texts.h"

#include "text/gbk.h"

namespace vpn {

std::string NmNotRunningText() {
  return text::Utf8ToGbk(
      "NetworkManager 没有在系统总线上应答，无法拨号：请安装并启动 NetworkManager"
      "（软件包 network-manager）。");
}

std::string NmPluginMissingText(const std::string& protocol, const std::string& package) {
  return text::Utf8ToGbk("NetworkManager 缺少 " + protocol + " 插件，无法拨号：请安装软件包 " +
                         package + "。");
}

std::string NmNoNetworkText() {
  return text::Utf8ToGbk("无法建立 VPN 连接：NetworkManager 没有可用的网络连接。");
}

std::string NmPluginNoStartText() {
  return text::Utf8ToGbk("NetworkManager 的 VPN 插件没有及时启动，无法拨号。");
}

std::string NmNoAnswerText() {
  return text::Utf8ToGbk("NetworkManager 没有及时应答，无法拨号。");
}

std::string NmPermissionDeniedText() {
  return text::Utf8ToGbk("拒绝访问：NetworkManager 不允许此用户修改或激活 VPN 连接。");
}

std::string NmCodeText(unsigned code) {
  switch (code) {
    case 5:
      return NmPermissionDeniedText();
    case 87:
      return text::Utf8ToGbk("参数不正确：服务器地址、用户名或密码含有不允许的字符。");
    case 631:
      return text::Utf8ToGbk("端口已被断开：VPN 连接在拨号完成前被停用。");
    default:
      return {};
  }
}

}  // namespace vpn
