#include "app/rule_page.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/chart_export.h"
#include "app/handler.h"
#include "app/locale_mark.h"
#include "app/widgets.h"
#include "assessment/journal.h"
#include "assessment/reference_points.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "common/numbers.h"
#include "common/r_picture.h"
#include "estimation/variants.h"
#include "rbridge/r_runner.h"
#include "rbridge/work_directory.h"
#include "refpoints/reference_points.h"

namespace tarvik::app {

namespace {

using rules::FTargetKind;
using rules::RuleKind;

// An up-down control: a spin box that shows only its arrows; its position is
// shown by the edit beside it.
class UpDownBox final : public QSpinBox {
 public:
  UpDownBox() { lineEdit()->setReadOnly(true); }
  QSize sizeHint() const override {
    const QSize size = QSpinBox::sizeHint();
    return {fontMetrics().height() + 14, size.height()};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  QString textFromValue(int) const override { return QString(); }
  int valueFromText(const QString&) const override { return value(); }
  QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
};

QSpinBox* MakeUpDown(const char* name, int minimum, int maximum, int position) {
  auto* upDown = Named<UpDownBox>(name);
  upDown->setRange(minimum, maximum);
  upDown->setValue(position);
  return upDown;
}

QString Number(double value) {
  return FromUtf8(FormatGeneral(value, DecimalMark()));
}

const char* const kIndicatorCharts[] = {"Chart8", "Chart9", "Chart10", "Chart11"};
const char* const kIndicatorSeries[] = {"Series23", "Series24", "Series25", "Series26"};
const char* const kImages[] = {"img1", "img2", "img3", "img4"};
const QColor kIndicatorColours[] = {Qt::blue, QColor(0, 140, 0), Qt::red, QColor(150, 0, 150)};

// The optimisation pictures keep the size R draws them at.
constexpr QSize kPictureSize(250, 193);

}  // namespace

RulePage::RulePage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet4");
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;

  chart4_ = Named<ChartPanel>("Chart4");
  chart4_->SetTitle(QStringLiteral("Правило регулирования промысла"));
  chart4_->SetAxisTitle(Axis::Bottom, QStringLiteral("Биомасса, т"));
  chart4_->SetAxisTitle(Axis::Left, QStringLiteral("Пром. смертность"));
  chart4_->SetAxisMinimum(Axis::Left, 0.0);
  chart4_->SetAxisMinimum(Axis::Bottom, 0.0);
  chart4_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.10g"));  // biomass without exponents
  chart4_->AddSeries("PointSeries1",
                     {Kind::Points, Qt::red, 1, Marker::Square, 7, false, false, {}});
  chart4_->AddSeries("Series22", {Kind::Points, Qt::red, 1, Marker::Square, 6, false, false, {}});
  chart4_->AddSeries("Series4",
                     {Kind::Line, QColor(0, 160, 0), 2, Marker::None, 3, false, false, {}});
  chart4_->AddSeries(
      "Series27",
      {Kind::Line, QColor(0, 100, 0), 1.5, Marker::None, 3, false, false, {}, Qt::DotLine});

  // The rule chart, and beside it the optimisation views while they are shown.
  auto* charts = new QHBoxLayout();
  charts->addWidget(chart4_, 1);
  charts->addWidget(BuildOptimisationViews());

