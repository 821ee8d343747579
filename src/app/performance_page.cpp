#include "app/performance_page.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/journal.h"
#include "assessment/rules.h"
#include "common/error.h"
#include "rules/rule_list.h"

namespace tarvik::app {

namespace {

constexpr int kColumnWidth = 105;  // the width of a column before the table is filled
constexpr int kLeastColumnWidth = 60;
constexpr int kRowHeight = 40;  // the least height of a row
constexpr int kGaugeSteps = 1000;

// The parts of a word a wrapped line may end between: after each hyphen
// inside it («Линейно-» and «Кусочное»); a leading minus stays with its number.
QStringList WordParts(const QString& word) {
  QStringList parts;
  qsizetype start = 0;
  for (qsizetype i = 1; i + 1 < word.size(); ++i) {
    if (word[i] == QLatin1Char('-') && word[i - 1].isLetter() && word[i + 1].isLetter()) {
      parts << word.mid(start, i + 1 - start);
      start = i + 1;
    }
  }
  parts << word.mid(start);
  return parts;
}

}  // namespace

PerformancePage::PerformancePage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet5");

  auto* settings = new QHBoxLayout();
  comboBootStrap_ = MakeComboBox("ComboBoxBootStrap", {QStringLiteral("Параметрический"),
                                                       QStringLiteral("Непараметрический")});
  editRuns_ = MakeEdit("EditKolvoProgon", QStringLiteral("10000"));
  // Wide enough for the largest number of runs.
  editRuns_->setMinimumWidth(editRuns_->fontMetrics().horizontalAdvance(QStringLiteral("6553500")));
  editRuns_->setMaximumWidth(editRuns_->minimumWidth() + 20);
  spinEdit3_ = MakeSpinEdit("SpinEdit3", 1, 50, 5);
  auto* button14 = MakeButton("Button14", QStringLiteral("Оценка коэффициентов эффективности"));
  auto* button15 = Hidden(MakeButton("Button15", QStringLiteral("Построить таблицу")));
  settings->addWidget(MakeLabel("Label34", QStringLiteral("Бутстреп")));
  settings->addWidget(comboBootStrap_);
  settings->addSpacing(12);
  settings->addWidget(MakeLabel("Label23", QStringLiteral("Кол-во прогонов")));
  settings->addWidget(editRuns_);
  settings->addSpacing(12);
  settings->addWidget(MakeLabel("Label21", QStringLiteral("Прогнозный горизонт")));
  settings->addWidget(spinEdit3_);
  settings->addStretch(1);

  // The rule selector, shown after the first evaluation, and the progress of
  // an evaluation while it runs.
  auto* choice = new QHBoxLayout();
  cbb2_ = Hidden(MakeComboBox("cbb2", {}));
  cbb2_->setPlaceholderText(QStringLiteral("Выбор ПРП"));
  cbb2_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbb2_->setMinimumContentsLength(24);
  gauge_ = Hidden(MakeGauge("GaugeBootStrap"));
  gauge_->setRange(0, kGaugeSteps);
  // The button starts the row, so the settings row fits the smallest window.
  choice->addWidget(button14);
  choice->addWidget(button15);
  choice->addSpacing(12);
  choice->addWidget(cbb2_);
  choice->addWidget(gauge_, 1);
  choice->addStretch(0);

