#include "app/estimation_page.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>
#include <type_traits>
#include <utility>

#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/widgets.h"
#include "common/error.h"
#include "estimation/retro_analysis.h"
#include "estimation/surface.h"
#include "estimation/variants.h"
#include "estimation/workflow.h"
#include "model/kinds.h"
#include "projection/tac_report.h"
#include "rbridge/pictures.h"
#include "rbridge/r_runner.h"
#include "rbridge/work_directory.h"

namespace tarvik::app {

namespace {

using estimation::EstimationOutcome;
using Kind = SeriesStyle::Kind;
using Marker = SeriesStyle::Marker;

// The hold-out series of Chart2: Series13 … Series21 for the variants 0 … 8;
// further variants (longer cut-off lists) get series of their own.
constexpr int kFirstHoldOutSeries = 13;
constexpr std::size_t kNamedHoldOutSeries = 9;
const QColor kHoldOutColours[] = {QColor(200, 0, 0),   QColor(255, 120, 0), QColor(150, 90, 0),
                                  QColor(0, 150, 0),   QColor(0, 190, 170), QColor(0, 90, 60),
                                  QColor(0, 0, 220),   QColor(140, 0, 200), QColor(230, 0, 160)};
// Margins and spacing of the results grid, which the column captions above
// the scroll box follow.
constexpr int kPanelMargin = 6;
constexpr int kPanelSpacing = 6;

// The marks beside the L fields: the search reached the minimum within
// 0.1 %, stopped above it, the refined values were adopted, no refinement.
const QString kMarkConverged = QStringLiteral("≈");
const QString kMarkNotConverged = QStringLiteral("!");
const QString kMarkAdopted = QStringLiteral("✓");
const QString kMarkUnavailable = QStringLiteral("?");

QString HoldOutSeriesName(std::size_t index) {
  if (index < kNamedHoldOutSeries) {
    return QStringLiteral("Series%1").arg(kFirstHoldOutSeries + static_cast<int>(index));
  }
  return QStringLiteral("SeriesHoldOut%1").arg(index);
}

QString Lines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << FromUtf8(line);
  return list.join(QLatin1Char('\n'));
}

// A value on or outside its bound is shown red; otherwise the edit's own
// text colour.
void SetRed(QLineEdit* edit, bool red) {
  QPalette palette = edit->palette();
  const QColor colour = red ? QColor(Qt::red) : QColor(Qt::black);
  // A disabled field keeps the grey text of disabled fields.
  palette.setColor(QPalette::Active, QPalette::Text, colour);
  palette.setColor(QPalette::Inactive, QPalette::Text, colour);
  edit->setPalette(palette);
}

// The contour picture: drawn as large as the control allows with its own
// proportions (R draws it 460 × 330), centred.
class ProportionalImage : public QLabel {
 public:
  ProportionalImage() {
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(160, 115);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    drawFrame(&painter);
    const QPixmap& picture = pixmap();
    if (picture.isNull()) return;
    const QRect area = contentsRect();
    const QSize size = picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - size.width()) / 2,
                       area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, picture);
  }
};

void SetTrackBar(QSlider* bar, const estimation::TrackBarSetting& setting) {
  bar->setValue(setting.Position);
  bar->setToolTip(FromUtf8(setting.Hint));
}

// Runs `work` in the background and then, on the user-interface thread,
// `always` (whatever happened), then `apply` with the result. An error of
// the work shows in the error box after `always` has put the page back in
// order; a stop because the window closes applies nothing.
template <typename Work, typename Always, typename Apply>
void RunGuarded(BackgroundTask& task, Work work, Always always, Apply apply) {
  using Result = std::invoke_result_t<Work&, BackgroundTask::Progress&>;
  struct Attempt {
    std::optional<Result> value;
    std::exception_ptr error;
  };
  task.Run(
      [work = std::move(work)](BackgroundTask::Progress& progress) mutable {
        Attempt attempt;
        try {
          attempt.value.emplace(work(progress));
        } catch (const std::exception&) {
          attempt.error = std::current_exception();
        }
        return attempt;
      },
      [always = std::move(always), apply = std::move(apply)](Attempt attempt) mutable {
        always();
        if (attempt.error) std::rethrow_exception(attempt.error);
        apply(std::move(*attempt.value));
      });
}

}  // namespace

