#include "controls/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/resource.h"
#include "ui/qt_access.h"

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  PaintAppIcon(painter, size);
  return pixmap;
}

}  // namespace

// A shield with a keyhole: blue ground, white rim.
void PaintAppIcon(QPainter& painter, double size) {
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  QPainterPath shield;
  shield.moveTo(s * 0.5, s * 0.06);
  shield.lineTo(s * 0.88, s * 0.2);
  shield.cubicTo(s * 0.88, s * 0.58, s * 0.72, s * 0.82, s * 0.5, s * 0.95);
  shield.cubicTo(s * 0.28, s * 0.82, s * 0.12, s * 0.58, s * 0.12, s * 0.2);
  shield.closeSubpath();
  QLinearGradient ground(0, 0, 0, s);
  ground.setColorAt(0, QColor(46, 134, 222));
  ground.setColorAt(1, QColor(18, 72, 148));
  painter.setBrush(ground);
  painter.setPen(QPen(Qt::white, s * 0.05));
  painter.drawPath(shield);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(s * 0.5, s * 0.42), s * 0.11, s * 0.11);
  QPolygonF stem({QPointF(s * 0.45, s * 0.46), QPointF(s * 0.55, s * 0.46),
                  QPointF(s * 0.59, s * 0.72), QPointF(s * 0.41, s * 0.72)});
  painter.drawPolygon(stem);
}

void RegisterAppIcon() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawIcon(size));
  ui::RegisterIconResource(IDR_MAINFRAME, icon);
}
