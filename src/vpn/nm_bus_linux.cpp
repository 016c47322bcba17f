#include "vpn/nm_bus_linux.h"

#include <NetworkManager.h>

namespace vpn {
namespace {

// Flags of AddConnection2 and Update2: keep the profile on disk, never connect it by itself.
constexpr guint32 kToDiskBlockAutoconnect =
    NM_SETTINGS_ADD_CONNECTION2_FLAG_TO_DISK | NM_SETTINGS_ADD_CONNECTION2_FLAG_BLOCK_AUTOCONNECT;
static_assert(static_cast<guint32>(NM_SETTINGS_UPDATE2_FLAG_TO_DISK |
                                   NM_SETTINGS_UPDATE2_FLAG_BLOCK_AUTOCONNECT) ==
              kToDiskBlockAutoconnect);

void Take(GError* raw, ErrorPtr* error) {
  if (error) {
    error->reset(raw);
  } else if (raw) {
    g_error_free(raw);
  }
}

}  // namespace

std::string RemoteErrorName(const GError* error) {
  if (!error) return {};
  gchar* name = g_dbus_error_get_remote_error(error);
  std::string result = name ? name : "";
  g_free(name);
  return result;
}

std::unique_ptr<NmBus> NmBus::Connect(const std::string& address, int timeoutMs, ErrorPtr* error) {
  GError* raw = nullptr;
  std::string busAddress = address;
  if (busAddress.empty()) {
    gchar* system = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &raw);
    if (!system) {
      Take(raw, error);
      return nullptr;
    }
    busAddress = system;
    g_free(system);
  }
  // A connection of our own rather than the process's shared one: closing it never ends the
  // program, and its signals are dispatched on the caller's thread-default context.
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      busAddress.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &raw);
  if (!connection) {
    Take(raw, error);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return std::unique_ptr<NmBus>(new NmBus(connection, timeoutMs));
}

NmBus::~NmBus() {
  // Closing flushes nothing we need; it only releases the socket at once.
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
}

bool NmBus::Closed() const {
  return g_dbus_connection_is_closed(connection_);
}

VariantPtr NmBus::Call(const char* path, const char* interface, const char* method,
                       GVariant* parameters, const GVariantType* replyType, ErrorPtr* error) {
  GError* raw = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, NM_DBUS_SERVICE, path, interface, method, parameters, replyType,
      G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs_, nullptr, &raw);
  Take(raw, error);
  return VariantPtr(reply);
}

bool NmBus::NetworkManagerRunning() {
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "NameHasOwner", g_variant_new("(s)", NM_DBUS_SERVICE), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NONE, timeoutMs_, nullptr, nullptr);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

std::vector<std::string> NmBus::ListProfiles(ErrorPtr* error) {
  std::vector<std::string> paths;
  VariantPtr reply = Call(NM_DBUS_PATH_SETTINGS, NM_DBUS_INTERFACE_SETTINGS, "ListConnections",
                          nullptr, G_VARIANT_TYPE("(ao)"), error);
  if (!reply) return paths;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.get(), "(ao)", &iter);
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "&o", &path)) paths.emplace_back(path);
  g_variant_iter_free(iter);
  return paths;
}

VariantPtr NmBus::GetSettings(const std::string& path, ErrorPtr* error) {
  VariantPtr reply = Call(path.c_str(), NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "GetSettings",
                          nullptr, G_VARIANT_TYPE("(a{sa{sv}})"), error);
  if (!reply) return nullptr;
  return VariantPtr(g_variant_get_child_value(reply.get(), 0));
}

std::string NmBus::AddProfile(GVariant* settings, ErrorPtr* error) {
  VariantPtr reply = Call(NM_DBUS_PATH_SETTINGS, NM_DBUS_INTERFACE_SETTINGS, "AddConnection2",
                          g_variant_new("(@a{sa{sv}}u@a{sv})", settings, kToDiskBlockAutoconnect,
                                        g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                          G_VARIANT_TYPE("(oa{sv})"), error);
  if (!reply) return {};
  const gchar* path = nullptr;
  g_variant_get(reply.get(), "(&o@a{sv})", &path, nullptr);
  return path;
}

bool NmBus::UpdateProfile(const std::string& path, GVariant* settings, ErrorPtr* error) {
  return Call(path.c_str(), NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "Update2",
              g_variant_new("(@a{sa{sv}}u@a{sv})", settings, kToDiskBlockAutoconnect,
                            g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
              G_VARIANT_TYPE("(a{sv})"), error) != nullptr;
}

bool NmBus::DeleteProfile(const std::string& path, ErrorPtr* error) {
  return Call(path.c_str(), NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "Delete", nullptr,
              G_VARIANT_TYPE("()"), error) != nullptr;
}

std::string NmBus::Activate(const std::string& path, ErrorPtr* error) {
  VariantPtr reply =
      Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "ActivateConnection",
           g_variant_new("(ooo)", path.c_str(), "/", "/"), G_VARIANT_TYPE("(o)"), error);
  if (!reply) return {};
  const gchar* active = nullptr;
  g_variant_get(reply.get(), "(&o)", &active);
  return active;
}

bool NmBus::Deactivate(const std::string& activePath, ErrorPtr* error) {
  return Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "DeactivateConnection",
              g_variant_new("(o)", activePath.c_str()), G_VARIANT_TYPE("()"), error) != nullptr;
}

bool NmBus::NetworkingEnabled(ErrorPtr* error) {
  VariantPtr reply = Call(NM_DBUS_PATH, "org.freedesktop.DBus.Properties", "Get",
                          g_variant_new("(ss)", NM_DBUS_INTERFACE, "NetworkingEnabled"),
                          G_VARIANT_TYPE("(v)"), error);
  if (!reply) return false;
  GVariant* value = nullptr;
  g_variant_get(reply.get(), "(v)", &value);
  VariantPtr owned(value);
  return g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
}

bool NmBus::EnableNetworking(bool enable, ErrorPtr* error) {
  return Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "Enable", g_variant_new("(b)", enable),
              G_VARIANT_TYPE("()"), error) != nullptr;
}

std::string NmBus::DeviceByInterface(const std::string& name, ErrorPtr* error) {
  VariantPtr reply = Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetDeviceByIpIface",
                          g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(o)"), error);
  if (!reply) return {};
  const gchar* path = nullptr;
  g_variant_get(reply.get(), "(&o)", &path);
  return path;
}

unsigned NmBus::DeviceState(const std::string& path, ErrorPtr* error) {
  VariantPtr reply =
      Call(path.c_str(), "org.freedesktop.DBus.Properties", "Get",
           g_variant_new("(ss)", NM_DBUS_INTERFACE_DEVICE, "State"), G_VARIANT_TYPE("(v)"), error);
  if (!reply) return NM_DEVICE_STATE_UNKNOWN;
  GVariant* value = nullptr;
  g_variant_get(reply.get(), "(v)", &value);
  VariantPtr owned(value);
  return g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value)
                                                            : unsigned{NM_DEVICE_STATE_UNKNOWN};
}

guint NmBus::Subscribe(const char* interface, const char* member, GDBusSignalCallback callback,
                       gpointer data) {
  return g_dbus_connection_signal_subscribe(connection_, NM_DBUS_SERVICE, interface, member,
                                            nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, callback,
                                            data, nullptr);
}

void NmBus::Unsubscribe(guint id) {
  g_dbus_connection_signal_unsubscribe(connection_, id);
}

}  // namespace vpn
