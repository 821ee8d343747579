#pragma once

#include <functional>
#include <vector>

#include <QStyledItemDelegate>
#include <QTableWidget>

namespace tarvik::app {

class GridCellDelegate;

// A table of text cells without separate header sections: row 0 is a row of
// the table like the others, drawn in the tooltip colour, and every cell is
// drawn centred. Cells are edited in place; ranges of cells can be selected.
// Every column is at least as wide as its widest text; the width the grid
// has beyond that is shared out evenly, so the grid can widen with its window.
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

  // Marks a cell whose text is wrong: red on a pale red ground, with
  // `problem` as its tooltip. An empty problem clears the mark.
  void SetCellProblem(int column, int row, const QString& problem);
  QString CellProblem(int column, int row) const;
  bool CellMarked(int column, int row) const { return !CellProblem(column, row).isEmpty(); }

  // Measures the columns' texts again after cells were set; the grid's
  // minimum width then shows every column whole. A user's edit does this by
  // itself.
  void FitColumns();

  // Whether the grid sizes its columns itself (the default). A grid whose
  // owner sets the column widths (wrapped texts) turns it off.
  void SetAutomaticColumnWidths(bool automatic);
  // With automatic widths off: the least width of each column. The room the
  // grid has beyond their sum is shared out evenly, again whenever the grid
  // is resized (ColumnsLaidOut then follows).
  void SetLeastColumnWidths(std::vector<int> widths);

  // Whether the clipboard holds table rows (a TAB or a line break). While it
  // does, Ctrl+V in an open cell editor is not the editor's own: the editor
  // is closed and the key goes to the grid's paste action, as without an
  // editor. Unset: the editor pastes as usual.
  void SetRowsOnClipboard(std::function<bool()> rowsOnClipboard) {
    rowsOnClipboard_ = std::move(rowsOnClipboard);
  }

  // The text a cell takes: a TAB or a line break becomes a space, so a cell
  // is always one line of one cell.
  static QString OneCellText(QString text);

 signals:
  // The user changed a cell's text.
  void CellEdited(int column, int row, const QString& text);
  // The columns were given their widths (wrapped rows may need new heights).
  void ColumnsLaidOut();

 protected:
  bool viewportEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOutColumns();

  GridCellDelegate* delegate_ = nullptr;
  bool quiet_ = false;
  bool automaticWidths_ = true;
  std::vector<int> contentWidths_;
  std::function<bool()> rowsOnClipboard_;
};

}  // namespace tarvik::app
