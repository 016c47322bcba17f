// A GLib main loop on a thread of its own, for a backend whose library (libnm, GDBus) delivers
// its signals through a main context. Other threads hand work to the loop thread and may wait
// for it; everything the backend keeps of the library is touched on that thread only.
#pragma once

#include <functional>
#include <thread>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

namespace vpn {

class GLibLoopThread {
 public:
  // Starts the thread with a new main context, which is the thread-default context there, so
  // that signal subscriptions made on the thread are dispatched on it.
  GLibLoopThread();
  // Stops the loop and joins the thread; work posted and not yet run is dropped.
  ~GLibLoopThread();
  GLibLoopThread(const GLibLoopThread&) = delete;
  GLibLoopThread& operator=(const GLibLoopThread&) = delete;

  // Queues `task` to run on the loop thread and returns at once.
  void Post(std::function<void()> task);
  // Runs `task` on the loop thread and returns when it has run (at once when called there).
  void Run(const std::function<void()>& task);
  // Returns true on the loop thread.
  bool OnLoopThread() const;

 private:
  void Main();

  GMainContext* context_;
  GMainLoop* loop_;
  std::thread thread_;
};

}  // namespace vpn
