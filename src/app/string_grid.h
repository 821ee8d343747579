#pragma once

#include <QStyledItemDelegate>
#include <QTableWidget>

namespace tarvik::app {

class GridCellDelegate;

// A table of text cells without separate header sections: row 0 is a row of
// the table like the others, drawn in the tooltip colour, and every cell is
// drawn centred. Cells are edited in place; ranges of cells can be selected.
class StringGrid : public QTableWidget {
  Q_OBJECT

 public:
  StringGrid(int columns, QWidget* parent = nullptr);

  QString Cell(int column, int row) const;
  // Sets a cell's text without signalling an edit.
  void SetCell(int column, int row, const QString& text);
  // Sets the number of rows without signalling edits; new rows are empty.
  void SetRows(int rowCount);

  // Puts the text of an open cell editor into its cell and closes the
  // editor, so what the user sees is what the cells hold.
  void CommitEdit();

 signals:
  // The user changed a cell's text.
  void CellEdited(int column, int row, const QString& text);

 private:
  GridCellDelegate* delegate_ = nullptr;
  bool quiet_ = false;
};

}  // namespace tarvik::app
