#include "app/string_grid.h"

#include <QHeaderView>
#include <QPointer>

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
  horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  verticalHeader()->setDefaultSectionSize(verticalHeader()->minimumSectionSize() + 4);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
  delegate_ = new GridCellDelegate(this);
  setItemDelegate(delegate_);
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!quiet_) emit CellEdited(item->column(), item->row(), item->text());
  });
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

}  // namespace tarvik::app
