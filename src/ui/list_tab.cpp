// The tab control and the list view of the dialog layer.
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

#include "ui/dialog_impl.h"

namespace ui {
namespace {

constexpr int kTabBarHeight = 24;

Qt::Alignment AlignmentOf(ColumnFormat format) {
  switch (format) {
    case ColumnFormat::kCentre:
      return Qt::AlignCenter;
    case ColumnFormat::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

}  // namespace

TabHost::TabHost(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
  bar_->setDrawBase(false);
  bar_->setExpanding(false);
}

void TabHost::resizeEvent(QResizeEvent*) {
  bar_->setGeometry(0, 0, width(), kTabBarHeight);
}

void TabHost::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionTabWidgetFrame option;
  option.initFrom(this);
  option.rect = QRect(0, kTabBarHeight - 2, width(), height() - kTabBarHeight + 2);
  option.shape = QTabBar::RoundedNorth;
  option.tabBarSize = bar_->sizeHint();
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

ListTable::ListTable(QWidget* parent) : QTableWidget(parent) {
  verticalHeader()->hide();
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setMinimumSectionSize(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  ApplyExtendedStyle();
}

void ListTable::ApplyExtendedStyle() {
  setShowGrid(extendedStyle & LVS_EX_GRIDLINES);
  setSelectionBehavior((extendedStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                              : QAbstractItemView::SelectItems);
}

void ListTable::mouseReleaseEvent(QMouseEvent* event) {
  QTableWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  QModelIndex index = indexAt(event->position().toPoint());
  if (onItemClick) onItemClick(index.isValid() ? index.row() : -1);
}

void ListTable::keyPressEvent(QKeyEvent* event) {
  QTableWidget::keyPressEvent(event);
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && onItemClick &&
      currentRow() >= 0) {
    onItemClick(currentRow());
  }
}

// --- ListView --------------------------------------------------------------------------------

namespace {
ListTable* TableOf(const Dialog& dialog, int id) {
  return dynamic_cast<ListTable*>(dialog.GetImpl().Control(id));
}
}  // namespace

unsigned ListView::GetExtendedStyle() const {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    return t != nullptr ? t->extendedStyle : 0u;
  });
}

void ListView::SetExtendedStyle(unsigned style) {
  OnUiThread(dialog_, [&] {
    if (ListTable* t = TableOf(dialog_, id_)) {
      t->extendedStyle = style;
      t->ApplyExtendedStyle();
    }
  });
}

int ListView::InsertColumn(int index, std::string_view heading, ColumnFormat format, int width,
                           int) {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    if (t == nullptr) return -1;
    int at = std::clamp(index, 0, t->columnCount());
    t->insertColumn(at);
    auto* header = new QTableWidgetItem(ToQt(heading));
    header->setTextAlignment(AlignmentOf(format));
    t->setHorizontalHeaderItem(at, header);
    t->columnAlignment.insert(t->columnAlignment.begin() + at, AlignmentOf(format));
    t->setColumnWidth(at, width);
    return at;
  });
}

int ListView::GetColumnWidth(int column) const {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    return t != nullptr ? t->columnWidth(column) : 0;
  });
}

int ListView::GetColumnCount() const {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    return t != nullptr ? t->columnCount() : 0;
  });
}

std::string ListView::GetColumnHeading(int column) const {
  return OnUiThread(dialog_, [&]() -> std::string {
    ListTable* t = TableOf(dialog_, id_);
    QTableWidgetItem* item = t != nullptr ? t->horizontalHeaderItem(column) : nullptr;
    return item != nullptr ? FromQt(item->text()) : std::string();
  });
}

int ListView::GetClientWidth() const {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    if (t == nullptr) return 0;
    t->ensurePolished();
    int width = t->width() - 2 * t->frameWidth();
    if (t->verticalScrollBar()->isVisible()) width -= t->verticalScrollBar()->width();
    return width;
  });
}

int ListView::InsertItem(int index, std::string_view text) {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    if (t == nullptr || t->columnCount() == 0) return -1;
    int at = std::clamp(index, 0, t->rowCount());
    t->insertRow(at);
    for (int c = 0; c < t->columnCount(); ++c) {
      auto* item = new QTableWidgetItem(c == 0 ? ToQt(text) : QString());
      item->setTextAlignment(t->columnAlignment[static_cast<std::size_t>(c)]);
      t->setItem(at, c, item);
    }
    return at;
  });
}

bool ListView::SetItemText(int item, int subItem, std::string_view text) {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    if (t == nullptr || item < 0 || item >= t->rowCount() || subItem < 0 ||
        subItem >= t->columnCount()) {
      return false;
    }
    t->item(item, subItem)->setText(ToQt(text));
    return true;
  });
}

std::string ListView::GetItemText(int item, int subItem) const {
  return OnUiThread(dialog_, [&]() -> std::string {
    ListTable* t = TableOf(dialog_, id_);
    QTableWidgetItem* cell = t != nullptr ? t->item(item, subItem) : nullptr;
    return cell != nullptr ? FromQt(cell->text()) : std::string();
  });
}

int ListView::GetItemCount() const {
  return OnUiThread(dialog_, [&] {
    ListTable* t = TableOf(dialog_, id_);
    return t != nullptr ? t->rowCount() : 0;
  });
}

void ListView::DeleteAllItems() {
  OnUiThread(dialog_, [&] {
    if (ListTable* t = TableOf(dialog_, id_)) t->setRowCount(0);
  });
}

// --- TabControl ------------------------------------------------------------------------------

namespace {
TabHost* TabOf(const Dialog& dialog, int id) {
  return dynamic_cast<TabHost*>(dialog.GetImpl().Control(id));
}
}  // namespace

void TabControl::InsertItem(int index, std::string_view text) {
  OnUiThread(dialog_, [&] {
    if (TabHost* t = TabOf(dialog_, id_)) {
      QSignalBlocker quiet(t->Bar());  // inserting is no selection change of the user's
      t->Bar()->insertTab(index, ToQt(text));
    }
  });
}

int TabControl::GetItemCount() const {
  return OnUiThread(dialog_, [&] {
    TabHost* t = TabOf(dialog_, id_);
    return t != nullptr ? t->Bar()->count() : 0;
  });
}

std::string TabControl::GetItemText(int index) const {
  return OnUiThread(dialog_, [&]() -> std::string {
    TabHost* t = TabOf(dialog_, id_);
    return t != nullptr ? FromQt(t->Bar()->tabText(index)) : std::string();
  });
}

int TabControl::GetCurSel() const {
  return OnUiThread(dialog_, [&] {
    TabHost* t = TabOf(dialog_, id_);
    return t != nullptr ? t->Bar()->currentIndex() : -1;
  });
}

void TabControl::SetCurSel(int index) {
  OnUiThread(dialog_, [&] {
    if (TabHost* t = TabOf(dialog_, id_)) {
      QSignalBlocker quiet(t->Bar());  // as on the platform, setting the selection notifies nobody
      t->Bar()->setCurrentIndex(index);
    }
  });
}

Rect TabControl::GetClientRect() const {
  return OnUiThread(dialog_, [&] {
    TabHost* t = TabOf(dialog_, id_);
    return t != nullptr ? Rect{0, 0, t->width(), t->height()} : Rect{};
  });
}

}  // namespace ui
