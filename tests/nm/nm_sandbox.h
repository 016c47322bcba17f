// A NetworkManager of the test's own (nm_sandbox.sh): its own network and mount namespaces, a
// private system bus on a socket in a temporary folder, the keyfile plugin on a folder there,
// and one link with a default route. Stopped, with its bus, when the object goes.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace nmtest {

// One profile as the keyfile plugin stored it: group -> key -> value.
using Keyfile = std::map<std::string, std::map<std::string, std::string>>;

class NmSandbox {
 public:
  NmSandbox() = default;
  ~NmSandbox();
  NmSandbox(const NmSandbox&) = delete;
  NmSandbox& operator=(const NmSandbox&) = delete;

  // Starts NetworkManager and waits until it is ready. With `polkitRules` (the text of a polkit
  // rules file), polkit runs beside it with those rules in place of the machine's local ones, so
  // that NetworkManager asks it about callers other than root as on a real system. Returns an
  // empty text on success, else why it could not be done (for a skip message).
  std::string Start(const std::string& polkitRules = {});

  // The network namespace of the sandbox, for nsenter --net.
  std::string NetworkNamespace() const { return "/proc/" + std::to_string(pid_) + "/ns/net"; }

  std::string BusAddress() const { return "unix:path=" + dir_ + "/bus"; }
  std::string Dir() const { return dir_; }

  // Runs nmcli against the sandbox with `args`; returns its exit status and puts its output
  // into `output`.
  int Nmcli(const std::vector<std::string>& args, std::string* output = nullptr) const;

  // The stored profiles whose connection id is `id`.
  std::vector<Keyfile> ProfilesNamed(const std::string& id) const;

  // The end of NetworkManager's log, for failure messages.
  std::string LogTail() const;

 private:
  void Stop();

  std::string dir_;
  pid_t pid_ = -1;
};

}  // namespace nmtest
