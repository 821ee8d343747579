// Pages 4 "Правило регулирования", 5 "Коэффициенты эффективности" and 6
// "Обоснование ОДУ" redrawn from the state: after a change of the
// assessment no page shows a result the state no longer holds, a cleared
// panel says that it must be computed again, and the inputs left by a step
// come back with it.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include "app/assessment_document.h"
#include "app/decision_tab.h"
#include "app/performance_page.h"
#include "app/rule_page.h"
#include "app/string_grid.h"
#include "app/tac_page.h"
#include "app_fixture.h"
#include "assessment/data_set.h"
#include "assessment/decision_table.h"
#include "assessment/forecast.h"
#include "assessment/journal.h"
#include "assessment/management.h"
#include "assessment/uncertainty.h"
#include "fitted_schaefer.h"
#include "rules/rule_list.h"
#include "uncertainty/decision_view.h"

namespace tarvik::app::testing {
namespace {

using assessment::RecomputeNote;
using assessment::Stage;

QString Note(const AssessmentState& state, Stage stage) {
  return FromUtf8(RecomputeNote(state, stage));
}

// Pages 4–6 against the state: what they show is what it holds, and a
// result it cleared is shown as one to compute again.
void ExpectPagesShowNoClearedResultOnTheManagementPages(MainWindow& window) {
  const AssessmentState& state = window.State();
  // Page 4: the rule list and the variants of the chosen model.
  auto* list = window.findChild<QListWidget*>("ListBox1");
  ASSERT_EQ(list->count(), static_cast<int>(state.RuleNames.size()));
  for (int i = 0; i < list->count(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    EXPECT_EQ(list->item(i)->text(),
              FromUtf8(rules::ReadableRuleName(state.RuleNames[k], state.RuleList[k], DecimalMark())));
  }
  const auto radios = window.Rule()->findChildren<QRadioButton*>("VariantRadio");
  EXPECT_EQ(radios.size(), estimation::ChosenVariant(state) ? state.ActiveVariants.size() : 0u);

  // Page 5: the indicators only when the state holds them.
  const StringGrid* grid = window.Performance()->Table();
  for (int row = 1; row < grid->rowCount(); ++row) {
    EXPECT_EQ(grid->Cell(2, row).isEmpty(), !state.Indicators.Evaluated) << "row " << row;
  }
  auto* indicatorsNote = window.findChild<QLabel*>("IndicatorsNote");
  EXPECT_EQ(indicatorsNote->text(), Note(state, Stage::Indicators));
  EXPECT_EQ(indicatorsNote->isHidden(), Note(state, Stage::Indicators).isEmpty());
  auto* rule = window.findChild<QComboBox*>("cbb2");
  EXPECT_EQ(rule->currentIndex(), state.ChosenRule ? static_cast<int>(*state.ChosenRule) : -1);

  // Page 6: the forecast and its Kobe plot, or the line that says why not.
  TacPage* tac = window.Tac();
  PageControl* tabs = tac->Results();
  EXPECT_EQ(tabs->TabBar()->currentIndex(), tabs->ActivePage());  // the body under its tab
  EXPECT_EQ(tabs->IsTabVisible(TacPage::kKobeTab), state.Forecast.has_value());
  auto* report = window.findChild<QPlainTextEdit*>("Memo3");
  if (state.Forecast) {
    EXPECT_EQ(tac->ForecastChart()->Points(TacPage::kBiomass), state.Forecast->Chart.Biomass);
    EXPECT_TRUE(report->toPlainText().startsWith(FromUtf8(state.Forecast->ReportLines.front())));
  } else {
    EXPECT_TRUE(tac->ForecastChart()->Points(TacPage::kBiomass).empty());
    EXPECT_TRUE(tac->KobeChart()->Points(TacPage::kKobeObserved).empty());
    EXPECT_TRUE(tac->KobeChart()->Points(TacPage::kKobeCloud).empty());
    EXPECT_TRUE(window.findChild<QLabel*>("KobeSummary")->text().isEmpty());
    EXPECT_EQ(report->toPlainText(), Note(state, Stage::Forecast));
  }
  // The decision table.
  DecisionTab* decision = tac->Decision();
  auto* caption = window.findChild<QLabel*>("DecisionCaption");
  if (state.Decision) {
    EXPECT_EQ(decision->Table()->rowCount(), static_cast<int>(state.Decision->Table.Rows.size()));
  } else {
    EXPECT_EQ(decision->Table()->rowCount(), 0);
    EXPECT_TRUE(decision->Sentence()->text().isEmpty());
    const QString note = Note(state, Stage::DecisionTable);
    EXPECT_EQ(caption->text(),
              note.isEmpty() ? QStringLiteral("Таблица решений ещё не рассчитана.") : note);
  }
}

void RedrawManagementPages(MainWindow& window) {
  window.Rule()->Redraw();
  window.Performance()->Redraw();
  window.Tac()->Redraw();
}

class ManagementRedraw : public AppTest {
 protected:
  // The whole road up to the decision table: Schaefer fitted and chosen, its
  // reference points, intervals, two rules evaluated, the first chosen, the
  // forecast drawn with noise and the decision table, the Kobe tab in front.
  void SetUpRoad() {
    Started();
    SetUpFittedSchaefer(*window_,
                        QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"),
                        {LinearRule("0.3"), LinearRule("-0.5")});
    AssessmentState& state = window_->State();
    bounds_.MinK = state.ModelFits[0].K / 10.0;
    bounds_.MaxK = state.ModelFits[0].K * 10.0;
    uncertainty::BootstrapOptions intervals;
    intervals.Replicates = uncertainty::kMinReplicates;
    uncertainty::EstimateUncertainty(state, bounds_, intervals);
    projection::BootstrapOptions evaluation;
    evaluation.RunsText = "50";
    ASSERT_TRUE(projection::EvaluateRulesByBootstrap(state, evaluation).Completed);
    rules::ChooseRule(state, 0);
    projection::BuildForecast(state, projection::ForecastOptionsFor(state, 5, true, "", "", '.'));
    Decide();
    RedrawManagementPages(*window_);
    window_->Tac()->Results()->BringToFront(TacPage::kKobeTab);
  }
  void Decide() {
    uncertainty::DecisionRequest request;
    request.Replicates = uncertainty::kMinReplicates;
    request.Bounds = bounds_;
    uncertainty::UpdateDecisionTable(window_->State(), request, &*window_->State().Uncertainty);
  }

  estimation::ParameterBounds bounds_;
};

struct Change {
  const char* name;
  void (*run)(AssessmentState&);
  bool forecastStays;  // and the decision table made for it
  bool indicatorsStay;
};

class AfterATransition : public ManagementRedraw, public ::testing::WithParamInterface<Change> {};

TEST_P(AfterATransition, NoManagementPageShowsAClearedResult) {
  SetUpRoad();
  ExpectPagesShowNoClearedResultOnTheManagementPages(*window_);
  ASSERT_FALSE(window_->Tac()->KobeChart()->Points(TacPage::kKobeCloud).empty());
  GetParam().run(window_->State());
  const AssessmentState& state = window_->State();
  ASSERT_EQ(state.Forecast.has_value(), GetParam().forecastStays);
  ASSERT_EQ(state.Indicators.Evaluated, GetParam().indicatorsStay);
  RedrawManagementPages(*window_);
  ExpectPagesShowNoClearedResultOnTheManagementPages(*window_);
  if (!GetParam().forecastStays) {
    // The Kobe page left with its tab; the forecast's page in front.
    EXPECT_EQ(window_->Tac()->Results()->ActivePage(), 0);
    EXPECT_TRUE(Note(state, Stage::Forecast).startsWith("Нужно рассчитать заново: "));
  }
}

INSTANTIATE_TEST_SUITE_P(
    ManagementRedraw, AfterATransition,
    ::testing::Values(
        Change{"NewBlim",
               [](AssessmentState& s) {
                 refpoints::ChangeSelector(s, refpoints::Selector::LimitBiomass, 2);
               },
               false, false},
        Change{"NewTarget",
               [](AssessmentState& s) {
                 refpoints::ChangeSelector(s, refpoints::Selector::TargetBiomass, 1);
               },
               false, false},
        Change{"RuleAdded",
               [](AssessmentState& s) { rules::AddRule(s, LinearRule("0.7")); }, true, false},
        Change{"OtherRuleChosen", [](AssessmentState& s) { rules::ChooseRule(s, 1); }, false,
               true},
        Change{"NewIntervals",
               [](AssessmentState& s) {
                 uncertainty::BootstrapOptions options;
                 options.Replicates = uncertainty::kMinReplicates;
                 options.Seed = 7;
                 estimation::ParameterBounds bounds;
                 bounds.MinK = s.ModelFits[0].K / 10.0;
                 bounds.MaxK = s.ModelFits[0].K * 10.0;
                 uncertainty::EstimateUncertainty(s, bounds, options);
               },
               false, true},
        Change{"CellEdited",
               [](AssessmentState& s) { estimation::EditCell(s, 3, 2, "61000"); }, false,
               false}),
    [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });

// The decision table's sentence follows the settings shown: a changed
// threshold says the table needs computing again, and «ОДУ» asked for
// before any forecast is said to be left out.
TEST_F(ManagementRedraw, TheDecisionSentenceSaysWhenTheSettingsNoLongerMatchTheTable) {
  SetUpRoad();
  AssessmentState& state = window_->State();
  DecisionTab* tab = window_->Tac()->Decision();
  const QString sentence = FromUtf8(uncertainty::MaxCatchSentence(state.Decision->Table, '.'));
  ASSERT_EQ(tab->Sentence()->text(), sentence);
  auto* risk = Find<QDoubleSpinBox>("DecisionRisk");
  risk->setValue(10.0);
  EXPECT_EQ(tab->Sentence()->text(),
            QStringLiteral("Нужно рассчитать заново: после расчёта изменены настройки (p, %); "
                           "таблица выше рассчитана по критерию «вероятность B < Blim не выше "
                           "5 %»."));
  risk->setValue(5.0);
  EXPECT_EQ(tab->Sentence()->text(), sentence);

  // Made without a forecast: the «ОДУ» option is named as left out.
  tarvik::ClearForecast(state);
  Decide();
  RedrawManagementPages(*window_);
  EXPECT_EQ(tab->Table()->rowCount(), static_cast<int>(state.Decision->Table.Rows.size()));
  EXPECT_TRUE(Find<QLabel>("DecisionCaption")->text().contains(QStringLiteral(
      "Вариант «ОДУ» не вошёл в таблицу")));
}

// An opened assessment: the editors show what its last steps ran with, and
// a redraw after a change never overwrites what was typed since.
TEST_F(ManagementRedraw, TheEditorsShowWhatTheLastStepsRanWithAndKeepWhatIsTyped) {
  SetUpRoad();
  AssessmentState& state = window_->State();
  rules::AddRule(state, LogisticRule("2", "0.5", 2));
  for (Page* page : {static_cast<Page*>(window_->Rule()), static_cast<Page*>(window_->Performance()),
                     static_cast<Page*>(window_->Tac())}) {
    page->Opened();
  }
  EXPECT_EQ(Find<QLineEdit>("EditAlpha")->text(), QStringLiteral("2"));
  EXPECT_EQ(Find<QLineEdit>("EditBeta")->text(), QStringLiteral("0.5"));
  EXPECT_EQ(Find<QSpinBox>("UpDownAlpha")->value(), 10);  // 2 · 5
  EXPECT_TRUE(Find<QToolButton>("ButtonLogist")->isChecked());
  EXPECT_EQ(Find<QComboBox>("ComboBoxFNZ")->currentIndex(), 2);
  EXPECT_EQ(state.WorkingRule.TargetKind, rules::FTargetKind::Fsq);
  EXPECT_EQ(Find<QLineEdit>("EditKolvoProgon")->text(), QStringLiteral("50"));
  // The first showing of the rule page keeps the editor.
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Rule));
  EXPECT_EQ(Find<QLineEdit>("EditAlpha")->text(), QStringLiteral("2"));
  EXPECT_TRUE(Find<QToolButton>("ButtonLogist")->isChecked());