EstimationPage::EstimationPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet2");

  // Left column: start values, the search button, the results panel and the
  // tuning controls, the progress log.
  auto* left = new QVBoxLayout();
  left->addWidget(BuildStartValues());

  auto* actions = new QHBoxLayout();
  auto* button5 = MakeButton("Button5", QStringLiteral("Оценка параметров"));
  button18_ = Hidden(MakeButton("Button18", QStringLiteral("Настройка начальных значений")));
  button21_ = Hidden(MakeButton("Button21", QStringLiteral("Анализ целевой функции")));
  button21_->setEnabled(false);
  btn1_ = Hidden(MakeButton("btn1", QStringLiteral(" MSY/FMSY")));
  actions->addWidget(button5);
  actions->addWidget(button18_);
  actions->addWidget(button21_);
  actions->addWidget(btn1_);
  actions->addStretch(1);
  left->addLayout(actions);

  left->addWidget(BuildResults(), 1);

  auto* medianRow = new QHBoxLayout();
  trackBarMedWin_ = MakeTrackBar("TrackBarMedWin", 0, 9, 0, 1);
  trackBarMedWin_->setToolTip(FromUtf8(estimation::TrimPositionHint(0)));
  auto* label35 = MakeLabel("Label35", QStringLiteral("% значений, отсекаемых при расчете медианного отклонения"));
  label35->setWordWrap(true);
  edit11_ = Hidden(MakeEdit("Edit11", QStringLiteral("4")));
  edit11_->setToolTip(QStringLiteral(
      "Введите значения медианного окна (через запятую) или диапозон значений (через дефис). "
      "Например: 2-5,7,9"));
  medianRow->addWidget(trackBarMedWin_, 1);
  medianRow->addWidget(label35, 2);
  medianRow->addWidget(edit11_);
  left->addLayout(medianRow);

  auto* choiceRow = new QHBoxLayout();
  checkBox4_ = MakeCheckBox("CheckBox4", QStringLiteral("Выбор модели"));
  checkBox4_->setEnabled(false);
  checkBox4_->setToolTip(QStringLiteral("Нажми сюда если хочешь выбрать модель методом обучающей выборки"));
  auto* label33 = MakeLabel("Label33", QStringLiteral("Количество отсекаемых лет"));
  spinEdit1_ = MakeSpinEdit("SpinEdit1", 2, 2, 2);
  spinEdit1_->setEnabled(false);
  cbb1_ = Hidden(MakeComboBox("cbb1", {}));
  cbb1_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbb1_->setPlaceholderText(FromUtf8(std::string(estimation::kModelChoicePrompt)));
  cbb1_->setCurrentIndex(-1);
  choiceRow->addWidget(checkBox4_);
  choiceRow->addSpacing(12);
  choiceRow->addWidget(label33);
  choiceRow->addWidget(spinEdit1_);
  choiceRow->addWidget(cbb1_, 1);
  choiceRow->addStretch(1);
  left->addLayout(choiceRow);

  // Off the default path: nothing changes unless the user clicks it.
  auto* adoptRow = new QHBoxLayout();
  buttonAdopt_ =
      Hidden(MakeButton("ButtonAdoptRefined", QStringLiteral("Принять уточнённые значения")));
  adoptRow->addWidget(buttonAdopt_);
  adoptRow->addStretch(1);
  left->addLayout(adoptRow);

  memo1_ = MakeMemo("Memo1");
  // The lines of the convergence check and of Mohn's rho are long.
  memo1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memo1_->setMinimumHeight(60);
  memo1_->setMaximumHeight(130);
  left->addWidget(memo1_);
  g1_ = Hidden(MakeGauge("g1"));
  left->addWidget(g1_);

  // Right column: the CPUE-effort chart, the correlation coefficients, the
  // contour picture of the objective function.
  auto* right = new QVBoxLayout();
  chart2_ = Named<ChartPanel>("Chart2");
  chart2_->SetAxisTitle(Axis::Bottom, QStringLiteral("Усилие"));
  chart2_->SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  chart2_->AddSeries("LineSeries1", {Kind::Points, Qt::black, 1, Marker::Circle, 6, false, false, {}});
  chart2_->AddSeries("SeriesCorrSchaefer", {Kind::Line, Qt::red, 2, Marker::None, 3, true, false, {}});
  chart2_->AddSeries("SeriesCorrFox", {Kind::Line, QColor(0, 255, 0), 2, Marker::None, 3, true, false, {}});
  chart2_->AddSeries("SeriesCorrPT", {Kind::Line, Qt::blue, 2, Marker::None, 3, true, false, {}});
  chart2_->AddSeries("Series12", {Kind::Line, Qt::black, 2, Marker::Square, 4, true, false,
                                  FromUtf8(std::string(estimation::kHoldOutOriginalTitle))});
  for (std::size_t i = 0; i < kNamedHoldOutSeries; ++i) {
    chart2_->AddSeries(HoldOutSeriesName(i),
                       {Kind::Line, kHoldOutColours[i], 2, Marker::None, 3, true, false, {}});
  }
  right->addWidget(chart2_, 3);
  // The contour picture takes Chart2's place when it is shown.
  img5_ = Hidden(Named<ProportionalImage>("img5"));
  right->addWidget(img5_, 3);

  // The residuals of the chosen variant against the year, with the zero
  // line: a trend or an outlier shows at once. It shares its place with the
  // tuning panel's Chart7. The legend names the values (the left axis has
  // no room for the long title at the smallest window).
  chartResiduals_ = Hidden(Named<ChartPanel>("ChartResiduals"));
  chartResiduals_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  chartResiduals_->AddSeries("ZeroLine",
                             {Kind::Line, Qt::gray, 1, Marker::None, 3, false, false, {}});
  chartResiduals_->AddSeries("Residuals",
                             {Kind::Line, Qt::blue, 1, Marker::Circle, 5, false, true, {}});
  chartResiduals_->SetLegendVisible(true, true);
  right->addWidget(chartResiduals_, 3);

  auto* correlationRow = new QHBoxLayout();
  correlationRow->addWidget(BuildCorrelation());
  auto* hiddenButtons = new QVBoxLayout();
  auto* button4 = Hidden(MakeButton("Button4", QStringLiteral("Оценить коэффициет корреляции")));
  auto* button6 = Hidden(MakeButton("Button6", QStringLiteral("Создание полей на поле Результат")));
  hiddenButtons->addWidget(button4);
  hiddenButtons->addWidget(button6);
  correlationRow->addLayout(hiddenButtons);
  right->addLayout(correlationRow);


  chart7_ = Hidden(Named<ChartPanel>("Chart7"));
  chart7_->SetAxisTitle(Axis::Bottom, QStringLiteral("Год"));
  chart7_->SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  chart7_->AddSeries("CpueFact", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, true, {}});
  chart7_->AddSeries("CpueTheor", {Kind::Points, Qt::red, 1, Marker::Circle, 5, false, true, {}});
  right->addWidget(chart7_, 2);


  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 6);
  layout->addLayout(right, 5);

  popupMenu2_ = Named<QMenu>("PopupMenu2", this);
  auto* n4 = popupMenu2_->addAction(QStringLiteral("Ретроспектива"));
  n4->setObjectName("N4");
  auto* n5 = popupMenu2_->addAction(QStringLiteral("Прогноз"));
  n5->setObjectName("N5");

  On(button4, &QPushButton::clicked, [this] { Button4Click(); });
  On(button5, &QPushButton::clicked, [this] { Button5Click(); });
  On(button6, &QPushButton::clicked, [this] { RebuildResultsPanel(); });
  On(button18_, &QPushButton::clicked, [this] { Button18Click(); });
  On(button21_, &QPushButton::clicked, [this] { Button21Click(); });
  On(btn1_, &QPushButton::clicked, [this] { btn1Click(); });
  On(buttonAdopt_, &QPushButton::clicked, [this] { AdoptClick(); });
  On(n4, &QAction::triggered, [this] { N4Click(); });
  On(edit11_, &QLineEdit::returnPressed, [this] { RebuildResultsPanel(); });
  On(cbb1_, &QComboBox::activated, [this](int index) { cbb1Change(index); });
  On(trackBarMedWin_, &QSlider::valueChanged, [this] { TrackBarMedWinChange(); });
}

