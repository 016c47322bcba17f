#include "ui/dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>

#include "text/gbk.h"
#include "ui/dialog_impl.h"
#include "ui/message_box.h"
#include "ui/qt_access.h"

namespace ui {
namespace {

constexpr const char* kDialogProperty = "tunvikDialog";
constexpr const char* kTextProperty = "tunvikText";

// The top-level window of a dialog: routes the close request, Enter, Escape and the context
// menu to the dialog's handlers.
class HostDialog : public QDialog {
 public:
  HostDialog(Dialog::Impl& impl, QWidget* parent) : QDialog(parent), impl_(impl) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    impl_.owner.OnSysCommand(SC_CLOSE);
  }
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
          button->click();
        } else {
          impl_.owner.OnOK();
        }
        return;
      case Qt::Key_Escape:
        impl_.owner.OnCancel();
        return;
      default:
        QWidget::keyPressEvent(event);
    }
  }
  void reject() override { impl_.owner.OnCancel(); }
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    // The start-up benchmark waits for this line.
    static const bool report = std::getenv("TUNVIK_REPORT_SHOWN") != nullptr;
    static bool reported = false;
    if (report && !reported) {
      reported = true;
      std::fprintf(stderr, "tunvik: window shown\n");
    }
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    impl_.ShowSystemMenu(event->globalPos());
  }

 private:
  Dialog::Impl& impl_;
};

// A child page: a borderless window inside its parent's control.
class HostPage : public QWidget {
 public:
  using QWidget::QWidget;
};

// Inserts line breaks at blanks so that `text` fits `width` pixels (a multi-line button).
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList words = text.split(' ');
  QString result, line;
  for (const QString& word : words) {
    QString candidate = line.isEmpty() ? word : line + ' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
      result += (result.isEmpty() ? QString() : QStringLiteral("\n")) + line;
      line = word;
    } else {
      line = candidate;
    }
  }
  if (!line.isEmpty()) result += (result.isEmpty() ? QString() : QStringLiteral("\n")) + line;
  return result;
}

// Multi-line edits keep "\n" inside; the window classes see the platform's "\r\n".
QString ToEditText(const QString& text) {
  return QString(text).replace("\r\n", "\n");
}
QString FromEditText(const QString& text) {
  return QString(text).replace("\n", "\r\n");
}

void SetButtonText(QAbstractButton* button, const QString& text) {
  button->setProperty(kTextProperty, text);
  if (button->property("tunvikWrap").toBool()) {
    int indicator = qobject_cast<QPushButton*>(button) ? 8 : 22;
    button->setText(WrapToWidth(text, button->fontMetrics(), button->width() - indicator));
    // The line breaks are only drawn; a screen reader says the text as it was given.
    button->setAccessibleName(text);
  } else {
    button->setText(text);
  }
}

}  // namespace

QString ToQt(std::string_view gbk) {
  return QString::fromStdString(text::GbkToUtf8(gbk));
}
std::string FromQt(const QString& text) {
  return text::Utf8ToGbk(text.toStdString());
}

int DialogUnitsToPixelsX(int units) {
  static const int base = [] {
    QFontMetrics metrics(DialogFont());
    int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
  }();
  return (units * base + 2) / 4;
}

int DialogUnitsToPixelsY(int units) {
  static const int base = QFontMetrics(DialogFont()).height();
  return (units * base + 4) / 8;
}

QWidget* WindowWidget(const Dialog& dialog) {
  return dialog.GetImpl().window;
}
QWidget* ControlWidget(const Dialog& dialog, int id) {
  return dialog.GetImpl().Control(id);
}

Dialog* DialogOfWindow(QWidget* widget) {
  if (widget == nullptr) return nullptr;
  return reinterpret_cast<Dialog*>(widget->property(kDialogProperty).value<quintptr>());
}

bool PreTranslateKey(QWidget* receiver, int key) {
  for (QWidget* w = receiver; w != nullptr; w = w->parentWidget()) {
    if (Dialog* dialog = DialogOfWindow(w); dialog != nullptr && dialog->PreTranslateMessage(key)) {
      return true;
    }
    if (w->isWindow()) break;
  }
  return false;
}

