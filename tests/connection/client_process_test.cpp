// The client as a program of its own, against the stand-in service with the simulated dialer:
// how it starts beside a settings file that is no plain file, and how it ends when the desktop
// (or anyone) asks it to.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "service/service_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

bool Contains(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

// The client placed under its release name in a folder of the test's own, beside the stand-in
// service, with a home, configuration and runtime folder of its own.
class ClientProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.ready());
    std::filesystem::create_directories(dir_.path() + "/client");
    std::filesystem::create_directories(dir_.path() + "/home");
    std::filesystem::copy_file(TUNVIK_CLIENT_BINARY, Program());
  }
  std::string Program() const { return dir_.path() + "/client/Quoril_10.6"; }
  std::string SettingsPath() const { return dir_.path() + "/client/XolConfig.ini"; }
  std::unique_ptr<testsupport::ChildProcess> Start() {
    const std::string home = dir_.path() + "/home";
    return std::make_unique<testsupport::ChildProcess>(
        std::vector<std::string>{Program()},
        std::map<std::string, std::string>{
            {"QT_QPA_PLATFORM", "offscreen"},
            {"TUNVIK_DIALER", "sim"},
            {"TUNVIK_REPORT_SHOWN", "1"},
            {"TUNVIK_API_BASE", service_.apiBase()},
            {"TUNVIK_API_PIN", service_.pin()},
            {"TUNVIK_UPDATE_BASE", service_.updateBase()},
            {"HOME", home},
            {"XDG_CONFIG_HOME", home},
            {"XDG_RUNTIME_DIR", home},
            // notifications reach no desktop of a test
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus"}});
  }

  testsupport::TempDir dir_;
  service_test::ServiceProcess service_{dir_.path() + "/data"};
};

TEST_F(ClientProcess, AskedToEndItHangsUpAndDeletesTheEntryFirst) {
  std::ofstream(SettingsPath()) << "[AccountConfig]\nAccount=demo\nPassword=demo123\n"
                                   "[HostConfig]\nXOLNO=1\nHost=127.0.0.1\nAutoConnect=1\n";
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    auto client = Start();
    ASSERT_TRUE(client->WaitForLines(
        [](const std::string& line) { return Contains(line, "服务器连接成功"); }, 1, 60s))
        << signal;
    client->Signal(signal);
    EXPECT_EQ(client->WaitForExit(30s), 0) << signal;
    auto lines = client->Lines();
    auto connected = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return Contains(line, "服务器连接成功");
    });
    auto deleted = std::find_if(connected, lines.end(), [](const std::string& line) {
      return Contains(line, "Delete EntryName XOL OK.");
    });
    EXPECT_NE(deleted, lines.end()) << signal;
  }
}

TEST_F(ClientProcess, ASettingsFileThatIsNoPlainFileIsLeftAloneAndTheWindowShows) {
  // A FIFO once hung the start before any window, a link to /dev/zero ate the memory, and a huge
  // file was read whole for every key.
  struct Case {
    const char* name;
    std::function<void(const std::string&)> plant;
  };
  const Case cases[] = {
      {"fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
      {"link to /dev/zero",
       [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
      {"65 MiB",
       [](const std::string& path) {
         std::ofstream(path) << "[AccountConfig]\nAccount=demo\n";
         std::filesystem::resize_file(path, 65u << 20);
       }},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(SettingsPath());
    c.plant(SettingsPath());
    const auto typeBefore = std::filesystem::symlink_status(SettingsPath()).type();
    const auto writtenBefore = std::filesystem::last_write_time(SettingsPath());
    const std::uintmax_t sizeBefore = typeBefore == std::filesystem::file_type::regular
                                          ? std::filesystem::file_size(SettingsPath())
                                          : 0;
    auto client = Start();
    EXPECT_TRUE(client->WaitForLines(
        [](const std::string& line) { return line == "tunvik: window shown"; }, 1, 60s))
        << c.name;
    std::this_thread::sleep_for(1s);  // the start-up work that follows the window
    client->Signal(SIGTERM);
    EXPECT_EQ(client->WaitForExit(30s), 0) << c.name;
    EXPECT_EQ(std::filesystem::symlink_status(SettingsPath()).type(), typeBefore) << c.name;
    EXPECT_EQ(std::filesystem::last_write_time(SettingsPath()), writtenBefore) << c.name;
    if (typeBefore == std::filesystem::file_type::regular) {
      EXPECT_EQ(std::filesystem::file_size(SettingsPath()), sizeBefore) << c.name;
    }
  }
}

}  // namespace
