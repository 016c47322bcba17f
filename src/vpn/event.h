// An auto-reset event: Set wakes one waiter (or the next one to wait) and resets itself. The
// connection's stop event is one, held with shared ownership so that a dial thread always holds
// a valid event even after the connect workflow has made a newer one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vpn {

class Event {
 public:
  // Signals the event; a waiter (now or later) sees it once.
  void Set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_one();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  // Waits until the event is signalled (and resets it) or the time-out passes; true when signalled.
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

using EventPtr = std::shared_ptr<Event>;

}  // namespace vpn