QGroupBox* EstimationPage::BuildStartValues() {
  auto* group = MakeGroupBox("GroupBox5", QStringLiteral("Начальные условия"));
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("r")), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("K")), 0, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("q")), 0, 3, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Начальная точка")), 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("Границы")), 2, 0, 2, 1);

  editInitialR_ = MakeEdit("EditInitialR", QStringLiteral("0.5"));
  editInitialK_ = MakeEdit("EditInitialK");
  editInitialQ_ = MakeEdit("EditInitialQ", QStringLiteral("0.0001"));
  editMinR_ = MakeEdit("EditMinR", QStringLiteral("0"));
  editMinK_ = MakeEdit("EditMinK");
  editMinQ_ = MakeEdit("EditMinQ", QStringLiteral("0.0001"));
  editMaxR_ = MakeEdit("EditMaxR", QStringLiteral("1"));
  editMaxK_ = MakeEdit("EditMaxK");
  editMaxQ_ = MakeEdit("EditMaxQ", QStringLiteral("1"));
  grid->addWidget(editInitialR_, 1, 1);
  grid->addWidget(editInitialK_, 1, 2);
  grid->addWidget(editInitialQ_, 1, 3);
  grid->addWidget(editMinR_, 2, 1);
  grid->addWidget(editMinK_, 2, 2);
  grid->addWidget(editMinQ_, 2, 3);
  grid->addWidget(editMaxR_, 3, 1);
  grid->addWidget(editMaxK_, 3, 2);
  grid->addWidget(editMaxQ_, 3, 3);

  // The tuning panel: a track bar with its label under each column.
  trackBarR_ = Hidden(MakeTrackBar("TrackBarR", 0, 100, 50, 5));
  trackBarK_ = Hidden(MakeTrackBar("TrackBarK", 0, 100, 0, 5));
  trackBarQ_ = Hidden(MakeTrackBar("TrackBarQ", 0, 100, 0, 5));
  tuningLabels_ = {Hidden(MakeLabel("Label25", QStringLiteral("r"))),
                   Hidden(MakeLabel("Label26", QStringLiteral("K"))),
                   Hidden(MakeLabel("Label27", QStringLiteral("q")))};
  const std::array<QSlider*, 3> bars = {trackBarR_, trackBarK_, trackBarQ_};
  for (int column = 0; column < 3; ++column) {
    auto* cell = new QHBoxLayout();
    cell->addWidget(tuningLabels_[column]);
    cell->addWidget(bars[column], 1);
    grid->addLayout(cell, 4, column + 1);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

QGroupBox* EstimationPage::BuildResults() {
  auto* group = MakeGroupBox("GroupBox6", QStringLiteral("Результат"));
  const QFontMetrics metrics(group->font());
  // Wide enough for "Вид целевой функции" above the boxes and for the
  // longest objective name beside a check mark; the fields for ten digits
  // (a K of 10 digits, an L such as 123456.789).
  checkColumnWidth_ = metrics.horizontalAdvance(QStringLiteral("Вид целевой функции")) + 12;
  for (auto objective : {model::ObjectiveKind::SumOfSquares, model::ObjectiveKind::LogSumOfSquares,
                         model::ObjectiveKind::Median}) {
    checkColumnWidth_ = std::max(
        checkColumnWidth_, metrics.horizontalAdvance(FromUtf8(model::ObjectiveName(objective))) + 32);
  }
  fieldWidth_ = metrics.horizontalAdvance(QStringLiteral("0000000000")) + 10;
  QFont bold = group->font();
  bold.setBold(true);
  const QFontMetrics boldMetrics(bold);
  for (const QString& mark : {kMarkConverged, kMarkNotConverged, kMarkAdopted, kMarkUnavailable}) {
    markWidth_ = std::max(markWidth_, boldMetrics.horizontalAdvance(mark) + 6);
  }

  auto* layout = new QVBoxLayout(group);
  layout->addWidget(BuildResultsHeader());
  scrollBox1_ = Named<QScrollArea>("ScrollBox1");
  scrollBox1_->setWidgetResizable(true);
  layout->addWidget(scrollBox1_, 1);
  RebuildResultsPanelWidgets();
  return group;
}

QWidget* EstimationPage::BuildResultsHeader() {
  auto* header = new QWidget();
  auto* row = new QHBoxLayout(header);
  // The captions stand over the columns of the scroll box's grid (the same
  // widths, margins and spacing; the scroll box's frame is one pixel).
  row->setContentsMargins(kPanelMargin + 1, 0, kPanelMargin + 1, 0);
  row->setSpacing(kPanelSpacing);
  auto* objective = new QLabel(QStringLiteral("Вид целевой функции"));
  objective->setFixedWidth(checkColumnWidth_);
  row->addWidget(objective);
  for (const char* caption : {"r", "K", "q", "L"}) {
    auto* label = new QLabel(QString::fromLatin1(caption));
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(fieldWidth_);
    row->addWidget(label);
  }
  row->addStretch(1);
  return header;
}

QGroupBox* EstimationPage::BuildCorrelation() {
  auto* group = MakeGroupBox("GroupBox4", QStringLiteral("Коэффициент корреляции"));
  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeLabel("Label10", QStringLiteral("Модель Шефера")), 0, 0);
  grid->addWidget(MakeLabel("Label11", QStringLiteral("Модель Фокса")), 1, 0);
  label12_ = MakeLabel("Label12", QStringLiteral("Модель Пелла-Томлинсона"));
  grid->addWidget(label12_, 2, 0);
  const QString none = FromUtf8(std::string(data::kNoCorrelationYet));
  labelCorrelSchaefer_ = MakeLabel("LabelCorrelSchaefer", none);
  labelCorrelFox_ = MakeLabel("LabelCorrelFox", none);
  labelCorrelPT_ = MakeLabel("LabelCorrelPT", none);
  grid->addWidget(labelCorrelSchaefer_, 0, 1);
  grid->addWidget(labelCorrelFox_, 1, 1);
  grid->addWidget(labelCorrelPT_, 2, 1);
  grid->setColumnStretch(1, 1);
  return group;
}

// ---------------------------------------------------------------------------
// The results panel

