// A dialer view that records what the dialer shows, for the dialer's tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "text/gbk.h"
#include "vpn/dialer.h"

namespace vpntest {

class RecordingView : public vpn::DialerView {
 public:
  void SetStatus(std::string_view gbk) override {
    std::lock_guard lock(mutex_);
    statuses_.push_back(text::GbkToUtf8(gbk));
    changed_.notify_all();
  }
  void SetConnectCaptionEnabled(std::string_view gbk) override {
    std::lock_guard lock(mutex_);
    captions_.push_back(text::GbkToUtf8(gbk));
    changed_.notify_all();
  }
  std::vector<std::string> Statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  std::vector<std::string> Captions() const {
    std::lock_guard lock(mutex_);
    return captions_;
  }
  std::string LastStatus() const {
    std::lock_guard lock(mutex_);
    return statuses_.empty() ? std::string() : statuses_.back();
  }
  // Waits until a status equal to `utf8` has been shown.
  bool WaitForStatus(const std::string& utf8, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      for (const auto& s : statuses_) {
        if (s == utf8) return true;
      }
      return false;
    });
  }
  bool WaitForCaption(const std::string& utf8, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return !captions_.empty() && captions_.back() == utf8; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> statuses_;
  std::vector<std::string> captions_;
};

}  // namespace vpntest