  Find<QLineEdit>("DecisionOptions")->setText(QStringLiteral("0; MSY"));
  rules::AddRule(state, LinearRule("0.9"));
  RedrawManagementPages(*window_);
  EXPECT_EQ(Find<QLineEdit>("DecisionOptions")->text(), QStringLiteral("0; MSY"));
  EXPECT_EQ(Find<QLineEdit>("EditAlpha")->text(), QStringLiteral("2"));

  // The chart follows α as it is typed; an unreadable α draws no rule.
  auto* alpha = Find<QLineEdit>("EditAlpha");
  alpha->setText(QString());
  QTest::keyClicks(alpha, QStringLiteral("3"));
  const auto variant = static_cast<std::uint8_t>(*estimation::ChosenVariant(state));
  const rules::RulePlot three = rules::PlotRule(rules::MakeRuleContext(state),
                                                rules::RuleKind::Logistic, variant,
                                                rules::FTargetKind::Fsq, "3", "0.5");
  EXPECT_EQ(window_->findChild<ChartPanel*>("Chart4")->Points("Series4"), three.Rule);
  QTest::keyClicks(alpha, QStringLiteral("x"));
  EXPECT_TRUE(window_->findChild<ChartPanel*>("Chart4")->Points("Series4").empty());
  EXPECT_TRUE(ui_.boxes.empty());
}

// What pages 4–6 show: their editors, lists and tables, the report and the
// decision table's texts, each page redrawn in front.
QStringList ManagementTexts(MainWindow& window) {
  QStringList texts;
  for (const PageIndex index : {PageIndex::Rule, PageIndex::Performance, PageIndex::Tac}) {
    window.Pages()->BringToFront(static_cast<int>(index));
    const QWidget* page = window.Pages()->Page(static_cast<int>(index));
    for (const QLineEdit* edit : page->findChildren<QLineEdit*>()) {
      if (edit->isVisibleTo(page)) texts << edit->objectName() + "=" + edit->text();
    }
    for (const QComboBox* box : page->findChildren<QComboBox*>()) {
      texts << box->objectName() + "=" + box->currentText();
    }
    for (const QAbstractSpinBox* box : page->findChildren<QAbstractSpinBox*>()) {
      texts << box->objectName() + "=" + box->text();
    }
    for (const QListWidget* list : page->findChildren<QListWidget*>()) {
      for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    }
    for (const QTableWidget* table : page->findChildren<QTableWidget*>()) {
      for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
          if (const QTableWidgetItem* item = table->item(row, column)) texts << item->text();
        }
      }
    }
  }
  for (const char* name : {"DecisionCaption", "DecisionSentence", "KobeSummary"}) {
    texts << window.findChild<QLabel*>(name)->text();
  }
  texts << window.findChild<QPlainTextEdit*>("Memo3")->toPlainText();
  return texts;
}

TEST_F(ManagementRedraw, AnOpenedAssessmentShowsPagesFourToSixAsTheyWereLeft) {
  SetUpRoad();
  for (Page* page : {static_cast<Page*>(window_->Rule()), static_cast<Page*>(window_->Performance()),
                     static_cast<Page*>(window_->Tac())}) {
    page->Opened();  // the controls as the steps ran
  }
  const QStringList before = ManagementTexts(*window_);
  QTest::qWait(400);
  const QString saved = TempPath("road.tarvik");
  ui_.saveAnswers.push_back(saved);
  window_->Document()->SaveAsAction()->trigger();
  window_.reset();

  Started();
  window_->Document()->SetMaxFailuresForTesting(3000);  // as SetUpFittedSchaefer searched
  window_->Document()->OpenFile(saved);
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();
  const QStringList after = ManagementTexts(*window_);
  EXPECT_TRUE(after.contains("EditAlpha=-0.5")) << after.join(", ").toStdString();
  EXPECT_TRUE(after.contains("EditKolvoProgon=50"));
  EXPECT_EQ(after, before);
  ExpectPagesShowNoClearedResultOnTheManagementPages(*window_);
}

}  // namespace
}  // namespace tarvik::app::testing