void EstimationPage::RebuildResultsPanel() {
  // A bad cut-off list raises here and leaves the panel and the variants as
  // they were.
  estimation::BuildModelFits(State(), ToUtf8(edit11_->text()));
  RebuildResultsPanelWidgets();
  refinements_.assign(State().ModelFits.size(), std::nullopt);
  State().ResultTexts.assign(State().ModelFits.size(), {});
  // Every variant is active again: the model chosen before no longer holds.
  ClearModelChoice();
  menuVariant_.reset();
}

void EstimationPage::RebuildResultsPanelWidgets() {
  static const char* const kModelNames[] = {"CheckSchaefer", "CheckFox", "CheckPT"};
  static const char* const kModelCaptions[] = {"Модель Шефера", "Модель Фокса",
                                               "Модель Пелла-Томлинсона"};
  auto* content = new QWidget();
  content->setObjectName("ScrollBox1Content");
  auto* grid = new QGridLayout(content);
  grid->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
  grid->setHorizontalSpacing(kPanelSpacing);
  grid->setVerticalSpacing(3);

  const std::vector<model::ModelFit>& fits = State().ModelFits;
  const std::size_t perModel = fits.empty() ? 0 : estimation::VariantsPerModel(fits);
  rows_.clear();
  int row = 0;
  for (int kind = 0; kind < 3; ++kind) {
    QCheckBox* model = MakeCheckBox(kModelNames[kind], QString::fromUtf8(kModelCaptions[kind]), true);
    modelChecks_[kind] = model;
    grid->addWidget(model, row++, 0, 1, 5, Qt::AlignHCenter);
    On(model, &QCheckBox::clicked, [this, kind](bool checked) { ModelClick(kind, checked); });
    for (std::size_t slot = 0; slot < perModel; ++slot) {
      const std::size_t index = static_cast<std::size_t>(kind) * perModel + slot;
      VariantRow variant;
      // With more than one cut-off value the median variants differ only
      // in it, so their boxes name it.
      QString caption = FromUtf8(model::ObjectiveName(fits[index].Objective));
      if (fits[index].Objective == model::ObjectiveKind::Median && perModel > 3) {
        caption += QStringLiteral(" (%1)").arg(fits[index].CutOff);
      }
      variant.check = new QCheckBox(caption);
      variant.check->setObjectName(QStringLiteral("VariantChecks%1").arg(index));
      variant.check->setProperty("variantIndex", static_cast<qulonglong>(index));
      variant.check->setChecked(fits[index].Enabled == 1);
      variant.check->setFixedWidth(checkColumnWidth_);
      variant.check->setContextMenuPolicy(Qt::CustomContextMenu);
      grid->addWidget(variant.check, row, 0);
      static const char* const kFieldNames[] = {"ResultEditsR", "ResultEditsK", "ResultEditsQ",
                                                "ResultEditsL"};
      for (int f = 0; f < 4; ++f) {
        auto* field = new QLineEdit();
        field->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(kFieldNames[f])).arg(index));
        field->setReadOnly(true);
        field->setFixedWidth(fieldWidth_);
        field->setEnabled(fits[index].Enabled == 1);
        grid->addWidget(field, row, 1 + f);
        variant.fields[f] = field;
      }
      variant.mark = new QLabel();
      variant.mark->setObjectName(QStringLiteral("RefinementMark%1").arg(index));
      variant.mark->setFixedWidth(markWidth_);
      variant.mark->setAlignment(Qt::AlignCenter);
      grid->addWidget(variant.mark, row, 5);
      QCheckBox* box = variant.check;
      On(box, &QCheckBox::clicked, [this, index](bool checked) { VariantClick(index, checked); });
      connect(box, &QWidget::customContextMenuRequested, this,
              [this, index, box](const QPoint& pos) { ShowResultsMenu(index, box->mapToGlobal(pos)); });
      rows_.push_back(variant);
      ++row;
    }
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(6, 1);
  // The previous panel goes with the scroll box's previous widget.
  scrollBox1_->setWidget(content);
  // The rows scroll up and down; their width always fits.
  scrollBox1_->setMinimumWidth(content->minimumSizeHint().width() +
                               scrollBox1_->verticalScrollBar()->sizeHint().width() +
                               2 * scrollBox1_->frameWidth());
  scrollBox1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // At least a model heading and four rows stay in view.
  scrollBox1_->setMinimumHeight(5 * (QLineEdit().sizeHint().height() + 3) + 2 * kPanelMargin);
}

void EstimationPage::ShowResultsMenu(std::size_t index, const QPoint& position) {
  menuVariant_ = index;
  popupMenu2_->popup(position);
}

void EstimationPage::VariantClick(std::size_t index, bool checked) {
  estimation::SetVariantEnabled(State(), index, checked);
  VariantRow& row = rows_.at(index);
  for (QLineEdit* field : row.fields) field->setEnabled(checked);
  for (int f = 0; f < 3; ++f) SetRed(row.fields[f], false);
}

void EstimationPage::ModelClick(int kind, bool checked) {
  estimation::SetModelEnabled(State(), static_cast<model::ProductionModelKind>(kind), checked);
  const std::vector<model::ModelFit>& fits = State().ModelFits;
  for (std::size_t i = 0; i < rows_.size() && i < fits.size(); ++i) {
    if (static_cast<int>(fits[i].Kind) != kind) continue;
    for (int f = 0; f < 3; ++f) SetRed(rows_[i].fields[f], false);
  }
  SyncChecks();
}

void EstimationPage::SyncChecks() {
  const std::vector<model::ModelFit>& fits = State().ModelFits;
  for (std::size_t i = 0; i < rows_.size() && i < fits.size(); ++i) {
    const bool enabled = fits[i].Enabled == 1;
    rows_[i].check->setChecked(enabled);
    for (QLineEdit* field : rows_[i].fields) field->setEnabled(enabled);
  }
}

void EstimationPage::ResetValueColours() {
  for (VariantRow& row : rows_) {
    for (int f = 0; f < 3; ++f) SetRed(row.fields[f], false);
  }
}

void EstimationPage::TrackBarMedWinChange() {
  trackBarMedWin_->setToolTip(FromUtf8(estimation::TrimPositionHint(trackBarMedWin_->value())));
  ResetValueColours();
}

