#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "app/chart_panel.h"
#include "app/refpoints_page.h"
#include "app_fixture.h"
#include "assessment/reference_points.h"
#include "common/numbers.h"
#include "fitted_state.h"
#include "model/production.h"
#include "refpoints/reference_points.h"
#include "uncertainty/bootstrap_view.h"

namespace tarvik::app::testing {
namespace {

// The ten labels of the reference points (beside them stand the labels of
// the confidence intervals).
const QRegularExpression kReferenceLabels(QStringLiteral("^ReferenceLabel"));

class ReferencePointsPageTest : public AppTest {
 protected:
  // Started, with the Schaefer sum-of-squares variant K = 1000, r = 0.5,
  // q = 0.001 chosen on page 2.
  void SetUp() override {
    AppTest::SetUp();
    Started();
    variant_ = ChooseFittedVariant(window_->State(), SchaeferTable(0.5, 1000.0, 0.001), "Шефер СК",
                                   0.5, 1000.0, 0.001);
    window_->Flow().ModelChosen();
  }

  void ShowPage() { window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints)); }

  QTabWidget* Tabs() { return Find<QTabWidget>("PageControl2"); }
  QString Edit(int tab, const char* name) {
    auto* edit = Tabs()->widget(tab)->findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit != nullptr ? edit->text() : QString();
  }
  // A choice in a selector, as the user makes it.
  void Choose(const char* combo, int index) {
    auto* box = Find<QComboBox>(combo);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  ChartPanel* Chart3() { return Find<ChartPanel>("Chart3"); }
  const model::ModelFit& Fit() { return window_->State().ModelFits[variant_]; }

  std::size_t variant_ = 0;
};

TEST_F(ReferencePointsPageTest, ShowingThePageComputesTheMsyPointOfTheChosenVariant) {
  ShowPage();
  ASSERT_EQ(Tabs()->count(), 1);
  EXPECT_EQ(Tabs()->tabText(0), "Шефера Сумма квадратов");
  EXPECT_EQ(Edit(0, "MsyEdit"), "125");
  EXPECT_EQ(Edit(0, "BmsyEdit"), "500");
  EXPECT_EQ(Edit(0, "FmsyEdit"), "0.25");
  EXPECT_EQ(Edit(0, "EmsyEdit"), "250");
  EXPECT_EQ(Edit(0, "BtrEdit"), "500");
  EXPECT_EQ(Edit(0, "FtrEdit"), "0.25");
  EXPECT_EQ(Edit(0, "EtrEdit"), "250");
  EXPECT_EQ(Edit(0, "BlimEdit"), "50");
  EXPECT_EQ(Edit(0, "FlimEdit"), "0.25");
  EXPECT_EQ(Edit(0, "ElimEdit"), "250");
  EXPECT_TRUE(Tabs()->widget(0)->findChild<QLineEdit*>("MsyEdit")->isReadOnly());
  EXPECT_EQ(Fit().BTarget, 500.0);
  EXPECT_EQ(Fit().BLimit, 50.0);
  // The ten labels are on the tab in front.
  EXPECT_EQ(Tabs()->widget(0)->findChildren<QLabel*>(kReferenceLabels).size(), 10);
  auto* button = Tabs()->widget(0)->findChild<QPushButton*>("CurveButton");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->property("tag").toInt(), static_cast<int>(variant_));
}

TEST_F(ReferencePointsPageTest, SelectorsChangeTheStoredPointsInTheirOrder) {
  ShowPage();
  Choose("ComboBoxBlim", 1);  // "0,2*BMSY"
  EXPECT_EQ(Edit(0, "BlimEdit"), "100");
  EXPECT_EQ(Fit().BLimit, 100.0);

  // "B0.1" shows Btr = 0.55·K; "EMSY" then writes BMSY back into BTarget and
  // computes Ftr, Etr from it, and the Btr edit shows BMSY again.
  Choose("ComboBoxBtg", 1);
  EXPECT_EQ(Edit(0, "BtrEdit"), "550");
  EXPECT_EQ(Fit().BTarget, 550.0);
  EXPECT_EQ(Edit(0, "FtrEdit"), "0.25");  // not touched by the Btr selector
  Choose("ComboBoxEtg", 1);               // "E0,1"
  EXPECT_EQ(Edit(0, "FtrEdit"), "0.23");  // 0.45·r, rounded
  Choose("ComboBoxEtg", 0);               // "EMSY"
  EXPECT_EQ(Fit().BTarget, Fit().BMSY);
  EXPECT_EQ(Edit(0, "BtrEdit"), "500");
  EXPECT_EQ(Edit(0, "FtrEdit"), "0.25");
  EXPECT_EQ(Edit(0, "EtrEdit"), "250");
}

