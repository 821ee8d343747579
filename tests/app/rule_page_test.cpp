#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/chart_panel.h"
#include "app/rule_page.h"
#include "app_fixture.h"
#include "assessment/rules.h"
#include "common/numbers.h"
#include "fitted_state.h"
#include "rbridge/r_runner.h"
#include "rules/optimisation.h"
#include "rules/rule_list.h"

namespace tarvik::app::testing {
namespace {

namespace fs = std::filesystem;
using rules::FTargetKind;
using rules::RuleKind;

// Puts the default locale back when a test that changed it ends.
struct LocaleGuard {
  explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleGuard() { QLocale::setDefault(previous); }
  QLocale previous;
};

class RulePageTest : public AppTest {
 protected:
  // Started (R looked for where there is none, or a stand-in R that draws
  // nothing), the Schaefer variant K = 1000, r = 0.5, q = 0.001 chosen and
  // its reference points shown, then the rule page shown.
  void Prepare(bool fakeR = false) {
    Started(fakeR);
    variant_ = ChooseFittedVariant(window_->State(), SchaeferTable(0.5, 1000.0, 0.001), "Шефер СК",
                                   0.5, 1000.0, 0.001);
    ShowPages();
  }
  void ShowPages() {
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Rule));
  }

  RulePage* Page() { return window_->Rule(); }
  template <typename T>
  T* On(const char* name) {
    T* found = Page()->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
  }
  bool Shown(const char* name) { return On<QWidget>(name)->isVisibleTo(Page()); }
  ChartPanel* Chart(const char* name) { return On<ChartPanel>(name); }
  QString Text(const char* edit) { return On<QLineEdit>(edit)->text(); }
  void SetText(const char* edit, const QString& text) {
    auto* line = On<QLineEdit>(edit);
    line->clear();
    QTest::keyClicks(line, text);
  }
  void Enter(const char* edit) { QTest::keyClick(On<QLineEdit>(edit), Qt::Key_Return); }
  void Click(const char* button) { On<QAbstractButton>(button)->click(); }

  // The points a rule of the page's variant must have on Chart4.
  PointList ExpectedRule(RuleKind kind, double alpha, double beta, FTargetKind target) {
    const rules::RuleContext context = rules::MakeRuleContext(window_->State());
    const double Bref = window_->State().ModelFits[variant_].BTarget;
    const double Ft =
        rules::TargetFishingMortality(window_->State().ModelFits[variant_], target, context.LastEffort);
    PointList points;
    for (int i = 0; i < 100; ++i) {
      const double B = i / 100.0 * Bref;
      points.push_back({B, rules::RuleFishingMortality(context, kind, static_cast<std::uint8_t>(variant_),
                                                       target, B, alpha, beta)});
    }
    points.push_back({Bref, Ft});
    points.push_back({1.5 * Bref, Ft});
    return points;
  }
  PointList RuleOnChart() { return Chart("Chart4")->Points("Series4"); }

  std::size_t variant_ = 0;
};

TEST_F(RulePageTest, ShowingThePageDrawsTheRuleOfTheChosenVariant) {
  Prepare();
  const auto radios = Page()->findChildren<QRadioButton*>("VariantRadio");
  ASSERT_EQ(radios.size(), 1);
  EXPECT_EQ(radios[0]->text(), "Шефера Сумма квадратов");
  EXPECT_TRUE(radios[0]->isChecked());
  EXPECT_EQ(Page()->RuleVariant(), variant_);
  EXPECT_TRUE(On<QToolButton>("ButtonLinKus")->isChecked());
  EXPECT_TRUE(On<QToolButton>("btn2")->isChecked());
  EXPECT_EQ(window_->State().WorkingRule.TargetKind, FTargetKind::FMSY);
  // The piecewise-linear editor: alpha = (10 − 10)/10.
  EXPECT_TRUE(Shown("EditAlpha") && Shown("UpDownAlpha") && Shown("LabelAlpha"));
  EXPECT_FALSE(Shown("EditBeta") || Shown("UpDownBeta") || Shown("LabelBeta"));
  EXPECT_EQ(Text("EditAlpha"), "0");
  EXPECT_EQ(On<QLabel>("LabelAlpha")->text(), "(-1.0, 1.0)");
  EXPECT_FALSE(Shown("ButtonPA") || Shown("ButtonNonZonal"));
  for (const char* name : {"Chart8", "Chart9", "Chart10", "Chart11", "img1", "img2", "img3", "img4"}) {
    EXPECT_FALSE(Shown(name)) << name;
  }
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, 0.0, 0.0, FTargetKind::FMSY));
  EXPECT_EQ(Chart("Chart4")->Points("Series27"), (PointList{{0.0, 0.25}, {500.0, 0.25}}));
  // The observed points come with the variant.
  EXPECT_TRUE(On<QCheckBox>("CheckBox2")->isChecked());
  EXPECT_EQ(Chart("Chart4")->Points("PointSeries1"),
            rules::ObservedPoints(window_->State().AnalysisSeries, window_->State().ModelFits[variant_]));
}