void EstimationPage::Button18Click() {
  const bool show = chart7_->isHidden();
  chart7_->setVisible(show);
  // The residuals of the chosen variant give Chart7 their place meanwhile.
  chartResiduals_->setVisible(!show && ChosenVariant().has_value());
  for (QWidget* widget : {static_cast<QWidget*>(trackBarR_), static_cast<QWidget*>(trackBarK_),
                          static_cast<QWidget*>(trackBarQ_)}) {
    widget->setVisible(show);
  }
  for (QLabel* label : tuningLabels_) label->setVisible(show);
}

// ---------------------------------------------------------------------------
// Showing the page and the suitability check

void EstimationPage::Shown() {
  const char mark = DecimalMark();
  data::TabSheet2Inputs inputs;
  inputs.correlSchaeferText = ToUtf8(labelCorrelSchaefer_->text());
  inputs.correlFoxText = ToUtf8(labelCorrelFox_->text());
  inputs.correlPTText = ToUtf8(labelCorrelPT_->text());
  inputs.holdOutChecked = checkBox4_->isChecked();
  inputs.spinValue = spinEdit1_->value();
  inputs.initialRText = ToUtf8(editInitialR_->text());
  inputs.medianWindowPosition = trackBarMedWin_->value();
  const data::TabSheet2Decision decision = data::TabSheet2Show(State().Table, inputs, mark, State());

  if (decision.enableHoldOut) {
    // The spin starts at 3 when the option becomes available; a number the
    // user set stays (within the new maximum).
    const bool first = !spinEdit1_->isEnabled();
    checkBox4_->setEnabled(true);
    spinEdit1_->setEnabled(true);
    spinEdit1_->setMaximum(decision.spinMaximum);
    if (first) spinEdit1_->setValue(decision.spinValue);
  } else {
    // A series of 14 years or fewer has no room for held-out years.
    checkBox4_->setChecked(false);
    checkBox4_->setEnabled(false);
    spinEdit1_->setEnabled(false);
  }
  trackBarR_->setToolTip(FromUtf8(decision.trackBarRHint));
  trackBarMedWin_->setToolTip(FromUtf8(decision.trackBarMedWinHint));
  chart7_->SetPoints("CpueFact", decision.cpueFact);
  if (decision.check) ShowSuitability(*decision.check, false);
  chart2_->setToolTip(FromUtf8(decision.chart2Hint));
  if (!decision.error.empty()) {
    Ui().ShowError(FromUtf8(decision.error));
  } else if (decision.showPositiveCorrelationMessage) {
    Ui().ShowError(FromUtf8(std::string(data::kPositiveCorrelationMessage)));
  }
}

void EstimationPage::DataSetChanged() {
  const QString none = FromUtf8(std::string(data::kNoCorrelationYet));
  for (QLabel* label : {labelCorrelSchaefer_, labelCorrelFox_, labelCorrelPT_}) label->setText(none);
  if (isVisible()) Shown();
}

void EstimationPage::Button4Click() {
  ShowSuitability(data::SuitabilityCheck(State().Table, HeldOutYears(), DecimalMark(), State()),
                  false);
}

void EstimationPage::ShowSuitability(const data::SuitabilityResult& check, bool keepTypedK) {
  ClearHoldOutSeries();
  chart2_->Clear("Series12");
  chart2_->SetSeriesTitle("Series12", FromUtf8(std::string(estimation::kHoldOutOriginalTitle)), false);
  chart2_->SetPoints("LineSeries1", check.scatter);
  chart2_->SetPoints("SeriesCorrSchaefer", check.schaeferCurve);
  chart2_->SetPoints("SeriesCorrFox", check.foxCurve);
  chart2_->SetPoints("SeriesCorrPT", check.ptCurve);
  chart2_->SetAxisTitle(Axis::Bottom, FromUtf8(check.bottomAxisTitle));
  chart2_->SetLegendVisible(false);
  chart2_->SetWrappedLegendVisible(false);

  labelCorrelSchaefer_->setText(FromUtf8(check.correlationSchaeferText));
  labelCorrelFox_->setText(FromUtf8(check.correlationFoxText));
  labelCorrelPT_->setText(FromUtf8(check.correlationPTText));
  label12_->setToolTip(FromUtf8(check.ptExponentHint));

  const std::array<QLineEdit*, 3> edits = {editInitialK_, editMinK_, editMaxK_};
  const std::array<std::string, 3> proposal = {check.initialKText, check.minKText, check.maxKText};
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (!keepTypedK || ToUtf8(edits[i]->text()) == proposedK_[i]) {
      edits[i]->setText(FromUtf8(proposal[i]));
    }
  }
  proposedK_ = proposal;
}

// ---------------------------------------------------------------------------
// The search

estimation::SearchTexts EstimationPage::ReadTexts() const {
  estimation::SearchTexts texts;
  texts.InitialR = ToUtf8(editInitialR_->text());
  texts.InitialK = ToUtf8(editInitialK_->text());
  texts.InitialQ = ToUtf8(editInitialQ_->text());
  texts.MinR = ToUtf8(editMinR_->text());
  texts.MaxR = ToUtf8(editMaxR_->text());
  texts.MinK = ToUtf8(editMinK_->text());
  texts.MaxK = ToUtf8(editMaxK_->text());
  texts.MinQ = ToUtf8(editMinQ_->text());
  texts.MaxQ = ToUtf8(editMaxQ_->text());
  return texts;
}

int EstimationPage::HeldOutYears() const {
  return checkBox4_->isChecked() ? spinEdit1_->value() : 0;
}

estimation::EstimationRequest EstimationPage::ReadRequest() const {
  estimation::EstimationRequest request;
  request.Texts = ReadTexts();
  request.DecimalMark = DecimalMark();
  request.TrimPosition = trackBarMedWin_->value();
  request.HoldOutYears = HeldOutYears();
  return request;
}

void EstimationPage::StartGauge(int maximum) {
  g1_->setRange(0, maximum);
  g1_->setValue(0);
  g1_->show();
}

void EstimationPage::Post(BackgroundTask::Progress& progress, int position, int maximum) const {
  QProgressBar* gauge = g1_;
  progress.Post([gauge, position, maximum] {
    gauge->setMaximum(maximum);
    gauge->setValue(position);
  });
}

