#include "app/rule_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace tarvik::app {

RulePage::RulePage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet4");
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;

  // Left: the rule chart with its parameters and the rule commands.
  auto* left = new QVBoxLayout();
  left->addWidget(BuildRuleButtons());

  chart4_ = Named<ChartPanel>("Chart4");
  chart4_->SetTitle(QStringLiteral("Правило регулирования промысла"));
  chart4_->SetAxisTitle(Axis::Bottom, QStringLiteral("Биомасса, т"));
  chart4_->SetAxisTitle(Axis::Left, QStringLiteral("Пром. смертность"));
  chart4_->AddSeries("PointSeries1", {Kind::Points, Qt::black, 1, Marker::Circle, 6, false, true, {}});
  chart4_->AddSeries("Series22", {Kind::Points, Qt::red, 1, Marker::Square, 6, false, true, {}});
  chart4_->AddSeries("Series4", {Kind::Line, Qt::blue, 2, Marker::None, 3, true, true, {}});
  chart4_->AddSeries("Series27", {Kind::Line, Qt::darkGreen, 2, Marker::None, 3, true, true, {}});
  left->addWidget(chart4_, 1);

  auto* parameters = new QHBoxLayout();
  auto* labelAlpha = Hidden(MakeLabel("LabelAlpha", QStringLiteral("LabelAlpha")));
  auto* editAlpha = Hidden(MakeEdit("EditAlpha", QStringLiteral("1")));
  auto* upDownAlpha = Hidden(MakeSpinEdit("UpDownAlpha", 0, 100, 10));
  auto* labelBeta = Hidden(MakeLabel("LabelBeta", QStringLiteral("От 0 до 1")));
  auto* editBeta = Hidden(MakeEdit("EditBeta", QStringLiteral("0")));
  auto* upDownBeta = Hidden(MakeSpinEdit("UpDownBeta", 0, 10, 0));
  for (QWidget* w : std::initializer_list<QWidget*>{labelAlpha, editAlpha, upDownAlpha, labelBeta,
                                                    editBeta, upDownBeta}) {
    parameters->addWidget(w);
  }
  auto* checkBox2 = MakeCheckBox("CheckBox2", QStringLiteral("Наблюденные значения"));
  parameters->addWidget(checkBox2);
  parameters->addStretch(1);
  left->addLayout(parameters);

  auto* commands = new QHBoxLayout();
  auto* comboFnz = MakeComboBox("ComboBoxFNZ", {"FMSY", "F0.1", "Fsq", "0.75Fsq", "1.25Fsq"});
  auto* button12 = MakeButton("Button12", QStringLiteral("Добавить ПРП"));
  auto* button22 = Hidden(MakeButton("Button22", QStringLiteral("Удалить ПРП")));
  auto* button8 = Hidden(MakeButton("Button8", QStringLiteral("Нажми сначала сюда")));
  auto* button20 = MakeButton("Button20", QStringLiteral("Оптимизация ПРП"));
  auto* lbl1 = MakeLabel("lbl1", QStringLiteral("Прогнозный горизонт"));
  auto* se1 = MakeSpinEdit("se1", 1, 20, 5);
  commands->addWidget(comboFnz);
  commands->addWidget(button12);
  commands->addWidget(button22);
  commands->addWidget(button8);
  commands->addStretch(1);
  commands->addWidget(lbl1);
  commands->addWidget(se1);
  commands->addWidget(button20);
  left->addLayout(commands);
  left->addWidget(Hidden(MakeGauge("g2")));

  // Right: the rule list with its panel and the optimisation pictures.
  auto* right = new QVBoxLayout();
  listBox1_ = Named<QListWidget>("ListBox1");
  right->addWidget(listBox1_, 2);
  scrollBox2_ = Named<QScrollArea>("ScrollBox2");
  scrollBox2_->setWidgetResizable(true);
  auto* rulePanel = new QWidget();
  rulePanel->setObjectName("ScrollBox2Content");
  new QVBoxLayout(rulePanel);
  scrollBox2_->setWidget(rulePanel);
  right->addWidget(scrollBox2_, 2);
  right->addWidget(BuildOptimisationPictures(), 4);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 6);
  layout->addLayout(right, 4);

  On(button8, &QPushButton::clicked, [this] { Button8Click(); });
  On(button12, &QPushButton::clicked, [this] { Button12Click(); });
  On(button20, &QPushButton::clicked, [this] { Button20Click(); });
  On(button22, &QPushButton::clicked, [this] { Button22Click(); });
  On(checkBox2, &QCheckBox::clicked, [this] { CheckBox2Click(); });
  On(comboFnz, &QComboBox::activated, [this] { ComboBoxFNZChange(); });
  On(upDownAlpha, &QSpinBox::valueChanged, [this] { UpDownAlphaClick(); });
  On(upDownBeta, &QSpinBox::valueChanged, [this] { UpDownBetaClick(); });
}