// The mass axes of pages 3, 4 and 6 name the catch unit chosen on page 1.
TEST_F(ReferencePointsPageTest, MassAxesFollowTheCatchUnitOfTheData) {
  Find<QSpinBox>("UpDown1")->setValue(3);
  window_->ReferencePoints()->Shown();
  EXPECT_EQ(Chart3()->AxisTitle(Axis::Bottom), "Биомасса, тыс. т");
  EXPECT_EQ(Chart3()->AxisTitle(Axis::Left), "Продукция, тыс. т");
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Rule));
  EXPECT_EQ(Find<ChartPanel>("Chart4")->AxisTitle(Axis::Bottom), "Биомасса, тыс. т");
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  EXPECT_EQ(Find<ChartPanel>("Chart5")->AxisTitle(Axis::Left), "Биомасса, тыс. т");
  Find<QSpinBox>("UpDown1")->setValue(0);
  ShowPage();
  EXPECT_EQ(Chart3()->AxisTitle(Axis::Bottom), "Биомасса, т");
}

TEST_F(ReferencePointsPageTest, ShowingTheSameVariantsAgainRebuildsNothing) {
  ShowPage();
  QWidget* sheet = Tabs()->widget(0);
  Choose("ComboBoxBtg", 1);
  Choose("ComboBoxBlim", 3);
  window_->Pages()->BringToFront(0);
  ShowPage();
  EXPECT_EQ(Tabs()->widget(0), sheet);
  EXPECT_EQ(Edit(0, "BtrEdit"), "550");
  EXPECT_EQ(Fit().BTarget, 550.0);
  EXPECT_EQ(Edit(0, "BlimEdit"), "250");
}

TEST_F(ReferencePointsPageTest, ANewFitOfTheChosenVariantIsComputedWhenThePageIsShown) {
  ShowPage();
  window_->Pages()->BringToFront(0);
  // A new estimation and the same model chosen again: one active variant,
  // as before, but another K.
  window_->State().ModelFits[variant_].K = 2000.0;
  ShowPage();
  EXPECT_EQ(Edit(0, "BmsyEdit"), "1000");
  EXPECT_EQ(Edit(0, "MsyEdit"), "250");
  EXPECT_EQ(Fit().BTarget, 1000.0);
}

TEST_F(ReferencePointsPageTest, ALaterPageShownAfterANewFitWorksWithItsNewReferencePoints) {
  ShowPage();
  EXPECT_EQ(Fit().BMSY, 500.0);
  // Refined values adopted on page 2, then straight to the forecast page:
  // the reference points follow the new fit before that page uses them.
  window_->State().ModelFits[variant_].K = 2000.0;
  window_->Flow().RevealPage(PageIndex::Tac);
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  EXPECT_EQ(Fit().BMSY, 1000.0);
  EXPECT_EQ(Fit().MSY, 250.0);
  EXPECT_EQ(Edit(0, "BmsyEdit"), "1000");
}

TEST_F(ReferencePointsPageTest, SeveralVariantsGetOneTabEachAndTheLabelsFollowTheTabInFront) {
  AddFittedVariant(window_->State(), "Фокс Лог", 0.4, 1500.0, 0.002);
  ShowPage();
  ASSERT_EQ(Tabs()->count(), 2);
  EXPECT_EQ(Tabs()->tabText(1), "Фокса Лог. сумма кв.");
  const model::ModelFit& fox = window_->State().ModelFits[4];
  EXPECT_EQ(Edit(1, "BmsyEdit").toStdString(), FormatGeneral(fox.BMSY));
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(Tabs()->widget(0)->findChildren<QLabel*>(kReferenceLabels).size(), 0);
  EXPECT_EQ(Tabs()->widget(1)->findChildren<QLabel*>(kReferenceLabels).size(), 10);
  EXPECT_TRUE(Tabs()->widget(1)->findChild<QLabel*>("ReferenceLabelEtr")->isVisible());

  // Unticking a variant changes the count: the tabs are built anew.
  estimation::SetVariantEnabled(window_->State(), 4, false);
  window_->Pages()->BringToFront(0);
  ShowPage();
  EXPECT_EQ(Tabs()->count(), 1);
}