estimation::SearchOptions EstimationPage::SearchOptionsFor(BackgroundTask::Progress& progress) const {
  estimation::SearchOptions options;
  if (testMaxFailures_) options.MaxFailures = *testMaxFailures_;
  options.OnProgress = [this, &progress](int position, int maximum) {
    Post(progress, position, maximum);
  };
  options.OnMemo = MemoWriter(progress);
  return options;
}

std::function<void(const std::vector<std::string>&)> EstimationPage::MemoWriter(
    BackgroundTask::Progress& progress) const {
  QPlainTextEdit* memo = memo1_;
  return [memo, &progress](const std::vector<std::string>& lines) {
    progress.Post([memo, text = Lines(lines)] { memo->setPlainText(text); });
  };
}

estimation::EstimationRequest EstimationPage::PrepareSearch() {
  const char mark = DecimalMark();
  // A text that is not a number names its edit; nothing has changed yet.
  estimation::ReadSearchSettings(ReadTexts(), mark);
  // The series must lack exactly the held-out years (or none): when it does
  // not, the check runs again on the right years.
  if (auto check = estimation::MatchAnalysisSeries(State(), State().Table, HeldOutYears(), mark)) {
    ShowSuitability(*check, true);
  }
  return ReadRequest();
}

void EstimationPage::Button5Click() {
  if (State().ModelFits.empty()) {
    throw Error("Варианты моделей ещё не созданы: откройте файл данных («Файл» → «Открыть»)");
  }
  const std::size_t active = estimation::EnabledIndices(State().ModelFits).size();
  if (active == 0) throw Error("Отметьте хотя бы один вариант модели в группе «Результат»");
  const estimation::EstimationRequest request = PrepareSearch();
  Flow().EstimationStarted();
  ClearModelChoice();
  ResetValueColours();
  ClearRefinements();
  StartGauge(100 * static_cast<int>(active));
  struct SearchRun {
    EstimationOutcome outcome;
    Refined refined;
  };
  RunGuarded(
      Background(),
      [this, table = State().Table, request](BackgroundTask::Progress& progress) {
        SearchRun run;
        run.outcome =
            estimation::RunEstimation(State(), table, request, SearchOptionsFor(progress));
        run.refined = RefineSearched(State(), run.outcome.Settings.Bounds, request.DecimalMark);
        return run;
      },
      [this] { g1_->hide(); },
      [this](const SearchRun& run) {
        ShowEstimation(run.outcome);
        ShowRefinement(run.refined);
      });
}

EstimationPage::Refined EstimationPage::RefineSearched(const AssessmentState& state,
                                                       const estimation::ParameterBounds& bounds,
                                                       char decimalMark) {
  // The lowest objective of every searched variant within the same bounds;
  // it reads the state only and draws nothing from the random stream.
  Refined refined;
  try {
    refined.report = estimation::RefineActiveVariants(state, bounds, decimalMark);
  } catch (const Error& error) {
    refined.error = error.what();
  }
  return refined;
}

void EstimationPage::ShowEstimation(const EstimationOutcome& outcome) {
  const estimation::EstimationDisplay& display = outcome.Display;
  memo1_->setPlainText(Lines(outcome.Summary.Memo));
  chart2_->show();
  btn1_->hide();
  img5_->hide();
  g1_->hide();
  chart7_->SetPoints("CpueTheor", display.TheoreticalCpue);
  SetTrackBar(trackBarR_, display.TrackBarR);
  SetTrackBar(trackBarK_, display.TrackBarK);
  SetTrackBar(trackBarQ_, display.TrackBarQ);

  std::vector<projection::ResultEditTexts> texts;
  for (std::size_t i = 0; i < display.Rows.size(); ++i) {
    const estimation::VariantRow& shown = display.Rows[i];
    texts.push_back(estimation::ResultTextsOf(shown));
    ShowRow(i, shown);
  }
  State().ResultTexts = std::move(texts);

  if (outcome.HoldOut) ShowHoldOut(*outcome.HoldOut);

  cbb1_->clear();
  for (const std::string& label : display.ChoiceLabels) cbb1_->addItem(FromUtf8(label));
  cbb1_->setCurrentIndex(-1);
  cbb1_->show();
  button18_->show();
}

void EstimationPage::ShowRow(std::size_t index, const estimation::VariantRow& shown) {
  if (index >= rows_.size()) return;
  VariantRow& row = rows_[index];
  row.fields[0]->setText(FromUtf8(shown.RText));
  row.fields[1]->setText(FromUtf8(shown.KText));
  row.fields[2]->setText(FromUtf8(shown.QText));
  row.fields[3]->setText(FromUtf8(shown.LText));
  for (QLineEdit* field : row.fields) field->setCursorPosition(0);
  SetRed(row.fields[0], shown.ROutOfBounds);
  SetRed(row.fields[1], shown.KOutOfBounds);
  SetRed(row.fields[2], shown.QOutOfBounds);
  row.check->setToolTip(FromUtf8(shown.ExponentHint));
}

// ---------------------------------------------------------------------------
// The convergence check

void EstimationPage::ShowRefinement(const Refined& refined) {
  if (!refined.report) {
    memo1_->appendPlainText(QStringLiteral("Проверка сходимости поиска не выполнена: ") +
                            FromUtf8(refined.error));
    return;
  }
  if (refinements_.size() < State().ModelFits.size()) {
    refinements_.resize(State().ModelFits.size());
  }
  for (const estimation::VariantRefinement& v : refined.report->Variants) {
    if (v.Index >= refinements_.size()) continue;
    refinements_[v.Index] = v;
    ShowMark(v.Index);
  }
  for (const std::string& line : refined.report->MemoLines) memo1_->appendPlainText(FromUtf8(line));
}