  auto* bottom = new QHBoxLayout();
  bottom->addWidget(BuildEditor());
  bottom->addWidget(BuildRuleList(), 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildRuleButtons());
  layout->addLayout(charts, 1);
  layout->addLayout(bottom);
}

QWidget* RulePage::BuildRuleButtons() {
  auto* row = new QWidget();
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  buttonPA_ = Hidden(MakeSpeedButton("ButtonPA", QStringLiteral("Предосторожный подход")));
  buttonPA_->setEnabled(false);
  buttonLinKus_ = MakeSpeedButton("ButtonLinKus", QStringLiteral("Линейно-кусочная функция"));
  buttonLogist_ = MakeSpeedButton("ButtonLogist", QStringLiteral("Логистическая функция"));
  buttonNonZonal_ = Hidden(MakeSpeedButton("ButtonNonZonal", QStringLiteral("Незональные ПРП")));
  btn2_ = MakeSpeedButton("btn2", QStringLiteral("Адаптивные ПРП"));
  btn3_ = MakeSpeedButton("btn3", QStringLiteral("Консервативные ПРП"));

  // Exactly one shape is down, and exactly one mode.
  shapeGroup_ = new QButtonGroup(this);
  for (QToolButton* b : {buttonPA_, buttonLinKus_, buttonLogist_, buttonNonZonal_}) {
    b->setCheckable(true);
    shapeGroup_->addButton(b);
    layout->addWidget(b);
  }
  buttonLinKus_->setChecked(true);
  layout->addStretch(1);
  auto* modes = new QButtonGroup(this);
  for (QToolButton* b : {btn2_, btn3_}) {
    b->setCheckable(true);
    modes->addButton(b);
    layout->addWidget(b);
  }
  btn2_->setChecked(true);

  On(buttonPA_, &QToolButton::clicked, [this] { ButtonPAClick(); });
  On(buttonLinKus_, &QToolButton::clicked, [this] { ButtonLinKusClick(); });
  On(buttonLogist_, &QToolButton::clicked, [this] { ButtonLogistClick(); });
  On(buttonNonZonal_, &QToolButton::clicked, [this] { ButtonNonZonalClick(); });
  On(btn2_, &QToolButton::clicked, [this] { btn2Click(); });
  On(btn3_, &QToolButton::clicked, [this] { btn3Click(); });
  return row;
}

QWidget* RulePage::BuildOptimisationViews() {
  optimisationViews_ = Hidden(new QWidget());
  optimisationViews_->setObjectName("OptimisationViews");
  auto* grid = new QGridLayout(optimisationViews_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(4);
  const auto& titles = rules::IndicatorChartTitles();
  // Small charts: titles in a smaller font, so that "Вариабельность улова"
  // fits beside 193 pixels.
  QFont smallTitles = font();
  smallTitles.setPointSizeF(smallTitles.pointSizeF() * 0.85);
  for (std::size_t i = 0; i < 4; ++i) {
    const int row = static_cast<int>(i / 2), column = static_cast<int>(i % 2);
    auto* chart = Hidden(Named<ChartPanel>(kIndicatorCharts[i]));
    chart->SetAxisTitle(Axis::Left, FromUtf8(titles[i]));
    chart->SetAxisTitleFont(Axis::Left, smallTitles);
    chart->SetAxisStep(Axis::Bottom, 0.5, 4);  // grid lines every 0.1, labels every 0.5
    chart->AddSeries(QString::fromLatin1(kIndicatorSeries[i]), {SeriesStyle::Kind::Line,
                                                                kIndicatorColours[i],
                                                                2,
                                                                SeriesStyle::Marker::None,
                                                                3,
                                                                false,
                                                                false,
                                                                {}});
    chart->setMinimumSize(248, 193);
    chart->setToolTip(QStringLiteral("Щелчок: параметры ПРП с лучшим значением показателя"));
    grid->addWidget(chart, row, column);
    indicatorCharts_[i] = chart;
    On(chart, &ChartPanel::Clicked, [this, i] { Pick(static_cast<rules::Indicator>(i), false); });

    auto* image = Hidden(MakeImage(kImages[i]));
    image->setFixedSize(kPictureSize);
    image->setEnabled(false);
    image->setProperty("tarvikInput", true);  // clickable: disabled during a computation
    image->setCursor(Qt::PointingHandCursor);
    image->setToolTip(QStringLiteral("Щелчок: параметры ПРП с лучшим значением показателя"));
    image->installEventFilter(this);
    AttachPictureExport(image, Ui(), Assessment());
    grid->addWidget(image, row, column);
    images_[i] = image;
  }
  return optimisationViews_;
}

QWidget* RulePage::BuildEditor() {
  auto* box = new QWidget();
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);

  labelAlpha_ = Hidden(MakeLabel("LabelAlpha", QStringLiteral("LabelAlpha")));
  editAlpha_ = Hidden(MakeEdit("EditAlpha", QStringLiteral("1")));
  upDownAlpha_ = Hidden(MakeUpDown("UpDownAlpha", 0, 20, 10));
  labelBeta_ = Hidden(MakeLabel("LabelBeta", QStringLiteral("От 0 до 1")));
  editBeta_ = Hidden(MakeEdit("EditBeta", QStringLiteral("0")));
  upDownBeta_ = Hidden(MakeUpDown("UpDownBeta", 0, 10, 0));
  const int editWidth = editAlpha_->fontMetrics().horizontalAdvance(QStringLiteral("-00,000")) + 16;
  editAlpha_->setFixedWidth(editWidth);
  editBeta_->setFixedWidth(editWidth);
  captionAlpha_ = Hidden(MakeLabel("CaptionAlpha", QStringLiteral("alpha")));
  captionBeta_ = Hidden(MakeLabel("CaptionBeta", QStringLiteral("beta")));
  captionAlpha_->setBuddy(editAlpha_);
  captionBeta_->setBuddy(editBeta_);
  grid->addWidget(captionAlpha_, 0, 0);
  grid->addWidget(editAlpha_, 0, 1);
  grid->addWidget(upDownAlpha_, 0, 2);
  grid->addWidget(labelAlpha_, 0, 3);
  grid->addWidget(captionBeta_, 1, 0);
  grid->addWidget(editBeta_, 1, 1);
  grid->addWidget(upDownBeta_, 1, 2);
  grid->addWidget(labelBeta_, 1, 3);

  checkBox2_ = MakeCheckBox("CheckBox2", QStringLiteral("Наблюденные значения"));
  grid->addWidget(checkBox2_, 2, 0, 1, 4);
  comboFnz_ = MakeComboBox("ComboBoxFNZ", {"FMSY", "F0.1", "Fsq", "0.75Fsq", "1.25Fsq"});
  grid->addWidget(new QLabel(QStringLiteral("Целевая F")), 3, 0);
  grid->addWidget(comboFnz_, 3, 1, 1, 3, Qt::AlignLeft);

  lbl1_ = MakeLabel("lbl1", QStringLiteral("Прогнозный горизонт"));
  se1_ = MakeSpinEdit("se1", 1, 20, 5);
  button20_ = MakeButton("Button20", QStringLiteral("Оптимизация ПРП"));
  auto* optimisation = new QHBoxLayout();
  optimisation->addWidget(lbl1_);
  optimisation->addWidget(se1_);
  optimisation->addWidget(button20_);
  optimisation->addStretch(1);
  grid->addLayout(optimisation, 4, 0, 1, 5);
  g2_ = Hidden(MakeGauge("g2"));
  grid->addWidget(g2_, 5, 0, 1, 5);
  grid->setColumnStretch(4, 1);

  On(checkBox2_, &QCheckBox::clicked, [this] { CheckBox2Click(); });
  On(comboFnz_, &QComboBox::activated, [this] { ComboBoxFNZChange(); });
  On(upDownAlpha_, &QSpinBox::valueChanged, [this] { UpDownAlphaClick(); });
  On(upDownBeta_, &QSpinBox::valueChanged, [this] { UpDownBetaClick(); });
  On(button20_, &QPushButton::clicked, [this] { Button20Click(); });
  // The chart follows a parameter as it is typed; Enter redraws the rule
  // with the typed value and names an unreadable one.
  for (QLineEdit* edit : {editAlpha_, editBeta_}) {
    On(edit, &QLineEdit::textEdited, [this] { FollowTypedParameter(); });
    On(edit, &QLineEdit::returnPressed, [this] { RedrawRule(); });
  }
  return box;
}

QWidget* RulePage::BuildRuleList() {
  auto* box = new QWidget();
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* variants = new QGroupBox(QStringLiteral("Вариант модели"));
  auto* variantsLayout = new QVBoxLayout(variants);
  scrollBox2_ = Named<QScrollArea>("ScrollBox2");
  scrollBox2_->setWidgetResizable(true);
  // Wide enough for the longest variant name with its radio button.
  scrollBox2_->setMinimumWidth(scrollBox2_->fontMetrics().horizontalAdvance(
                                   QStringLiteral("Пелла-Томлинсона Лог. сумма кв.")) +
                               60);
  auto* rulePanel = new QWidget();
  rulePanel->setObjectName("ScrollBox2Content");
  auto* radios = new QVBoxLayout(rulePanel);
  radios->addStretch(1);
  scrollBox2_->setWidget(rulePanel);
  variantsLayout->addWidget(scrollBox2_);
  layout->addWidget(variants);

  auto* list = new QGroupBox(QStringLiteral("Список ПРП"));
  auto* listLayout = new QVBoxLayout(list);
  listBox1_ = Named<QListWidget>("ListBox1");
  listBox1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  button12_ = MakeButton("Button12", QStringLiteral("Добавить ПРП"));
  button22_ = Hidden(MakeButton("Button22", QStringLiteral("Удалить ПРП")));
  auto* button8 = Hidden(MakeButton("Button8", QStringLiteral("Нажми сначала сюда")));
  listLayout->addWidget(listBox1_, 1);
  auto* listButtons = new QHBoxLayout();
  listButtons->addWidget(button12_);
  listButtons->addWidget(button22_);
  listButtons->addWidget(button8);
  listButtons->addStretch(1);
  listLayout->addLayout(listButtons);
  layout->addWidget(list, 1);
  box->setMaximumHeight(170);

  On(button8, &QPushButton::clicked, [this] { Button8Click(); });
  On(button12_, &QPushButton::clicked, [this] { Button12Click(); });
  On(button22_, &QPushButton::clicked, [this] { Button22Click(); });
  return box;
}

// --- showing, variants, shapes ---------------------------------------------

void RulePage::Shown() {
  chart4_->SetAxisTitle(Axis::Bottom,
                        FromUtf8(MassTitle("Биомасса", catchUnit_ ? catchUnit_() : 0)));
  // Before a model is chosen the page has no variant to draw rules for.
  if (!estimation::ChosenVariant(State())) {
    ClearResults();
    return;
  }
  ShowOptimisationViews(OptimisationView::None);
  if (std::exchange(keepEditor_, false)) {
    // An opened assessment: its editor stays as it was left.
    Redraw();
    return;
  }
  Button8Click();
  buttonLinKus_->setChecked(true);
  ButtonLinKusClick();
  // The working rule takes the target the selector shows (FMSY at first);
  // the optimisation and the pick handlers then draw the rule the page shows.
  State().WorkingRule.TargetKind = SelectedTarget();
}

void RulePage::BuildVariantRadios() {
  for (QRadioButton* radio : variantRadios_) delete radio;
  variantRadios_.clear();
  auto* radios = static_cast<QVBoxLayout*>(scrollBox2_->widget()->layout());
  for (std::uint8_t index : State().ActiveVariants) {
    if (index >= State().ModelFits.size()) continue;
    auto* radio = Named<QRadioButton>("VariantRadio",
                                      FromUtf8(refpoints::VariantName(State().ModelFits[index])));
    radio->setProperty("tag", index);
    radios->insertWidget(radios->count() - 1, radio);
    const std::size_t position = variantRadios_.size();
    On(radio, &QRadioButton::clicked, [this, position] { VariantRadioClick(position); });
    variantRadios_.push_back(radio);
  }
}

void RulePage::Button8Click() {
  BuildVariantRadios();
  if (variantRadios_.empty()) return;
  variantRadios_.front()->setChecked(true);
  VariantRadioClick(0);
}

void RulePage::VariantRadioClick(std::size_t radio) {
  if (radio >= variantRadios_.size()) return;
  ruleVariant_ = static_cast<std::uint8_t>(variantRadios_[radio]->property("tag").toUInt());
  if (buttonPA_->isChecked()) {
    ButtonPAClick();
  } else if (buttonLinKus_->isChecked()) {
    ButtonLinKusClick();
  } else if (buttonLogist_->isChecked()) {
    ButtonLogistClick();
  }
  // The observed points belong to the variant: they are drawn for the new one.
  checkBox2_->setChecked(true);
  CheckBox2Click();
}

void RulePage::ShowAlphaEditor(bool shown) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{captionAlpha_, editAlpha_, upDownAlpha_, labelAlpha_}) {
    w->setVisible(shown);
  }
}

