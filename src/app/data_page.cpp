#include "app/data_page.h"

#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/search.h"
#include "common/error.h"
#include "common/numbers.h"
#include "data/data_table.h"

namespace tarvik::app {

namespace {

// Chart1's background: cream.
const QColor kCream(255, 251, 240);

// Table changes that Ctrl+Z can take back.
constexpr std::size_t kUndoDepth = 100;

}  // namespace

DataPage::DataPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet1");

  stringGrid1_ = Named<StringGrid>("StringGrid1", data::DataTable::kColumns);
  stringGrid1_->setContextMenuPolicy(Qt::CustomContextMenu);
  popupMenu1_ = Named<QMenu>("PopupMenu1", this);
  QAction* est1 = popupMenu1_->addAction(QStringLiteral("Вставить"));
  est1->setObjectName("est1");
  // The menu opens where the right button was released over the grid.
  connect(stringGrid1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    popupMenu1_->popup(stringGrid1_->viewport()->mapToGlobal(pos));
  });
  On(est1, &QAction::triggered, [this] { PasteClipboard(); });
  On(stringGrid1_, &StringGrid::CellEdited, [this](int column, int row, const QString& text) {
    const std::string cell = ToUtf8(text);
    if (State().Table.Cell(column, row) == cell) return;
    RememberForUndo({State().Table, State().LoadedSeries});
    estimation::EditCell(State(), column, row, cell);
    MarkCell(column, row);
  });
  // The grid's keys: Ctrl+V pastes, Ctrl+Z takes a change back. They act
  // only while the grid has the focus (an open cell editor keeps its own
  // Ctrl+V and Ctrl+Z) and not while the grid is disabled.
  est1->setShortcut(QKeySequence::Paste);
  est1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  stringGrid1_->addAction(est1);
  // Ctrl+V in an open cell editor pastes rows as «Вставить» does.
  stringGrid1_->SetRowsOnClipboard([this] {
    const QString text = Ui().ClipboardText();
    return text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r');
  });
  undoAction_ = Named<QAction>("GridUndo", QStringLiteral("Отменить"), stringGrid1_);
  undoAction_->setShortcut(QKeySequence::Undo);
  undoAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  stringGrid1_->addAction(undoAction_);
  On(undoAction_, &QAction::triggered, [this] { UndoTableChange(); });
  AttachTableExport(stringGrid1_, Ui(), Assessment(), popupMenu1_);

  chart1_ = Named<ChartPanel>("Chart1");
  chart1_->SetTitle(QString());
  chart1_->SetLegendVisible(false);
  chart1_->SetBackground(kCream);
  chart1_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  chart1_->AddSeries("Series1", {Kind::Line, Qt::red, 2, Marker::Square, 3, true, false, {}});
  chart1_->AddSeries("Series10", {Kind::Points, Qt::red, 1, Marker::Square, 3, false, false, {}});

  auto* button1 = MakeButton("Button1", QStringLiteral("U = f(t)"));
  auto* button2 = MakeButton("Button2", QStringLiteral("E = f(t)"));
  auto* button3 = MakeButton("Button3", QStringLiteral("U = f(E)"));
  On(button1, &QPushButton::clicked, [this] {
    CommitGrid();
    ShowPlot(data::PlotCpueOverTime(State().Table, DecimalMark()));
  });
  On(button2, &QPushButton::clicked, [this] {
    CommitGrid();
    ShowPlot(data::PlotEffortOverTime(State().Table, DecimalMark()));
  });
  On(button3, &QPushButton::clicked, [this] {
    CommitGrid();
    ShowPlot(data::PlotCpueOverEffort(State().Table, DecimalMark()));
  });

  auto* plotButtons = new QHBoxLayout();
  plotButtons->addStretch(1);
  plotButtons->addWidget(button1);
  plotButtons->addWidget(button2);
  plotButtons->addWidget(button3);
  plotButtons->addStretch(1);

  auto* groups = new QHBoxLayout();
  groups->addWidget(BuildDescription(), 3);
  auto* unitColumn = new QVBoxLayout();
  unitColumn->addWidget(BuildUnits());
  unitColumn->addWidget(BuildPrimaryProcessing());
  unitColumn->addStretch(1);
  groups->addLayout(unitColumn, 2);

  auto* right = new QVBoxLayout();
  right->addLayout(groups);
  right->addWidget(chart1_, 1);
  right->addLayout(plotButtons);

  // The table widens with the window, less than the rest of the page.
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(stringGrid1_, 2);
  layout->addLayout(right, 5);

  ShowTable();
  ShowCatchUnit();
  MarkSaved();
}

