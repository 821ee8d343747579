#pragma once

#include <functional>

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "app/services.h"
#include "assessment/session.h"
#include "common/table_text.h"

namespace tarvik::app {

// The texts a table widget shows, row by row, after the texts of its header
// sections when it has any; hidden rows and columns are left out. With `selectedOnly` and more than
// one cell selected: only the rectangle that spans the selection; otherwise the whole table.
TextTable ShownCells(const QTableWidget& table, bool selectedOnly = false);

// «Копировать» and «Сохранить как CSV…» of one table: the clipboard gets
// TabSeparatedText, the file CsvFileBytes (tarvik/common/table_text.h) of the
// rows the table shows. The file is written whole or not at all, never over
// the data file; failures end in the error box.
class TableExport : public QObject {
  Q_OBJECT

 public:
  // The rows as the table shows them; `selectedOnly` asks for the selected
  // part (a table without a selection gives all of it).
  using Rows = std::function<TextTable(bool selectedOnly)>;

  // The actions are children of `owner` and named after it
  // ("<name>Copy", "<name>SaveCsv").
  TableExport(QWidget* owner, UiServices& ui, const Session& session, Rows rows,
              const QString& copyCaption = QStringLiteral("Копировать"));

  QAction* CopyAction() const { return copy_; }
  QAction* SaveAction() const { return save_; }
  QList<QAction*> Actions() const { return {copy_, save_}; }

  // The selection (or the whole table) to the clipboard.
  void Copy();
  // Asks for a file name and writes the whole table; false when cancelled.
  bool SaveCsv();

 private:
  UiServices& ui_;
  const Session& session_;
  Rows rows_;
  QAction* copy_ = nullptr;
  QAction* save_ = nullptr;
};

// Gives a table widget its export: Ctrl+C while the table has the focus (an
// open cell editor keeps its own), and both items in its context menu —
// `menu` when the table has a menu of its own, otherwise a menu of the
// table's actions.
TableExport* AttachTableExport(QTableWidget* table, UiServices& ui, const Session& session,
                               QMenu* menu = nullptr);

// The same for a panel that shows a table in widgets of its own (fields,
// tabs): Ctrl+C while the focus is in the panel (a field keeps its own
// Ctrl+C for its selected text) and the two items in the panel's context
// menu — `menu` when it has one, otherwise a menu of the panel's actions,
// opened where no child has a menu of its own. `rows` gives the whole table.
TableExport* AttachPanelExport(QWidget* panel, UiServices& ui, const Session& session,
                               std::function<TextTable()> rows, QMenu* menu = nullptr);

// The same for a table shown as text (a memo): its context menu gets
// «Копировать таблицу» and «Сохранить как CSV…» after the text's own items,
// whose Ctrl+C keeps copying the selected text.
TableExport* AttachTextTableExport(QPlainTextEdit* memo, UiServices& ui, const Session& session,
                                   std::function<TextTable()> rows);

}  // namespace tarvik::app
