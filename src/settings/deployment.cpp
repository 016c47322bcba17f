#include "settings/deployment.h"

#include <atomic>
#include <cstdlib>
#include <list>
#include <mutex>
#include <string_view>

#include "settings/profile.h"
#include "settings/program_dir.h"

// The build passes the defaults of cmake/Deployment.cmake; a build without them has none.
#ifndef TUNVIK_DEFAULT_API_BASE
#define TUNVIK_DEFAULT_API_BASE ""
#endif
#ifndef TUNVIK_DEFAULT_API_PIN
#define TUNVIK_DEFAULT_API_PIN ""
#endif
#ifndef TUNVIK_DEFAULT_REGISTER_URL
#define TUNVIK_DEFAULT_REGISTER_URL ""
#endif
#ifndef TUNVIK_DEFAULT_UPDATE_BASE
#define TUNVIK_DEFAULT_UPDATE_BASE ""
#endif
#ifndef TUNVIK_DEFAULT_UPDATE_KEY
#define TUNVIK_DEFAULT_UPDATE_KEY ""
#endif
#ifndef TUNVIK_DEFAULT_DIALER
#define TUNVIK_DEFAULT_DIALER ""
#endif

namespace settings {
namespace {

constexpr std::string_view kSection = "Deployment";

// A value of the file and of the environment.
struct Source {
  std::string Deployment::*member;
  std::string_view fileKey;  // empty: not read from the file
  const char* variable;
};

constexpr Source kSources[] = {
    {&Deployment::apiBase, "ApiBase", "TUNVIK_API_BASE"},
    {&Deployment::apiPin, "ApiPin", "TUNVIK_API_PIN"},
    {&Deployment::registerUrl, "RegisterUrl", "TUNVIK_REGISTER_URL"},
    {&Deployment::updateBase, "UpdateBase", "TUNVIK_UPDATE_BASE"},
    {&Deployment::updateKey, "UpdateKey", "TUNVIK_UPDATE_KEY"},
    {&Deployment::dialer, "Dialer", "TUNVIK_DIALER"},
    {&Deployment::simScenario, "", "TUNVIK_SIM"},
};

Deployment Read() {
  Deployment values{TUNVIK_DEFAULT_API_BASE,
                    TUNVIK_DEFAULT_API_PIN,
                    TUNVIK_DEFAULT_REGISTER_URL,
                    TUNVIK_DEFAULT_UPDATE_BASE,
                    TUNVIK_DEFAULT_UPDATE_KEY,
                    TUNVIK_DEFAULT_DIALER,
                    std::string()};
  const std::string path = DeploymentFilePath();
  for (const Source& source : kSources) {
    std::string& value = values.*source.member;
    if (!source.fileKey.empty()) {
      // The current value is the fallback, so a missing file or key keeps it.
      value = GetProfileString(kSection, source.fileKey, value, kWhole, path);
    }
    if (const char* env = std::getenv(source.variable)) value = env;
  }
  return values;
}

// Every set of values ever made current stays alive, so references handed out stay valid; only
// tests reload, so the list stays short.
std::mutex& ReloadMutex() {
  static std::mutex mutex;
  return mutex;
}

std::list<Deployment>& AllValues() {
  static std::list<Deployment> values;
  return values;
}

std::atomic<const Deployment*>& Current() {
  static std::atomic<const Deployment*> current{nullptr};
  return current;
}

}  // namespace

const Deployment& ReloadDeployment() {
  Deployment fresh = Read();
  std::lock_guard lock(ReloadMutex());
  const Deployment* values = &AllValues().emplace_back(std::move(fresh));
  Current().store(values, std::memory_order_release);
  return *values;
}

const Deployment& CurrentDeployment() {
  if (const Deployment* values = Current().load(std::memory_order_acquire)) return *values;
  static std::once_flag once;
  std::call_once(once, [] {
    if (Current().load(std::memory_order_acquire) == nullptr) ReloadDeployment();
  });
  return *Current().load(std::memory_order_acquire);
}

std::string DeploymentFilePath() {
  return DeploymentDirectory() + "/tunvik-deploy.ini";
}

}  // namespace settings