QGroupBox* DataPage::BuildDescription() {
  auto* group = MakeGroupBox("GroupBox1", QStringLiteral("Справка"));
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  edit1_ = MakeEdit("Edit1");
  edit2_ = MakeEdit("Edit2");
  edit3_ = MakeEdit("Edit3");
  edit4_ = MakeEdit("Edit4");
  comboBox1_ = MakeComboBox("ComboBox1", {FromUtf8(std::string(data::kCommercialData)),
                                          FromUtf8(std::string(data::kScientificData))});
  edit5_ = MakeEdit("Edit5");
  form->addRow(QStringLiteral("Вид"), edit1_);
  form->addRow(QStringLiteral("Запас"), edit2_);
  form->addRow(QStringLiteral("Сезон промысла"), edit3_);
  form->addRow(QStringLiteral("Район промысла"), edit4_);
  form->addRow(QStringLiteral("Данные"), comboBox1_);
  form->addRow(QStringLiteral("Источник"), edit5_);
  return group;
}

QGroupBox* DataPage::BuildUnits() {
  auto* group = MakeGroupBox("GroupBox2", QStringLiteral("Размерности"));
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  comboBox2_ = MakeComboBox("ComboBox2",
                            {QStringLiteral("Час траления"), QStringLiteral("Судосутки промысла"),
                             QStringLiteral("Сетесутки лова")},
                            /*editable=*/true, /*index=*/-1);
  form->addRow(MakeLabel("Label7", QStringLiteral("Пром. усилие")), comboBox2_);

  // The catch unit reads "Улов * 10^N т": Label9 with N sits raised at the
  // end of the "10" of Label8, so the two are placed by hand in their box.
  auto* unitBox = new QWidget();
  unitBox->setObjectName("CatchUnitBox");
  label8_ = Named<QLabel>("Label8", QStringLiteral("Улов: т"), unitBox);
  label9_ = Named<QLabel>("Label9", QStringLiteral("0"), unitBox);
  QFont small = label9_->font();
  small.setPointSizeF(small.pointSizeF() * 0.8);
  label9_->setFont(small);
  label9_->setVisible(false);
  const QFontMetrics metrics(label8_->font());
  const int raise = 8;
  const int exponentX = metrics.horizontalAdvance(QStringLiteral("Улов * 10"));
  label8_->move(0, raise);
  label9_->move(exponentX, 0);
  unitBox->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("Улов * 10   т")) + 24,
                          metrics.height() + raise + 2);

  upDown1_ = MakeSpinEdit("UpDown1", -6, 5, 0);
  upDown1_->setToolTip(QStringLiteral("Улов в единицах 10^N т"));
  auto* unitRow = new QHBoxLayout();
  unitRow->addWidget(unitBox);
  unitRow->addWidget(upDown1_);
  unitRow->addStretch(1);
  form->addRow(unitRow);

  On(upDown1_, &QSpinBox::valueChanged, [this] { ShowCatchUnit(); });
  return group;
}

QGroupBox* DataPage::BuildPrimaryProcessing() {
  // The moving average of effort works but is not offered: the group stays
  // hidden.
  auto* group = Hidden(MakeGroupBox("GroupBox3", QStringLiteral("Первичная обработка")));
  auto* row = new QHBoxLayout(group);
  auto* checkBox1 = MakeCheckBox("CheckBox1", QStringLiteral("МСС, интервал усреднения"));
  edit6_ = MakeEdit("Edit6", QStringLiteral("1"));
  edit6_->setMaximumWidth(40);
  upDown2_ = MakeSpinEdit("UpDown2", 1, 10, 1);
  row->addWidget(checkBox1);
  row->addWidget(edit6_);
  row->addWidget(upDown2_);
  On(upDown2_, &QSpinBox::valueChanged, [this] { UpDown2Click(); });
  return group;
}

void DataPage::CommitGrid() {
  stringGrid1_->CommitEdit();
}

void DataPage::ShowTable() {
  const data::DataTable& table = State().Table;
  stringGrid1_->SetRows(table.RowCount());
  for (int row = 0; row < table.RowCount(); ++row) {
    for (int column = 0; column < data::DataTable::kColumns; ++column) {
      stringGrid1_->SetCell(column, row, FromUtf8(table.Cell(column, row)));
      MarkCell(column, row);
    }
  }
  stringGrid1_->FitColumns();
}

void DataPage::MarkCell(int column, int row) {
  const data::DataTable& table = State().Table;
  const std::string problem = table.Cell(column, row).empty()
                                  ? std::string()
                                  : data::CellProblem(table, column, row, DecimalMark());
  stringGrid1_->SetCellProblem(column, row, FromUtf8(problem));
}