// --- Impl ---------------------------------------------------------------------------------------

QWidget* Dialog::Impl::Control(int id) const {
  auto it = controls.find(id);
  return it == controls.end() ? nullptr : it->second.data();
}

void Dialog::Impl::Notify(const std::map<int, std::function<void()>>& handlers, int id) {
  auto it = handlers.find(id);
  if (it != handlers.end() && it->second) {
    auto handler = it->second;  // the handler may replace itself
    handler();
  }
}

void Dialog::Impl::TellWatchers(int id) {
  auto it = watchers.find(id);
  if (it == watchers.end()) return;
  const auto followers = it->second;  // a watcher may add another
  for (const auto& watcher : followers) watcher();
}

void Dialog::Impl::ShowSystemMenu(const QPoint& globalPos) {
  if (systemMenu.empty()) return;
  QMenu menu(window);
  for (const auto& [id, label] : systemMenu) {
    if (label.empty()) {
      menu.addSeparator();
    } else {
      QAction* action = menu.addAction(ToQt(label));
      action->setData(id);
    }
  }
  if (QAction* chosen = menu.exec(globalPos)) owner.OnSysCommand(chosen->data().toUInt());
}

void Dialog::Impl::Build(QWidget* parent, bool child) {
  const DialogTemplate& t = owner.template_;
  QWidget* host = nullptr;
  if (child) {
    host = new HostPage(parent);
    host->setAutoFillBackground(true);
  } else {
    auto* dialog = new HostDialog(*this, parent);
    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    if (t.style & dialog_style::kMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    if (t.style & dialog_style::kTaskbarButton) flags = (flags & ~Qt::Dialog) | Qt::Window;
    dialog->setWindowFlags(flags);
    dialog->setSizeGripEnabled(false);
    dialog->setWindowTitle(
        QString::fromUtf8(t.title.data(), static_cast<qsizetype>(t.title.size())));
    host = dialog;
  }
  host->setProperty(kDialogProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&owner)));
  host->setFont(DialogFont());
  window = host;
  QSize size(DialogUnitsToPixelsX(t.width), DialogUnitsToPixelsY(t.height));
  host->resize(size);
  if (!child && !(t.style & dialog_style::kSizingBorder)) host->setFixedSize(size);

  QButtonGroup* group = nullptr;
  std::vector<QWidget*> built;
  for (const ControlTemplate& c : t.controls) {
    QString label = QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
    QRect geometry(DialogUnitsToPixelsX(c.x), DialogUnitsToPixelsY(c.y),
                   DialogUnitsToPixelsX(c.width), DialogUnitsToPixelsY(c.height));
    QWidget* widget = nullptr;
    const int id = c.id;
    if (c.kind != ControlKind::kRadioButton) group = (c.style & style::kGroup) ? nullptr : group;
    switch (c.kind) {
      case ControlKind::kLabel: {
        auto* w = new QLabel(label, host);
        w->setWordWrap(true);
        w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w->setTextFormat(Qt::PlainText);
        widget = w;
        break;
      }
      case ControlKind::kEdit:
        if (c.style & style::kMultiLine) {
          auto* w = new QPlainTextEdit(host);
          w->setPlainText(ToEditText(label));
          w->setReadOnly(c.style & style::kReadOnly);
          w->setVerticalScrollBarPolicy((c.style & style::kVScroll) ? Qt::ScrollBarAsNeeded
                                                                    : Qt::ScrollBarAlwaysOff);
          // As in the platform's dialogs, Tab leaves the edit; it never traps the keyboard.
          w->setTabChangesFocus(true);
          if (!(c.style & style::kBorder)) w->setFrameShape(QFrame::NoFrame);
          QObject::connect(w, &QPlainTextEdit::textChanged, w, [this, id] { Notify(changed, id); });
          widget = w;
        } else {
          auto* w = new QLineEdit(label, host);
          if (c.style & style::kPassword) w->setEchoMode(QLineEdit::Password);
          w->setReadOnly(c.style & style::kReadOnly);
          w->setFrame(c.style & style::kBorder);
          QObject::connect(w, &QLineEdit::textChanged, w, [this, id] { Notify(changed, id); });
          widget = w;
        }
        break;
      case ControlKind::kButton: {
        auto* w = new QPushButton(host);
        w->setAutoDefault(false);
        widget = w;
        break;
      }
      case ControlKind::kCheckBox:
        widget = new QCheckBox(host);
        break;
      case ControlKind::kRadioButton: {
        // Its group, not the button, keeps the choice exclusive, and the group can be set to
        // none checked (see CheckDlgButton). An automatic radio is announced as a radio button.
        auto* w = new QRadioButton(host);
        if (group == nullptr || (c.style & style::kGroup)) {
          group = new QButtonGroup(host);
          group->setExclusive(true);
        }
        group->addButton(w, id);
        radioGroups[id] = group;
        widget = w;
        break;
      }
      case ControlKind::kGroupBox:
        widget = new QGroupBox(label, host);
        break;
      case ControlKind::kTab: {
        auto* w = new TabHost(host);
        QObject::connect(w->Bar(), &QTabBar::currentChanged, w,
                         [this, id](int) { Notify(selChange, id); });
        widget = w;
        break;
      }
      case ControlKind::kListView: {
        auto* w = new ListTable(host);
        w->onItemClick = [this, id](int row) {
          auto it = itemClick.find(id);
          if (it != itemClick.end() && it->second) it->second(row);
        };
        widget = w;
        break;
      }
    }
    widget->setGeometry(geometry);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setProperty("tunvikWrap", bool(c.style & style::kMultiLine));
      SetButtonText(button, label);
      QObject::connect(button, &QAbstractButton::clicked, button, [this, id, button] {
        // A box shown in its third state becomes an ordinary two-state box once clicked.
        auto* box = qobject_cast<QCheckBox*>(button);
        if (box != nullptr && box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
        Notify(clicked, id);
      });
    }
    if (c.style & style::kDisabled) widget->setEnabled(false);
    if (c.style & style::kHidden) widget->hide();
    if (c.style & style::kAcceptFiles) widget->setAcceptDrops(true);
    if (id != IDC_STATIC) {
      widget->setObjectName(QStringLiteral("control%1").arg(id));
      controls[id] = widget;
    }
    built.push_back(widget);
  }
  LabelControls(t, built);
  if (iconResource != 0) host->setWindowIcon(IconResource(iconResource));
}