void EstimationPage::ShowMark(std::size_t index) {
  if (index >= rows_.size()) return;
  VariantRow& row = rows_[index];
  const std::optional<estimation::VariantRefinement>* refinement =
      index < refinements_.size() ? &refinements_[index] : nullptr;
  QString mark;
  QString tip;
  QColor colour(Qt::black);
  bool notConverged = false;
  if (refinement != nullptr && refinement->has_value()) {
    const estimation::VariantRefinement& v = **refinement;
    tip = FromUtf8(v.Tooltip);
    if (!v.Available) {
      mark = kMarkUnavailable;
      colour = Qt::darkGray;
    } else if (estimation::IsRefined(State(), index)) {
      mark = kMarkAdopted;
      colour = QColor(0, 130, 0);
      tip = FromUtf8(std::string(projection::kRefinedParametersLine)) + QLatin1Char('\n') + tip;
    } else if (v.NotConverged) {
      mark = kMarkNotConverged;
      colour = QColor(215, 100, 0);
      notConverged = true;
    } else {
      mark = kMarkConverged;
      colour = QColor(0, 130, 0);
    }
  }
  row.mark->setText(mark);
  row.mark->setStyleSheet(
      mark.isEmpty()
          ? QString()
          : QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colour.name()));
  row.mark->setToolTip(tip);
  row.mark->setProperty("notConverged", notConverged);
  row.fields[3]->setToolTip(tip);
}

void EstimationPage::ClearRefinements() {
  refinements_.assign(State().ModelFits.size(), std::nullopt);
  for (std::size_t i = 0; i < rows_.size(); ++i) ShowMark(i);
}

std::optional<std::size_t> EstimationPage::ChosenVariant() const {
  if (State().ModelChoiceText.empty()) return std::nullopt;
  return estimation::FindVariantByLabel(State().ModelFits, State().ModelChoiceText);
}

void EstimationPage::UpdateAdoptButton() {
  const std::optional<std::size_t> chosen = ChosenVariant();
  buttonAdopt_->setVisible(chosen.has_value());
  bool lower = false;
  QString tip;
  if (chosen && *chosen < refinements_.size() && refinements_[*chosen]) {
    const estimation::VariantRefinement& v = *refinements_[*chosen];
    lower =
        v.Available && v.Objective < v.SearchObjective && !estimation::IsRefined(State(), *chosen);
    tip = FromUtf8(v.Tooltip);
  }
  buttonAdopt_->setEnabled(lower);
  buttonAdopt_->setToolTip(tip);
}

void EstimationPage::AdoptClick() {
  const std::optional<std::size_t> chosen = ChosenVariant();
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  if (*chosen >= refinements_.size() || !refinements_[*chosen]) {
    throw Error("Для выбранного варианта нет уточнённых значений: выполните «Оценка параметров»");
  }
  const estimation::VariantRefinement& v = *refinements_[*chosen];
  // Raises, changing nothing, when there is nothing to adopt.
  estimation::AdoptRefinement(State(), v);
  ShowRow(*chosen, v.Row);
  ShowMark(*chosen);
  memo1_->appendPlainText(FromUtf8(std::string(projection::kRefinedParametersLine) + " (" +
                                   v.Label + "): L = " + v.Row.LText));
  UpdateAdoptButton();
  ShowResiduals();
}

void EstimationPage::ShowResiduals() {
  const std::optional<std::size_t> chosen = ChosenVariant();
  if (!chosen) {
    chartResiduals_->ClearAll();
    chartResiduals_->hide();
    return;
  }
  const estimation::ResidualChart chart = estimation::ResidualsByYear(
      State().AnalysisSeries, State().Table, State().ModelFits, *chosen);
  chartResiduals_->SetTitle(FromUtf8(chart.Title));
  chartResiduals_->SetAxisTitle(Axis::Bottom, FromUtf8(chart.XTitle));
  chartResiduals_->SetSeriesTitle("Residuals", FromUtf8(chart.YTitle), true);
  chartResiduals_->SetPoints("Residuals", chart.Residuals);
  chartResiduals_->SetPoints("ZeroLine", chart.ZeroLine);
  // While the tuning panel is open its Chart7 takes the place.
  chartResiduals_->setVisible(chart7_->isHidden());
}

void EstimationPage::ClearHoldOutSeries() {
  const std::size_t count = std::max(kNamedHoldOutSeries, State().ModelFits.size());
  for (std::size_t i = 0; i < count; ++i) {
    const QString name = HoldOutSeriesName(i);
    if (!chart2_->HasSeries(name)) continue;
    chart2_->Clear(name);
    chart2_->SetSeriesTitle(name, name, false);
  }
}

void EstimationPage::ShowHoldOut(const estimation::HoldOutResult& holdOut) {
  for (const char* name : {"LineSeries1", "SeriesCorrSchaefer", "SeriesCorrFox", "SeriesCorrPT"}) {
    chart2_->Clear(QString::fromLatin1(name));
  }
  ClearHoldOutSeries();
  chart2_->SetAxisTitle(Axis::Bottom, FromUtf8(std::string(estimation::kHoldOutBottomAxisTitle)));
  chart2_->SetAxisTitle(Axis::Left, FromUtf8(std::string(estimation::kHoldOutLeftAxisTitle)));
  chart2_->SetPoints("Series12", holdOut.Original);
  for (const estimation::HoldOutVariant& variant : holdOut.Variants) {
    const QString name = HoldOutSeriesName(variant.Index);
    if (!chart2_->HasSeries(name)) {
      const QColor colour = kHoldOutColours[variant.Index % std::size(kHoldOutColours)];
      chart2_->AddSeries(name, {Kind::Line, colour, 2, Marker::Circle, 4, true, true, {}});
    }
    chart2_->SetSeriesTitle(name, FromUtf8(variant.SeriesTitle), true);
    chart2_->SetPoints(name, variant.Points);
  }
  chart2_->SetSeriesTitle("Series12", FromUtf8(std::string(estimation::kHoldOutOriginalTitle)), true);
  // Ten titles such as "Шефер Лог StdDev=260.1" need the legend that wraps.
  chart2_->SetWrappedLegendVisible(true);
}

// ---------------------------------------------------------------------------
// The model choice

void EstimationPage::ClearModelChoice() {
  cbb1_->clear();
  cbb1_->setCurrentIndex(-1);
  button21_->hide();
  State().ModelChoiceText.clear();
  UpdateAdoptButton();
  ShowResiduals();
}

