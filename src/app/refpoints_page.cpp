#include "app/refpoints_page.h"

#include <algorithm>

#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/journal.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "common/r_picture.h"
#include "estimation/variants.h"
#include "uncertainty/bootstrap_view.h"

namespace tarvik::app {

namespace {

// The ten reference points of a tab, in the order of TabControls::edits.
struct PointCell {
  const char* caption;  // its ReferenceLabels caption
  const char* editName;
  int row;
  int column;  // of the label; the edit is one column to the right
};
constexpr std::array<PointCell, 10> kPointCells = {{
    {"MSY", "MsyEdit", 0, 0},
    {"BMSY", "BmsyEdit", 1, 0},
    {"FMSY", "FmsyEdit", 2, 0},
    {"EMSY", "EmsyEdit", 3, 0},
    {"Btr", "BtrEdit", 1, 3},
    {"Ftr", "FtrEdit", 2, 3},
    {"Etr", "EtrEdit", 3, 3},
    {"Blim", "BlimEdit", 1, 5},
    {"Flim", "FlimEdit", 2, 5},
    {"Elim", "ElimEdit", 3, 5},
}};
// The confidence interval of MSY, BMSY, FMSY and EMSY stands in this column,
// beside their edits (rows 0 … 3).
constexpr int kIntervalColumn = 2;
constexpr std::array<uncertainty::Quantity, 4> kIntervalQuantities = {
    uncertainty::Quantity::Msy, uncertainty::Quantity::Bmsy, uncertainty::Quantity::Fmsy,
    uncertainty::Quantity::Emsy};

// Colours of the per-variant production curves, in tab order.
QColor CurveColour(std::size_t i) {
  static const QColor colours[] = {QColor(0, 0, 255),   QColor(200, 0, 0),   QColor(0, 140, 0),
                                   QColor(160, 0, 160), QColor(0, 150, 150), QColor(200, 120, 0),
                                   QColor(90, 90, 90),  QColor(120, 60, 0),  QColor(0, 80, 160)};
  return colours[i % std::size(colours)];
}

}  // namespace

ReferencePointsPage::ReferencePointsPage(PageContext context, QWidget* parent)
    : Page(context, parent) {
  setObjectName("TabSheet3");

  auto* groupBox7 = MakeGroupBox("GroupBox7", QStringLiteral("Настройка ориентиров"));
  auto* grid = new QGridLayout(groupBox7);
  comboBtg_ = MakeComboBox("ComboBoxBtg", {"BMSY", "B0.1", "BMSY+ st"});
  comboEtg_ = MakeComboBox("ComboBoxEtg", {"EMSY", "E0,1", "EMSY+ st"});
  comboBlim_ = MakeComboBox("ComboBoxBlim", {"0,1*BMSY", "0,2*BMSY", "0,3*BMSY", "0,5*BMSY"});
  grid->addWidget(new QLabel(QStringLiteral("Btr")), 0, 0);
  grid->addWidget(comboBtg_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Etr")), 1, 0);
  grid->addWidget(comboEtg_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Blim")), 2, 0);
  grid->addWidget(comboBlim_, 2, 1);
  grid->setColumnStretch(1, 1);

  auto* button9 = Hidden(MakeButton("Button9", QStringLiteral("Создание закладок")));
  auto* button10 = Hidden(MakeButton("Button10", QStringLiteral("Расчёт ориентиров")));
  auto* button11 = MakeButton("Button11", QStringLiteral("Построить все графики"));

  pageControl2_ = Named<QTabWidget>("PageControl2");
  pageControl2_->setUsesScrollButtons(true);
  // The tabs the page shows (none while it shows nothing).
  AttachPanelExport(pageControl2_, Ui(), Assessment(), [this] {
    std::vector<refpoints::ReferenceTab> shown = State().ReferencePoints.Tabs;
    shown.resize(std::min(shown.size(), tabControls_.size()));
    return refpoints::ReferenceTable(shown);
  });

  // Top: the selectors beside the tabs of the variants; below: the curves.
  auto* top = new QHBoxLayout();
  auto* selectors = new QVBoxLayout();
  selectors->addWidget(groupBox7);
  selectors->addWidget(button11);
  selectors->addWidget(button9);
  selectors->addWidget(button10);
  selectors->addWidget(BuildIntervalControls());
  selectors->addStretch(1);
  top->addLayout(selectors);
  top->addWidget(pageControl2_, 1);

  chart3_ = Named<ChartPanel>("Chart3");
  chart3_->SetTitle(QStringLiteral("Кривая устойчивого улова"));
  chart3_->SetAxisTitle(Axis::Bottom, QStringLiteral("Биомасса, т"));
  chart3_->SetAxisTitle(Axis::Left, QStringLiteral("Продукция, т"));
  // Biomass from 0 to K, production from 0 to MSY.
  chart3_->SetAxisMinimum(Axis::Bottom, 0.0);
  chart3_->SetAxisMinimum(Axis::Left, 0.0);
  chart3_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.10g"));  // biomass without exponents
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  chart3_->AddSeries("Series2",
                     {Kind::Line, QColor(0, 160, 0), 2, Marker::None, 3, false, false, {}});
  chart3_->AddSeries("lnsrsSeries23", {Kind::Line, Qt::blue, 1, Marker::None, 3, false, false, {}});
  chart3_->AddSeries("lnsrsSeries24",
                     {Kind::Line, Qt::darkGreen, 1, Marker::None, 3, false, false, {}});
  chart3_->AddSeries("Series3", {Kind::Points, Qt::red, 1, Marker::Square, 9, false, false, {}});

  // Below: the curves, then the intervals as a table and as the scatter.
  lowerTabs_ = Named<QTabWidget>("IntervalTabs");
  lowerTabs_->addTab(chart3_, QStringLiteral("Кривая устойчивого улова"));
  auto* intervalSheet = Named<QWidget>("IntervalSheet");
  auto* intervalLayout = new QVBoxLayout(intervalSheet);
  intervalTable_ = Named<QTableWidget>("IntervalTable");
  intervalTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  intervalTable_->horizontalHeader()->hide();
  intervalTable_->verticalHeader()->hide();
  AttachTableExport(intervalTable_, Ui(), Assessment());
  intervalSummary_ = MakeLabel("IntervalSummary", {});
  intervalSummary_->setWordWrap(true);
  intervalSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  intervalLayout->addWidget(intervalTable_, 1);
  intervalLayout->addWidget(intervalSummary_);
  lowerTabs_->addTab(intervalSheet, QStringLiteral("Доверительные интервалы"));
  chartRk_ = Named<ChartPanel>("ChartRK");
  chartRk_->AddSeries("RkReplicates", {Kind::Points, QColor(40, 40, 140, 80), 1, Marker::Circle, 5,
                                       false, true, QStringLiteral("Повторы бутстрепа")});
  chartRk_->AddSeries("RkEstimate", {Kind::Points, Qt::red, 1, Marker::Square, 10, false, true,
                                     QStringLiteral("Точечная оценка")});
  chartRk_->SetLegendVisible(true, true);
  chartRk_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.10g"));
  chartRk_->SetAxisMinimum(Axis::Bottom, 0.0);  // r and K are never negative
  chartRk_->SetAxisMinimum(Axis::Left, 0.0);
  lowerTabs_->addTab(chartRk_, QStringLiteral("Повторы: r и K"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(lowerTabs_, 1);

  On(button9, &QPushButton::clicked, [this] { BuildTabs(); });
  On(button10, &QPushButton::clicked, [this] { CalculateReferencePoints(); });
  On(button11, &QPushButton::clicked, [this] { DrawAllCurves(); });
  On(comboBtg_, &QComboBox::activated,
     [this](int choice) { ChangeSelector(refpoints::Selector::TargetBiomass, choice); });
  On(comboEtg_, &QComboBox::activated,
     [this](int choice) { ChangeSelector(refpoints::Selector::TargetEffort, choice); });
  On(comboBlim_, &QComboBox::activated,
     [this](int choice) { ChangeSelector(refpoints::Selector::LimitBiomass, choice); });
  connect(pageControl2_, &QTabWidget::currentChanged, this, [this](int tab) { MoveLabelsTo(tab); });
  ShowIntervals();
}

QWidget* ReferencePointsPage::BuildIntervalControls() {
  auto* box = MakeGroupBox("IntervalBox", QStringLiteral("Доверительные интервалы"));
  auto* form = new QFormLayout(box);
  replicates_ = MakeSpinEdit("ReplicatesEdit", uncertainty::kMinReplicates,
                             uncertainty::kMaxReplicates, uncertainty::kDefaultReplicates, 100);
  seed_ = MakeSpinEdit("SeedEdit", 1, 2147483647, 1);
  level_ = MakeComboBox("LevelBox", {QStringLiteral("90 %"), QStringLiteral("95 %")});
  form->addRow(QStringLiteral("Повторов"), replicates_);
  form->addRow(QStringLiteral("Зерно"), seed_);
  form->addRow(QStringLiteral("Уровень"), level_);
  auto* run = MakeButton("IntervalButton", QStringLiteral("Рассчитать"));
  stopButton_ = Hidden(MakeButton("IntervalStopButton", QStringLiteral("Прервать")));
  // The one input that stays usable while the bootstrap runs.
  stopButton_->setProperty("tarvikStop", true);
  gauge_ = Hidden(MakeGauge("IntervalGauge"));
  form->addRow(run);
  form->addRow(stopButton_);
  form->addRow(gauge_);
  On(run, &QPushButton::clicked, [this] { EstimateIntervals(); });
  On(stopButton_, &QPushButton::clicked, [this] { StopIntervals(); });
  return box;
}

void ReferencePointsPage::EstimateIntervals() {
  if (!estimation::ChosenVariant(State())) {
    throw Error(
        "Доверительные интервалы считаются для выбранной модели: выберите вариант в списке "
        "«Выбор модели» на странице оценки параметров");
  }
  if (!searchBounds_) throw Error("Границы поиска параметров неизвестны");
  uncertainty::BootstrapOptions options;
  options.Replicates = replicates_->value();
  options.Seed = static_cast<std::uint64_t>(seed_->value());
  options.Level = level_->currentIndex() == 1 ? 95 : 90;
  options.BlimFraction = State().ReferencePoints.LimitFraction;  // the Blim selector's
  const estimation::ParameterBounds bounds = searchBounds_();
  stop_ = std::stop_source();
  options.Stop = stop_.get_token();
  gauge_->setRange(0, options.Replicates);
  gauge_->setValue(0);
  gauge_->show();
  stopButton_->show();
  intervalSummary_->setText(QStringLiteral("Идёт расчёт доверительных интервалов…"));
  Background().RunGuarded(
      [this, options, bounds](BackgroundTask::Progress& progress) mutable {
        options.OnProgress = ProgressOn(progress, gauge_);
        try {
          uncertainty::EstimateUncertainty(State(), bounds, options);
        } catch (const uncertainty::Cancelled&) {
          return false;  // stopped by «Прервать»: the state is as it was
        }
        return true;
      },
      [this] {
        gauge_->hide();
        stopButton_->hide();
        ShowIntervals();
      },
      [this](bool completed) {
        if (!completed) {
          intervalSummary_->setText(
              QStringLiteral("Расчёт доверительных интервалов прерван; прежние результаты "
                             "не изменились."));
          return;
        }
        lowerTabs_->setCurrentIndex(1);
      });
}

void ReferencePointsPage::StopIntervals() {
  stop_.request_stop();
}

void ReferencePointsPage::ShowIntervals() {
  const std::optional<uncertainty::BootstrapResult>& result = State().Uncertainty;
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  const char mark = DecimalMark();
  for (std::size_t i = 0; i < tabControls_.size(); ++i) {
    const bool shown = result && chosen && tabVariants_[i] == *chosen;
    for (std::size_t k = 0; k < kIntervalQuantities.size(); ++k) {
      QLabel* label = tabControls_[i].intervals[k];
      label->setText(
          shown ? FromUtf8(uncertainty::IntervalText(result->Of(kIntervalQuantities[k]), mark))
                : QString());
      label->setToolTip(
          shown
              ? QStringLiteral("Доверительный интервал %1 % (бутстреп остатков)").arg(result->Level)
              : QString());
    }
  }
  const TextTable table = result ? uncertainty::IntervalTable(*result, catchUnit_ ? catchUnit_() : 0, mark) : TextTable{};
  intervalTable_->clear();
  intervalTable_->setRowCount(static_cast<int>(table.size()));
  intervalTable_->setColumnCount(table.empty() ? 0 : static_cast<int>(table.front().size()));
  for (std::size_t r = 0; r < table.size(); ++r) {
    for (std::size_t c = 0; c < table[r].size(); ++c) {
      auto* item = new QTableWidgetItem(FromUtf8(table[r][c]));
      if (r == 0) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      intervalTable_->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  intervalTable_->resizeColumnsToContents();
  chartRk_->Clear("RkReplicates");
  chartRk_->Clear("RkEstimate");
  if (!result) {
    intervalSummary_->setText(
        chosen
            ? QStringLiteral("Доверительные интервалы ещё не рассчитаны: задайте число повторов, "
                             "зерно и уровень и нажмите «Рассчитать».")
            : QString());
    return;
  }
  // A truncation is the first line, in red.
  const std::string truncation = uncertainty::TruncationText(*result, mark);
  QStringList lines;
  for (const std::string& line : uncertainty::SummaryLines(*result, mark)) {
    const QString text = FromUtf8(line).toHtmlEscaped();
    lines << (line == truncation ? QStringLiteral("<span style=\"color:#c00000\">%1</span>").arg(text)
                                 : text);
  }
  intervalSummary_->setTextFormat(Qt::RichText);
  intervalSummary_->setText(lines.join(QStringLiteral("<br>")));
  const uncertainty::RkScatter scatter = uncertainty::RkScatterOf(*result, catchUnit_ ? catchUnit_() : 0);
  chartRk_->SetTitle(FromUtf8(scatter.Title));
  chartRk_->SetAxisTitle(Axis::Bottom, FromUtf8(scatter.XTitle));
  chartRk_->SetAxisTitle(Axis::Left, FromUtf8(scatter.YTitle));
  chartRk_->SetPoints("RkReplicates", scatter.Replicates);
  chartRk_->SetPoints("RkEstimate", {scatter.Estimate});
}

void ReferencePointsPage::Shown() {
  const int unit = catchUnit_ ? catchUnit_() : 0;
  chart3_->SetAxisTitle(Axis::Bottom, FromUtf8(MassTitle("Биомасса", unit)));
  chart3_->SetAxisTitle(Axis::Left, FromUtf8(MassTitle("Продукция", unit)));
  // The selector shows the fraction the assessment holds (an opened
  // assessment brings its own).
  if (const std::optional<int> blim = refpoints::LimitChoice(State().ReferencePoints.LimitFraction))
    comboBlim_->setCurrentIndex(*blim);
  if (!estimation::ChosenVariant(State())) {
    ClearResults();
    ShowIntervals();
    return;
  }
  // The tabs are rebuilt when the variants changed: another count, but also
  // another variant or a new fit of the same count (a new estimation and
  // model choice), whose reference points would otherwise stay unknown.
  if (!refpoints::ReferencePointsCurrent(State())) {
    BuildTabs();
    CalculateReferencePoints();
  } else if (tabVariants_ != State().ActiveVariants) {
    BuildTabs();
    ShowEdits();
  }
  ShowIntervals();
}

void ReferencePointsPage::Redraw() {
  if (const std::optional<int> blim = refpoints::LimitChoice(State().ReferencePoints.LimitFraction)) {
    const QSignalBlocker quiet(comboBlim_);
    comboBlim_->setCurrentIndex(*blim);
  }
  if (!estimation::ChosenVariant(State())) {
    ClearResults();
  } else {
    if (tabVariants_ != State().ActiveVariants) BuildTabs();
    if (refpoints::ReferencePointsCurrent(State())) {
      ShowEdits();
    } else {
      // Computed anew when the page is shown; the old values are not shown.
      for (TabControls& controls : tabControls_) {
        for (QLineEdit* edit : controls.edits) edit->clear();
      }
      for (const QString& name : productionCurves_) chart3_->RemoveSeries(name);
      productionCurves_.clear();
      chart3_->Clear("Series2");
      chart3_->Clear("Series3");
    }
  }
  ShowIntervals();
}

void ReferencePointsPage::Opened() {
  if (const std::optional<refpoints::ReferenceSelectors> s = assessment::LastSelectors(State())) {
    const QSignalBlocker quietB(comboBtg_);
    const QSignalBlocker quietE(comboEtg_);
    comboBtg_->setCurrentIndex(s->Btg);
    comboEtg_->setCurrentIndex(s->Etg);
  }
  if (const std::optional<uncertainty::BootstrapOptions> o =
          assessment::LastIntervalOptions(State())) {
    const QSignalBlocker quietR(replicates_);
    const QSignalBlocker quietS(seed_);
    const QSignalBlocker quietL(level_);
    replicates_->setValue(o->Replicates);
    seed_->setValue(static_cast<int>(o->Seed));
    level_->setCurrentIndex(o->Level == 95 ? 1 : 0);
  }
}

refpoints::ReferenceSelectors ReferencePointsPage::Selectors() const {
  return {comboBtg_->currentIndex(), comboEtg_->currentIndex(), comboBlim_->currentIndex()};
}

void ReferencePointsPage::ClearResults() {
  {
    const QSignalBlocker blocker(pageControl2_);
    pageControl2_->clear();
    for (TabControls& controls : tabControls_) delete controls.sheet;
  }
  tabControls_.clear();
  tabVariants_.clear();
  labels_.fill(nullptr);
  for (const QString& name : productionCurves_) chart3_->RemoveSeries(name);
  productionCurves_.clear();
  chart3_->Clear("Series2");
  chart3_->Clear("Series3");
}

void ReferencePointsPage::BuildTabs() {
  const std::vector<refpoints::ReferenceTab> tabs = refpoints::BuildReferenceTabs(State());

  // Everything of the previous build goes: the tabs with their edits, buttons
  // and labels, and the curves of the variants they showed.
  ClearResults();
  for (const refpoints::ReferenceTab& tab : tabs) tabVariants_.push_back(tab.Variant);

  const QFontMetrics metrics(font());
  const int editWidth = metrics.horizontalAdvance(QStringLiteral("00000000000,00")) + 12;
  const QSignalBlocker blocker(pageControl2_);
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    TabControls controls;
    controls.sheet = new QWidget();
    controls.sheet->setObjectName(QStringLiteral("ReferenceTab%1").arg(i));
    controls.grid = new QGridLayout(controls.sheet);
    controls.grid->setHorizontalSpacing(10);
    for (std::size_t k = 0; k < kPointCells.size(); ++k) {
      auto* edit = MakeEdit(kPointCells[k].editName);
      edit->setReadOnly(true);
      edit->setMinimumWidth(editWidth);
      controls.grid->addWidget(edit, kPointCells[k].row, kPointCells[k].column + 1);
      controls.edits[k] = edit;
    }
    controls.curveButton = MakeButton("CurveButton", QStringLiteral("Построить график"));
    controls.curveButton->setProperty("tag", tabs[i].Variant);
    controls.grid->addWidget(controls.curveButton, 0, 4);
    for (std::size_t k = 0; k < controls.intervals.size(); ++k) {
      controls.intervals[k] = new QLabel();
      controls.intervals[k]->setObjectName(
          QStringLiteral("Interval%1").arg(kPointCells[k].caption));
      controls.grid->addWidget(controls.intervals[k], kPointCells[k].row, kIntervalColumn);
    }
    controls.grid->setColumnStretch(1, 1);
    controls.grid->setColumnStretch(4, 1);
    controls.grid->setColumnStretch(6, 1);
    controls.grid->setRowStretch(4, 1);
    On(controls.curveButton, &QPushButton::clicked, [this, i] { DrawCurve(i); });
    pageControl2_->addTab(controls.sheet, FromUtf8(tabs[i].Caption));
    tabControls_.push_back(controls);
  }

  if (tabControls_.empty()) return;
  QFont labelFont(QStringLiteral("Times New Roman"), 12);
  for (std::size_t k = 0; k < kPointCells.size(); ++k) {
    labels_[k] = new QLabel(QString::fromLatin1(kPointCells[k].caption));
    labels_[k]->setObjectName(QStringLiteral("ReferenceLabel%1").arg(kPointCells[k].caption));
    labels_[k]->setFont(labelFont);
  }
  pageControl2_->setCurrentIndex(0);
  MoveLabelsTo(0);
}

void ReferencePointsPage::MoveLabelsTo(int tab) {
  if (tab < 0 || static_cast<std::size_t>(tab) >= tabControls_.size() || labels_[0] == nullptr) {
    return;
  }
  QGridLayout* grid = tabControls_[static_cast<std::size_t>(tab)].grid;
  for (std::size_t k = 0; k < kPointCells.size(); ++k) {
    QLabel* label = labels_[k];
    if (QWidget* owner = label->parentWidget(); owner != nullptr && owner->layout() != nullptr) {
      owner->layout()->removeWidget(label);
    }
    grid->addWidget(label, kPointCells[k].row, kPointCells[k].column);
    label->show();
  }
}

void ReferencePointsPage::ShowEdits() {
  const std::vector<refpoints::ReferenceTab>& tabs = State().ReferencePoints.Tabs;
  for (std::size_t i = 0; i < tabs.size() && i < tabControls_.size(); ++i) {
    const auto texts = refpoints::EditTexts(tabs[i].Edits);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      tabControls_[i].edits[k]->setText(FromUtf8(*texts[k]));
      tabControls_[i].edits[k]->setCursorPosition(0);
    }
  }
}

void ReferencePointsPage::CalculateReferencePoints() {
  // When it fails, the fits and the edits stay as they were.
  refpoints::UpdateReferencePoints(State(), Selectors(), DecimalMark());
  ShowEdits();
}

void ReferencePointsPage::ChangeSelector(refpoints::Selector selector, int choice) {
  refpoints::ChangeSelector(State(), selector, choice, DecimalMark());
  ShowEdits();
}

void ReferencePointsPage::DrawAllCurves() {
  const std::vector<refpoints::ReferenceTab>& tabs = State().ReferencePoints.Tabs;
  std::vector<PointList> curves;
  for (const refpoints::ReferenceTab& tab : tabs) {
    curves.push_back(refpoints::ProductionCurve(State().ModelFits.at(tab.Variant)));
  }
  for (const QString& name : productionCurves_) chart3_->RemoveSeries(name);
  productionCurves_.clear();
  for (std::size_t i = 0; i < curves.size(); ++i) {
    const QString name = QStringLiteral("ProductionCurve%1").arg(i);
    chart3_->AddSeries(name, {SeriesStyle::Kind::Line, CurveColour(i), 3, SeriesStyle::Marker::None,
                              3, false, false, FromUtf8(tabs[i].Caption)});
    chart3_->SetPoints(name, std::move(curves[i]));
    productionCurves_.push_back(name);
  }
  Flow().ReferencePointsShown();
}

void ReferencePointsPage::DrawCurve(std::size_t tab) {
  const std::vector<refpoints::ReferenceTab>& tabs = State().ReferencePoints.Tabs;
  if (tab >= tabs.size()) return;
  const model::ModelFit& fit = State().ModelFits.at(tabs[tab].Variant);
  PointList curve = refpoints::ProductionCurve(fit);
  PointList markers = refpoints::CurveMarkers(fit);
  for (const QString& name : productionCurves_) chart3_->Clear(name);
  chart3_->SetPoints("Series2", std::move(curve));
  chart3_->SetPoints("Series3", std::move(markers));
  Flow().ReferencePointsShown();
}

}  // namespace tarvik::app