TEST_F(RulePageTest, PiecewiseLinearAndLogisticRulesAreDrawnFromTheRuleFunction) {
  Prepare();
  auto* upDownAlpha = On<QSpinBox>("UpDownAlpha");
  upDownAlpha->setValue(13);  // a click on the up arrow
  EXPECT_EQ(Text("EditAlpha"), "0.3");
  const PointList linear = RuleOnChart();
  EXPECT_EQ(linear, ExpectedRule(RuleKind::PiecewiseLinear, 0.3, 0.0, FTargetKind::FMSY));
  EXPECT_EQ(linear[20].y, 0.0);     // B = 0.2·Bref
  EXPECT_DOUBLE_EQ(linear[65].y, 0.125);  // 0.5·Ft at 0.65·Bref

  Click("ButtonLogist");
  EXPECT_EQ(Text("EditAlpha"), "2.6");  // position 13 / 5
  EXPECT_EQ(On<QLabel>("LabelAlpha")->text(), "> 1");
  EXPECT_TRUE(Shown("EditBeta") && Shown("UpDownBeta") && Shown("LabelBeta"));
  EXPECT_EQ(On<QLabel>("LabelBeta")->text(), "От 0 до 1");
  upDownAlpha->setValue(10);
  On<QSpinBox>("UpDownBeta")->setValue(5);
  EXPECT_EQ(Text("EditAlpha"), "2");
  EXPECT_EQ(Text("EditBeta"), "0.5");
  const PointList logistic = RuleOnChart();
  EXPECT_EQ(logistic, ExpectedRule(RuleKind::Logistic, 2.0, 0.5, FTargetKind::FMSY));
  EXPECT_DOUBLE_EQ(logistic[25].y, 0.125 * 0.25);
  EXPECT_DOUBLE_EQ(logistic[75].y, 0.875 * 0.25);

  // Back to the piecewise-linear shape: a position above 20 goes back to 10.
  upDownAlpha->setValue(40);
  Click("ButtonLinKus");
  EXPECT_EQ(upDownAlpha->value(), 10);
  EXPECT_EQ(Text("EditAlpha"), "0");
  EXPECT_FALSE(Shown("EditBeta"));

  // The target selector redraws with its Ft and sets the working rule's target.
  auto* fnz = On<QComboBox>("ComboBoxFNZ");
  fnz->setCurrentIndex(2);
  emit fnz->activated(2);
  EXPECT_EQ(window_->State().WorkingRule.TargetKind, FTargetKind::Fsq);
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, 0.0, 0.0, FTargetKind::Fsq));
}

