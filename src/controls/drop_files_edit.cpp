#include "controls/drop_files_edit.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <utility>

#include "text/gbk.h"
#include "ui/application.h"
#include "ui/qt_access.h"

namespace {

// The local files among a drop's addresses: the full paths that GBK can hold, as GBK texts, and
// those it cannot (with "?" for each character it lacks, for the message).
struct DroppedPaths {
  std::vector<std::string> paths;
  std::vector<std::string> refused;
  bool Empty() const { return paths.empty() && refused.empty(); }
};

DroppedPaths LocalPaths(const QMimeData* data) {
  DroppedPaths dropped;
  if (data == nullptr || !data->hasUrls()) return dropped;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    // A file on another host is no path of this machine.
    if (!url.host().isEmpty() && url.host() != QStringLiteral("localhost")) continue;
    // The encoded path, decoded by hand, gives the file name's bytes even where they are no
    // valid UTF-8 (QUrl::toLocalFile would replace them).
    QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty()) continue;
    std::string_view utf8(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::string gbk = text::Utf8ToGbk(utf8);
    // A path that does not come back from GBK unchanged names no file, and no process, that the
    // client could ever find by it.
    (text::GbkToUtf8(gbk) == utf8 ? dropped.paths : dropped.refused).push_back(std::move(gbk));
  }
  return dropped;
}

// Takes the drags and drops of local files meant for one edit (and its viewport, where a
// multi-line edit receives them).
class DropFilter : public QObject {
 public:
  DropFilter(QObject* parent, std::function<void(const std::vector<std::string>&)> onDrop,
             std::function<void(const std::vector<std::string>&)> onRefused)
      : QObject(parent), onDrop_(std::move(onDrop)), onRefused_(std::move(onRefused)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        // QDragEnterEvent is a QDragMoveEvent.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!LocalPaths(drag->mimeData()).Empty()) {
          drag->setDropAction(Qt::CopyAction);
          drag->accept();
          return true;
        }
        // Addresses without a local file are refused rather than pasted as text.
        if (drag->mimeData() != nullptr && drag->mimeData()->hasUrls()) {
          drag->ignore();
          return true;
        }
        break;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        DroppedPaths dropped = LocalPaths(drop->mimeData());
        if (!dropped.Empty()) {
          drop->setDropAction(Qt::CopyAction);
          drop->accept();
          if (!dropped.paths.empty()) onDrop_(dropped.paths);
          if (!dropped.refused.empty()) onRefused_(dropped.refused);
          return true;
        }
        if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls()) {
          drop->ignore();
          return true;
        }
        break;
      }
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(const std::vector<std::string>&)> onDrop_;
  std::function<void(const std::vector<std::string>&)> onRefused_;
};

}  // namespace

struct CDropFilesEdit::Impl {
  ui::Dialog* dialog = nullptr;
  int id = 0;
  QPointer<QWidget> widget;
  // A child of the widget: it goes with the widget when the window is destroyed first.
  QPointer<DropFilter> filter;
};

CDropFilesEdit::CDropFilesEdit() : impl_(std::make_unique<Impl>()) {}

CDropFilesEdit::~CDropFilesEdit() {
  Detach();
}

bool CDropFilesEdit::Attach(ui::Dialog& dialog, int id) {
  bool attached = false;
  ui::Invoke([&] {
    QWidget* widget = ui::ControlWidget(dialog, id);
    if (widget == nullptr) return;
    attached = true;
    if (impl_->filter && impl_->widget == widget) return;
    delete impl_->filter.data();
    impl_->dialog = &dialog;
    impl_->id = id;
    impl_->widget = widget;
    impl_->filter = new DropFilter(
        widget, [this](const std::vector<std::string>& paths) { OnDropFiles(paths); },
        [this](const std::vector<std::string>& refused) { RefuseDroppedFiles(refused); });
    widget->setAcceptDrops(true);
    widget->installEventFilter(impl_->filter);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
      area->viewport()->setAcceptDrops(true);
      area->viewport()->installEventFilter(impl_->filter);
    }
  });
  return attached;
}

void CDropFilesEdit::Detach() {
  ui::Invoke([this] {
    delete impl_->filter.data();
    impl_->filter = nullptr;
    impl_->widget = nullptr;
  });
}

bool CDropFilesEdit::IsAttached() const {
  bool attached = false;
  ui::Invoke([&] { attached = impl_->filter && impl_->widget; });
  return attached;
}

void CDropFilesEdit::RefuseDroppedFiles(const std::vector<std::string>& refused) {
  std::string message = text::Gbk(kRefusedDropMessage);
  for (const std::string& path : refused) message += "\n" + path;
  // Shown once the drop has been answered, so the program the files came from is not held up
  // by the box; a window gone by then shows nothing.
  QPointer<QWidget> widget = impl_->widget;
  ui::Dialog* dialog = impl_->dialog;
  ui::Post([widget, dialog, message] {
    if (widget && dialog != nullptr) dialog->MessageBox(message);
  });
}

void CDropFilesEdit::SetWindowText(std::string_view gbk) {
  if (impl_->dialog != nullptr) impl_->dialog->SetDlgItemText(impl_->id, gbk);
}

std::string CDropFilesEdit::GetWindowText() const {
  return impl_->dialog != nullptr ? impl_->dialog->GetDlgItemText(impl_->id) : std::string();
}