data::DataDescription DataPage::Description() const {
  data::DataDescription description;
  description.species = ToUtf8(edit1_->text());
  description.stock = ToUtf8(edit2_->text());
  description.season = ToUtf8(edit3_->text());
  description.area = ToUtf8(edit4_->text());
  description.scientific = ToUtf8(comboBox1_->currentText()) == data::kScientificData;
  description.source = ToUtf8(edit5_->text());
  description.effortUnit = ToUtf8(comboBox2_->currentText());
  description.catchUnitExponent = upDown1_->value();
  return description;
}

void DataPage::ShowDescription(const data::DataDescription& description) {
  edit1_->setText(FromUtf8(description.species));
  edit2_->setText(FromUtf8(description.stock));
  edit3_->setText(FromUtf8(description.season));
  edit4_->setText(FromUtf8(description.area));
  comboBox1_->setCurrentIndex(description.scientific ? 1 : 0);
  edit5_->setText(FromUtf8(description.source));
  comboBox2_->setEditText(FromUtf8(description.effortUnit));
  upDown1_->setValue(description.catchUnitExponent);
  ShowCatchUnit();
  // A text longer than its field shows its beginning, not its end.
  for (QLineEdit* edit : {edit1_, edit2_, edit3_, edit4_, edit5_, comboBox2_->lineEdit()}) {
    edit->setCursorPosition(0);
  }
}

void DataPage::PasteClipboard() {
  CommitGrid();
  const std::string text = ToUtf8(Ui().ClipboardText());
  TableState before{State().Table, State().LoadedSeries, true};
  estimation::PasteDataSet(State(), text, DecimalMark());
  RememberForUndo(std::move(before));
  ShowTable();
  ClearPlot();
  emit DataSetReplaced();
}

void DataPage::RememberForUndo(TableState before) {
  undo_.push_back(std::move(before));
  if (undo_.size() > kUndoDepth) undo_.erase(undo_.begin());
}

void DataPage::UndoTableChange() {
  CommitGrid();
  if (undo_.empty()) return;
  TableState previous = std::move(undo_.back());
  undo_.pop_back();
  // Either way the table the analysis ran on is gone: the check and
  // everything after it are cleared.
  estimation::ReplaceDataSet(State(), std::move(previous.table), std::move(previous.loadedSeries));
  ShowTable();
  if (previous.replacedDataSet) emit DataSetReplaced();
}

bool DataPage::Modified() {
  CommitGrid();
  return State().Table != savedTable_ || Description() != savedDescription_;
}

void DataPage::MarkSaved() {
  savedTable_ = State().Table;
  savedDescription_ = Description();
}

void DataPage::FileOpened() {
  undo_.clear();
  ClearPlot();
  MarkSaved();
}

void DataPage::ClearPlot() {
  chart1_->Clear("Series1");
  chart1_->Clear("Series10");
  chart1_->SetAxisTitle(Axis::Left, QString());
  chart1_->SetAxisTitle(Axis::Bottom, QString());
}

void DataPage::ShowCatchUnit() {
  const data::CatchUnitLabels labels = data::ShowCatchUnit(upDown1_->value());
  label8_->setText(FromUtf8(labels.unitText));
  label8_->adjustSize();
  label9_->setText(FromUtf8(labels.exponentText));
  label9_->adjustSize();
  label9_->setVisible(labels.exponentVisible);
}

void DataPage::UpDown2Click() {
  edit6_->setText(QString::number(upDown2_->value()));
  const auto window = TryParseInteger(ToUtf8(edit6_->text()));
  if (!window) {
    throw Error("\"" + ToUtf8(edit6_->text()) + "\" не является целым числом");
  }
  CommitGrid();
  data::DataTable averaged =
      data::MovingAverageEffort(State().LoadedSeries, static_cast<int>(*window), DecimalMark());
  RememberForUndo({State().Table, State().LoadedSeries, true});
  // The series as loaded stays: another window averages the loaded data again.
  estimation::ReplaceDataSet(State(), std::move(averaged), State().LoadedSeries);
  ShowTable();
  ClearPlot();
  emit DataSetReplaced();
}

void DataPage::ShowPlot(const data::ExploratoryPlot& plot) {
  const bool line = plot.series == data::ExploratoryPlot::Series::Line;
  chart1_->Clear("Series1");
  chart1_->Clear("Series10");
  chart1_->SetPoints(line ? "Series1" : "Series10", plot.points);
  chart1_->SetAxisTitle(Axis::Left, FromUtf8(plot.leftAxisTitle));
  chart1_->SetAxisTitle(Axis::Bottom, FromUtf8(plot.bottomAxisTitle));
}

}  // namespace tarvik::app
