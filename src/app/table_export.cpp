#include "app/table_export.h"

#include <algorithm>
#include <climits>

#include <QDir>
#include <QHeaderView>

#include "app/handler.h"
#include "app/locale_mark.h"
#include "assessment/state.h"
#include "common/files.h"

namespace tarvik::app {

TextTable ShownCells(const QTableWidget& table, bool selectedOnly) {
  int top = 0, bottom = table.rowCount() - 1, left = 0, right = table.columnCount() - 1;
  const QList<QTableWidgetSelectionRange> ranges = table.selectedRanges();
  int selected = 0;
  for (const QTableWidgetSelectionRange& range : ranges)
    selected += range.rowCount() * range.columnCount();
  if (selectedOnly && selected > 1) {
    top = left = INT_MAX;
    bottom = right = -1;
    for (const QTableWidgetSelectionRange& range : ranges) {
      top = std::min(top, range.topRow());
      bottom = std::max(bottom, range.bottomRow());
      left = std::min(left, range.leftColumn());
      right = std::max(right, range.rightColumn());
    }
  }
  TextTable rows;
  // Header sections of their own (not a row of the grid) come first.
  std::vector<std::string> header;
  bool anyHeader = false;
  for (int column = left; column <= right && !table.horizontalHeader()->isHidden(); ++column) {
    if (table.isColumnHidden(column)) continue;
    const QTableWidgetItem* cell = table.horizontalHeaderItem(column);
    anyHeader = anyHeader || cell != nullptr;
    // A header set on two lines («Статис-\nтика») is copied as one.
    QString text = cell != nullptr ? cell->text() : QString();
    text.replace(QStringLiteral("-\n"), QString()).replace(QLatin1Char('\n'), QLatin1Char(' '));
    header.push_back(ToUtf8(text));
  }
  if (anyHeader) rows.push_back(std::move(header));
  for (int row = top; row <= bottom; ++row) {
    if (table.isRowHidden(row)) continue;
    std::vector<std::string> cells;
    for (int column = left; column <= right; ++column) {
      if (table.isColumnHidden(column)) continue;
      const QTableWidgetItem* cell = table.item(row, column);
      cells.push_back(cell != nullptr ? ToUtf8(cell->text()) : std::string());
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

TableExport::TableExport(QWidget* owner, UiServices& ui, const Session& session, Rows rows,
                         const QString& copyCaption)
    : QObject(owner), ui_(ui), session_(session), rows_(std::move(rows)) {
  copy_ = new QAction(copyCaption, owner);
  copy_->setObjectName(owner->objectName() + QStringLiteral("Copy"));
  save_ = new QAction(QStringLiteral("Сохранить как CSV…"), owner);
  save_->setObjectName(owner->objectName() + QStringLiteral("SaveCsv"));
  ConnectHandler(copy_, &QAction::triggered, this, ui_, [this] { Copy(); });
  ConnectHandler(save_, &QAction::triggered, this, ui_, [this] { SaveCsv(); });
}

void TableExport::Copy() {
  ui_.SetClipboardText(FromUtf8(TabSeparatedText(rows_(true))));
}

bool TableExport::SaveCsv() {
  const std::optional<QString> path = ui_.AskSaveFileName(
      FileDialogOptions{QStringLiteral("Сохранить таблицу как CSV"), QDir::currentPath(),
                        QStringLiteral("Таблица CSV (*.csv)"), QStringLiteral("csv")});
  if (!path) return false;
  WriteExportFile(ToUtf8(*path), CsvFileBytes(rows_(false)), session_.State().DataFileName,
                  "Таблицу");
  return true;
}

namespace {

// Ctrl+C within `owner` and the items in its menu.
TableExport* Attach(QWidget* owner, TableExport* exporter, QMenu* menu) {
  exporter->CopyAction()->setShortcut(QKeySequence::Copy);
  exporter->CopyAction()->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  owner->addActions(exporter->Actions());
  if (menu != nullptr) {
    menu->addActions(exporter->Actions());
  } else {
    owner->setContextMenuPolicy(Qt::ActionsContextMenu);
  }
  return exporter;
}

}  // namespace

TableExport* AttachTableExport(QTableWidget* table, UiServices& ui, const Session& session,
                               QMenu* menu) {
  return Attach(
      table,
      new TableExport(table, ui, session,
                      [table](bool selectedOnly) { return ShownCells(*table, selectedOnly); }),
      menu);
}

TableExport* AttachPanelExport(QWidget* panel, UiServices& ui, const Session& session,
                               std::function<TextTable()> rows, QMenu* menu) {
  return Attach(
      panel, new TableExport(panel, ui, session, [rows = std::move(rows)](bool) { return rows(); }),
      menu);
}

TableExport* AttachTextTableExport(QPlainTextEdit* memo, UiServices& ui, const Session& session,
                                   std::function<TextTable()> rows) {
  auto* exporter = new TableExport(
      memo, ui, session, [rows = std::move(rows)](bool) { return rows(); },
      QStringLiteral("Копировать таблицу"));
  memo->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(memo, &QWidget::customContextMenuRequested, memo, [memo, exporter](QPoint at) {
    QMenu* menu = memo->createStandardContextMenu(at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addActions(exporter->Actions());
    menu->popup(memo->viewport()->mapToGlobal(at));
  });
  return exporter;
}

}  // namespace tarvik::app