void RulePage::ShowBetaEditor(bool shown) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{captionBeta_, editBeta_, upDownBeta_, labelBeta_}) {
    w->setVisible(shown);
  }
}

bool RulePage::Conservative() const {
  return btn3_->isChecked();
}

void RulePage::SetPosition(QSpinBox* upDown, int position) {
  const QSignalBlocker blocker(upDown);
  upDown->setValue(position);
}

void RulePage::ButtonLinKusClick() {
  ShowOptimisationViews(OptimisationView::None);
  ShowAlphaEditor(buttonLinKus_->isChecked() && !Conservative());
  labelAlpha_->setText(QStringLiteral("(-1.0, 1.0)"));
  button20_->setEnabled(true);
  if (upDownAlpha_->value() > 20) SetPosition(upDownAlpha_, 10);
  editAlpha_->setText(Number((upDownAlpha_->value() - 10) / 10.0));
  {
    const QSignalBlocker blocker(upDownAlpha_);
    upDownAlpha_->setRange(0, 20);
  }
  ShowBetaEditor(buttonLogist_->isChecked() && !Conservative());
  PlotRule(RuleKind::PiecewiseLinear, ruleVariant_, SelectedTarget());
}

void RulePage::ButtonLogistClick() {
  ShowOptimisationViews(OptimisationView::None);
  const bool shown = buttonLogist_->isChecked() && !Conservative();
  ShowAlphaEditor(shown);
  ShowBetaEditor(shown);
  labelAlpha_->setText(QStringLiteral("> 1"));
  {
    // The range raises a position below 5 to 5.
    const QSignalBlocker blocker(upDownAlpha_);
    upDownAlpha_->setRange(5, 50);
  }
  const std::string& r = State().RDirectory;
  if (r.empty() || r == rbridge::kRNotFound) button20_->setEnabled(false);
  editAlpha_->setText(Number(upDownAlpha_->value() / 5.0));
  PlotRule(RuleKind::Logistic, ruleVariant_, SelectedTarget());
}