  // Display only: the table stays readable (and scrollable) while an
  // evaluation runs.
  stringGrid2_ = new StringGrid(2);
  stringGrid2_->setObjectName("StringGrid2");
  stringGrid2_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The page sets the widths itself: the texts wrap, so the widest text
  // is not the width a column needs.
  stringGrid2_->SetAutomaticColumnWidths(false);
  stringGrid2_->setSelectionMode(QAbstractItemView::SingleSelection);
  stringGrid2_->setSelectionBehavior(QAbstractItemView::SelectRows);
  stringGrid2_->setWordWrap(true);
  stringGrid2_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  stringGrid2_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
  stringGrid2_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  AttachTableExport(stringGrid2_, Ui(), Assessment());
  connect(stringGrid2_, &StringGrid::ColumnsLaidOut, this, [this] { FitRows(); });
  memo2_ = MakeMemo("Memo2");
  note_ = Hidden(MakeLabel("IndicatorsNote", {}));
  note_->setWordWrap(true);
  note_->setStyleSheet(QStringLiteral("color: #c00000;"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(settings);
  layout->addLayout(choice);
  layout->addWidget(note_);
  layout->addWidget(stringGrid2_, 3);
  layout->addWidget(memo2_, 1);

  On(button14, &QPushButton::clicked, [this] { Button14Click(); });
  On(button15, &QPushButton::clicked, [this] { Button15Click(); });
  On(cbb2_, &QComboBox::activated, [this] { cbb2Change(); });
}

ChosenRule PerformancePage::Chosen() const {
  const std::optional<std::size_t> rule = State().ChosenRule;
  if (!rule || *rule >= State().RuleNames.size()) return {};
  return {static_cast<int>(*rule), State().RuleNames[*rule]};
}

void PerformancePage::Button15Click() {
  projection::IndicatorTable table = projection::BuildIndicatorTable(State(), DecimalMark());
  if (State().Indicators.Evaluated) projection::ApplyIndicatorRows(table, State().Indicators.Rows);
  ShowTable(table);
  // Once shown, the selector follows the rule list, so that its items and
  // their indices always name the rules the forecast uses.
  if (!cbb2_->isHidden()) FillRuleSelector(State().RuleNames);
}

void PerformancePage::Opened() {
  const std::optional<projection::BootstrapOptions> settings =
      assessment::LastRuleEvaluation(State(), DecimalMark());
  if (!settings) return;
  comboBootStrap_->setCurrentIndex(settings->Parametric ? 0 : 1);
  editRuns_->setText(FromUtf8(settings->RunsText));
  spinEdit3_->setValue(settings->Horizon);
}

void PerformancePage::Redraw() {
  const std::string note = assessment::RecomputeNote(State(), assessment::Stage::Indicators);
  note_->setText(FromUtf8(note));
  note_->setVisible(!note.empty());
  // The rule selector once there is something to choose from.
  if (State().Indicators.Evaluated || State().ChosenRule) cbb2_->setVisible(true);
  Button15Click();
}

void PerformancePage::ClearResults() {
  ShowTable({{projection::IndicatorTitles()}});
  memo2_->clear();
}

void PerformancePage::Button14Click() {
  projection::BootstrapOptions options;
  options.Parametric = comboBootStrap_->currentIndex() == 0;
  options.Horizon = spinEdit3_->value();
  options.RunsText = ToUtf8(editRuns_->text());
  options.DecimalMark = DecimalMark();
  // A bad number of runs is reported before anything changes.
  projection::ValidateBootstrapOptions(options);

  // The rows are those of the variants and rules evaluated now.
  ShowTable(projection::BuildIndicatorTable(State(), options.DecimalMark));
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setValue(0);
  gauge_->setVisible(true);

  AssessmentState& state = State();
  Background().RunGuarded(
      [this, &state, options](BackgroundTask::Progress& progress) mutable {
        options.OnMemoLine = [this, &progress](const std::string& line) {
          progress.Post([this, text = FromUtf8(line)] { memo2_->appendPlainText(text); });
        };
        options.OnRow = [this, &progress](std::size_t row, const std::vector<std::string>& cells) {
          progress.Post([this, row, cells] { ShowRow(row, cells); });
        };
        options.OnProgress = ProgressOn(progress, gauge_);
        // The rows finished before a fault stay in the table and the log.
        return projection::EvaluateRulesByBootstrap(state, options);
      },
      [this] { gauge_->setVisible(false); },
      [this](const projection::RuleEvaluation& result) {
        note_->hide();
        FillRuleSelector(result.RuleSelectorItems);
        cbb2_->setVisible(true);
      });
}

void PerformancePage::cbb2Change() {
  const int index = cbb2_->currentIndex();
  rules::ChooseRule(State(), index < 0
                                 ? std::nullopt
                                 : std::optional<std::size_t>(static_cast<std::size_t>(index)));
  if (index >= 0) Flow().RuleChosen();
}

void PerformancePage::ShowTable(const projection::IndicatorTable& table) {
  const auto rows = static_cast<int>(table.Cells.size());
  stringGrid2_->setColumnCount(static_cast<int>(projection::kIndicatorColumns));
  stringGrid2_->SetRows(rows);
  for (int row = 0; row < rows; ++row) {
    const auto& cells = table.Cells[static_cast<std::size_t>(row)];
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
      stringGrid2_->SetCell(column, row, FromUtf8(cells[static_cast<std::size_t>(column)]));
      // The titles a little smaller, so that ten columns fit the smallest window.
      if (row == 0) stringGrid2_->item(0, column)->setFont(TitleFont());
    }
  }
  if (rows > 0) {
    for (int column = 0; column < stringGrid2_->columnCount(); ++column) {
      if (QTableWidgetItem* title = stringGrid2_->item(0, column)) {
        title->setToolTip(
            FromUtf8(projection::IndicatorTitleTip(static_cast<std::size_t>(column))));
      }
    }
  }
  FitTable();
}

void PerformancePage::ShowRow(std::size_t row, const std::vector<std::string>& cells) {
  if (static_cast<int>(row) >= stringGrid2_->rowCount()) return;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    stringGrid2_->SetCell(static_cast<int>(c + 2), static_cast<int>(row), FromUtf8(cells[c]));
  }
  FitTable();
}

