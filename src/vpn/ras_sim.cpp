#include "vpn/ras_sim.h"

#include <chrono>
#include <cstdlib>

namespace vpn {
namespace {

bool ParseNumber(const std::string& text, long max, long& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  value = std::strtol(text.c_str(), nullptr, 10);
  return value <= max;
}

}  // namespace

std::optional<SimScenario> ParseSimScenario(const std::string& text) {
  SimScenario scenario;
  if (text.empty() || text == "ok") return scenario;
  std::size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string kind = text.substr(0, colon);
  std::string argument = text.substr(colon + 1);
  long value = 0;
  if (kind == "fail") {
    // fail:CODE:MS reports the error MS milliseconds after the dial started.
    std::size_t second = argument.find(':');
    if (second != std::string::npos) {
      long delay = 0;
      if (!ParseNumber(argument.substr(second + 1), 24L * 3600 * 1000, delay)) return std::nullopt;
      scenario.milliseconds = static_cast<int>(delay);
      argument.resize(second);
    }
  }
  if (!ParseNumber(argument, 24L * 3600 * 1000, value)) return std::nullopt;
  if (kind == "fail" || kind == "refuse") {
    if (value == 0) return std::nullopt;
    scenario.kind = kind == "fail" ? SimScenario::Kind::kFail : SimScenario::Kind::kRefuse;
    scenario.code = static_cast<unsigned>(value);
  } else if (kind == "drop" || kind == "slow") {
    scenario.kind = kind == "drop" ? SimScenario::Kind::kDrop : SimScenario::Kind::kSlow;
    scenario.milliseconds = static_cast<int>(value);
  } else {
    return std::nullopt;
  }
  return scenario;
}

SimRasBackend::SimRasBackend(SimScenario scenario) : scenario_(scenario) {}

SimRasBackend::~SimRasBackend() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& [handle, connection] : connections_) connection.alive = false;
  }
  changed_.notify_all();
  for (Player& player : players_) player.thread.join();
}

unsigned SimRasBackend::SetEntryProperties(const RasEntry& entry) {
  std::lock_guard lock(mutex_);
  entries_[entry.entryName] = entry;
  return kRasSuccess;
}

unsigned SimRasBackend::SetEntryDialParams(const RasDialParams& params) {
  std::lock_guard lock(mutex_);
  if (entries_.count(params.entryName) == 0) return 623;  // no such entry
  params_[params.entryName] = params;
  return kRasSuccess;
}

unsigned SimRasBackend::Dial(const RasDialParams& params, DialCallback callback,
                             ConnectionHandle* handle) {
  std::lock_guard lock(mutex_);
  // Players of earlier dials that have finished are joined here, so none piles up.
  std::erase_if(players_, [](Player& player) {
    if (!player.done->load()) return false;
    player.thread.join();
    return true;
  });
  dials_.push_back(params);
  if (scenario_.kind == SimScenario::Kind::kRefuse) return scenario_.code;
  if (entries_.count(params.entryName) == 0) return 623;
  ConnectionHandle h = nextHandle_++;
  connections_[h] = Connection{};
  *handle = h;
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([this, h, scenario = scenario_, callback = std::move(callback), done] {
    Play(h, scenario, callback);
    *done = true;
  });
  players_.push_back(Player{std::move(thread), done});
  return kRasSuccess;
}

bool SimRasBackend::Pause(std::unique_lock<std::mutex>& lock, ConnectionHandle handle, int ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  changed_.wait_until(lock, deadline, [&] { return !connections_[handle].alive; });
  return connections_[handle].alive;
}

void SimRasBackend::Play(ConnectionHandle handle, SimScenario scenario, DialCallback callback) {
  const int stages[] = {RASCS_OpenPort,        RASCS_PortOpened,          RASCS_ConnectDevice,
                        RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                        RASCS_Authenticated};
  const int stageCount = static_cast<int>(std::size(stages));
  // A slow dial spreads its stages over the time it takes.
  int pause = scenario.kind == SimScenario::Kind::kSlow
                  ? std::max(scenario.stageMilliseconds, scenario.milliseconds / (stageCount + 1))
                  : scenario.stageMilliseconds;
  std::unique_lock lock(mutex_);
  for (int state : stages) {
    if (!Pause(lock, handle, pause)) return;
    lock.unlock();
    callback(0, state, 0);
    lock.lock();
    if (state == RASCS_Authenticate && scenario.kind == SimScenario::Kind::kFail) {
      if (!Pause(lock, handle, scenario.milliseconds > 0 ? scenario.milliseconds : pause)) return;
      GoAway(lock, handle);
      lock.unlock();
      callback(0, state, scenario.code);
      return;
    }
  }
  if (!Pause(lock, handle, pause)) return;
  lock.unlock();
  callback(0, RASCS_Connected, 0);
  lock.lock();
  if (scenario.kind == SimScenario::Kind::kDrop) {
    if (Pause(lock, handle, scenario.milliseconds)) GoAway(lock, handle);
  }
}

void SimRasBackend::GoAway(std::unique_lock<std::mutex>& lock, ConnectionHandle handle) {
  Connection& connection = connections_[handle];
  connection.alive = false;
  std::function<void()> gone = std::move(connection.gone);
  connection.gone = nullptr;
  changed_.notify_all();
  if (!gone) return;
  lock.unlock();
  gone();
  lock.lock();
}

void SimRasBackend::NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone) {
  std::unique_lock lock(mutex_);
  auto it = connections_.find(handle);
  if (it == connections_.end()) return;
  if (!it->second.alive) {
    if (it->second.hungUp) return;
    lock.unlock();
    gone();
    return;
  }
  it->second.gone = std::move(gone);
}

unsigned SimRasBackend::GetConnectStatus(ConnectionHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = connections_.find(handle);
  return it != connections_.end() && it->second.alive ? kRasSuccess : ERROR_INVALID_HANDLE;
}

unsigned SimRasBackend::HangUp(ConnectionHandle handle) {
  {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(handle);
    if (it == connections_.end()) return ERROR_INVALID_HANDLE;
    it->second.alive = false;
    it->second.hungUp = true;
    it->second.gone = nullptr;
  }
  changed_.notify_all();
  return kRasSuccess;
}

unsigned SimRasBackend::DeleteEntry(const std::string& entryName) {
  std::lock_guard lock(mutex_);
  params_.erase(entryName);
  return entries_.erase(entryName) != 0 ? kRasSuccess : 623;
}

void SimRasBackend::SetScenario(const SimScenario& scenario) {
  std::lock_guard lock(mutex_);
  scenario_ = scenario;
}

void SimRasBackend::DropAll() {
  std::unique_lock lock(mutex_);
  std::vector<ConnectionHandle> alive;
  for (auto& [handle, connection] : connections_) {
    if (connection.alive) alive.push_back(handle);
  }
  for (ConnectionHandle handle : alive) GoAway(lock, handle);
}

std::map<std::string, RasEntry> SimRasBackend::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::map<std::string, RasDialParams> SimRasBackend::StoredParams() const {
  std::lock_guard lock(mutex_);
  return params_;
}

std::vector<RasDialParams> SimRasBackend::Dials() const {
  std::lock_guard lock(mutex_);
  return dials_;
}

int SimRasBackend::ActiveConnections() const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& [handle, connection] : connections_) n += connection.alive ? 1 : 0;
  return n;
}

}  // namespace vpn
