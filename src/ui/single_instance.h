// One client at a time in a desktop session. Two clients of one user would both own the "XOL"
// connection, each deleting and rewriting it; so a second start hands over to the running client,
// which comes to the front, and ends.
//
// The first client holds a lock on a file in a folder of the user's own (the runtime folder of
// the session) for as long as its process lives, and answers later starts on a local socket
// beside it. Folders of their own (test sandboxes) keep their clients apart.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace ui {

class SingleInstance {
 public:
  // The lock and the socket live in `folder`, which must exist.
  explicit SingleInstance(std::string folder);
  // Stops answering; the lock goes with the process (or with this object).
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  enum class Claim {
    kFirst,       // this is the only client: it holds the lock and goes on
    kHandedOver,  // a running client has come to the front; this one ends (status 0)
    kNoAnswer,    // a client holds the lock but did not answer within the patience
    kNoFolder,    // the lock file could not be made: nothing keeps clients apart
  };
  // Takes the lock, or asks the client that holds it to come to the front. A client that answers
  // that it is leaving (an exit or a self-update under way) is waited for, and its lock taken
  // when it has ended. Blocks for at most `patience`; call before the window exists.
  Claim ClaimOrHandOver(std::chrono::milliseconds patience = std::chrono::seconds(30));

  // Answers later starts from the user-interface thread's event loop (also from a pumping
  // wait): `bringForward` runs for each and returns false while this client is leaving, which
  // tells the new start to wait for its end. Only after kFirst.
  void Listen(std::function<bool()> bringForward);

  // The paths of the lock and the socket.
  std::string LockPath() const;
  std::string SocketPath() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
