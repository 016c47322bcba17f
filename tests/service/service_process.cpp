#include "service_process.h"

namespace service_test {
namespace {

std::vector<std::string> ServiceArgs(const std::string& dataDir,
                                     const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {
      TUNVIK_SERVICE_BINARY, "--data", dataDir,         "--api-port", "0",
      "--web-port",          "0",      "--update-port", "0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  return args;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::string& dataDir, std::vector<std::string> extraArgs)
    : testsupport::ChildProcess(ServiceArgs(dataDir, extraArgs)) {
  ready_ = Started() && WaitForLines([](const std::string& line) { return line == "ready"; }, 1);
}

std::string ServiceProcess::Exported(const std::string& name) const {
  const std::string prefix = "  export " + name + "=";
  for (const std::string& line : Lines()) {
    if (line.starts_with(prefix)) return line.substr(prefix.size());
  }
  return std::string();
}

int RunServiceToEnd(const std::vector<std::string>& args, std::string& output) {
  std::vector<std::string> argv = {TUNVIK_SERVICE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunToEnd(argv, output);
}

}  // namespace service_test
