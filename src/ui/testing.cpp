#include "ui/testing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <atomic>

#include <cstdlib>
#include <memory>

#include "text/gbk.h"
#include "ui/application.h"
#include "ui/dialog_impl.h"
#include "ui/notifications.h"
#include "ui/qt_access.h"

namespace ui::testing {
namespace {

QWidget* Target(Dialog& dialog, int id) {
  return id == 0 ? WindowWidget(dialog) : ControlWidget(dialog, id);
}

}  // namespace

namespace {
std::atomic<int> g_processEnds{0};
}  // namespace

void EnsureApplication() {
  // Never destroyed: the application must outlive every window and static of the test process.
  static Application* application = nullptr;
  if (application != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tunvik-tests";
  static char* argv[] = {name, nullptr};
  application = new Application(argc, argv);
  // A test process never ends where the program would: the end is counted instead.
  SetEndProcessHandlerForTesting([] { ++g_processEnds; });
  // Nothing of a test reaches the desktop the tests run in; a test that follows notifications
  // gives them a bus of its own.
  SetNotificationBusForTesting("");
}

int ProcessEnds() {
  return g_processEnds.load();
}

ScriptedMessageBoxes::ScriptedMessageBoxes() {
  SetMessageBoxHandler([this](const MessageBoxRequest& request) { return Answer(request); });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
  SetMessageBoxHandler({});
}

void ScriptedMessageBoxes::QueueAnswer(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void ScriptedMessageBoxes::WhileNextOpen(std::function<void()> action) {
  std::lock_guard lock(mutex_);
  actions_.push_back(std::move(action));
}

int ScriptedMessageBoxes::Answer(const MessageBoxRequest& request) {
  std::function<void()> action;
  int answer = request.type == MB_YESNO ? IDNO : IDOK;
  {
    std::lock_guard lock(mutex_);
    shown_.push_back(request);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.erase(answers_.begin());
    }
    if (!actions_.empty()) {
      action = std::move(actions_.front());
      actions_.erase(actions_.begin());
    }
  }
  if (action) {
    // A box is a nested event loop: run the action inside one, as it would run while the box
    // is open.
    QEventLoop loop;
    Post([&] {
      action();
      loop.quit();
    });
    loop.exec();
  }
  return answer;
}

std::vector<MessageBoxRequest> ScriptedMessageBoxes::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::size_t ScriptedMessageBoxes::Count() const {
  std::lock_guard lock(mutex_);
  return shown_.size();
}

std::vector<std::string> ScriptedMessageBoxes::TextsUtf8() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const auto& box : shown_) texts.push_back(text::GbkToUtf8(box.text));
  return texts;
}

void ScriptedMessageBoxes::Clear() {
  std::lock_guard lock(mutex_);
  shown_.clear();
}

int RunModal(Dialog& dialog, const std::function<void()>& whileOpen) {
  Post([&] {
    whileOpen();
    dialog.EndDialog(IDCANCEL);
  });
  return dialog.DoModal();
}

void ProcessEvents(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (timer.elapsed() < milliseconds);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qWait(1);
  }
  return true;
}

void Click(Dialog& dialog, int id) {
  if (QWidget* w = Target(dialog, id)) QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void TypeText(Dialog& dialog, int id, std::string_view utf8) {
  QWidget* w = Target(dialog, id);
  if (w == nullptr) return;
  w->setFocus();
  QTest::keyClicks(w, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void PressKey(Dialog& dialog, int id, int key) {
  QWidget* w = Target(dialog, id);
  if (w == nullptr) return;
  w->setFocus();
  Qt::Key qtKey = key == VK_RETURN   ? Qt::Key_Return
                  : key == VK_ESCAPE ? Qt::Key_Escape
                                     : static_cast<Qt::Key>(key);
  QTest::keyClick(w, qtKey);
}

void RequestClose(Dialog& dialog) {
  // The way the window manager's request comes in: through the platform window, so that Qt's
  // own handling of a close (and of one that comes while another is under way) takes part.
  if (QWidget* w = WindowWidget(dialog)) {
    if (QWindow* window = w->windowHandle()) {
      window->close();
    } else {
      QCloseEvent event;
      QCoreApplication::sendEvent(w, &event);
    }
  }
}

void ClickTab(Dialog& dialog, int id, int index) {
  auto* tab = dynamic_cast<TabHost*>(ControlWidget(dialog, id));
  if (tab == nullptr) return;
  QTest::mouseClick(tab->Bar(), Qt::LeftButton, {}, tab->Bar()->tabRect(index).center());
}

void ClickListRow(Dialog& dialog, int id, int row) {
  auto* table = dynamic_cast<ListTable*>(ControlWidget(dialog, id));
  if (table == nullptr) return;
  QPoint point;
  if (row < 0) {
    int below = table->rowCount() == 0
                    ? 0
                    : table->visualItemRect(table->item(table->rowCount() - 1, 0)).bottom();
    point = QPoint(table->viewport()->width() / 2,
                   std::min(below + 5, table->viewport()->height() - 2));
  } else {
    table->scrollToItem(table->item(row, 0));
    point = table->visualItemRect(table->item(row, 0)).center();
  }
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, point);
}

void DropFiles(Dialog& dialog, int id, const std::vector<std::string>& paths) {
  QWidget* w = Target(dialog, id);
  if (w == nullptr) return;
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
  data.setUrls(urls);
  QPointF centre = QRectF(w->rect()).center();
  QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(w, &enter);
  QDragMoveEvent move(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(w, &move);
  QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(w, &drop);
}

void ChooseSystemMenuItem(Dialog& dialog, unsigned commandId) {
  for (const auto& [id, label] : dialog.GetImpl().systemMenu) {
    if (id == commandId && !label.empty()) {
      dialog.OnSysCommand(commandId);
      return;
    }
  }
}

std::vector<std::string> SystemMenuTextsUtf8(Dialog& dialog) {
  std::vector<std::string> texts;
  for (const auto& [id, label] : dialog.GetImpl().systemMenu) {
    texts.push_back(text::GbkToUtf8(label));
  }
  return texts;
}

bool SaveScreenshot(Dialog& dialog, const std::string& path) {
  QWidget* w = WindowWidget(dialog);
  if (w == nullptr) return false;
  return w->grab().save(QString::fromStdString(path), "PNG");
}

bool IsShownOnScreen(Dialog& dialog, int id) {
  QWidget* w = Target(dialog, id);
  return w != nullptr && w->isVisible();
}

}  // namespace ui::testing
