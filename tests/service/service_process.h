// The stand-in service as a child process of a test: started on free ports in a data folder of
// the test's own, its output collected line by line, stopped with SIGTERM.
#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"

namespace service_test {

class ServiceProcess : public testsupport::ChildProcess {
 public:
  // Starts the service with `--data dataDir`, every port 0 and `extraArgs`, and waits for its
  // "ready" line; ready() tells whether it came.
  explicit ServiceProcess(const std::string& dataDir, std::vector<std::string> extraArgs = {});

  bool ready() const { return ready_; }
  // The value of the printed line "  export NAME=value"; empty when there is none.
  std::string Exported(const std::string& name) const;
  std::string apiBase() const { return Exported("TUNVIK_API_BASE"); }
  std::string pin() const { return Exported("TUNVIK_API_PIN"); }
  std::string registerUrl() const { return Exported("TUNVIK_REGISTER_URL"); }
  std::string updateBase() const { return Exported("TUNVIK_UPDATE_BASE"); }
  std::string updateKey() const { return Exported("TUNVIK_UPDATE_KEY"); }

 private:
  bool ready_ = false;
};

// Runs the service with `args` to its end; returns the exit status and its output.
int RunServiceToEnd(const std::vector<std::string>& args, std::string& output);

}  // namespace service_test