TEST_F(RulePageTest, TypedParametersAndRuleNamesUseTheLocaleDecimalMark) {
  const LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
  Prepare();
  On<QSpinBox>("UpDownAlpha")->setValue(15);
  EXPECT_EQ(Text("EditAlpha"), "0,5");
  SetText("EditAlpha", "0,45");
  Enter("EditAlpha");
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, 0.45, 0.0, FTargetKind::FMSY));
  Click("Button12");
  ASSERT_EQ(window_->State().RuleList.size(), 1u);
  EXPECT_EQ(window_->State().RuleList[0].Alpha, 0.45);
  EXPECT_EQ(On<QListWidget>("ListBox1")->item(0)->text(), "FMSY Линейно-кусочное ПРП -0,45 (α = 0,45)");
  EXPECT_EQ(window_->State().RuleNames[0], "FMSY Линейно-кусочное ПРП -0,45");

  Click("ButtonLogist");
  SetText("EditBeta", "0,3");
  Enter("EditBeta");
  EXPECT_EQ(Text("EditAlpha"), "3");  // position 15 / 5
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::Logistic, 3.0, 0.3, FTargetKind::FMSY));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(RulePageTest, ALetterInEditAlphaEndsInTheErrorBoxAndChangesNothing) {
  Prepare();
  ASSERT_FALSE(RuleOnChart().empty());
  SetText("EditAlpha", "0.3x");
  // The chart follows the field as it is typed: no rule for an unreadable α.
  EXPECT_TRUE(RuleOnChart().empty());
  EXPECT_TRUE(ui_.boxes.empty());
  Enter("EditAlpha");
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_TRUE(ui_.boxes.back().text.contains("альфа")) << ui_.boxes.back().text.toStdString();
  EXPECT_TRUE(RuleOnChart().empty());

  Click("Button12");
  EXPECT_EQ(ui_.Count(FakeServices::BoxKind::Error), 2);
  EXPECT_TRUE(window_->State().RuleList.empty());
  EXPECT_TRUE(window_->State().RuleNames.empty());
  EXPECT_EQ(On<QListWidget>("ListBox1")->count(), 0);
}

TEST_F(RulePageTest, ObservedPointsFollowTheCheckBox) {
  Prepare();
  auto* box = On<QCheckBox>("CheckBox2");
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(Chart("Chart4")->Points("PointSeries1").empty());
  box->click();
  const PointList points = Chart("Chart4")->Points("PointSeries1");
  const data::CatchEffortSeries& series = window_->State().AnalysisSeries;
  ASSERT_EQ(points.size(), series.size());
  for (std::size_t i = 0; i < series.size(); ++i) {
    EXPECT_EQ(points[i].y, 0.001 * series.E[i]);
    EXPECT_EQ(points[i].x, series.C[i] / (0.001 * series.E[i]));
  }
}

TEST_F(RulePageTest, TheRuleListHoldsEachNameOnceAndNeverLosesItsLastRule) {
  Prepare();
  QSignalSpy changed(Page(), &RulePage::RuleListChanged);
  auto* list = On<QListWidget>("ListBox1");
  Click("Button12");
  Click("Button12");  // the same settings: nothing is added
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "FMSY Линейно-кусочное ПРП -0 (α = 0)");
  EXPECT_EQ(window_->State().RuleNames[0], "FMSY Линейно-кусочное ПРП -0");
  EXPECT_EQ(changed.count(), 2);
  EXPECT_TRUE(window_->Pages()->IsTabVisible(static_cast<int>(PageIndex::Performance)));
  EXPECT_FALSE(Shown("Button22"));

  Click("ButtonLogist");
  Click("Button12");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(1)->text(), "FMSY Логистическое ПРП -2 0 (α = 2, β = 0)");
  EXPECT_EQ(window_->State().RuleList[1],
            (rules::HarvestRule{RuleKind::Logistic, 2.0, 0.0, FTargetKind::FMSY}));
  EXPECT_TRUE(Shown("Button22"));

  list->clearSelection();
  Click("Button22");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Выберите ПРП для удаления");
  EXPECT_EQ(list->count(), 2);

  list->setCurrentRow(0);
  Click("Button22");
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "FMSY Логистическое ПРП -2 0 (α = 2, β = 0)");
  EXPECT_EQ(window_->State().RuleNames, std::vector<std::string>{"FMSY Логистическое ПРП -2 0"});
  EXPECT_EQ(window_->State().RuleList.size(), 1u);
  EXPECT_FALSE(Shown("Button22"));
  EXPECT_EQ(changed.count(), 4);
}

