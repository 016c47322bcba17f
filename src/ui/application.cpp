#include "ui/application.h"

#include <QApplication>
#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
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

struct PendingCall {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool ran = false;
};

// Signals the waiting thread when the queued call is destroyed: after it ran, or unrun when the
// dispatcher goes away with the call still queued.
struct Completion {
  explicit Completion(std::shared_ptr<PendingCall> call) : call(std::move(call)) {}
  ~Completion() {
    std::lock_guard lock(call->mutex);
    call->finished = true;
    call->done.notify_all();
  }
  std::shared_ptr<PendingCall> call;
};

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
  {
    std::lock_guard lock(g_dispatcherMutex);
    dispatcher = g_dispatcher;
    g_dispatcher = nullptr;
  }
  // Deleting the dispatcher discards its queued calls, which releases their waiting threads.
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
  auto call = std::make_shared<PendingCall>();
  std::unique_lock lock(call->mutex);
  {
    std::lock_guard dispatcherLock(g_dispatcherMutex);
    if (g_dispatcher == nullptr) return false;
    auto completion = std::make_shared<Completion>(call);
    QMetaObject::invokeMethod(
        g_dispatcher,
        [completion, &fn] {
          // Taking the call's mutex orders everything the calling thread did before the call
          // before what fn does here, in a way that race detectors see too.
          { std::lock_guard order(completion->call->mutex); }
          fn();
          completion->call->ran = true;
        },
        Qt::QueuedConnection);
  }
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
  std::lock_guard lock(g_dispatcherMutex);
  if (g_dispatcher == nullptr) return;
  QMetaObject::invokeMethod(g_dispatcher, std::move(fn), Qt::QueuedConnection);
}

}  // namespace ui
