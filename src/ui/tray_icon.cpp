#include "ui/tray_icon.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

#include <map>

#include "ui/application.h"
#include "ui/dialog_impl.h"
#include "ui/qt_access.h"

namespace ui {
namespace {

// The program's icon in grey: the connection is not up.
QImage Greyed(const QImage& source) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grey = qGray(line[x]);
      line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
    }
  }
  return image;
}

// A round badge in the lower right corner, in `colour`, with a white mark for the state.
void DrawBadge(QImage& image, TrayState state) {
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = image.width();
  const QRectF badge(s * 0.48, s * 0.48, s * 0.5, s * 0.5);
  const QColor colour = state == TrayState::kConnected    ? QColor(40, 167, 69)
                        : state == TrayState::kConnecting ? QColor(240, 173, 20)
                                                          : QColor(210, 43, 43);
  painter.setPen(QPen(Qt::white, qMax<qreal>(1, s * 0.04)));
  painter.setBrush(colour);
  painter.drawEllipse(badge);
  painter.setPen(QPen(Qt::white, qMax<qreal>(1.5, s * 0.07), Qt::SolidLine, Qt::RoundCap));
  const QPointF c = badge.center();
  const qreal r = badge.width() * 0.25;
  switch (state) {
    case TrayState::kConnected:  // a tick
      painter.drawPolyline(QPolygonF(
          {c + QPointF(-r, 0), c + QPointF(-r * 0.3, r * 0.7), c + QPointF(r, -r * 0.7)}));
      break;
    case TrayState::kConnecting:  // three dots
      for (int i = -1; i <= 1; ++i) painter.drawPoint(c + QPointF(i * r * 0.9, 0));
      break;
    default:  // a bar: no way through
      painter.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
      break;
  }
}

QIcon StateIcon(const QIcon& base, TrayState state) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QImage image = base.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (state == TrayState::kIdle || state == TrayState::kNetworkOff) image = Greyed(image);
    if (state != TrayState::kIdle) DrawBadge(image, state);
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

bool PlatformHasNoTray() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

struct TrayIcon::Impl {
  int iconResource = 0;
  TrayState state = TrayState::kIdle;
  std::unique_ptr<QMenu> menu = std::make_unique<QMenu>();
  std::unique_ptr<QSystemTrayIcon> icon = std::make_unique<QSystemTrayIcon>();
  std::map<int, QAction*> items;  // owned by the menu
  std::function<void()> activated;
  // Expires with the icon: work queued from its menu or a click runs only while it lives.
  std::shared_ptr<int> lifetime = std::make_shared<int>(0);

  // Queues `action` to run from the event loop, unless the icon is gone by then.
  void Queue(const std::function<void()>& action) const {
    std::weak_ptr<int> alive = lifetime;
    Post([alive, action] {
      if (!alive.expired() && action) action();
    });
  }
};

TrayIcon::TrayIcon(int iconResource) : impl_(std::make_unique<Impl>()) {
  impl_->iconResource = iconResource;
  impl_->icon->setIcon(StateIcon(IconResource(iconResource), impl_->state));
  impl_->icon->setContextMenu(impl_->menu.get());
  Impl* impl = impl_.get();
  QObject::connect(
      impl_->icon.get(), &QSystemTrayIcon::activated, impl_->icon.get(),
      [impl](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) {
          return;
        }
        impl->Queue(impl->activated);
      });
}

TrayIcon::~TrayIcon() {
  impl_->icon->hide();
}

void TrayIcon::Show() {
  // The offscreen platform has no tray and would only warn; the icon keeps its state all the same.
  if (!PlatformHasNoTray()) impl_->icon->show();
}

void TrayIcon::SetState(TrayState state) {
  if (state == impl_->state) return;
  impl_->state = state;
  impl_->icon->setIcon(StateIcon(IconResource(impl_->iconResource), state));
}

TrayState TrayIcon::State() const {
  return impl_->state;
}

void TrayIcon::SetToolTip(std::string_view gbk) {
  const QString text = ToQt(gbk);
  if (impl_->icon->toolTip() != text) impl_->icon->setToolTip(text);
}

void TrayIcon::AddMenuItem(int id, std::string_view gbk, std::function<void()> action) {
  QAction* item = impl_->menu->addAction(ToQt(gbk));
  // Run from the event loop: the work may ask a question or wait, which it must not do inside
  // the menu's own handling.
  Impl* impl = impl_.get();
  QObject::connect(item, &QAction::triggered, item, [impl, action] { impl->Queue(action); });
  impl_->items[id] = item;
}

void TrayIcon::AddMenuSeparator() {
  impl_->menu->addSeparator();
}

void TrayIcon::SetMenuItem(int id, std::string_view gbk, bool enabled) {
  auto it = impl_->items.find(id);
  if (it == impl_->items.end()) return;
  const QString text = ToQt(gbk);
  if (it->second->text() != text) it->second->setText(text);
  if (it->second->isEnabled() != enabled) it->second->setEnabled(enabled);
}

void TrayIcon::OnActivated(std::function<void()> action) {
  impl_->activated = std::move(action);
}

QSystemTrayIcon* SystemTrayIcon(const TrayIcon& tray) {
  return tray.GetImpl().icon.get();
}

}  // namespace ui
