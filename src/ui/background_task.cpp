#include "ui/background_task.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/guarded.h"
#include "ui/application.h"

namespace ui {

struct TaskKind::State {
  mutable std::mutex mutex;
  bool running = false;        // guarded by mutex: a worker of the use runs
  std::function<void()> kept;  // guarded by mutex: the newest start that came while it ran
};

namespace {

bool Run(const std::shared_ptr<TaskKind::State>& state, std::function<void()> body);

// Ends a pumping wait when the worker's last act, an event posted to it, arrives on the
// user-interface thread. (An event rather than a queued call: the event object passes from the
// worker to the user-interface thread whole, which race detectors can follow.)
class WaitEnder : public QObject {
 public:
  explicit WaitEnder(QEventLoop& loop) : loop_(loop) {}
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    loop_.quit();
    return true;
  }

 private:
  QEventLoop& loop_;
};

// Claims the use for a new worker. When a worker runs already, keeps `body` in place of any
// earlier kept start and returns false.
bool Claim(TaskKind::State& state, std::function<void()>& body) {
  std::lock_guard lock(state.mutex);
  if (state.running) {
    state.kept = std::move(body);
    return false;
  }
  state.running = true;
  return true;
}

// Frees the use as its worker ends, and sends a kept start to the user-interface thread.
void Release(const std::shared_ptr<TaskKind::State>& state) {
  std::function<void()> next;
  {
    std::lock_guard lock(state->mutex);
    state->running = false;
    next = std::move(state->kept);
    state->kept = nullptr;
  }
  if (!next) return;
  Post([weak = std::weak_ptr<TaskKind::State>(state), next = std::move(next)]() mutable {
    if (auto alive = weak.lock()) Run(alive, std::move(next));
  });
}

bool Run(const std::shared_ptr<TaskKind::State>& state, std::function<void()> body) {
  if (!Claim(*state, body)) return false;
  auto work = [state, &body] {
    base::RunGuarded("a background task", body);
    Release(state);
  };
  try {
    if (!IsUiThread()) {
      std::thread worker(work);
      worker.join();
      return true;
    }
    // The worker ends the wait with an event that only an event loop on this thread can
    // dispatch, so it never arrives before exec() has started.
    // When it arrives inside a handler nested in this wait, the loop ends once that handler has
    // returned, which is what makes nested waits return in order. The use is free again as soon
    // as the worker ends, whether or not this wait has unwound by then.
    QEventLoop loop;
    WaitEnder ender(loop);
    std::thread worker([&] {
      work();
      QCoreApplication::postEvent(&ender, new QEvent(QEvent::User));
    });
    loop.exec();
    worker.join();
    return true;
  } catch (const std::system_error& error) {
    std::fprintf(stderr, "tunvik: a background task could not start: %s\n", error.what());
    Release(state);
    return false;
  }
}

}  // namespace

TaskKind::TaskKind() : state_(std::make_shared<State>()) {}
TaskKind::~TaskKind() = default;

bool TaskKind::Running() const {
  std::lock_guard lock(state_->mutex);
  return state_->running;
}

bool TaskKind::StartKept() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<bool>(state_->kept);
}

bool RunBackgroundTask(TaskKind& kind, std::function<void()> body) {
  return Run(kind.state_, std::move(body));
}

}  // namespace ui