void RulePage::ButtonPAClick() {
  ButtonLogistClick();
}

void RulePage::UpDownAlphaClick() {
  if (buttonLinKus_->isChecked()) {
    editAlpha_->setText(Number((upDownAlpha_->value() - 10) / 10.0));
    ButtonLinKusClick();
  } else {
    editAlpha_->setText(Number(upDownAlpha_->value() / 5.0));
    ButtonLogistClick();
  }
}

void RulePage::UpDownBetaClick() {
  editBeta_->setText(Number(upDownBeta_->value() / 10.0));
  ButtonLogistClick();
}

void RulePage::ComboBoxFNZChange() {
  State().WorkingRule.TargetKind = SelectedTarget();
  if (buttonLogist_->isChecked()) {
    PlotRule(RuleKind::Logistic, ruleVariant_, SelectedTarget());
  } else if (buttonLinKus_->isChecked()) {
    PlotRule(RuleKind::PiecewiseLinear, ruleVariant_, SelectedTarget());
  }
}

void RulePage::CheckBox2Click() {
  if (!checkBox2_->isChecked()) {
    chart4_->Clear("PointSeries1");
    return;
  }
  if (ruleVariant_ >= State().ModelFits.size()) return;  // no variant chosen yet
  chart4_->SetPoints("PointSeries1", rules::ObservedPoints(State().AnalysisSeries,
                                                           State().ModelFits[ruleVariant_]));
}