// «Сохранить как CSV…» and Ctrl+C write every tab's points as its edits show
// them, one column per tab.
TEST_F(ReferencePointsPageTest, ThePointsAreSavedAndCopiedAsTheTabsShowThem) {
  AddFittedVariant(window_->State(), "Фокс Лог", 0.4, 1500.0, 0.002);
  ShowPage();
  Choose("ComboBoxBlim", 3);
  ASSERT_EQ(Tabs()->count(), 2);
  const std::pair<const char*, const char*> points[] = {
      {"MSY", "MsyEdit"},   {"BMSY", "BmsyEdit"}, {"FMSY", "FmsyEdit"}, {"EMSY", "EmsyEdit"},
      {"Btr", "BtrEdit"},   {"Ftr", "FtrEdit"},   {"Etr", "EtrEdit"},   {"Blim", "BlimEdit"},
      {"Flim", "FlimEdit"}, {"Elim", "ElimEdit"}};
  std::vector<QStringList> rows = {
      {QStringLiteral("Ориентир"), Tabs()->tabText(0), Tabs()->tabText(1)}};
  for (const auto& [caption, edit] : points) {
    const QString shown = Find<QLabel>((std::string("ReferenceLabel") + caption).c_str())->text();
    rows.push_back({shown, Edit(0, edit), Edit(1, edit)});
  }
  QString csv = QStringLiteral("\uFEFF"), copied;
  for (const QStringList& row : rows) {
    csv += row.join(';') + QStringLiteral("\r\n");
    copied += row.join('\t') + '\n';
  }
  ui_.saveAnswers.push_back(TempPath("points.csv"));
  Action("PageControl2SaveCsv")->trigger();
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ReadBytes(TempPath("points.csv")), csv.toStdString());

  Tabs()->setFocus();
  QTest::keyClick(Tabs(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(ui_.clipboard, copied);
}

TEST_F(ReferencePointsPageTest, ProductionCurvesAndTheMarkersOfOneVariant) {
  ShowPage();
  Find<QPushButton>("Button11")->click();
  const std::vector<QString>& curves = window_->ReferencePoints()->ProductionCurves();
  ASSERT_EQ(curves.size(), 1u);
  const PointList curve = Chart3()->Points(curves[0]);
  ASSERT_EQ(curve.size(), 1001u);  // (0, 0), B = 1 … 999, (K, 0)
  EXPECT_EQ(curve.front(), (Point{0.0, 0.0}));
  EXPECT_EQ(curve.back(), (Point{1000.0, 0.0}));
  EXPECT_EQ(curve[500].y, 125.0);
  EXPECT_EQ(curve, refpoints::ProductionCurve(Fit()));
  // The workflow goes on to the rule page.
  EXPECT_TRUE(window_->Pages()->IsTabVisible(static_cast<int>(PageIndex::Rule)));
  EXPECT_TRUE(Action("N12")->isChecked());
  EXPECT_TRUE(Action("N13")->isEnabled());

  // "Построить все графики" again: still one curve per variant.
  Find<QPushButton>("Button11")->click();
  EXPECT_EQ(window_->ReferencePoints()->ProductionCurves().size(), 1u);

  // A tab's button: its variant's curve with the two red markers; the
  // per-variant curves are emptied but stay.
  Choose("ComboBoxBtg", 1);
  Tabs()->widget(0)->findChild<QPushButton*>("CurveButton")->click();
  EXPECT_EQ(Chart3()->Points("Series2"), refpoints::ProductionCurve(Fit()));
  const PointList markers = Chart3()->Points("Series3");
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0], (Point{500.0, 125.0}));
  EXPECT_EQ(markers[1].x, 550.0);
  EXPECT_EQ(markers[1].y, model::SurplusProduction(model::ProductionModelKind::Schaefer, 550.0, 0.5,
                                                   1000.0, 0.0));
  ASSERT_TRUE(Chart3()->HasSeries(curves[0]));
  EXPECT_TRUE(Chart3()->Points(curves[0]).empty());
}

TEST_F(ReferencePointsPageTest, AVariantThatCannotBeComputedLeavesEveryFitAsItWas) {
  // A second active variant without a fit (K = 0): its MSY point is undefined.
  estimation::SetVariantEnabled(window_->State(), 3, true);
  const std::vector<model::ModelFit> before = window_->State().ModelFits;
  ShowPage();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_EQ(window_->State().ModelFits[variant_].BMSY, before[variant_].BMSY);
  EXPECT_EQ(window_->State().ModelFits[variant_].MSY, 0.0);
  EXPECT_EQ(Edit(0, "MsyEdit"), "");

  // With the variant unticked the page is computed on the next showing.
  estimation::SetVariantEnabled(window_->State(), 3, false);
  window_->Pages()->BringToFront(0);
  ShowPage();
  EXPECT_EQ(Edit(0, "MsyEdit"), "125");
}