void EstimationPage::cbb1Change(int index) {
  if (index < 0) return;
  const std::string label = ToUtf8(cbb1_->itemText(index));
  // Every variant but the chosen one is unticked, the model boxes too.
  const auto showChoice = [this] {
    for (QCheckBox* model : modelChecks_) model->setChecked(false);
    SyncChecks();
  };
  const auto finish = [this, label] {
    cbb1_->setCurrentIndex(cbb1_->findText(FromUtf8(label)));
    button21_->setEnabled(State().RDirectory != rbridge::kRNotFound);
    button21_->show();
    State().ModelChoiceText = label;
    Flow().ModelChosen();
    UpdateAdoptButton();
    ShowResiduals();
  };

  if (HeldOutYears() == 0) {
    estimation::ChooseModel(State(), label);
    showChoice();
    finish();
    return;
  }
  // With the hold-out option the chosen variant is fitted again: once on the
  // shortened series with the hold-out check, then on every year.
  const estimation::EstimationRequest request = PrepareSearch();
  Flow().EstimationStarted();
  ResetValueColours();
  // The variants were searched on the shortened series: their marks go, the
  // chosen one's comes from its final fit on every year.
  ClearRefinements();
  StartGauge(100);
  struct ChoiceRun {
    estimation::ModelChoiceOutcome outcome;
    Refined refined;
  };
  RunGuarded(
      Background(),
      [this, table = State().Table, request, label](BackgroundTask::Progress& progress) {
        ChoiceRun run;
        run.outcome = estimation::ChooseModelAndRefit(State(), table, label, request,
                                                      SearchOptionsFor(progress));
        run.refined =
            RefineSearched(State(), run.outcome.FinalRun->Settings.Bounds, request.DecimalMark);
        return run;
      },
      [this, showChoice] {
        g1_->hide();
        showChoice();
      },
      [this, finish](const ChoiceRun& run) {
        const estimation::ModelChoiceOutcome& outcome = run.outcome;
        ShowEstimation(*outcome.HoldOutRun);
        checkBox4_->setChecked(false);
        ShowSuitability(*outcome.Recheck, false);
        ShowEstimation(*outcome.FinalRun);
        ShowRefinement(run.refined);
        finish();
      });
}

// ---------------------------------------------------------------------------
// The objective surface

void EstimationPage::ShowImage(const std::string& path) {
  QPixmap picture;
  if (!picture.load(FromUtf8(path))) throw Error("Не удалось загрузить рисунок «" + path + "»");
  img5_->setPixmap(picture);
}

void EstimationPage::Button21Click() {
  const std::size_t variant =
      estimation::VariantIndexByLabel(State().ModelFits, ToUtf8(cbb1_->currentText()));
  const int trim = trackBarMedWin_->value();
  // Beside the data file, or in a per-user folder when that one cannot be
  // written (the user is told where).
  const rbridge::WorkDirectoryChoice where = rbridge::ChooseWorkDirectory(State().DataFileName);
  const std::string rDirectory = State().RDirectory;
  const int catchUnit = catchUnit_ ? catchUnit_() : 0;

  struct SurfaceRun {
    rbridge::PictureRun pictures;
  };
  memo1_->clear();
  StartGauge(200);
  RunGuarded(
      Background(),
      [this, variant, trim, where, rDirectory, catchUnit](BackgroundTask::Progress& progress) {
        estimation::SurfaceOptions options;
        options.OnProgress = [this, &progress](int position, int maximum) {
          Post(progress, position, maximum);
        };
        options.OnMemo = MemoWriter(progress);
        const estimation::SurfaceGrids grids =
            estimation::ComputeObjectiveSurface(State(), variant, trim, options);
        const std::filesystem::path directory(
            std::u8string(where.Directory.begin(), where.Directory.end()));
        const estimation::SurfaceFiles files =
            estimation::WriteSurfaceFiles(directory, grids, catchUnit);
        // R draws graph5.bmp and graph6.bmp beside the script.
        return SurfaceRun{
            rbridge::DrawSurfacePictures(files.Script.parent_path().string(), rDirectory)};
      },
      [this] { g1_->hide(); },
      [this, note = where.Message](const SurfaceRun& run) {
        surfaceDirectory_ = run.pictures.Directory;
        if (!note.empty()) Ui().ShowInformation(FromUtf8(note));
        if (!run.pictures.R.Ok) {
          // The numbers and the files for R stay; only the pictures are missing.
          Ui().ShowWarning(FromUtf8(run.pictures.R.Message));
          return;
        }
        ShowImage(run.pictures.Pictures.front());
        chart2_->hide();
        btn1_->setText(QStringLiteral("MSY/FMSY"));
        btn1_->show();
        img5_->show();
      });
}

void EstimationPage::btn1Click() {
  const estimation::SurfacePicture picture = estimation::ToggleSurfacePicture(showingMsyFmsy_);
  btn1_->setText(FromUtf8(picture.Caption));
  ShowImage(ToUtf8(QDir(FromUtf8(surfaceDirectory_)).filePath(FromUtf8(picture.Image))));
}

// ---------------------------------------------------------------------------
// The retrospective analysis

void EstimationPage::N4Click() {
  if (!menuVariant_) {
    throw Error("Выберите вариант модели: щёлкните правой кнопкой мыши по его флажку в группе "
                "«Результат»");
  }
  const std::size_t variant = *menuVariant_;
  const char mark = DecimalMark();
  const estimation::SearchTexts texts = ReadTexts();
  estimation::ReadSearchSettings(texts, mark);

  const QString label = FromUtf8(estimation::VariantLabel(State().ModelFits, variant));
  StartGauge(10);
  RunGuarded(
      Background(),
      [this, table = State().Table, variant, texts, mark](BackgroundTask::Progress& progress) {
        estimation::RetrospectiveOptions options;
        if (testMaxFailures_) options.MaxFailures = *testMaxFailures_;
        QPlainTextEdit* memo = memo1_;
        int lines = 0;
        // Line k starts run k; the last line ends the tenth.
        options.OnMemoLine = [this, memo, &progress, &lines](const std::string& line) {
          progress.Post([memo, text = FromUtf8(line)] { memo->appendPlainText(text); });
          Post(progress, lines++, 10);
        };
        return estimation::RunRetrospective(State(), table, variant, texts, mark, options);
      },
      [this] { g1_->hide(); },
      [this, label](const estimation::RetrospectiveResult& result) {
        memo1_->appendPlainText(FromUtf8(result.Mohn.Text));
        emit RetrospectiveFinished(result, label);
      });
}

}  // namespace tarvik::app