QWidget* RulePage::BuildRuleButtons() {
  auto* row = new QWidget();
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* buttonPA = Hidden(MakeSpeedButton("ButtonPA", QStringLiteral("Предосторожный подход")));
  buttonPA->setEnabled(false);
  auto* buttonLinKus = MakeSpeedButton("ButtonLinKus", QStringLiteral("Линейно-кусочная функция"));
  auto* buttonLogist = MakeSpeedButton("ButtonLogist", QStringLiteral("Логистическая функция"));
  auto* buttonNonZonal = Hidden(MakeSpeedButton("ButtonNonZonal", QStringLiteral("Незональные ПРП")));
  auto* btn2 = MakeSpeedButton("btn2", QStringLiteral("Адаптивные ПРП"));
  auto* btn3 = MakeSpeedButton("btn3", QStringLiteral("Консервативные ПРП"));
  for (QToolButton* b : {buttonPA, buttonLinKus, buttonLogist, buttonNonZonal, btn2, btn3}) {
    layout->addWidget(b);
  }
  layout->addStretch(1);
  On(buttonPA, &QToolButton::clicked, [this] { ButtonPAClick(); });
  On(buttonLinKus, &QToolButton::clicked, [this] { ButtonLinKusClick(); });
  On(buttonLogist, &QToolButton::clicked, [this] { ButtonLogistClick(); });
  On(buttonNonZonal, &QToolButton::clicked, [this] { ButtonNonZonalClick(); });
  On(btn2, &QToolButton::clicked, [this] { btn2Click(); });
  On(btn3, &QToolButton::clicked, [this] { btn3Click(); });
  return row;
}

QWidget* RulePage::BuildOptimisationPictures() {
  auto* box = new QWidget();
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  const char* images[] = {"img1", "img2", "img3", "img4"};
  const char* charts[] = {"Chart8", "Chart9", "Chart10", "Chart11"};
  const char* series[] = {"Series23", "Series24", "Series25", "Series26"};
  const QString leftTitles[] = {QStringLiteral("Улов, т"), QStringLiteral("Биомасса, т"),
                                QStringLiteral("Вариабельность улова"),
                                QStringLiteral("Риск B < B ср.")};
  for (int i = 0; i < 4; ++i) {
    auto* image = MakeImage(images[i]);
    image->setEnabled(false);
    grid->addWidget(image, i / 2, i % 2);
    auto* chart = Hidden(Named<ChartPanel>(charts[i]));
    chart->SetAxisTitle(Axis::Left, leftTitles[i]);
    chart->AddSeries(QString::fromLatin1(series[i]),
                     {SeriesStyle::Kind::Line, Qt::blue, 2, SeriesStyle::Marker::None, 3, true, true, {}});
    grid->addWidget(chart, 2 + i / 2, i % 2);
  }
  return box;
}

void RulePage::Shown() {}

}  // namespace tarvik::app