TEST_F(RulePageTest, PiecewiseLinearOptimisationShowsFourChartsAndPicksTheirBestPoints) {
  Prepare();
  // What the core gives for the same state and settings.
  AssessmentState expectedState = window_->State();
  rules::OptimisePageRequest request;
  request.Shape = RuleKind::PiecewiseLinear;
  request.ChosenVariant = static_cast<std::uint8_t>(variant_);
  request.Horizon = 5;
  const rules::OptimisationResult expected = rules::OptimiseRule(expectedState, request);
  window_->State().DataFileName = TempPath("data.txt").toStdString();

  Click("Button20");
  EXPECT_TRUE(Shown("g2"));
  EXPECT_EQ(On<QProgressBar>("g2")->maximum(), 51);
  EXPECT_FALSE(On<QPushButton>("Button20")->isEnabled());  // inputs are off during the run
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_FALSE(Shown("g2"));
  EXPECT_TRUE(On<QPushButton>("Button20")->isEnabled());

  EXPECT_EQ(window_->State().OptimisationBest, expected.Best);
  EXPECT_EQ(window_->State().Random.Seed(), expectedState.Random.Seed());
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(expected.Best.BestCatchAlpha, 2));
  const char* charts[] = {"Chart8", "Chart9", "Chart10", "Chart11"};
  const char* series[] = {"Series23", "Series24", "Series25", "Series26"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Shown(charts[i]));
    const PointList points = Chart(charts[i])->Points(series[i]);
    EXPECT_EQ(points.size(), 51u);
    EXPECT_EQ(points, rules::IndicatorChart(expected, static_cast<rules::Indicator>(i)));
  }
  EXPECT_EQ(Chart("Chart8")->AxisTitle(Axis::Left), "Улов, т");
  EXPECT_EQ(Chart("Chart11")->AxisTitle(Axis::Left), "Риск B < B ср.");
  EXPECT_FALSE(Shown("img1"));
  EXPECT_FALSE(fs::exists(TempPath("OutMatrix.txt").toStdString()));  // no files for R
  EXPECT_FALSE(fs::exists(TempPath("Graph.R").toStdString()));
  const double alpha = *TryParseDouble(Text("EditAlpha").toStdString());
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, alpha, 0.0, FTargetKind::FMSY));

  // A chart click puts its indicator's best point into the editor.
  On<QLineEdit>("EditBeta")->setText("0.7");
  emit Chart("Chart9")->Clicked();
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(expected.Best.BestBiomassAlpha, 2));
  EXPECT_EQ(Text("EditBeta"), "0.7");
  const double biomassAlpha = *TryParseDouble(Text("EditAlpha").toStdString());
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, biomassAlpha, 0.0, FTargetKind::FMSY));
  QTest::mouseClick(Chart("Chart11")->findChild<QGraphicsView*>()->viewport(), Qt::LeftButton);
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(expected.Best.LeastRiskAlpha, 2));

  // Showing the page again puts the charts away.
  window_->Pages()->BringToFront(0);
  ShowPages();
  EXPECT_FALSE(Shown("Chart8"));
}

TEST_F(RulePageTest, WithoutRTheLogisticShapeCannotBeOptimised) {
  Prepare();
  ASSERT_EQ(window_->State().RDirectory, rbridge::kRNotFound);
  Click("ButtonLogist");
  EXPECT_FALSE(On<QPushButton>("Button20")->isEnabled());
  Click("ButtonLinKus");
  EXPECT_TRUE(On<QPushButton>("Button20")->isEnabled());
}