RuleKind RulePage::Shape() const {
  if (buttonPA_->isChecked()) return RuleKind::Precautionary;
  if (buttonLogist_->isChecked()) return RuleKind::Logistic;
  if (buttonNonZonal_->isChecked()) return RuleKind::NonZonal;
  return RuleKind::PiecewiseLinear;
}

FTargetKind RulePage::SelectedTarget() const {
  return rules::TargetKindForIndex(comboFnz_->currentIndex());
}

rules::RuleEditor RulePage::Editor() const {
  return {Shape(), ToUtf8(editAlpha_->text()), ToUtf8(editBeta_->text()),
          comboFnz_->currentIndex()};
}

void RulePage::PlotRule(RuleKind kind, std::uint8_t variant, FTargetKind target) {
  if (State().ActiveVariants.empty()) {
    // No model variant chosen: there is no rule to draw.
    chart4_->Clear("Series4");
    chart4_->Clear("Series27");
    return;
  }
  const rules::RulePlot plot =
      rules::PlotRule(rules::MakeRuleContext(State()), kind, variant, target,
                      ToUtf8(editAlpha_->text()), ToUtf8(editBeta_->text()), DecimalMark());
  chart4_->SetPoints("Series4", plot.Rule);
  chart4_->SetPoints("Series27", plot.TargetLine);
}

