#include "app/tac_page.h"

#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace tarvik::app {

TacPage::TacPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet6");
  BuildResults();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(BuildControls());
  layout->addWidget(pageControl3_, 1);
}

QWidget* TacPage::BuildControls() {
  auto* column = new QWidget();
  column->setMaximumWidth(230);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  layout->addWidget(MakeLabel("Label24", QStringLiteral("Прогнозный горизонт")));
  layout->addWidget(MakeSpinEdit("SpinEdit2", 1, 20, 5));

  auto* radioGroup1 = Hidden(MakeGroupBox("RadioGroup1", QStringLiteral("Анализ чувствительности")));
  auto* radios = new QHBoxLayout(radioGroup1);
  auto* buttons = new QButtonGroup(radioGroup1);
  buttons->setObjectName("RadioGroup1Buttons");
  int id = 0;
  for (const char* caption : {"r", "K", "q"}) {
    auto* radio = new QRadioButton(QString::fromLatin1(caption));
    radio->setObjectName(QStringLiteral("RadioGroup1_%1").arg(caption));
    radios->addWidget(radio);
    buttons->addButton(radio, id++);
  }
  layout->addWidget(radioGroup1);

  auto* lbl2 = Hidden(MakeLabel("lbl2", QStringLiteral("Приращение параметра, %")));
  auto* se2 = Hidden(MakeSpinEdit("se2", 5, 50, 10, 5));
  layout->addWidget(lbl2);
  layout->addWidget(se2);

  layout->addWidget(MakeCheckBox("CheckBox3", QStringLiteral("Добавить шум"), true));
  auto* button16 = MakeButton("Button16", QStringLiteral("Построить график"));
  auto* button19 = MakeButton("Button19", QStringLiteral("Сохранить в файл"));
  layout->addWidget(button16);
  layout->addWidget(button19);
  layout->addStretch(1);

  On(button16, &QPushButton::clicked, [this] { Button16Click(); });
  On(button19, &QPushButton::clicked, [this] { Button19Click(); });
  On(buttons, &QButtonGroup::idClicked, [this] { RadioGroup1Click(); });
  On(se2, &QSpinBox::valueChanged, [this] { se2Change(); });
  return column;
}

void TacPage::BuildResults() {
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  pageControl3_ = Named<PageControl>("PageControl3");

  chart5_ = Named<ChartPanel>("Chart5");
  chart5_->SetAxisTitle(Axis::Bottom, QStringLiteral("Год"));
  chart5_->SetAxisTitle(Axis::Left, QStringLiteral("Биомасса, т"));
  chart5_->SetLegendVisible(true);
  const QColor colours[] = {Qt::blue, Qt::red, Qt::darkGreen, Qt::darkMagenta, Qt::darkCyan,
                            Qt::black, Qt::gray, Qt::darkYellow, Qt::magenta, Qt::cyan, Qt::darkRed};
  int colour = 0;
  QStringList names;
  for (int i = 5; i <= 9; ++i) names << QStringLiteral("Series%1").arg(i);
  names << QStringLiteral("Series11");
  for (int i = 28; i <= 32; ++i) names << QStringLiteral("Series%1").arg(i);
  for (const QString& name : names) {
    chart5_->AddSeries(name, {Kind::Line, colours[colour++ % std::size(colours)], 2, Marker::None, 3,
                              true, false, {}});
  }
  popupMenu3_ = Named<QMenu>("PopupMenu3", this);
  auto* n6 = popupMenu3_->addAction(QStringLiteral("Сохранить результат"));
  n6->setObjectName("N6");
  chart5_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart5_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popupMenu3_->popup(chart5_->mapToGlobal(pos)); });
  On(n6, &QAction::triggered, [this] { N6Click(); });

  auto* tabSheet7 = Named<QWidget>("TabSheet7");
  auto* forecast = new QVBoxLayout(tabSheet7);
  forecast->addWidget(chart5_);

  auto* tabSheet8 = Named<QWidget>("TabSheet8");
  auto* report = new QHBoxLayout(tabSheet8);
  memo3_ = MakeMemo("Memo3");
  memo4_ = MakeMemo("Memo4");
  report->addWidget(memo3_, 1);
  report->addWidget(memo4_, 1);

  auto* tabSheet9 = Named<QWidget>("TabSheet9");
  auto* retrospective = new QVBoxLayout(tabSheet9);
  chart6_ = Named<ChartPanel>("Chart6");
  chart6_->SetLegendVisible(true);
  retrospective->addWidget(chart6_);

  pageControl3_->AddPage(tabSheet7, QStringLiteral("Прогноз биомассы и уловов"));
  pageControl3_->AddPage(tabSheet8, QStringLiteral("Результаты"));
  pageControl3_->AddPage(tabSheet9, QStringLiteral("График"));
  pageControl3_->SetTabVisible(2, false);
}

// Colours of the retrospective curves, in run order.
static const QColor kRetrospectiveColours[] = {Qt::blue,      Qt::red,        Qt::darkGreen,
                                               Qt::magenta,   Qt::darkCyan,   Qt::darkYellow,
                                               Qt::black,     Qt::darkRed,    Qt::darkBlue,
                                               Qt::darkMagenta};

void TacPage::AddRetrospectiveCurves(const std::vector<PointList>& curves) {
  // Every analysis adds its curves to those of the earlier ones; the names
  // only have to be new.
  int number = 0;
  while (chart6_->HasSeries(QStringLiteral("Retrospective%1").arg(number + 1))) ++number;
  for (std::size_t k = 0; k < curves.size(); ++k) {
    const QString name = QStringLiteral("Retrospective%1").arg(++number);
    const QColor colour = kRetrospectiveColours[k % std::size(kRetrospectiveColours)];
    chart6_->AddSeries(name, {SeriesStyle::Kind::Line, colour, 3, SeriesStyle::Marker::None, 3,
                              false, false, {}});
    chart6_->SetPoints(name, curves[k]);
  }
  chart6_->SetLegendVisible(false);
  chart6_->SetBackground(Qt::white);
  // The chart's tab and, when it is still hidden, the tab of this page are
  // shown, so the user sees the result; nothing else is unlocked.
  pageControl3_->SetTabVisible(2, true);
  Flow().RevealPage(PageIndex::Tac);
  Flow().BringToFront(PageIndex::Tac);
  pageControl3_->BringToFront(2);
}

}  // namespace tarvik::app
