#include "nm_sandbox.h"

#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "hosttools/command_runner.h"

extern char** environ;

namespace nmtest {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

bool Exited(pid_t pid, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

}  // namespace

std::string NmSandbox::Start(const std::string& polkitRules) {
  if (geteuid() != 0) return "needs root for network and mount namespaces";
  // The tools live in the system's sbin folders, which a test's PATH may lack.
  const char* path = getenv("PATH");
  setenv("PATH", (std::string(path ? path : "") + ":" + kPath).c_str(), 1);
  for (const char* tool : {"unshare", "NetworkManager", "nmcli", "dbus-daemon", "ip"}) {
    if (hosttools::FindOnPath(tool).empty()) {
      return std::string(tool) + " is not installed (packages network-manager, dbus, iproute2)";
    }
  }
  char pattern[] = "/tmp/tunvik-nm-XXXXXX";
  if (!mkdtemp(pattern)) return "no temporary folder";
  dir_ = pattern;
  // Callers other than root reach the bus's socket in it.
  chmod(dir_.c_str(), 0755);
  if (!polkitRules.empty()) {
    if (!std::filesystem::exists("/usr/lib/polkit-1/polkitd")) {
      return "polkitd is not installed (package polkitd)";
    }
    std::filesystem::create_directory(dir_ + "/polkit-rules");
    std::ofstream(dir_ + "/polkit-rules/10-tunvik-test.rules") << polkitRules;
  }

  std::vector<std::string> args = {"unshare",       "--net",           "--mount",
                                   "--propagation", "private",         "--",
                                   "bash",          NM_SANDBOX_SCRIPT, dir_};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  int rc = posix_spawnp(&pid_, "unshare", nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    pid_ = -1;
    return "unshare could not be started";
  }

  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(dir_ + "/ready")) return {};
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return "the sandbox ended before NetworkManager was ready (namespaces not allowed here?): " +
             LogTail();
    }
    std::this_thread::sleep_for(100ms);
  }
  std::string tail = LogTail();
  Stop();
  return "NetworkManager did not get ready within a minute: " + tail;
}

NmSandbox::~NmSandbox() {
  Stop();
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

void NmSandbox::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!Exited(pid_, 30s)) {
    // Whatever is left of the sandbox's own process group goes at once.
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

int NmSandbox::Nmcli(const std::vector<std::string>& args, std::string* output) const {
  std::vector<std::string> argv = {"env", "DBUS_SYSTEM_BUS_ADDRESS=" + BusAddress(), "nmcli"};
  argv.insert(argv.end(), args.begin(), args.end());
  int status = -1;
  std::string text = hosttools::RunCommand(argv, {}, &status);
  if (output) *output = text;
  return status;
}

std::vector<Keyfile> NmSandbox::ProfilesNamed(const std::string& id) const {
  std::vector<Keyfile> found;
  std::error_code error;
  for (const auto& file : std::filesystem::directory_iterator(dir_ + "/connections", error)) {
    GKeyFile* keyfile = g_key_file_new();
    if (g_key_file_load_from_file(keyfile, file.path().c_str(), G_KEY_FILE_NONE, nullptr)) {
      Keyfile parsed;
      gchar** groups = g_key_file_get_groups(keyfile, nullptr);
      for (gchar** group = groups; *group; ++group) {
        gchar** keys = g_key_file_get_keys(keyfile, *group, nullptr, nullptr);
        for (gchar** key = keys; key && *key; ++key) {
          gchar* value = g_key_file_get_string(keyfile, *group, *key, nullptr);
          parsed[*group][*key] = value ? value : "";
          g_free(value);
        }
        g_strfreev(keys);
      }
      g_strfreev(groups);
      if (parsed["connection"]["id"] == id) found.push_back(std::move(parsed));
    }
    g_key_file_free(keyfile);
  }
  return found;
}

std::string NmSandbox::LogTail() const {
  std::ifstream log(dir_ + "/nm.log");
  std::stringstream all;
  all << log.rdbuf();
  std::string text = all.str();
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace nmtest