void RulePage::RedrawRule() {
  const RuleKind shape = Shape();
  if (shape == RuleKind::PiecewiseLinear || shape == RuleKind::Logistic) {
    PlotRule(shape, ruleVariant_, SelectedTarget());
  }
}

void RulePage::FollowTypedParameter() {
  try {
    RedrawRule();
  } catch (const Error&) {
    chart4_->Clear("Series4");
  }
}

void RulePage::RebuildVariantRadios() {
  const std::uint8_t previous = ruleVariant_;
  BuildVariantRadios();
  QRadioButton* checked = nullptr;
  for (QRadioButton* radio : variantRadios_) {
    if (radio->property("tag").toUInt() == previous) checked = radio;
  }
  if (variantRadios_.empty()) return;
  if (checked == nullptr) checked = variantRadios_.front();
  checked->setChecked(true);
  ruleVariant_ = static_cast<std::uint8_t>(checked->property("tag").toUInt());
  // The observed points belong to the variants: they are drawn for the new ones.
  checkBox2_->setChecked(true);
}

void RulePage::RestoreEditor(const rules::RuleEditor& editor) {
  const bool logistic = editor.Shape == RuleKind::Logistic;
  QToolButton* shape = logistic                                       ? buttonLogist_
                       : editor.Shape == RuleKind::Precautionary ? buttonPA_
                       : editor.Shape == RuleKind::NonZonal      ? buttonNonZonal_
                                                                 : buttonLinKus_;
  shape->setChecked(true);
  const bool edited = (logistic || shape == buttonLinKus_) && !Conservative();
  ShowAlphaEditor(edited);
  ShowBetaEditor(edited && logistic);
  labelAlpha_->setText(logistic ? QStringLiteral("> 1") : QStringLiteral("(-1.0, 1.0)"));
  editAlpha_->setText(FromUtf8(editor.AlphaText));
  editBeta_->setText(FromUtf8(editor.BetaText));
  // The up-downs at the positions nearest the values, without their handlers.
  const auto position = [](const std::string& text, double scale, double offset, int low,
                           int high) {
    bool ok = false;
    const double value =
        QString::fromStdString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok ? std::clamp(static_cast<int>(std::lround(value * scale + offset)), low, high) : low;
  };
  {
    const QSignalBlocker blocker(upDownAlpha_);
    upDownAlpha_->setRange(logistic ? 5 : 0, logistic ? 50 : 20);
    upDownAlpha_->setValue(logistic ? position(editor.AlphaText, 5.0, 0.0, 5, 50)
                                    : position(editor.AlphaText, 10.0, 10.0, 0, 20));
  }
  SetPosition(upDownBeta_, position(editor.BetaText, 10.0, 0.0, 0, 10));
  const std::string& r = State().RDirectory;
  button20_->setEnabled(!logistic || !(r.empty() || r == rbridge::kRNotFound));
  if (editor.TargetIndex >= 0 && editor.TargetIndex < comboFnz_->count()) {
    comboFnz_->setCurrentIndex(editor.TargetIndex);
    State().WorkingRule.TargetKind = SelectedTarget();
  }
}

void RulePage::Opened() {
  const std::optional<rules::RuleEditor> editor =
      assessment::LastRuleEditor(State(), DecimalMark());
  if (!editor) return;
  RestoreEditor(*editor);
  keepEditor_ = true;
}

void RulePage::Redraw() {
  chart4_->SetAxisTitle(Axis::Bottom,
                        FromUtf8(MassTitle("Биомасса", catchUnit_ ? catchUnit_() : 0)));
  ShowRuleList();
  button22_->setVisible(State().RuleList.size() > 1);
  if (!estimation::ChosenVariant(State())) {
    ClearResults();
    return;
  }
  std::vector<std::uint8_t> shown;
  for (const QRadioButton* radio : variantRadios_) {
    shown.push_back(static_cast<std::uint8_t>(radio->property("tag").toUInt()));
  }
  if (shown != State().ActiveVariants) RebuildVariantRadios();
  FollowTypedParameter();
  CheckBox2Click();
}

