#include "vpn/nm_plugins_linux.h"

#include <NetworkManager.h>
#include <unistd.h>

namespace vpn {
namespace {

bool Runnable(NMVpnPluginInfo* info) {
  const char* program = nm_vpn_plugin_info_get_program(info);
  return program && access(program, X_OK) == 0;
}

bool FoundIn(GSList* list, std::string_view service) {
  NMVpnPluginInfo* info =
      nm_vpn_plugin_info_list_find_by_service(list, std::string(service).c_str());
  return info && Runnable(info);
}

bool FoundInFolder(const std::string& folder, std::string_view service) {
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (!dir) return false;
  bool found = false;
  while (const char* name = g_dir_read_name(dir)) {
    if (!g_str_has_suffix(name, ".name")) continue;
    gchar* path = g_build_filename(folder.c_str(), name, nullptr);
    NMVpnPluginInfo* info = nm_vpn_plugin_info_new_from_file(path, nullptr);
    g_free(path);
    if (!info) continue;
    const char* served = nm_vpn_plugin_info_get_service(info);
    found = served && std::string_view(served) == service && Runnable(info);
    g_object_unref(info);
    if (found) break;
  }
  g_dir_close(dir);
  return found;
}

}  // namespace

bool NmPluginInstalled(std::string_view service, const std::string& folder) {
  if (!folder.empty()) return FoundInFolder(folder, service);
  GSList* list = nm_vpn_plugin_info_list_load();
  const bool found = FoundIn(list, service);
  g_slist_free_full(list, g_object_unref);
  return found;
}

}  // namespace vpn
