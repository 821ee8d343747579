// After every change of the assessment the window shows what the state
// holds: a result the change cleared is not shown any more, on the page in
// front or on a page behind it, and the tabs and the stages menu follow.
#include <functional>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "app/chart_panel.h"
#include "app/refpoints_page.h"
#include "app_fixture.h"
#include "assessment/reference_points.h"
#include "assessment/rules.h"
#include "assessment/variants.h"
#include "fitted_state.h"

namespace tarvik::app::testing {
namespace {

class PagesFollowStateTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Started();
    window_->ReferencePoints()->SetSearchBoundsSource([] {
      estimation::ParameterBounds bounds;
      bounds.MinK = 100.0;
      bounds.MaxK = 10000.0;
      return bounds;
    });
  }

  // The Schaefer variant chosen (off the exact values, so that the bootstrap
  // has residuals), its reference points and intervals computed on page 3,
  // a rule added: pages 3 to 5 open.
  void IntervalsShown() {
    ChooseFittedVariant(window_->State(), SchaeferTable(0.5, 1000.0, 0.001), "Шефер СК", 0.55,
                        1000.0, 0.001);
    window_->State().MedianKeepCount = 18;
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Data));
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
    rules::RuleEditor rule;
    rule.AlphaText = "0.3";
    rules::AddRule(window_->State(), rule, '.');
    Find<QSpinBox>("ReplicatesEdit")->setValue(100);
    Find<QPushButton>("IntervalButton")->click();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(window_->State().Uncertainty.has_value());
    ASSERT_TRUE(IntervalMsy().startsWith("[")) << IntervalMsy().toStdString();
  }

  QString IntervalMsy() const {
    QString text;
    for (const QLabel* label : window_->ReferencePoints()->findChildren<QLabel*>("IntervalMSY")) {
      text += label->text();
    }
    return text;
  }
  bool TabShown(PageIndex page) const {
    return window_->Pages()->IsTabVisible(static_cast<int>(page));
  }
  // A change made outside the window's handlers is followed within a moment.
  static void Settle() { QTest::qWait(400); }
};

struct Change {
  const char* name;
  std::function<void(AssessmentState&)> apply;
  bool choiceStays;  // the model choice (and page 3) outlive the change
};

TEST_F(PagesFollowStateTest, NoPageShowsIntervalsAChangeCleared) {
  const Change changes[] = {
      {"another Blim",
       [](AssessmentState& s) { refpoints::ChangeSelector(s, refpoints::Selector::LimitBiomass, 2); },
       true},
      {"the model chosen again", [](AssessmentState& s) { estimation::ChooseModel(s, "Шефер СК"); },
       true},
      {"another cut-off list",
       [](AssessmentState& s) { estimation::RebuildVariants(s, "3"); }, false},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    IntervalsShown();
    ASSERT_TRUE(TabShown(PageIndex::Rule));
    ASSERT_TRUE(Action("N12")->isChecked());
    auto* table = Find<QTableWidget>("IntervalTable");
    ASSERT_GT(table->rowCount(), 0);

    change.apply(window_->State());
    Settle();
    ASSERT_FALSE(window_->State().Uncertainty.has_value());
    EXPECT_EQ(IntervalMsy(), "");
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_TRUE(Find<ChartPanel>("ChartRK")->Points("RkReplicates").empty());
    EXPECT_EQ(TabShown(PageIndex::ReferencePoints), change.choiceStays);
    EXPECT_EQ(Action("N10")->isChecked(), change.choiceStays);
    if (!change.choiceStays) {
      // Nothing after the estimation page stays open, nor marked as done.
      for (PageIndex later : {PageIndex::Rule, PageIndex::Performance, PageIndex::Tac}) {
        EXPECT_FALSE(TabShown(later)) << static_cast<int>(later);
      }
      EXPECT_FALSE(Action("N12")->isChecked());
      EXPECT_FALSE(Action("N12")->isEnabled());
    }
  }
}

// The rule page comes with the reference points it rests on, not with a
// click on «Построить график»; the indicator page comes with the first rule.
TEST_F(PagesFollowStateTest, TheNextPageOpensWithTheResultsItNeeds) {
  ChooseFittedVariant(window_->State(), SchaeferTable(0.5, 1000.0, 0.001), "Шефер СК", 0.5, 1000.0,
                      0.001);
  Settle();
  EXPECT_TRUE(TabShown(PageIndex::ReferencePoints));
  EXPECT_FALSE(TabShown(PageIndex::Rule));
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  EXPECT_TRUE(TabShown(PageIndex::Rule));
  EXPECT_FALSE(TabShown(PageIndex::Performance));
  rules::RuleEditor rule;
  rule.AlphaText = "0.3";
  rules::AddRule(window_->State(), rule, '.');
  Settle();
  EXPECT_TRUE(TabShown(PageIndex::Performance));
  EXPECT_FALSE(TabShown(PageIndex::Tac));
}

}  // namespace
}  // namespace tarvik::app::testing
