#include "app/string_grid.h"

#include <algorithm>
#include <numeric>

#include <QBrush>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>

namespace tarvik::app {

// Draws row 0 on the tooltip background in the table's text colour, as a
// header, and centres every cell's text.
class GridCellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The editor opened last, while it exists.
  QWidget* OpenEditor() const { return editor_; }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = editor;
    // The grid sees the editor's keys first (Ctrl+V of table rows).
    if (editor != nullptr) editor->installEventFilter(this->parent());
    return editor;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignCenter;
    if (index.row() == 0) {
      option->backgroundBrush = option->palette.brush(QPalette::ToolTipBase);
      option->state &= ~QStyle::State_Selected;
    }
  }

 private:
  mutable QPointer<QWidget> editor_;
};

StringGrid::StringGrid(int columns, QWidget* parent) : QTableWidget(0, columns, parent) {
  horizontalHeader()->setVisible(false);
  verticalHeader()->setVisible(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(verticalHeader()->minimumSectionSize() + 4);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
  delegate_ = new GridCellDelegate(this);
  setItemDelegate(delegate_);
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (quiet_) return;
    const QString text = OneCellText(item->text());
    if (text != item->text()) {
      quiet_ = true;
      item->setText(text);
      quiet_ = false;
    }
    emit CellEdited(item->column(), item->row(), text);
    FitColumns();
  });
  FitColumns();
}

QString StringGrid::Cell(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell != nullptr ? cell->text() : QString();
}

void StringGrid::SetCell(int column, int row, const QString& text) {
  quiet_ = true;
  if (QTableWidgetItem* cell = item(row, column)) {
    cell->setText(text);
  } else {
    setItem(row, column, new QTableWidgetItem(text));
  }
  quiet_ = false;
}

void StringGrid::SetRows(int rowCount) {
  CommitEdit();
  quiet_ = true;
  setRowCount(rowCount);
  quiet_ = false;
}

void StringGrid::CommitEdit() {
  if (state() != QAbstractItemView::EditingState) return;
  QWidget* editor = delegate_->OpenEditor();
  if (editor == nullptr) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

namespace {

const QColor kProblemText(Qt::red);
const QColor kProblemGround(255, 228, 228);

}  // namespace

void StringGrid::SetCellProblem(int column, int row, const QString& problem) {
  if (CellProblem(column, row) == problem) return;
  quiet_ = true;
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem();
    setItem(row, column, cell);
  }
  if (problem.isEmpty()) {
    cell->setData(Qt::ForegroundRole, QVariant());
    cell->setData(Qt::BackgroundRole, QVariant());
  } else {
    cell->setForeground(QBrush(kProblemText));
    cell->setBackground(QBrush(kProblemGround));
  }
  cell->setToolTip(problem);
  quiet_ = false;
}

QString StringGrid::CellProblem(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell != nullptr ? cell->toolTip() : QString();
}

void StringGrid::SetAutomaticColumnWidths(bool automatic) {
  automaticWidths_ = automatic;
  if (automatic) {
    FitColumns();
  } else {
    contentWidths_.clear();
    setMinimumWidth(0);
  }
}

void StringGrid::SetLeastColumnWidths(std::vector<int> widths) {
  if (automaticWidths_) return;
  contentWidths_ = std::move(widths);
  contentWidths_.resize(static_cast<std::size_t>(columnCount()), 0);
  LayOutColumns();
}

void StringGrid::FitColumns() {
  if (!automaticWidths_) return;
  // A little air on both sides, so that a number never touches the grid
  // lines.
  constexpr int kPadding = 8;
  contentWidths_.assign(static_cast<std::size_t>(columnCount()), 0);
  for (int column = 0; column < columnCount(); ++column) {
    contentWidths_[static_cast<std::size_t>(column)] =
        std::max(sizeHintForColumn(column), 0) + kPadding;
  }
  const int content = std::accumulate(contentWidths_.begin(), contentWidths_.end(), 0);
  // Room for the vertical scroll bar is kept, so a long table never needs a
  // horizontal one.
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  setMinimumWidth(content + 2 * frameWidth() + scrollBar);
  LayOutColumns();
}

void StringGrid::LayOutColumns() {
  const int columns = static_cast<int>(contentWidths_.size());
  if (columns == 0) return;
  const int content = std::accumulate(contentWidths_.begin(), contentWidths_.end(), 0);
  const int extra = std::max(0, viewport()->width() - content);
  for (int column = 0; column < columns; ++column) {
    int width = contentWidths_[static_cast<std::size_t>(column)] + extra / columns;
    if (column == columns - 1) width += extra % columns;
    horizontalHeader()->resizeSection(column, width);
  }
  emit ColumnsLaidOut();
}

QString StringGrid::OneCellText(QString text) {
  for (QChar& c : text) {
    if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
  }
  return text;
}

bool StringGrid::eventFilter(QObject* watched, QEvent* event) {
  // Only the open editor is watched. Left unaccepted, the shortcut override
  // lets the grid's paste action take Ctrl+V; the editor is closed first, so
  // nothing of the clipboard lands in the cell.
  if (event->type() == QEvent::ShortcutOverride && watched == delegate_->OpenEditor() &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) && rowsOnClipboard_ &&
      rowsOnClipboard_()) {
    event->ignore();
    return true;
  }
  return QTableWidget::eventFilter(watched, event);
}

bool StringGrid::viewportEvent(QEvent* event) {
  // The viewport follows the grid's size and narrows when the vertical
  // scroll bar appears.
  if (event->type() == QEvent::Resize) LayOutColumns();
  return QTableWidget::viewportEvent(event);
}

}  // namespace tarvik::app