TEST_F(RulePageTest, AnRFailureShowsTheEndOfItsLogAndKeepsTheNumbers) {
  Prepare(/*fakeR=*/true);  // an "R" that ends at once and draws nothing
  window_->State().DataFileName = TempPath("data.txt").toStdString();
  Click("ButtonLogist");
  On<QSpinBox>("se1")->setValue(1);
  Click("Button20");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Warning), 1);
  EXPECT_TRUE(ui_.boxes[0].text.contains("не построил рисунки")) << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(ui_.boxes[0].text.contains("Graph.Rout")) << ui_.boxes[0].text.toStdString();
  // The files for R are there, and the best points are in the editor.
  EXPECT_TRUE(fs::exists(TempPath("OutMatrix.txt").toStdString()));
  EXPECT_TRUE(fs::exists(TempPath("Graph.R").toStdString()));
  const rules::BestPoints& best = window_->State().OptimisationBest;
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(best.BestCatchAlpha, 2));
  EXPECT_EQ(Text("EditBeta").toStdString(), FormatFixed(best.BestCatchBeta, 2));
  for (const char* name : {"img1", "img2", "img3", "img4"}) {
    EXPECT_TRUE(Shown(name)) << name;
    EXPECT_TRUE(On<QLabel>(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(Shown("Chart8"));
  EXPECT_FALSE(Shown("g2"));
}

TEST_F(RulePageTest, AFileThatCannotBeWrittenEndsInTheErrorBoxAndKeepsTheNumbers) {
  Prepare(/*fakeR=*/true);
  window_->State().DataFileName = TempPath("data.txt").toStdString();
  QDir().mkpath(TempPath("OutMatrix.txt"));  // a folder where the matrix file must go
  Click("ButtonLogist");
  On<QSpinBox>("se1")->setValue(1);
  Click("Button20");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_TRUE(ui_.boxes[0].text.startsWith("Не удалось записать файл")) << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(ui_.boxes[0].text.contains("OutMatrix.txt"));
  const rules::BestPoints& best = window_->State().OptimisationBest;
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(best.BestCatchAlpha, 2));
  EXPECT_EQ(Text("EditBeta").toStdString(), FormatFixed(best.BestCatchBeta, 2));
  EXPECT_FALSE(Shown("g2"));
}

TEST_F(RulePageTest, AFailedSweepEndsInTheErrorBoxAndLeavesTheEditor) {
  Prepare();
  window_->State().ModelFits[variant_].Q = 0.0;  // no mean observed biomass
  Click("Button20");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_TRUE(ui_.boxes[0].text.contains("q равно 0")) << ui_.boxes[0].text.toStdString();
  EXPECT_FALSE(Shown("g2"));
  EXPECT_FALSE(Shown("Chart8"));
  EXPECT_EQ(Text("EditAlpha"), "0");
  EXPECT_TRUE(On<QPushButton>("Button20")->isEnabled());
}

// The window's logistic optimisation of the example data equals what
// `tarvik-cli optimise --json` computes from the same file and choices.
TEST_F(RulePageTest, WithRTheLogisticOptimisationShowsFourPicturesAndTheCliNumbers) {
  const std::string r = rbridge::LocateR();
  if (r == rbridge::kRNotFound) GTEST_SKIP() << "R is not installed";
  const std::string example = ExampleFile();
  const QString cliFolder = TempPath("cli");

  QProcess cli;
  cli.start(QString::fromUtf8(TARVIK_CLI),
            {"optimise", "--variants", "0", QString::fromStdString(example), "--variant", "Шефер СК",
             "--shape", "logistic", "--horizon", "3", "--dir", cliFolder, "--json"});
  ASSERT_TRUE(cli.waitForFinished(300000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const auto j = nlohmann::json::parse(cli.readAllStandardOutput().toStdString());

  // The same road in the window: estimation and model choice through the core
  // (page 2 is another page's work), then pages 3 and 4 as the user sees them.
  Started();
  AssessmentState& state = window_->State();
  state.RDirectory = r;
  EstimateAndChooseLikeCli(state, example, 0, "Шефер СК");
  state.DataFileName = TempPath("yellowfin.txt").toStdString();  // the pictures go beside it
  ShowPages();
  Click("ButtonLogist");
  ASSERT_TRUE(On<QPushButton>("Button20")->isEnabled());
  On<QSpinBox>("se1")->setValue(3);
  Click("Button20");
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();

  const auto& best = j["optimisation"]["best"];
  const rules::BestPoints& b = state.OptimisationBest;
  EXPECT_EQ(b.BestCatch, best["catch"]["value"].get<double>());
  EXPECT_EQ(b.BestCatchAlpha, best["catch"]["alpha"].get<double>());
  EXPECT_EQ(b.BestCatchBeta, best["catch"]["beta"].get<double>());
  EXPECT_EQ(b.BestBiomassAlpha, best["biomass"]["alpha"].get<double>());
  EXPECT_EQ(b.BestBiomassBeta, best["biomass"]["beta"].get<double>());
  EXPECT_EQ(b.LeastVariability, best["catch_variability"]["value"].get<double>());
  EXPECT_EQ(b.LeastRisk, best["risk_below_mean"]["value"].get<double>());
  EXPECT_EQ(state.Random.Seed(), j["random_seed_after"].get<std::uint32_t>());
  EXPECT_EQ(Text("EditAlpha").toStdString(), j["optimisation"]["edit_alpha"].get<std::string>());
  EXPECT_EQ(Text("EditBeta").toStdString(), j["optimisation"]["edit_beta"].get<std::string>());
  EXPECT_EQ(AppTest::ReadBytes(TempPath("OutMatrix.txt")), AppTest::ReadBytes(cliFolder + "/OutMatrix.txt"));

  for (const char* name : {"img1", "img2", "img3", "img4"}) {
    auto* image = On<QLabel>(name);
    EXPECT_TRUE(Shown(name)) << name;
    EXPECT_TRUE(image->isEnabled()) << name;
    EXPECT_EQ(image->pixmap().size(), QSize(250, 193)) << name;
    EXPECT_EQ(image->size(), QSize(250, 193)) << name;
  }
  EXPECT_FALSE(Shown("Chart8"));

  // A click on a picture puts its indicator's best alpha and beta into the editor.
  QTest::mouseClick(On<QLabel>("img2"), Qt::LeftButton);
  EXPECT_EQ(Text("EditAlpha").toStdString(), FormatFixed(b.BestBiomassAlpha, 2));
  EXPECT_EQ(Text("EditBeta").toStdString(), FormatFixed(b.BestBiomassBeta, 2));
}

TEST_F(RulePageTest, ConservativeThenAdaptiveRestoresTheControls) {
  Prepare();
  const char* adaptive[] = {"ButtonLinKus", "ButtonLogist", "Button20", "LabelAlpha", "EditAlpha",
                            "UpDownAlpha", "lbl1", "se1", "CheckBox2", "ComboBoxFNZ", "Button12"};
  for (const char* name : adaptive) ASSERT_TRUE(Shown(name)) << name;

  Click("btn3");
  for (const char* name : {"ButtonLinKus", "ButtonLogist", "Button20", "LabelAlpha", "LabelBeta",
                           "EditAlpha", "EditBeta", "UpDownAlpha", "UpDownBeta", "lbl1", "se1"}) {
    EXPECT_FALSE(Shown(name)) << name;
  }
  EXPECT_TRUE(Shown("CheckBox2") && Shown("ComboBoxFNZ"));
  EXPECT_EQ(Text("EditAlpha"), "-1");
  EXPECT_TRUE(On<QToolButton>("ButtonLinKus")->isChecked());
  // A constant F = Ft up to Bref.
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, -1.0, 0.0, FTargetKind::FMSY));
  EXPECT_EQ(RuleOnChart().front().y, 0.25);

  // Showing the page again keeps the conservative editor closed.
  window_->Pages()->BringToFront(0);
  ShowPages();
  EXPECT_FALSE(Shown("EditAlpha"));

  Click("btn2");
  for (const char* name : adaptive) EXPECT_TRUE(Shown(name)) << name;
  EXPECT_FALSE(Shown("EditBeta"));
  EXPECT_EQ(Text("EditAlpha"), "0");
  EXPECT_EQ(On<QSpinBox>("UpDownAlpha")->value(), 10);
  EXPECT_EQ(RuleOnChart(), ExpectedRule(RuleKind::PiecewiseLinear, 0.0, 0.0, FTargetKind::FMSY));
}

}  // namespace
}  // namespace tarvik::app::testing
