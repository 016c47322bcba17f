// What a screen reader hears of a dialog's controls: their names and labels, and the order in
// which Tab reaches them.
//
// A control that shows text (a label, a button, a check box, a radio button, a group box) is named
// by that text, which Qt reads from the widget each time, so the name follows the screen. An edit
// has no text of its own to go by; the platform's dialogs name it after the static text that
// stands before it, and so do we: the label becomes the edit's buddy, which Qt announces as its
// name and as its "labelled by" relation.
#include <QAbstractItemView>
#include <QLabel>

#include <optional>

#include "ui/dialog_impl.h"

namespace ui {
namespace {

bool IsStaticText(const ControlTemplate& c) {
  return c.kind == ControlKind::kLabel && c.id == IDC_STATIC && !c.text.empty();
}

// The controls that a static text labels: edits, lists, and labels that show a value.
bool TakesALabel(const ControlTemplate& c) {
  return c.kind == ControlKind::kEdit || c.kind == ControlKind::kListView ||
         (c.kind == ControlKind::kLabel && c.id != IDC_STATIC);
}

bool OverlapsVertically(const ControlTemplate& a, const ControlTemplate& b) {
  return a.y < b.y + b.height && b.y < a.y + a.height;
}

// The static text on the line of `target`, to its left, with no other control between them (the
// nearest one when there are several); the frames of group boxes do not count as between.
std::optional<std::size_t> LabelOnTheLeft(const std::vector<ControlTemplate>& controls,
                                          std::size_t target) {
  const ControlTemplate& t = controls[target];
  const int middle = t.y + t.height / 2;
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& l = controls[i];
    if (!IsStaticText(l) || l.x + l.width > t.x + 1) continue;
    const int labelMiddle = l.y + l.height / 2;
    const bool sameLine = (labelMiddle >= t.y && labelMiddle <= t.y + t.height) ||
                          (middle >= l.y && middle <= l.y + l.height);
    if (!sameLine) continue;
    if (best && controls[*best].x + controls[*best].width >= l.x + l.width) continue;
    bool blocked = false;
    for (std::size_t j = 0; j < controls.size() && !blocked; ++j) {
      const ControlTemplate& c = controls[j];
      if (j == i || j == target || c.kind == ControlKind::kGroupBox) continue;
      blocked = c.x >= l.x + l.width - 1 && c.x + c.width <= t.x + 1 && OverlapsVertically(c, l);
    }
    if (!blocked) best = i;
  }
  return best;
}

}  // namespace

void LabelControls(const DialogTemplate& dialogTemplate, const std::vector<QWidget*>& widgets) {
  const std::vector<ControlTemplate>& controls = dialogTemplate.controls;
  for (std::size_t i = 0; i < controls.size() && i < widgets.size(); ++i) {
    const ControlTemplate& c = controls[i];
    QWidget* widget = widgets[i];
    QString name = QString::fromUtf8(c.name.data(), static_cast<qsizetype>(c.name.size()));
    if (!name.isEmpty()) widget->setAccessibleName(name);
    if (!TakesALabel(c)) continue;
    std::optional<std::size_t> label = LabelOnTheLeft(controls, i);
    if (!label && i > 0 && IsStaticText(controls[i - 1])) label = i - 1;
    if (!label) continue;
    auto* labelWidget = qobject_cast<QLabel*>(widgets[*label]);
    if (labelWidget == nullptr) continue;
    labelWidget->setBuddy(widget);
    // A list view reads only its own name; an edit takes its buddy's text by itself.
    if (name.isEmpty() && qobject_cast<QAbstractItemView*>(widget) != nullptr) {
      widget->setAccessibleName(labelWidget->text());
    }
  }
}

void PlacePageInFocusChain(QWidget* host, QWidget* page) {
  // The last widget of the focus chain that still belongs to the host (its own parts, and the
  // pages placed in it before this one).
  QWidget* last = host;
  for (QWidget* next = last->nextInFocusChain();
       next != host && host->isAncestorOf(next) && next != page && !page->isAncestorOf(next);
       next = next->nextInFocusChain()) {
    last = next;
  }
  std::vector<QWidget*> focusable;
  for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w);
       w = w->nextInFocusChain()) {
    // Only the controls themselves: the inner parts of a list or an edit come along with them.
    if (w->parentWidget() == page && (w->focusPolicy() & Qt::TabFocus)) focusable.push_back(w);
  }
  for (QWidget* w : focusable) {
    QWidget::setTabOrder(last, w);
    last = w;
  }
}

}  // namespace ui
