// The client as a program of its own, against the stand-in service with the simulated dialer:
// how it ends when the desktop (or anyone) asks it to.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "service/service_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

bool Contains(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

TEST(ClientProcess, AskedToEndItHangsUpAndDeletesTheEntryFirst) {
  testsupport::TempDir dir;
  service_test::ServiceProcess service(dir.path() + "/data");
  ASSERT_TRUE(service.ready());
  const std::string program = dir.path() + "/client/Quoril_10.6";
  std::filesystem::create_directories(dir.path() + "/client");
  std::filesystem::copy_file(TUNVIK_CLIENT_BINARY, program);
  std::ofstream(dir.path() + "/client/XolConfig.ini")
      << "[AccountConfig]\nAccount=demo\nPassword=demo123\n"
         "[HostConfig]\nXOLNO=1\nHost=127.0.0.1\nAutoConnect=1\n";
  std::filesystem::create_directories(dir.path() + "/home");
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    testsupport::ChildProcess client(
        {program}, {{"QT_QPA_PLATFORM", "offscreen"},
                    {"TUNVIK_DIALER", "sim"},
                    {"TUNVIK_API_BASE", service.apiBase()},
                    {"TUNVIK_API_PIN", service.pin()},
                    {"TUNVIK_UPDATE_BASE", service.updateBase()},
                    {"HOME", dir.path() + "/home"},
                    {"XDG_CONFIG_HOME", dir.path() + "/home"},
                    {"XDG_RUNTIME_DIR", dir.path() + "/home"},
                    // notifications reach no desktop of a test
                    {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.path() + "/no-bus"}});
    ASSERT_TRUE(client.WaitForLines(
        [](const std::string& line) { return Contains(line, "服务器连接成功"); }, 1, 60s))
        << signal;
    client.Signal(signal);
    EXPECT_EQ(client.WaitForExit(30s), 0) << signal;
    auto lines = client.Lines();
    auto connected = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return Contains(line, "服务器连接成功");
    });
    auto deleted = std::find_if(connected, lines.end(), [](const std::string& line) {
      return Contains(line, "Delete EntryName XOL OK.");
    });
    EXPECT_NE(deleted, lines.end()) << signal;
  }
}

}  // namespace
