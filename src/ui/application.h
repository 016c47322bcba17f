// The user-interface application: the Qt application object behind the dialog layer, the
// user-interface thread, and calls carried over to it from other threads.
#pragma once

#include <functional>

namespace ui {

// Owns the platform's application object for the lifetime of the program. Construct one on the
// thread that becomes the user-interface thread, before any window. On destruction, calls that
// other threads are waiting on are released without running, and later calls do nothing.
class Application {
 public:
  Application(int& argc, char** argv);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
};

// Returns true on the user-interface thread.
bool IsUiThread();

// Runs `fn` on the user-interface thread and waits for it (a sent message). On that thread it
// runs at once. Returns false when it could not run because the application has ended.
bool Invoke(const std::function<void()>& fn);

// Queues `fn` to run on the user-interface thread and returns at once (a posted message).
void Post(std::function<void()> fn);

// Calls `handler` on the user-interface thread whenever the process is asked to end by a signal
// (SIGTERM, SIGINT, SIGHUP: the desktop session ending, say), in place of ending at once. Only
// the first call sets a handler.
void OnTerminationRequest(std::function<void()> handler);

// Ends the process at once with status 0, after flushing standard output and standard error,
// without running destructors: threads that still run may yet reach for the window. Tests
// replace it with `handler`, which returns (an empty one restores the real end).
void EndProcess();
void SetEndProcessHandlerForTesting(std::function<void()> handler);

}  // namespace ui
