// The texts of remote-access error codes, as the status line shows them after "ERROR:%d - ".
#include <cstdio>
#include <map>
#include <string_view>

#include "text/gbk.h"
#include "vpn/ras.h"

namespace vpn {
namespace {

const std::map<unsigned, std::string_view>& Texts() {
  static const std::map<unsigned, std::string_view> texts{
      {600, "操作挂起。"},
      {619, "无法连接到远程计算机，因此不能使用此连接的端口。"},
      {623, "系统无法找到此连接的电话簿项。"},
      {628, "在连接完成前，连接被远程计算机终止。"},
      {629, "连接被远程计算机关闭。"},
      {633, "调制解调器(或其他连接设备)已经在使用或没有正确配置。"},
      {651, "调制解调器(或其他连接设备)报告了一个错误。"},
      {668, "连接已断开。"},
      {678, "远程计算机没有响应。"},
      {691, "由于域上的用户名和/或密码无效而拒绝访问。"},
      {711, "没有可用的 VPN 拨号后端：请安装 NetworkManager 及其 L2TP 和 PPTP 插件。"},
      {718, "连接被终止，因为远程计算机没有及时响应。"},
      {720, "无法建立到远程计算机的连接：没有可用的 PPP 控制协议。"},
      {734, "PPP 链接控制协议被终止。"},
      {741, "本地计算机不支持所需的数据加密类型。"},
      {742, "远程计算机不支持所需的数据加密类型。"},
      {756, "已经在拨此连接。"},
      {789, "L2TP 连接尝试失败，因为安全层在初始化与远程计算机的协商时遇到一个处理错误。"},
      {800, "无法建立 VPN 连接。VPN 服务器可能无法访问，或者此连接的安全参数可能配置不正确。"},
      {806, "已在计算机与 VPN 服务器之间建立连接，但无法完成 VPN 连接。"},
      {807, "计算机与 VPN 服务器之间的网络连接中断。"},
      {809, "无法建立计算机与 VPN 服务器之间的网络连接，因为远程服务器未响应。"},
      {868, "由于远程访问服务器的名称无法解析，远程连接未建立。"},
  };
  return texts;
}

}  // namespace

std::string RasErrorText(unsigned code) {
  auto it = Texts().find(code);
  if (it != Texts().end()) return text::Utf8ToGbk(it->second);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%u", code);
  return text::Utf8ToGbk("远程访问错误 ") + buffer + text::Utf8ToGbk("。");
}

std::string RasBackend::GetErrorString(unsigned code) {
  return RasErrorText(code);
}

void RasBackend::NotifyWhenGone(ConnectionHandle, std::function<void()>) {}

}  // namespace vpn
