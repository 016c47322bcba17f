// NetworkManager's D-Bus interface, as the backend uses it: a bus connection of its own, NM's
// presence, its profiles (list, read, add, update, delete), activation and deactivation, and the
// subscription to the state signals of active connections. Calls block their caller (the
// backend's loop thread) until NM answers or the time-out passes; signals are dispatched on the
// main context that was the thread's default when Connect ran.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>
#include <vector>

namespace vpn {

struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct GVariantDeleter {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using VariantPtr = std::unique_ptr<GVariant, GVariantDeleter>;

// The D-Bus error name of a failed call ("org.freedesktop.NetworkManager.UnknownDevice"), or
// empty for a local failure.
std::string RemoteErrorName(const GError* error);

class NmBus {
 public:
  // Connects to the bus at `address`, or to the system bus when it is empty (the address in
  // DBUS_SYSTEM_BUS_ADDRESS, else the system's default). Returns null and sets `error` when no
  // bus answers.
  static std::unique_ptr<NmBus> Connect(const std::string& address, int timeoutMs, ErrorPtr* error);
  ~NmBus();
  NmBus(const NmBus&) = delete;
  NmBus& operator=(const NmBus&) = delete;

  GDBusConnection* Connection() const { return connection_; }
  // True once the bus has gone away.
  bool Closed() const;
  // True when NetworkManager owns its name on the bus.
  bool NetworkManagerRunning();

  // The object paths of all profiles. Empty with `error` set on failure.
  std::vector<std::string> ListProfiles(ErrorPtr* error);
  // The settings (a{sa{sv}}, without secrets) of the profile at `path`, or null.
  VariantPtr GetSettings(const std::string& path, ErrorPtr* error);
  // Adds a profile, kept on disk and not connected automatically. Returns its path or empty.
  // `settings` may be floating; it is consumed.
  std::string AddProfile(GVariant* settings, ErrorPtr* error);
  // Replaces the settings of the profile at `path`. `settings` is consumed.
  bool UpdateProfile(const std::string& path, GVariant* settings, ErrorPtr* error);
  // Deletes the profile at `path`.
  bool DeleteProfile(const std::string& path, ErrorPtr* error);
  // Activates the profile at `path` over the network NM chooses. Returns the active
  // connection's path, or empty.
  std::string Activate(const std::string& path, ErrorPtr* error);
  // Deactivates the active connection at `activePath`.
  bool Deactivate(const std::string& activePath, ErrorPtr* error);

  // Whether networking is enabled (NM's NetworkingEnabled); false with `error` set on failure.
  bool NetworkingEnabled(ErrorPtr* error);
  // Switches networking as a whole on or off (NM's Enable), as the desktop's "Enable Networking"
  // does; NM checks the caller's right (polkit's enable-disable-network).
  bool EnableNetworking(bool enable, ErrorPtr* error);
  // The path of the device NM knows under the interface name `name`, or empty.
  std::string DeviceByInterface(const std::string& name, ErrorPtr* error);
  // The state (NMDeviceState) of the device at `path`; NM_DEVICE_STATE_UNKNOWN on failure.
  unsigned DeviceState(const std::string& path, ErrorPtr* error);

  // Subscribes `callback` to the signal `member` of `interface` that NM sends from any object.
  // Returns the subscription's id for Unsubscribe.
  guint Subscribe(const char* interface, const char* member, GDBusSignalCallback callback,
                  gpointer data);
  void Unsubscribe(guint id);

 private:
  NmBus(GDBusConnection* connection, int timeoutMs)
      : connection_(connection), timeoutMs_(timeoutMs) {}
  VariantPtr Call(const char* path, const char* interface, const char* method, GVariant* parameters,
                  const GVariantType* replyType, ErrorPtr* error);

  GDBusConnection* connection_;
  int timeoutMs_;
};

}  // namespace vpn