// «Рассчитать» of «Доверительные интервалы»: the intervals stand beside the
// chosen variant's points, in the table and on the scatter, and the random
// stream of the procedure has not moved; a new model choice takes them away.
TEST_F(ReferencePointsPageTest, IntervalsStandBesideThePointsUntilTheChoiceChanges) {
  window_->ReferencePoints()->SetSearchBoundsSource([] {
    estimation::ParameterBounds bounds;
    bounds.MinK = 100.0;
    bounds.MaxK = 10000.0;
    return bounds;
  });
  // Off the exact values, so that the fit has residuals to resample; every
  // residual counts, as after a search without trimming.
  window_->State().ModelFits[variant_].R = 0.55;
  window_->State().MedianKeepCount = 18;
  ShowPage();
  const auto interval = [&](const char* name) {
    return Tabs()->widget(0)->findChild<QLabel*>(name)->text();
  };
  EXPECT_EQ(interval("IntervalMSY"), "");
  const std::uint64_t seed = window_->State().Random.Seed();
  Find<QSpinBox>("ReplicatesEdit")->setValue(100);
  Find<QPushButton>("IntervalButton")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 0) << ui_.boxes[0].text.toStdString();
  ASSERT_TRUE(window_->State().Uncertainty.has_value());
  const uncertainty::BootstrapResult& result = *window_->State().Uncertainty;
  for (const auto& [name, quantity] : {std::pair{"IntervalMSY", uncertainty::Quantity::Msy},
                                       std::pair{"IntervalBMSY", uncertainty::Quantity::Bmsy},
                                       std::pair{"IntervalFMSY", uncertainty::Quantity::Fmsy},
                                       std::pair{"IntervalEMSY", uncertainty::Quantity::Emsy}}) {
    EXPECT_EQ(interval(name).toStdString(), uncertainty::IntervalText(result.Of(quantity)));
    EXPECT_TRUE(interval(name).startsWith("[")) << name;
  }
  auto* table = Find<QTableWidget>("IntervalTable");
  ASSERT_GE(table->rowCount(), 9);  // the header, r, K, q, MSY … F_last/FMSY (p of Schaefer: none)
  // Masses are named in the data's unit, as page 1 selects it.
  EXPECT_EQ(table->item(4, 0)->text(), "MSY, т");
  auto* chartRk = Find<ChartPanel>("ChartRK");
  EXPECT_EQ(chartRk->AxisTitle(Axis::Bottom), "K, т");
  Find<QSpinBox>("UpDown1")->setValue(3);
  window_->ReferencePoints()->Shown();
  EXPECT_EQ(table->item(2, 0)->text(), "K, тыс. т");
  EXPECT_EQ(table->item(4, 0)->text(), "MSY, тыс. т");
  EXPECT_EQ(chartRk->AxisTitle(Axis::Bottom), "K, тыс. т");
  EXPECT_EQ(chartRk->Points("RkReplicates").size(), 100u);
  EXPECT_EQ(window_->State().Random.Seed(), seed);

  estimation::ChooseModel(window_->State(), "Шефер СК");
  window_->Pages()->BringToFront(0);
  ShowPage();
  EXPECT_FALSE(window_->State().Uncertainty.has_value());
  EXPECT_EQ(interval("IntervalMSY"), "");
  EXPECT_EQ(table->rowCount(), 0);
}

// The intervals take Blim from the assessment, not from the selector: a
// fraction stored without the page (an opened assessment) is shown by the
// selector when the page is shown, and the bootstrap is made with it; a
// choice in the selector outlives the reference points it was made on.
TEST_F(ReferencePointsPageTest, IntervalsUseTheStoredBlimFractionThatTheSelectorShows) {
  window_->ReferencePoints()->SetSearchBoundsSource([] {
    estimation::ParameterBounds bounds;
    bounds.MinK = 100.0;
    bounds.MaxK = 10000.0;
    return bounds;
  });
  window_->State().ModelFits[variant_].R = 0.55;
  window_->State().MedianKeepCount = 18;
  ShowPage();
  Choose("ComboBoxBlim", 2);  // "0,3*BMSY"
  EXPECT_EQ(window_->State().ReferencePoints.LimitFraction, 0.3);
  estimation::ChooseModel(window_->State(), "Шефер СК");  // the reference points go
  EXPECT_EQ(window_->State().ReferencePoints.LimitFraction, 0.3);

  refpoints::ChangeSelector(window_->State(), refpoints::Selector::LimitBiomass, 3);
  window_->Pages()->BringToFront(0);
  ShowPage();
  EXPECT_EQ(Find<QComboBox>("ComboBoxBlim")->currentIndex(), 3);
  Find<QSpinBox>("ReplicatesEdit")->setValue(100);
  Find<QPushButton>("IntervalButton")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 0) << ui_.boxes[0].text.toStdString();
  ASSERT_TRUE(window_->State().Uncertainty.has_value());
  EXPECT_EQ(window_->State().Uncertainty->BlimFraction, 0.5);
  EXPECT_NEAR(Fit().BLimit / Fit().BMSY, 0.5, 1e-3);
}

}  // namespace
}  // namespace tarvik::app::testing
