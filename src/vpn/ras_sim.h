// The simulated dialer: a remote-access backend without any network, for the demo and the
// tests. It accepts any user name and password and plays a scenario:
//   ok        the usual stages within about a second, then connected until hung up (default)
//   fail:CODE the dial reports error CODE during authentication
//   fail:CODE:MS the dial reports error CODE after waiting MS milliseconds in authentication
//   refuse:CODE the dial refuses to start with CODE
//   drop:MS   connected, then the connection goes away by itself after MS milliseconds
//   slow:MS   connected only after MS milliseconds
// Tests may also drive it directly: drop the connection now, or read the entries written.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "vpn/ras.h"

namespace vpn {

struct SimScenario {
  enum class Kind { kOk, kFail, kRefuse, kDrop, kSlow };
  Kind kind = Kind::kOk;
  unsigned code = 0;     // fail and refuse
  int milliseconds = 0;  // drop and slow; fail: the wait before the error (0: one stage)
  // Time between two reported stages.
  int stageMilliseconds = 150;
};

// Parses a scenario text; nullopt when it is not one of the forms above.
std::optional<SimScenario> ParseSimScenario(const std::string& text);

class SimRasBackend : public RasBackend {
 public:
  explicit SimRasBackend(SimScenario scenario = {});
  ~SimRasBackend() override;

  unsigned SetEntryProperties(const RasEntry& entry) override;
  unsigned SetEntryDialParams(const RasDialParams& params) override;
  unsigned Dial(const RasDialParams& params, DialCallback callback,
                ConnectionHandle* handle) override;
  unsigned GetConnectStatus(ConnectionHandle handle) override;
  unsigned HangUp(ConnectionHandle handle) override;
  unsigned DeleteEntry(const std::string& entryName) override;
  void NotifyWhenGone(ConnectionHandle handle, std::function<void()> gone) override;

  void SetScenario(const SimScenario& scenario);
  // Ends every connection as if the link had gone away, without any stop request.
  void DropAll();
  // The entries that exist now, by name.
  std::map<std::string, RasEntry> Entries() const;
  // The dial parameters stored with the entries, by name.
  std::map<std::string, RasDialParams> StoredParams() const;
  // The dial parameters of every dial started so far.
  std::vector<RasDialParams> Dials() const;
  // How many connections exist now.
  int ActiveConnections() const;

 private:
  struct Connection {
    bool alive = true;
    bool hungUp = false;
    std::function<void()> gone;  // called when it goes away by itself
  };
  // Ends the connection without a hang-up (under `lock`) and tells whoever watches it.
  void GoAway(std::unique_lock<std::mutex>& lock, ConnectionHandle handle);
  void Play(ConnectionHandle handle, SimScenario scenario, DialCallback callback);
  // Waits up to `ms` unless the connection is hung up meanwhile; false when it was.
  bool Pause(std::unique_lock<std::mutex>& lock, ConnectionHandle handle, int ms);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  SimScenario scenario_;
  std::map<std::string, RasEntry> entries_;
  std::map<std::string, RasDialParams> params_;
  std::vector<RasDialParams> dials_;
  std::map<ConnectionHandle, Connection> connections_;
  ConnectionHandle nextHandle_ = 1;
  struct Player {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Player> players_;
  bool stopping_ = false;
};

}  // namespace vpn