void Dialog::Impl::Destroy() {
  for (auto& [id, timer] : timers) delete timer.data();
  timers.clear();
  controls.clear();
  radioGroups.clear();
  delete window.data();
  window = nullptr;
  modal = nullptr;
}

// --- DataExchange ---------------------------------------------------------------------------

void DataExchange::Text(int id, std::string& value) {
  if (saving_) {
    value = dialog_.GetDlgItemText(id);
  } else {
    dialog_.SetDlgItemText(id, value);
  }
}

void DataExchange::Check(int id, int& value) {
  if (saving_) {
    value = dialog_.IsDlgButtonChecked(id);
  } else {
    dialog_.CheckDlgButton(id, value);
  }
}

void DataExchange::Radio(int firstId, int& index) {
  auto& impl = dialog_.GetImpl();
  auto it = impl.radioGroups.find(firstId);
  if (it == impl.radioGroups.end()) return;
  QList<QAbstractButton*> buttons = it->second->buttons();
  if (saving_) {
    index = -1;
    for (int i = 0; i < buttons.size(); ++i) {
      if (buttons[i]->isChecked()) index = i;
    }
  } else {
    QButtonGroup* group = it->second;
    group->setExclusive(false);
    for (int i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == index);
    group->setExclusive(true);
  }
}

// --- Dialog ---------------------------------------------------------------------------------

Dialog::Dialog(const DialogTemplate& dialogTemplate)
    : template_(dialogTemplate), impl_(std::make_unique<Impl>(*this)) {}

Dialog::~Dialog() {
  if (!Invoke([this] { impl_->Destroy(); })) impl_->window = nullptr;
}

