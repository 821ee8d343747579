#pragma once

#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include "app/chart_panel.h"
#include "app/page.h"
#include "app/string_grid.h"
#include "data/data_file.h"
#include "data/primary_processing.h"

namespace tarvik::app {

// Page 1 "Данные": the catch-effort table, the description of the data, the
// units and the exploratory plots. The grid shows State().Table; every edit
// of a cell goes into it at once, so the table in the state is always the
// grid's text.
class DataPage : public Page {
  Q_OBJECT

 public:
  explicit DataPage(PageContext context, QWidget* parent = nullptr);

  // Ends an edit still open in the grid, so the state holds its text.
  void CommitGrid();

  // Shows State().Table in the grid.
  void ShowTable();

  // The description as the fields hold it, and the other way round.
  data::DataDescription Description() const;
  void ShowDescription(const data::DataDescription& description);

  // est1 "Вставить": replaces the data rows by the clipboard's rows
  // (estimation::PasteDataSet: every result of the previous data is cleared).
  void PasteClipboard();

  // Ctrl+Z in the grid: puts the table (and the series as loaded) back as it
  // was before the last paste or cell edit, one step at a time; undoing a
  // paste replaces the data set again (estimation::ReplaceDataSet).
  void UndoTableChange();
  bool CanUndo() const { return !undo_.empty(); }

  // Whether the table or the description differ from what was last opened
  // or saved (at start: from the empty table). Ends an open cell edit first.
  bool Modified();
  // What the table and the description hold now is what the file holds.
  void MarkSaved();
  // The table and the description now show a file just opened: its state
  // counts as saved, nothing before it can be undone, and the plot of the
  // previous data is gone.
  void FileOpened();

  // Empties Chart1 (the data it showed were replaced).
  void ClearPlot();

  StringGrid* Grid() const { return stringGrid1_; }
  ChartPanel* Chart() const { return chart1_; }
  QMenu* GridMenu() const { return popupMenu1_; }
  QAction* UndoAction() const { return undoAction_; }

 signals:
  // The table holds another data set (a paste, the undo of one, the moving
  // average of effort): the state cleared every result of the previous one.
  void DataSetReplaced();

 private:
  QGroupBox* BuildDescription();
  QGroupBox* BuildUnits();
  QGroupBox* BuildPrimaryProcessing();

  void ShowCatchUnit();
  void UpDown2Click();
  void ShowPlot(const data::ExploratoryPlot& plot);
  // The table and the series as loaded, as they were before a change, and
  // whether the change replaced the data set (not a cell edit).
  struct TableState {
    data::DataTable table;
    data::CatchEffortSeries loadedSeries;
    bool replacedDataSet = false;
  };
  void RememberForUndo(TableState before);
  // Marks the cell red, its problem in the tooltip, when its text does not
  // read as its column needs (an empty cell is not marked: not filled yet).
  void MarkCell(int column, int row);

  StringGrid* stringGrid1_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QLineEdit* edit3_ = nullptr;
  QLineEdit* edit4_ = nullptr;
  QLineEdit* edit5_ = nullptr;
  QComboBox* comboBox1_ = nullptr;
  QComboBox* comboBox2_ = nullptr;
  QLabel* label8_ = nullptr;  // the catch unit
  QLabel* label9_ = nullptr;  // its exponent
  QSpinBox* upDown1_ = nullptr;
  QSpinBox* upDown2_ = nullptr;
  QLineEdit* edit6_ = nullptr;
  ChartPanel* chart1_ = nullptr;
  QAction* undoAction_ = nullptr;
  std::vector<TableState> undo_;
  data::DataTable savedTable_;
  data::DataDescription savedDescription_;
};

}  // namespace tarvik::app
