// The Qt side of a dialog: its window widget, its controls by identifier, radio groups, timers
// and message map. Private to the dialog layer.
#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QPointer>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/application.h"
#include "ui/dialog.h"

namespace ui {

// A tab control: a tab bar along the top and a framed area below it, which hosts child pages.
class TabHost : public QWidget {
 public:
  explicit TabHost(QWidget* parent);
  QTabBar* Bar() const { return bar_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QTabBar* bar_;
};

// A list view in report mode; reports clicks with the row under the mouse, or -1. Space on the
// current row counts as a click on it, so that a keyboard can choose a row; moving the selection
// with the arrow keys is no click.
class ListTable : public QTableWidget {
 public:
  explicit ListTable(QWidget* parent);
  std::function<void(int)> onItemClick;
  unsigned extendedStyle = 0;
  std::vector<Qt::Alignment> columnAlignment;
  void ApplyExtendedStyle();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// Gives the controls of a template, built as `widgets` (in template order, one for each control),
// the names and labels a screen reader announces them by: an edit, a list or a value label is
// labelled by the static text that stands before it, on its line to its left with nothing in
// between, else the static text just before it in the template; a name the template gives wins.
// Every other control is named by its own text.
void LabelControls(const DialogTemplate& dialogTemplate, const std::vector<QWidget*>& widgets);

// Puts the focusable controls of `page`, in their order, right after those of `host` (the control
// that holds the page, with the pages placed in it before), so that Tab reaches a tab page's
// controls right after its tab bar, as the window shows them.
void PlacePageInFocusChain(QWidget* host, QWidget* page);

// Walks the window's widgets from the one that receives a key up to its top-level window,
// offering the key to each dialog on the way; true when one consumed it.
bool PreTranslateKey(QWidget* receiver, int key);

// Finds the dialog whose window is `widget`, or null.
Dialog* DialogOfWindow(QWidget* widget);

struct Dialog::Impl {
  explicit Impl(Dialog& owner) : owner(owner) {}

  Dialog& owner;
  // Expires with the dialog object, for queued work that may outlive it.
  std::shared_ptr<int> lifetime = std::make_shared<int>(0);
  QPointer<QWidget> window;
  QDialog* modal = nullptr;  // the window while it runs modally
  int result = IDCANCEL;
  std::map<int, QPointer<QWidget>> controls;
  std::map<int, QButtonGroup*> radioGroups;  // radio id -> its group
  std::map<int, QPointer<QTimer>> timers;    // children of the window: gone with it
  std::map<int, bool> tickQueued;            // a tick of the timer waits in the event queue
  std::map<int, std::function<void()>> clicked, changed, selChange;
  std::map<int, std::function<void(int)>> itemClick;
  // Followers of controls (id 0: the window's title), told after each change made through the
  // dialog; window thread only.
  std::map<int, std::vector<std::function<void()>>> watchers;
  std::vector<std::pair<unsigned, std::string>> systemMenu;  // command id, GBK text
  int iconResource = 0;

  // Builds the window and its controls from the template, as a child of `parent` (a top-level
  // window when null).
  void Build(QWidget* parent, bool child);
  void Destroy();
  QWidget* Control(int id) const;
  void Notify(const std::map<int, std::function<void()>>& handlers, int id);
  void TellWatchers(int id);
  void ShowSystemMenu(const QPoint& globalPos);
};

// Runs fn on the user-interface thread when the dialog has a window; returns its result, or a
// value-initialised one when the window does not exist.
template <typename Fn>
auto OnUiThread(const Dialog& dialog, Fn&& fn) -> decltype(fn()) {
  using Result = decltype(fn());
  if constexpr (std::is_void_v<Result>) {
    Invoke([&] {
      if (dialog.GetImpl().window) fn();
    });
  } else {
    Result result{};
    Invoke([&] {
      if (dialog.GetImpl().window) result = fn();
    });
    return result;
  }
}

QString ToQt(std::string_view gbk);
std::string FromQt(const QString& text);

}  // namespace ui
