// Background tasks with a pumping wait: a window handler runs a task body on a worker thread and
// waits for it while the user-interface thread keeps dispatching clicks, timers, repaints and
// the worker's own control access.
#pragma once

#include <atomic>
#include <functional>

namespace ui {

// One kind of background task (the notice refresh, a connect attempt, ...). At most one task of
// a kind runs at a time: bodies of one kind share their window's request members, so a second
// start while one still runs is refused. The refusal is what keeps such bodies apart.
class TaskKind {
 public:
  bool Running() const { return running_.load(); }

 private:
  friend bool RunBackgroundTask(TaskKind& kind, const std::function<void()>& body);
  std::atomic<bool> running_{false};
};

// Runs `body` on a new worker thread and returns when it has ended. On the user-interface thread
// the wait is a nested event loop, so waits nest and an outer call returns only after every
// handler nested in its wait has returned; on any other thread the caller simply waits.
// Returns false, without running the body, when a task of the same kind is still running.
bool RunBackgroundTask(TaskKind& kind, const std::function<void()>& body);

}  // namespace ui