bool Dialog::Create(Dialog& parent, int parentControlId) {
  bool created = false;
  Invoke([&] {
    QWidget* host =
        parentControlId == 0 ? parent.impl_->window.data() : parent.impl_->Control(parentControlId);
    if (host == nullptr || impl_->window) return;
    impl_->Build(host, true);
    impl_->window->hide();
    if (parentControlId != 0) PlacePageInFocusChain(host, impl_->window);
    created = true;
  });
  if (created) Invoke([this] { OnInitDialog(); });
  return created;
}

int Dialog::DoModal(Dialog* owner) {
  int result = IDCANCEL;
  Invoke([&] {
    if (impl_->window) return;
    QWidget* ownerWindow = owner != nullptr ? owner->impl_->window.data() : nullptr;
    impl_->Build(ownerWindow, false);
    auto* dialog = static_cast<QDialog*>(impl_->window.data());
    impl_->modal = dialog;
    impl_->result = IDCANCEL;
    if (ownerWindow == nullptr || (template_.style & dialog_style::kCentre)) {
      if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        dialog->move(area.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
      }
    }
    OnInitDialog();
    if (impl_->modal != nullptr) dialog->exec();  // OnInitDialog may already have ended it
    result = impl_->result;
    impl_->Destroy();
  });
  return result;
}

void Dialog::EndDialog(int result) {
  OnUiThread(*this, [&] {
    if (impl_->modal != nullptr) {
      impl_->result = result;
      QDialog* dialog = impl_->modal;
      impl_->modal = nullptr;
      dialog->done(result);
    }
  });
}

void Dialog::PostClose() {
  std::weak_ptr<int> alive = impl_->lifetime;
  Post([this, alive] {
    if (!alive.expired() && impl_->window) EndDialog(IDCANCEL);
  });
}

bool Dialog::HasWindow() const {
  bool exists = false;
  Invoke([&] { exists = impl_->window != nullptr; });
  return exists;
}

bool Dialog::UpdateData(bool saveAndValidate) {
  return OnUiThread(*this, [&] {
    DataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return true;
  });
}

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::DoDataExchange(DataExchange&) {}
void Dialog::OnTimer(int) {}

void Dialog::OnSysCommand(unsigned commandId) {
  if (commandId == SC_CLOSE) {
    OnClose();
  } else if (commandId == SC_MINIMIZE) {
    Minimize();
  }
}

void Dialog::OnClose() {
  EndDialog(IDCANCEL);
}
void Dialog::OnOK() {
  EndDialog(IDOK);
}
void Dialog::OnCancel() {
  EndDialog(IDCANCEL);
}
bool Dialog::PreTranslateMessage(int) {
  return false;
}

void Dialog::SetWindowText(std::string_view gbk) {
  OnUiThread(*this, [&] {
    impl_->window->setWindowTitle(ToQt(gbk));
    impl_->TellWatchers(0);
  });
}

std::string Dialog::GetWindowText() const {
  return OnUiThread(*this, [&] { return FromQt(impl_->window->windowTitle()); });
}

void Dialog::ShowWindow(bool show) {
  OnUiThread(*this, [&] { impl_->window->setVisible(show); });
}

bool Dialog::IsWindowVisible() const {
  return OnUiThread(*this, [&] { return impl_->window->isVisible(); });
}

void Dialog::SetWindowPos(const Rect& rect) {
  OnUiThread(*this,
             [&] { impl_->window->setGeometry(rect.left, rect.top, rect.Width(), rect.Height()); });
}

Rect Dialog::GetWindowRect() const {
  return OnUiThread(*this, [&] {
    QRect g = impl_->window->geometry();
    return Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  });
}

Rect Dialog::GetClientRect() const {
  return OnUiThread(*this, [&] {
    return Rect{0, 0, impl_->window->width(), impl_->window->height()};
  });
}

void Dialog::Minimize() {
  OnUiThread(*this, [&] { impl_->window->showMinimized(); });
}

void Dialog::BringToFront() {
  OnUiThread(*this, [&] {
    QWidget* w = impl_->window;
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
  });
}

bool Dialog::IsIconic() const {
  return OnUiThread(*this, [&] { return impl_->window->isMinimized(); });
}

void Dialog::SetIconResource(int resourceId) {
  impl_->iconResource = resourceId;
  OnUiThread(*this, [&] { impl_->window->setWindowIcon(IconResource(resourceId)); });
}

