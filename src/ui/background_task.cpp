#include "ui/background_task.h"

#include <QEventLoop>
#include <QMetaObject>

#include <thread>

#include "ui/application.h"

namespace ui {

bool RunBackgroundTask(TaskKind& kind, const std::function<void()>& body) {
  if (kind.running_.exchange(true)) return false;
  if (!IsUiThread()) {
    std::thread worker(body);
    worker.join();
    kind.running_ = false;
    return true;
  }
  // The worker ends the wait by queueing quit() to the loop; the queued call can only be
  // dispatched by an event loop on this thread, so it never arrives before exec() has started.
  // When it arrives inside a handler nested in this wait, the loop ends once that handler has
  // returned, which is what makes nested waits return in order.
  QEventLoop loop;
  std::thread worker([&] {
    body();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  kind.running_ = false;
  return true;
}

}  // namespace ui