void RulePage::ShowOptimisationViews(OptimisationView view) {
  for (ChartPanel* chart : indicatorCharts_) chart->setVisible(view == OptimisationView::Charts);
  for (QLabel* image : images_) image->setVisible(view == OptimisationView::Pictures);
  optimisationViews_->setVisible(view != OptimisationView::None);
}

// --- modes -------------------------------------------------------------------

void RulePage::btn3Click() {
  ShowOptimisationViews(OptimisationView::None);
  SetPosition(upDownAlpha_, 0);
  editAlpha_->setText(Number((0 - 10) / 10.0));
  buttonLinKus_->setChecked(true);
  ButtonLinKusClick();  // alpha = −1: F = Ft at every biomass
  for (QWidget* w :
       std::initializer_list<QWidget*>{buttonLinKus_, buttonLogist_, button20_, lbl1_, se1_}) {
    w->hide();
  }
}

void RulePage::btn2Click() {
  SetPosition(upDownAlpha_, 10);
  editAlpha_->setText(Number((10 - 10) / 10.0));
  buttonLinKus_->setChecked(true);
  ButtonLinKusClick();  // alpha = 0: F rises from the origin to Ft at Btr
  for (QWidget* w :
       std::initializer_list<QWidget*>{buttonLinKus_, buttonLogist_, button20_, lbl1_, se1_}) {
    w->show();
  }
}

// --- the rule list -----------------------------------------------------------

void RulePage::ShowRuleList() {
  listBox1_->clear();
  const AssessmentState& state = State();
  for (std::size_t i = 0; i < state.RuleNames.size() && i < state.RuleList.size(); ++i) {
    listBox1_->addItem(
        FromUtf8(rules::ReadableRuleName(state.RuleNames[i], state.RuleList[i], DecimalMark())));
  }
}

void RulePage::Button12Click() {
  const rules::AddRuleResult result = rules::AddRule(State(), Editor(), DecimalMark());
  ShowRuleList();
  if (result.DeleteVisible) button22_->show();
  Flow().RuleAdded();
  emit RuleListChanged();
}

void RulePage::Button22Click() {
  std::optional<std::size_t> selected;
  const int row = listBox1_->currentRow();
  if (row >= 0 && listBox1_->item(row)->isSelected()) selected = static_cast<std::size_t>(row);
  const rules::DeleteRuleResult result = rules::DeleteRule(State(), selected);
  if (result.Deleted) {
    ShowRuleList();
    emit RuleListChanged();
  }
  button22_->setVisible(result.DeleteVisible);
  if (!result.Message.empty()) Ui().ShowInformation(FromUtf8(result.Message));
}

// --- optimisation --------------------------------------------------------------

std::optional<std::uint8_t> RulePage::ChosenVariant() const {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  if (!chosen) return std::nullopt;
  return static_cast<std::uint8_t>(*chosen);
}

void RulePage::ClearResults() {
  for (QRadioButton* radio : variantRadios_) delete radio;
  variantRadios_.clear();
  chart4_->ClearAll();
  ShowOptimisationViews(OptimisationView::None);
}

