// Test helper: a D-Bus message bus of the test's own (dbus-daemon with a configuration of the
// test's own, in a temporary folder), so that nothing reaches the desktop's session bus or the
// system bus. It starts no services on demand.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace testsupport {

class PrivateBus {
 public:
  PrivateBus() {
    const std::string config = dir_.File("bus.conf");
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path="
        << dir_.File("bus")
        << "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--print-address"});
    if (daemon_->WaitForLines([](const std::string& line) { return line.rfind("unix:", 0) == 0; },
                              1)) {
      for (const std::string& line : daemon_->Lines()) {
        if (line.rfind("unix:", 0) == 0) address_ = line;
      }
    }
  }

  bool Ready() const { return !address_.empty(); }
  const std::string& Address() const { return address_; }

 private:
  TempDir dir_;
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

}  // namespace testsupport
