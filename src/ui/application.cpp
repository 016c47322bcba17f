#include "ui/application.h"

#include <QApplication>
#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include <QKeyEvent>

#include "ui/dialog_impl.h"
#include "ui/qt_access.h"

namespace ui {
namespace {

// The object on the user-interface thread that carries out calls from other threads. It is
// guarded by a mutex so that a call is either queued while it exists or not queued at all.
std::mutex g_dispatcherMutex;
QObject* g_dispatcher = nullptr;
std::thread::id g_uiThread;

// A call carried over to the user-interface thread. Its data travels through the queue below,
// under g_dispatcherMutex, so that everything the calling thread did before the call is ordered
// before the call in a way race detectors see too; Qt's own queue only carries a wake-up.
struct QueuedCall {
  std::function<void()> owned;                      // Post: the call's own copy
  const std::function<void()>* borrowed = nullptr;  // Invoke: the caller's, alive while it waits
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;  // guarded by mutex
  bool ran = false;       // guarded by mutex
};
std::deque<std::shared_ptr<QueuedCall>> g_calls;  // guarded by g_dispatcherMutex

void Finish(QueuedCall& call, bool ran) {
  std::lock_guard lock(call.mutex);
  call.finished = true;
  call.ran = ran;
  call.done.notify_all();
}

// Runs the oldest queued call: each wake-up runs one, in the order the calls were queued. A call
// may run an event loop of its own, in which later calls run nested.
void RunOneQueuedCall() {
  std::shared_ptr<QueuedCall> call;
  {
    std::lock_guard lock(g_dispatcherMutex);
    if (g_calls.empty()) return;
    call = std::move(g_calls.front());
    g_calls.pop_front();
  }
  struct Finisher {
    QueuedCall& call;
    ~Finisher() { Finish(call, true); }
  } finisher{*call};
  if (call->borrowed != nullptr) {
    (*call->borrowed)();
  } else {
    call->owned();
  }
}

// Queues `call` with its wake-up; false when the application has ended.
bool Queue(const std::shared_ptr<QueuedCall>& call) {
  std::lock_guard lock(g_dispatcherMutex);
  if (g_dispatcher == nullptr) return false;
  g_calls.push_back(call);
  QMetaObject::invokeMethod(
      g_dispatcher, [] { RunOneQueuedCall(); }, Qt::QueuedConnection);
  return true;
}

// Offers every key press to the windows' PreTranslateMessage before any control sees it.
class TunvikApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && receiver->isWidgetType()) {
      int key = static_cast<QKeyEvent*>(event)->key();
      int code = key == Qt::Key_Return || key == Qt::Key_Enter ? VK_RETURN
                 : key == Qt::Key_Escape                       ? VK_ESCAPE
                                                               : key;
      if (PreTranslateKey(static_cast<QWidget*>(receiver), code)) return true;
    }
    return QApplication::notify(receiver, event);
  }
};

constexpr const char* kDialogFontFamily = "WenQuanYi Micro Hei";
constexpr int kDialogFontPixels = 12;

}  // namespace

Application::Application(int& argc, char** argv) {
  if (QCoreApplication::instance() == nullptr) new TunvikApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(DialogFont());
  std::lock_guard lock(g_dispatcherMutex);
  g_uiThread = std::this_thread::get_id();
  g_dispatcher = new QObject();
}

Application::~Application() {
  QObject* dispatcher = nullptr;
  std::deque<std::shared_ptr<QueuedCall>> unrun;
  {
    std::lock_guard lock(g_dispatcherMutex);
    dispatcher = g_dispatcher;
    g_dispatcher = nullptr;
    unrun.swap(g_calls);
  }
  // Calls that never ran release their waiting threads; deleting the dispatcher discards their
  // wake-ups.
  for (const auto& call : unrun) Finish(*call, false);
  delete dispatcher;
  delete QCoreApplication::instance();
}

QFont DialogFont() {
  // Matched by fontconfig like any family name; where the family is missing the closest font
  // with Chinese characters stands in.
  static const QFont font = [] {
    QFont f(QString::fromLatin1(kDialogFontFamily));
    f.setPixelSize(kDialogFontPixels);
    return f;
  }();
  return font;
}

bool IsUiThread() {
  std::lock_guard lock(g_dispatcherMutex);
  return g_dispatcher != nullptr && std::this_thread::get_id() == g_uiThread;
}

bool Invoke(const std::function<void()>& fn) {
  if (IsUiThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<QueuedCall>();
  call->borrowed = &fn;
  if (!Queue(call)) return false;
  std::unique_lock lock(call->mutex);
  call->done.wait(lock, [&] { return call->finished; });
  return call->ran;
}

namespace {
std::mutex g_endMutex;
std::function<void()> g_endHandler;
}  // namespace

void EndProcess() {
  std::function<void()> handler;
  {
    std::lock_guard lock(g_endMutex);
    handler = g_endHandler;
  }
  if (handler) {
    handler();
    return;
  }
  std::fflush(nullptr);
  std::_Exit(0);
}

void SetEndProcessHandlerForTesting(std::function<void()> handler) {
  std::lock_guard lock(g_endMutex);
  g_endHandler = std::move(handler);
}

void Post(std::function<void()> fn) {
  auto call = std::make_shared<QueuedCall>();
  call->owned = std::move(fn);
  Queue(call);
}

}  // namespace ui
