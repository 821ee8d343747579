#include "app/estimation_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace tarvik::app {

EstimationPage::EstimationPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet2");

  // Left column: start values, the search button, the results panel and the
  // tuning controls, the progress log.
  auto* left = new QVBoxLayout();
  left->addWidget(BuildStartValues());

  auto* actions = new QHBoxLayout();
  auto* button5 = MakeButton("Button5", QStringLiteral("Оценка параметров"));
  auto* button18 = Hidden(MakeButton("Button18", QStringLiteral("Настройка начальных значений")));
  auto* button21 = Hidden(MakeButton("Button21", QStringLiteral("Анализ целевой функции")));
  button21->setEnabled(false);
  auto* btn1 = Hidden(MakeButton("btn1", QStringLiteral(" MSY/FMSY")));
  actions->addWidget(button5);
  actions->addWidget(button18);
  actions->addWidget(button21);
  actions->addWidget(btn1);
  actions->addStretch(1);
  left->addLayout(actions);

  left->addWidget(BuildResults(), 1);

  auto* medianRow = new QHBoxLayout();
  auto* trackBarMedWin = MakeTrackBar("TrackBarMedWin", 0, 9, 0, 1);
  auto* label35 = MakeLabel("Label35", QStringLiteral("% значений, отсекаемых при расчете медианного отклонения"));
  label35->setWordWrap(true);
  auto* edit11 = Hidden(MakeEdit("Edit11", QStringLiteral("4")));
  edit11->setToolTip(QStringLiteral(
      "Введите значения медианного окна (через запятую) или диапозон значений (через дефис). "
      "Например: 2-5,7,9"));
  medianRow->addWidget(trackBarMedWin, 1);
  medianRow->addWidget(label35, 2);
  medianRow->addWidget(edit11);
  left->addLayout(medianRow);

  auto* choiceRow = new QHBoxLayout();
  auto* checkBox4 = MakeCheckBox("CheckBox4", QStringLiteral("Выбор модели"));
  checkBox4->setEnabled(false);
  checkBox4->setToolTip(QStringLiteral("Нажми сюда если хочешь выбрать модель методом обучающей выборки"));
  auto* label33 = MakeLabel("Label33", QStringLiteral("Количество отсекаемых лет"));
  auto* spinEdit1 = MakeSpinEdit("SpinEdit1", 2, 2, 2);
  spinEdit1->setEnabled(false);
  auto* cbb1 = Hidden(MakeComboBox("cbb1", {}));
  cbb1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  choiceRow->addWidget(checkBox4);
  choiceRow->addSpacing(12);
  choiceRow->addWidget(label33);
  choiceRow->addWidget(spinEdit1);
  choiceRow->addWidget(cbb1, 1);
  choiceRow->addStretch(1);
  left->addLayout(choiceRow);

  memo1_ = MakeMemo("Memo1");
  memo1_->setMinimumHeight(90);
  left->addWidget(memo1_, 1);
  left->addWidget(Hidden(MakeGauge("g1")));

  // Right column: the CPUE-effort chart, the correlation coefficients, the
  // contour picture of the objective function.
  auto* right = new QVBoxLayout();
  chart2_ = Named<ChartPanel>("Chart2");
  chart2_->SetAxisTitle(Axis::Bottom, QStringLiteral("Усилие"));
  chart2_->SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  chart2_->AddSeries("LineSeries1", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, false, {}});
  chart2_->AddSeries("SeriesCorrSchaefer", {Kind::Line, Qt::red, 2, Marker::None, 3, true, false, {}});
  chart2_->AddSeries("SeriesCorrFox", {Kind::Line, QColor(0, 255, 0), 2, Marker::None, 3, true, false, {}});
  chart2_->AddSeries("SeriesCorrPT", {Kind::Line, Qt::blue, 2, Marker::None, 3, true, false, {}});
  for (int i = 12; i <= 21; ++i) {
    chart2_->AddSeries(QStringLiteral("Series%1").arg(i),
                       {Kind::Line, Qt::darkGray, 1, Marker::None, 3, false, false, {}});
  }
  right->addWidget(chart2_, 3);

  auto* correlationRow = new QHBoxLayout();
  correlationRow->addWidget(BuildCorrelation());
  auto* hiddenButtons = new QVBoxLayout();
  auto* button4 = Hidden(MakeButton("Button4", QStringLiteral("Оценить коэффициет корреляции")));
  auto* button6 = Hidden(MakeButton("Button6", QStringLiteral("Создание полей на поле Результат")));
  hiddenButtons->addWidget(button4);
  hiddenButtons->addWidget(button6);
  correlationRow->addLayout(hiddenButtons);
  right->addLayout(correlationRow);

  auto* img5 = MakeImage("img5");
  right->addWidget(img5, 2);

  chart7_ = Hidden(Named<ChartPanel>("Chart7"));
  chart7_->AddSeries("CpueFact", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, true, {}});
  chart7_->AddSeries("CpueTheor", {Kind::Points, Qt::red, 1, Marker::Circle, 5, false, true, {}});
  right->addWidget(chart7_, 2);

  auto* hiddenLabels = new QHBoxLayout();
  hiddenLabels->addWidget(Hidden(MakeLabel("Label25", QStringLiteral("r"))));
  hiddenLabels->addWidget(Hidden(MakeLabel("Label26", QStringLiteral("K"))));
  hiddenLabels->addWidget(Hidden(MakeLabel("Label27", QStringLiteral("q"))));
  right->addLayout(hiddenLabels);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 5);
  layout->addLayout(right, 6);

  popupMenu2_ = Named<QMenu>("PopupMenu2", this);
  auto* n4 = popupMenu2_->addAction(QStringLiteral("Ретроспектива"));
  n4->setObjectName("N4");
  auto* n5 = popupMenu2_->addAction(QStringLiteral("Прогноз"));
  n5->setObjectName("N5");

  On(button4, &QPushButton::clicked, [this] { Button4Click(); });
  On(button5, &QPushButton::clicked, [this] { Button5Click(); });
  On(button6, &QPushButton::clicked, [this] { RebuildResultsPanel(); });
  On(button18, &QPushButton::clicked, [this] { Button18Click(); });
  On(button21, &QPushButton::clicked, [this] { Button21Click(); });
  On(btn1, &QPushButton::clicked, [this] { btn1Click(); });
  On(n4, &QAction::triggered, [this] { N4Click(); });
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

  grid->addWidget(Hidden(MakeTrackBar("TrackBarR", 0, 100, 50, 5)), 4, 1);
  grid->addWidget(Hidden(MakeTrackBar("TrackBarK", 0, 100, 0, 5)), 4, 2);
  grid->addWidget(Hidden(MakeTrackBar("TrackBarQ", 0, 100, 0, 5)), 4, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

QGroupBox* EstimationPage::BuildResults() {
  auto* group = MakeGroupBox("GroupBox6", QStringLiteral("Результат"));
  auto* layout = new QVBoxLayout(group);
  auto* header = new QHBoxLayout();
  header->addSpacing(150);
  for (const char* caption : {"r", "K", "q", "L"}) {
    auto* label = new QLabel(QString::fromLatin1(caption));
    label->setAlignment(Qt::AlignCenter);
    header->addWidget(label, 1);
  }
  auto* objectiveLabel = new QLabel(QStringLiteral("Вид целевой функции"));
  objectiveLabel->setAlignment(Qt::AlignCenter);
  header->addWidget(objectiveLabel, 2);
  layout->addLayout(header);

  scrollBox1_ = Named<QScrollArea>("ScrollBox1");
  scrollBox1_->setWidgetResizable(true);
  auto* content = new QWidget();
  content->setObjectName("ScrollBox1Content");
  auto* models = new QVBoxLayout(content);
  models->addWidget(MakeCheckBox("CheckSchaefer", QStringLiteral("Модель Шефера"), true));
  models->addWidget(MakeCheckBox("CheckFox", QStringLiteral("Модель Фокса"), true));
  models->addWidget(MakeCheckBox("CheckPT", QStringLiteral("Модель Пелла-Томлинсона"), true));
  models->addStretch(1);
  scrollBox1_->setWidget(content);
  layout->addWidget(scrollBox1_, 1);
  return group;
}

QGroupBox* EstimationPage::BuildCorrelation() {
  auto* group = MakeGroupBox("GroupBox4", QStringLiteral("Коэффициент корреляции"));
  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeLabel("Label10", QStringLiteral("Модель Шефера")), 0, 0);
  grid->addWidget(MakeLabel("Label11", QStringLiteral("Модель Фокса")), 1, 0);
  grid->addWidget(MakeLabel("Label12", QStringLiteral("Модель Пелла-Томлинсона")), 2, 0);
  grid->addWidget(MakeLabel("LabelCorrelSchaefer", QStringLiteral("X")), 0, 1);
  grid->addWidget(MakeLabel("LabelCorrelFox", QStringLiteral("X")), 1, 1);
  grid->addWidget(MakeLabel("LabelCorrelPT", QStringLiteral("X")), 2, 1);
  grid->setColumnStretch(1, 1);
  return group;
}

void EstimationPage::RebuildResultsPanel() {}

void EstimationPage::Shown() {}

}  // namespace tarvik::app
