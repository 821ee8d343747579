#include "app/refpoints_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace tarvik::app {

ReferencePointsPage::ReferencePointsPage(PageContext context, QWidget* parent)
    : Page(context, parent) {
  setObjectName("TabSheet3");

  auto* groupBox7 = MakeGroupBox("GroupBox7", QStringLiteral("Настройка ориентиров"));
  auto* grid = new QGridLayout(groupBox7);
  auto* comboBtg = MakeComboBox("ComboBoxBtg", {"BMSY", "B0.1", "BMSY+ st"});
  auto* comboEtg = MakeComboBox("ComboBoxEtg", {"EMSY", "E0,1", "EMSY+ st"});
  auto* comboBlim = MakeComboBox("ComboBoxBlim", {"0,1*BMSY", "0,2*BMSY", "0,3*BMSY", "0,5*BMSY"});
  grid->addWidget(new QLabel(QStringLiteral("Btr")), 0, 0);
  grid->addWidget(comboBtg, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Etr")), 1, 0);
  grid->addWidget(comboEtg, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Blim")), 2, 0);
  grid->addWidget(comboBlim, 2, 1);
  grid->setColumnStretch(1, 1);

  auto* button9 = Hidden(MakeButton("Button9", QStringLiteral("Создание закладок")));
  auto* button10 = Hidden(MakeButton("Button10", QStringLiteral("Рассчет ориентиров")));
  auto* button11 = MakeButton("Button11", QStringLiteral("Построить все графики"));

  pageControl2_ = Named<QTabWidget>("PageControl2");

  auto* left = new QVBoxLayout();
  left->addWidget(groupBox7);
  left->addWidget(pageControl2_, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(button11);
  buttons->addWidget(button9);
  buttons->addWidget(button10);
  buttons->addStretch(1);
  left->addLayout(buttons);

  chart3_ = Named<ChartPanel>("Chart3");
  chart3_->SetTitle(QStringLiteral("Кривая устойчивого улова"));
  chart3_->SetAxisTitle(Axis::Bottom, QStringLiteral("Биомасса, т"));
  chart3_->SetAxisTitle(Axis::Left, QStringLiteral("Продукция, т"));
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  chart3_->AddSeries("Series2", {Kind::Line, Qt::red, 2, Marker::None, 3, true, true, {}});
  chart3_->AddSeries("lnsrsSeries23", {Kind::Line, Qt::blue, 1, Marker::None, 3, false, true, {}});
  chart3_->AddSeries("lnsrsSeries24", {Kind::Line, Qt::darkGreen, 1, Marker::None, 3, false, true, {}});
  chart3_->AddSeries("Series3", {Kind::Points, Qt::black, 1, Marker::Circle, 7, false, true, {}});

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 4);
  layout->addWidget(chart3_, 6);

  On(button9, &QPushButton::clicked, [this] { Button9Click(); });
  On(button10, &QPushButton::clicked, [this] { Button10Click(); });
  On(button11, &QPushButton::clicked, [this] { Button11Click(); });
  On(comboBtg, &QComboBox::activated, [this] { ComboBoxBtgChange(); });
  On(comboEtg, &QComboBox::activated, [this] { ComboBoxEtgChange(); });
  On(comboBlim, &QComboBox::activated, [this] { ComboBoxBlimChange(); });
}

void ReferencePointsPage::Shown() {}

}  // namespace tarvik::app