void RulePage::Button20Click() {
  // Everything the run needs is read here, before it starts.
  rules::OptimisePageRequest request;
  request.Shape = Shape();
  request.ChosenVariant = ChosenVariant();
  request.Horizon = se1_->value();
  const bool sweepsShape =
      request.Shape == RuleKind::PiecewiseLinear || request.Shape == RuleKind::Logistic;
  const RuleKind swept = sweepsShape ? request.Shape : State().WorkingRule.Kind;
  std::optional<rbridge::WorkDirectoryChoice> where;
  if (swept == RuleKind::Logistic) where = rbridge::ChooseWorkDirectory(State().DataFileName);
  const std::string rDirectory =
      State().RDirectory.empty() ? std::string(rbridge::kRNotFound) : State().RDirectory;
  const char mark = DecimalMark();
  const int catchUnit = catchUnit_ ? catchUnit_() : 0;

  g2_->setRange(0, 51);
  g2_->setValue(0);
  g2_->show();
  AssessmentState& state = State();
  QProgressBar* gauge = g2_;
  Background().RunGuarded(
      [&state, request, where, rDirectory, mark, gauge,
       catchUnit](BackgroundTask::Progress& progress) mutable {
        request.OnProgress = ProgressOn(progress, gauge);
        OptimisationOutcome outcome;
        outcome.result = rules::OptimiseRule(state, request, mark);
        const rules::OptimisationResult& result = *outcome.result;
        if (where && result.Kind == RuleKind::Logistic && !result.Candidates.empty()) {
          outcome.directoryNote = where->Message;
          try {
            outcome.pictures =
                rbridge::DrawOptimisationPictures(where->Directory, result, catchUnit, rDirectory);
            outcome.picturesDrawn = true;
          } catch (const std::exception& error) {
            outcome.error = UserMessage(error);  // the numbers stay; the files are missing
          }
        }
        return outcome;
      },
      [this] {
        g2_->hide();
        g2_->setValue(0);
      },
      [this](OptimisationOutcome outcome) { FinishOptimisation(std::move(outcome)); });
}

void RulePage::FinishOptimisation(OptimisationOutcome outcome) {
  const rules::OptimisationResult& result = *outcome.result;
  if (!result.Candidates.empty() && result.Kind == RuleKind::PiecewiseLinear) {
    editAlpha_->setText(FromUtf8(result.AlphaText));
    for (std::size_t i = 0; i < 4; ++i) {
      indicatorCharts_[i]->SetPoints(
          QString::fromLatin1(kIndicatorSeries[i]),
          rules::IndicatorChart(result, static_cast<rules::Indicator>(i)));
      indicatorCharts_[i]->SetAxisRange(Axis::Bottom, result.Alphas.front(), result.Alphas.back());
    }
    ShowOptimisationViews(OptimisationView::Charts);
  } else if (!result.Candidates.empty() && result.Kind == RuleKind::Logistic) {
    editAlpha_->setText(FromUtf8(result.AlphaText));
    editBeta_->setText(FromUtf8(result.BetaText));
    for (std::size_t i = 0; i < 4; ++i) {
      QPixmap picture;
      if (outcome.picturesDrawn && i < outcome.pictures.Pictures.size()) {
        picture.load(FromUtf8(outcome.pictures.Pictures[i]));  // stays empty when R drew nothing
      }
      images_[i]->setPixmap(picture);
      images_[i]->setEnabled(true);
    }
    ShowOptimisationViews(OptimisationView::Pictures);
  }
  const rules::HarvestRule& working = State().WorkingRule;
  PlotRule(working.Kind, State().OptimisationVariant, working.TargetKind);

  if (!outcome.error.empty()) throw Error(outcome.error);
  const rbridge::RScriptResult& r = outcome.pictures.R;
  if (outcome.picturesDrawn && !r.Ok && r.Status != rbridge::RRunStatus::RNotFound) {
    Ui().ShowWarning(FromUtf8(r.Message));
  }
  if (!outcome.directoryNote.empty()) Ui().ShowInformation(FromUtf8(outcome.directoryNote));
}

void RulePage::Pick(rules::Indicator indicator, bool withBeta) {
  const rules::PickTexts texts = rules::PickValues(State(), indicator, DecimalMark());
  editAlpha_->setText(FromUtf8(texts.Alpha));
  if (withBeta) editBeta_->setText(FromUtf8(texts.Beta));
  const rules::HarvestRule& working = State().WorkingRule;
  PlotRule(working.Kind, State().OptimisationVariant, working.TargetKind);
}

bool RulePage::eventFilter(QObject* watched, QEvent* event) {
  // The left button picks; the right one opens the picture's menu.
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    for (std::size_t i = 0; i < images_.size(); ++i) {
      if (watched == images_[i] && images_[i]->isEnabled()) {
        RunHandler(Ui(), [this, i] { Pick(static_cast<rules::Indicator>(i), true); });
        return true;
      }
    }
  }
  return Page::eventFilter(watched, event);
}

}  // namespace tarvik::app
