// Background tasks with a pumping wait: a window handler runs a task body on a worker thread and
// waits for it while the user-interface thread keeps dispatching clicks, timers, repaints and
// the worker's own control access.
#pragma once

#include <functional>
#include <memory>

namespace ui {

// One use of background tasks (the notice refresh, a connect attempt, ...). A use is busy while
// its worker runs, and only then: bodies of one use share their window's request members, so a
// second worker of a use never runs beside the first. A start that comes while the use is busy
// is kept, not lost: the newest such start runs on the user-interface thread as soon as the
// worker has ended, even when the wait of that worker is still held by a handler nested in it.
class TaskKind {
 public:
  TaskKind();
  ~TaskKind();
  TaskKind(const TaskKind&) = delete;
  TaskKind& operator=(const TaskKind&) = delete;

  // True while a worker of this use runs.
  bool Running() const;
  // True while a start waits for the running worker to end.
  bool StartKept() const;

  struct State;

 private:
  friend bool RunBackgroundTask(TaskKind& kind, std::function<void()> body);
  // Shared with the workers and with a kept start on its way to the user-interface thread;
  // a kept start whose use is gone (its window destroyed) is dropped.
  std::shared_ptr<State> state_;
};

// Runs `body` on a new worker thread and returns when it has ended. On the user-interface thread
// the wait is a nested event loop, so waits nest and an outer call returns only after every
// handler nested in its wait has returned; on any other thread the caller simply waits. An
// exception that leaves `body` ends the task quietly, with one line on standard error.
// Returns true when `body` ran in this call; false when the use was busy and the start was kept
// for when its worker has ended (or, rarely, when no thread could be started: said on standard
// error).
bool RunBackgroundTask(TaskKind& kind, std::function<void()> body);

}  // namespace ui
