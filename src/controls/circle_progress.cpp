#include "controls/circle_progress.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>

#include "ui/application.h"
#include "ui/qt_access.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kDefaultSize = 106;
constexpr int kDefaultInnerRadius = 20;
constexpr int kDefaultOuterRadius = 50;

// Composes a frame off-screen: the ground, then every spoke in the opaque base colour, then every
// spoke again in its colour of the current phase. Lines are drawn without anti-aliasing, with
// round caps. Null for empty bounds.
QImage ComposeFrame(const CCircleProgress& spinner) {
  const ui::Rect bounds = spinner.Bounds();
  if (bounds.Width() <= 0 || bounds.Height() <= 0) return QImage();
  QImage frame(bounds.Width(), bounds.Height(), QImage::Format_RGB32);
  frame.fill(QColor::fromRgb(CCircleProgress::kFillColour));
  QPainter painter(&frame);
  painter.setRenderHint(QPainter::Antialiasing, false);
  auto line = [&](int k, std::uint32_t argb) {
    painter.setPen(QPen(QColor::fromRgba(argb), static_cast<qreal>(spinner.PenWidth()),
                        Qt::SolidLine, Qt::RoundCap));
    const CCircleProgress::Spoke spoke = spinner.SpokeEnds(k);
    painter.drawLine(QPoint(spoke.inner.x, spoke.inner.y), QPoint(spoke.outer.x, spoke.outer.y));
  };
  const int count = spinner.Colours().empty() ? 0 : spinner.SpokeCount();
  for (int k = 1; k <= count; ++k) line(k, CCircleProgress::kBaseColour);
  for (int d = 0; d < count; ++d) line(d + 1, spinner.SpokeColour(d + 1));
  return frame;
}

// The spinner's window: paints the frame its owner composes, in a single copy.
class SpinnerWidget : public QWidget {
 public:
  SpinnerWidget(const CCircleProgress& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    // Every frame covers the whole window, so nothing is erased before it is painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("control%1").arg(CCircleProgress::kControlId));
    setAccessibleName(QString::fromUtf8("正在下载"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const QImage frame = ComposeFrame(owner_);
    if (frame.isNull()) return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, frame);
  }

 private:
  const CCircleProgress& owner_;
};

}  // namespace

struct CCircleProgress::Impl {
  QPointer<SpinnerWidget> widget;
  std::map<int, QPointer<QTimer>> timers;  // children of the widget: gone with it
};

CCircleProgress::CCircleProgress() : impl_(std::make_unique<Impl>()) {}

CCircleProgress::~CCircleProgress() {
  ui::Invoke([this] { delete impl_->widget.data(); });
}

bool CCircleProgress::CreateSpinner(ui::Dialog& parent, const ui::Rect& rect) {
  bool created = false;
  ui::Invoke([&] {
    QWidget* parentWidget = ui::WindowWidget(parent);
    if (parentWidget == nullptr) return;
    bounds_ = rect;
    penWidth_ = 4;
    centreX_ = rect.Width() / 2;
    centreY_ = rect.Height() / 2;
    spokeCount_ = 20;
    BuildColours();

    delete impl_->widget.data();
    impl_->timers.clear();
    impl_->widget = new SpinnerWidget(*this, parentWidget);
    impl_->widget->hide();
    impl_->widget->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    created = true;
  });
  return created;
}

void CCircleProgress::BuildColours() {
  const auto step = static_cast<std::uint8_t>(255 / spokeCount_);
  colours_.assign(static_cast<std::size_t>(spokeCount_), 0);
  for (int i = 0; i < spokeCount_; ++i) {
    const std::uint32_t alpha = static_cast<std::uint32_t>((i + 1) * step) % 256;
    colours_[static_cast<std::size_t>(i)] = (alpha << 24) | 0x808080u;
  }
}

void CCircleProgress::ApplyDefaultGeometry() {
  ui::Invoke([this] {
    innerRadius_ = kDefaultInnerRadius;
    outerRadius_ = kDefaultOuterRadius;
    bounds_ = ui::Rect{bounds_.left, bounds_.top, bounds_.left + kDefaultSize,
                       bounds_.top + kDefaultSize};
    centreX_ = centreY_ = kDefaultSize / 2;
    if (impl_->widget) {
      // setGeometry keeps the window's place among its siblings.
      impl_->widget->setGeometry(bounds_.left, bounds_.top, kDefaultSize, kDefaultSize);
      impl_->widget->update();
    }
  });
}

void CCircleProgress::ShowWindow(bool show) {
  ui::Invoke([&] {
    if (impl_->widget) impl_->widget->setVisible(show);
  });
}

bool CCircleProgress::IsWindowVisible() const {
  bool visible = false;
  ui::Invoke([&] { visible = impl_->widget && !impl_->widget->isHidden(); });
  return visible;
}

bool CCircleProgress::HasWindow() const {
  bool exists = false;
  ui::Invoke([&] { exists = impl_->widget != nullptr; });
  return exists;
}

void CCircleProgress::SetTimer(int id, int milliseconds) {
  ui::Invoke([&] {
    if (!impl_->widget) return;
    QPointer<QTimer>& timer = impl_->timers[id];
    if (timer.isNull()) {
      timer = new QTimer(impl_->widget);
      QObject::connect(timer, &QTimer::timeout, timer, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
  });
}

void CCircleProgress::KillTimer(int id) {
  ui::Invoke([&] {
    auto it = impl_->timers.find(id);
    if (it != impl_->timers.end() && it->second) it->second->stop();
  });
}

bool CCircleProgress::IsTimerRunning(int id) const {
  bool running = false;
  ui::Invoke([&] {
    auto it = impl_->timers.find(id);
    running = it != impl_->timers.end() && it->second && it->second->isActive();
  });
  return running;
}

void CCircleProgress::OnTimer(int id) {
  if (id != kTurnTimer || spokeCount_ <= 0) return;
  phase_ = (phase_ + 1) % spokeCount_;
  ui::Invoke([this] {
    if (impl_->widget) impl_->widget->update();
  });
}

CCircleProgress::Spoke CCircleProgress::SpokeEnds(int k) const {
  const double step = 360.0 / spokeCount_;
  const double theta = k * kPi * step / 180;
  const auto c = static_cast<float>(std::cos(theta));
  const auto s = static_cast<float>(std::sin(theta));
  auto at = [&](int radius) {
    const auto r = static_cast<float>(radius);
    return Point{static_cast<int>(r * c + static_cast<float>(centreX_)),
                 static_cast<int>(r * s + static_cast<float>(centreY_))};
  };
  return Spoke{at(innerRadius_), at(outerRadius_)};
}

std::uint32_t CCircleProgress::SpokeColour(int k) const {
  if (colours_.empty()) return 0;
  const int d = k - 1;
  return colours_[static_cast<std::size_t>((phase_ + d) % spokeCount_)];
}

std::vector<std::uint32_t> CCircleProgress::RenderFrame() const {
  std::vector<std::uint32_t> pixels;
  ui::Invoke([&] {
    const QImage frame = ComposeFrame(*this);
    if (frame.isNull()) return;
    const int w = frame.width();
    pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(frame.height()));
    for (int y = 0; y < frame.height(); ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(frame.constScanLine(y));
      std::copy(row, row + w, pixels.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
  });
  return pixels;
}