// Every column at least as wide as its longest word, so that the wrapped
// texts break only between words, and the table's width shared out beyond
// that (no horizontal scroll while the words fit); every row at least
// kRowHeight high and as high as its wrapped text needs.
void PerformancePage::FitTable() {
  const QFontMetrics cellMetrics(stringGrid2_->font());
  const QFontMetrics titleMetrics(TitleFont());
  const int padding = 8;  // the text margins of a cell and a little air
  std::vector<int> widths;
  for (int column = 0; column < stringGrid2_->columnCount(); ++column) {
    int width = kLeastColumnWidth;
    for (int row = 0; row < stringGrid2_->rowCount(); ++row) {
      const QFontMetrics& metrics = row == 0 ? titleMetrics : cellMetrics;
      const QString text = stringGrid2_->Cell(column, row);
      for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // A line may also break after the hyphen of «Линейно-Кусочное».
        for (const QString& part : WordParts(word)) {
          width = std::max(width, metrics.horizontalAdvance(part) + padding);
        }
      }
    }
    widths.push_back(width);
  }
  stringGrid2_->SetLeastColumnWidths(std::move(widths));  // FitRows follows
}

QFont PerformancePage::TitleFont() const {
  QFont font = stringGrid2_->font();
  font.setPointSizeF(font.pointSizeF() * 0.88);
  return font;
}

void PerformancePage::FitRows() {
  for (int row = 0; row < stringGrid2_->rowCount(); ++row) {
    stringGrid2_->resizeRowToContents(row);
    if (stringGrid2_->rowHeight(row) < kRowHeight) stringGrid2_->setRowHeight(row, kRowHeight);
  }
}

void PerformancePage::FillRuleSelector(const std::vector<std::string>& names) {
  cbb2_->clear();
  const std::vector<rules::HarvestRule>& list = State().RuleList;
  for (std::size_t i = 0; i < names.size(); ++i) {
    cbb2_->addItem(FromUtf8(i < list.size()
                                ? rules::ReadableRuleName(names[i], list[i], DecimalMark())
                                : names[i]));
  }
  // The chosen rule follows its rule through the list's changes.
  const std::optional<std::size_t> chosen = State().ChosenRule;
  cbb2_->setCurrentIndex(chosen && *chosen < names.size() ? static_cast<int>(*chosen) : -1);
}

}  // namespace tarvik::app