void Dialog::AppendSystemMenuItem(unsigned commandId, std::string_view gbk) {
  impl_->systemMenu.emplace_back(commandId, std::string(gbk));
}

std::string Dialog::GetDlgItemText(int id) const {
  return OnUiThread(*this, [&]() -> std::string {
    QWidget* w = impl_->Control(id);
    if (auto* label = qobject_cast<QLabel*>(w)) return FromQt(label->text());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return FromQt(edit->text());
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
      return FromQt(FromEditText(edit->toPlainText()));
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      return FromQt(button->property(kTextProperty).toString());
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) return FromQt(box->title());
    return {};
  });
}

void Dialog::SetDlgItemText(int id, std::string_view gbk) {
  OnUiThread(*this, [&] {
    QWidget* w = impl_->Control(id);
    QString value = ToQt(gbk);
    if (auto* label = qobject_cast<QLabel*>(w)) {
      label->setText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      edit->setText(value);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
      if (edit->toPlainText() != ToEditText(value)) edit->setPlainText(ToEditText(value));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      SetButtonText(button, value);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      box->setTitle(value);
    }
    impl_->TellWatchers(id);
  });
}

void Dialog::EnableDlgItem(int id, bool enable) {
  OnUiThread(*this, [&] {
    if (QWidget* w = impl_->Control(id)) w->setEnabled(enable);
    impl_->TellWatchers(id);
  });
}

bool Dialog::IsDlgItemEnabled(int id) const {
  return OnUiThread(*this, [&] {
    QWidget* w = impl_->Control(id);
    return w != nullptr && w->isEnabled();
  });
}

void Dialog::ShowDlgItem(int id, bool show) {
  OnUiThread(*this, [&] {
    if (QWidget* w = impl_->Control(id)) w->setVisible(show);
  });
}

bool Dialog::IsDlgItemVisible(int id) const {
  return OnUiThread(*this, [&] {
    QWidget* w = impl_->Control(id);
    return w != nullptr && !w->isHidden();
  });
}

int Dialog::IsDlgButtonChecked(int id) const {
  return OnUiThread(*this, [&] {
    if (auto* box = qobject_cast<QCheckBox*>(impl_->Control(id))) {
      switch (box->checkState()) {
        case Qt::Checked:
          return BST_CHECKED;
        case Qt::PartiallyChecked:
          return BST_INDETERMINATE;
        default:
          return BST_UNCHECKED;
      }
    }
    auto* button = qobject_cast<QAbstractButton*>(impl_->Control(id));
    return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
  });
}

void Dialog::CheckDlgButton(int id, int state) {
  OnUiThread(*this, [&] {
    if (auto* box = qobject_cast<QCheckBox*>(impl_->Control(id))) {
      if (state == BST_INDETERMINATE) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
      } else {
        box->setTristate(false);
        box->setCheckState(state == BST_CHECKED ? Qt::Checked : Qt::Unchecked);
      }
      return;
    }
    auto* button = qobject_cast<QAbstractButton*>(impl_->Control(id));
    if (button == nullptr) return;
    auto it = impl_->radioGroups.find(id);
    QButtonGroup* group = it == impl_->radioGroups.end() ? nullptr : it->second;
    if (group != nullptr) group->setExclusive(false);
    button->setChecked(state == BST_CHECKED);
    if (group != nullptr) group->setExclusive(true);
  });
}

int Dialog::GetCheckedRadioButton(int firstId, int lastId) const {
  return OnUiThread(*this, [&] {
    for (int id = firstId; id <= lastId; ++id) {
      auto* button = qobject_cast<QAbstractButton*>(impl_->Control(id));
      if (button != nullptr && button->isChecked()) return id;
    }
    return 0;
  });
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
  for (int id = firstId; id <= lastId; ++id) {
    CheckDlgButton(id, id == checkId ? BST_CHECKED : BST_UNCHECKED);
  }
}

void Dialog::SetDlgItemIcon(int id, int resourceId) {
  OnUiThread(*this, [&] {
    if (auto* label = qobject_cast<QLabel*>(impl_->Control(id))) {
      label->setPixmap(IconResource(resourceId).pixmap(label->size()));
    }
  });
}

