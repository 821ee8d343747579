#include "app/performance_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/widgets.h"

namespace tarvik::app {

PerformancePage::PerformancePage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet5");

  auto* settings = new QHBoxLayout();
  auto* comboBootStrap = MakeComboBox("ComboBoxBootStrap", {QStringLiteral("Параметрический"),
                                                            QStringLiteral("Непараметрический")});
  auto* editRuns = MakeEdit("EditKolvoProgon", QStringLiteral("10000"));
  editRuns->setMaximumWidth(90);
  auto* spinEdit3 = MakeSpinEdit("SpinEdit3", 1, 50, 5);
  auto* button14 = MakeButton("Button14", QStringLiteral("Оценка коэффициентов эффективности"));
  auto* button15 = Hidden(MakeButton("Button15", QStringLiteral("Построить таблицу")));
  cbb2_ = Hidden(MakeComboBox("cbb2", {}));
  cbb2_->setPlaceholderText(QStringLiteral("Выбор ПРП"));
  cbb2_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  settings->addWidget(MakeLabel("Label34", QStringLiteral("Бутстреп")));
  settings->addWidget(comboBootStrap);
  settings->addSpacing(12);
  settings->addWidget(MakeLabel("Label23", QStringLiteral("Кол-во прогонов")));
  settings->addWidget(editRuns);
  settings->addSpacing(12);
  settings->addWidget(MakeLabel("Label21", QStringLiteral("Прогнозный горизонт")));
  settings->addWidget(spinEdit3);
  settings->addSpacing(12);
  settings->addWidget(button14);
  settings->addWidget(button15);
  settings->addWidget(cbb2_);
  settings->addStretch(1);

  stringGrid2_ = Named<QTableWidget>("StringGrid2", 0, 2);
  stringGrid2_->horizontalHeader()->setVisible(false);
  stringGrid2_->verticalHeader()->setVisible(false);
  stringGrid2_->horizontalHeader()->setDefaultSectionSize(105);
  stringGrid2_->setSelectionBehavior(QAbstractItemView::SelectRows);
  memo2_ = MakeMemo("Memo2");

  auto* results = new QHBoxLayout();
  results->addWidget(stringGrid2_, 1);
  results->addWidget(memo2_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(settings);
  layout->addLayout(results, 1);

  On(button14, &QPushButton::clicked, [this] { Button14Click(); });
  On(button15, &QPushButton::clicked, [this] { Button15Click(); });
  On(cbb2_, &QComboBox::activated, [this] { cbb2Change(); });
}

void PerformancePage::cbb2Change() { Flow().RuleChosen(); }

}  // namespace tarvik::app