void Dialog::SetFocusItem(int id) {
  OnUiThread(*this, [&] {
    if (QWidget* w = impl_->Control(id)) w->setFocus(Qt::OtherFocusReason);
  });
}

void Dialog::ClickDlgItem(int id) {
  OnUiThread(*this, [&] {
    auto* button = qobject_cast<QAbstractButton*>(impl_->Control(id));
    if (button != nullptr && button->isEnabled()) button->click();
  });
}

void Dialog::WatchDlgItem(int id, std::function<void()> watcher) {
  Invoke([&] { impl_->watchers[id].push_back(std::move(watcher)); });
}

void Dialog::SelectEditText(int id, int start, int end) {
  OnUiThread(*this, [&] {
    if (auto* edit = qobject_cast<QLineEdit*>(impl_->Control(id))) {
      int last = end < 0 ? static_cast<int>(edit->text().size()) : end;
      edit->setSelection(start, last - start);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(impl_->Control(id))) {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(start);
      cursor.movePosition(end < 0 ? QTextCursor::End : QTextCursor::NextCharacter,
                          QTextCursor::KeepAnchor, end < 0 ? 1 : end - start);
      edit->setTextCursor(cursor);
      edit->ensureCursorVisible();
    }
  });
}

Rect Dialog::GetDlgItemRect(int id) const {
  return OnUiThread(*this, [&] {
    QWidget* w = impl_->Control(id);
    if (w == nullptr) return Rect{};
    QRect g = w->geometry();
    return Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  });
}

void Dialog::SetTimer(int id, int milliseconds) {
  OnUiThread(*this, [&] {
    QPointer<QTimer>& timer = impl_->timers[id];
    if (timer.isNull()) {
      timer = new QTimer(impl_->window);
      impl_->tickQueued[id] = false;
      QObject::connect(timer, &QTimer::timeout, timer, [this, id] { QueueTick(id); });
    }
    timer->start(milliseconds);
  });
}

// Qt never delivers a timer's timeout while a handler of an earlier timeout of the same timer
// still runs, so a tick whose work opens a message box or waits for a background task would stop
// its own timer until it returns. A tick is therefore queued, and its handler runs from the event
// loop like any posted message: nested in whatever wait is running, also in an earlier tick's.
// At most one tick of a timer waits in the queue, and a tick queued before KillTimer is dropped.
void Dialog::QueueTick(int id) {
  bool& queued = impl_->tickQueued[id];
  if (queued) return;
  queued = true;
  QTimer* timer = impl_->timers[id];
  QMetaObject::invokeMethod(
      timer,
      [this, id, timer] {
        impl_->tickQueued[id] = false;
        if (timer->isActive()) OnTimer(id);
      },
      Qt::QueuedConnection);
}

void Dialog::KillTimer(int id) {
  OnUiThread(*this, [&] {
    auto it = impl_->timers.find(id);
    if (it != impl_->timers.end() && it->second) it->second->stop();
  });
}

std::map<int, int> Dialog::RunningTimers() const {
  return OnUiThread(*this, [&] {
    std::map<int, int> running;
    for (const auto& [id, timer] : impl_->timers) {
      if (timer && timer->isActive()) running[id] = timer->interval();
    }
    return running;
  });
}

bool Dialog::IsTimerRunning(int id) const {
  return RunningTimers().count(id) != 0;
}

int Dialog::MessageBox(std::string_view gbkText, std::string_view gbkCaption, unsigned type) {
  return ShowMessageBox(this, gbkText, gbkCaption, type);
}

// The message map is filled while the window object is constructed, before any notification.
void Dialog::OnClicked(int id, std::function<void()> handler) {
  impl_->clicked[id] = std::move(handler);
}
void Dialog::OnChanged(int id, std::function<void()> handler) {
  impl_->changed[id] = std::move(handler);
}
void Dialog::OnSelChange(int id, std::function<void()> handler) {
  impl_->selChange[id] = std::move(handler);
}
void Dialog::OnItemClick(int id, std::function<void(int row)> handler) {
  impl_->itemClick[id] = std::move(handler);
}

}  // namespace ui
