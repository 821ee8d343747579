#include <nlohmann/json.hpp>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include "app/chart_panel.h"
#include "app/data_page.h"
#include "app/estimation_page.h"
#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/tac_page.h"
#include "app_fixture.h"
#include "assessment/fit_checks.h"
#include "assessment/observation_error_view.h"
#include "assessment/refinement.h"
#include "assessment/search.h"
#include "assessment/variants.h"
#include "cli/cli_run.h"
#include "copied_rows.h"
#include "data/data_file.h"
#include "assessment/observation_error_view.h"
#include "assessment/state_space_view.h"
#include "diagnostics/checklist_view.h"
#include "estimation/refinement.h"
#include "estimation/retro_analysis.h"
#include "estimation/variants.h"
#include "rbridge/r_runner.h"

namespace tarvik::app::testing {
namespace {

const char* const kYellowfin = "yellowfin_epo_1934_1955.txt";
const char* const kSimulated = "schaefer_simulated_1990_2019.txt";

class EstimationPageTest : public AppTest {
 protected:
  // Opens a copy of an example file (the files for R go beside it) and shows
  // the estimation page.
  MainWindow& OpenExample(const char* name, bool withR = false) {
    MainWindow& window = window_ ? *window_ : Started(withR);
    const QString copy = TempPath(QString::fromLatin1(name));
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(ExamplePath(name), copy));
    ui_.openAnswers.push_back(copy);
    Action("N3")->trigger();
    window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
    return window;
  }

  static QString ExamplePath(const char* name) {
    return QStringLiteral(TARVIK_SOURCE_DIR "/examples/") + QString::fromLatin1(name);
  }

  EstimationPage* Page() const { return window_->Estimation(); }
  QString Text(const char* name) const {
    if (auto* label = window_->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
    return Find<QLineEdit>(name)->text();
  }
  QLineEdit* Field(char column, std::size_t index) const {
    return window_->findChild<QLineEdit*>(QStringLiteral("ResultEdits%1%2").arg(column).arg(index));
  }
  QCheckBox* VariantBox(std::size_t index) const {
    return window_->findChild<QCheckBox*>(QStringLiteral("VariantChecks%1").arg(index));
  }
  static bool IsRed(QLineEdit* edit) { return edit->palette().color(QPalette::Text) == Qt::red; }
  QLabel* Mark(std::size_t index) const {
    return window_->findChild<QLabel*>(QStringLiteral("RefinementMark%1").arg(index));
  }

  // The texts of «Начальные условия» as the page shows them.
  estimation::SearchTexts PageTexts() const {
    estimation::SearchTexts texts;
    texts.InitialR = Text("EditInitialR").toStdString();
    texts.InitialK = Text("EditInitialK").toStdString();
    texts.InitialQ = Text("EditInitialQ").toStdString();
    texts.MinR = Text("EditMinR").toStdString();
    texts.MaxR = Text("EditMaxR").toStdString();
    texts.MinK = Text("EditMinK").toStdString();
    texts.MaxK = Text("EditMaxK").toStdString();
    texts.MinQ = Text("EditMinQ").toStdString();
    texts.MaxQ = Text("EditMaxQ").toStdString();
    return texts;
  }

  // The mark and the tooltips of a variant's L field show its refinement.
  void ExpectMarked(const estimation::VariantRefinement& v) {
    const std::size_t i = v.Index;
    EXPECT_EQ(Field('L', i)->toolTip().toStdString(), v.Tooltip) << i;
    EXPECT_EQ(Mark(i)->toolTip().toStdString(), v.Tooltip) << i;
    EXPECT_EQ(Mark(i)->text(), v.NotConverged ? "!" : "≈") << i;
    EXPECT_EQ(Mark(i)->property("notConverged").toBool(), v.NotConverged) << i;
  }

  // «Оценка параметров» with a short failure limit, to its end.
  void Search(int maxFailures) {
    Page()->SetMaxFailuresForTesting(maxFailures);
    Find<QPushButton>("Button5")->click();
    ASSERT_TRUE(WaitIdle());
  }

  void Choose(const QString& label) {
    auto* cbb1 = Find<QComboBox>("cbb1");
    const int index = cbb1->findText(label);
    ASSERT_GE(index, 0) << label.toStdString();
    cbb1->setCurrentIndex(index);
    emit cbb1->activated(index);
    ASSERT_TRUE(WaitIdle());
  }

  QStringList ChoiceItems() const {
    QStringList items;
    auto* cbb1 = Find<QComboBox>("cbb1");
    for (int i = 0; i < cbb1->count(); ++i) items << cbb1->itemText(i);
    return items;
  }

  std::vector<std::string> ErrorTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : ui_.boxes) texts.push_back(box.text.toStdString());
    return texts;
  }

  // The same actions from a fresh start in the core, with the same limit.
  estimation::FreshStart CoreRun(AssessmentState& state, const char* name, int maxFailures,
                                 std::optional<std::vector<std::size_t>> ticked, int holdOut = 0) {
    estimation::FreshStartRequest request;
    request.DataFile = ExamplePath(name).toStdString();
    request.DecimalMark = DecimalMark();
    request.TickedVariants = std::move(ticked);
    request.HoldOutYears = holdOut;
    estimation::SearchOptions options;
    options.MaxFailures = maxFailures;
    return estimation::RunFreshStartEstimation(state, request, options);
  }

  void ExpectRowsEqual(const std::vector<estimation::VariantRow>& rows) {
    ASSERT_EQ(window_->State().ModelFits.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(Field('R', i)->text().toStdString(), rows[i].RText) << i;
      EXPECT_EQ(Field('K', i)->text().toStdString(), rows[i].KText) << i;
      EXPECT_EQ(Field('Q', i)->text().toStdString(), rows[i].QShown) << i;
      EXPECT_EQ(Field('L', i)->text().toStdString(), rows[i].LText) << i;
      EXPECT_EQ(estimation::ResultTextsOf(window_->State(), i, DecimalMark()).K, rows[i].KText)
          << i;
      EXPECT_EQ(VariantBox(i)->toolTip().toStdString(), rows[i].ExponentHint) << i;
    }
  }
};

TEST_F(EstimationPageTest, ShowingThePageChecksTheDataOncePerDataSet) {
  MainWindow& window = OpenExample(kYellowfin);
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(Text("LabelCorrelSchaefer"), "-0.7753");
  EXPECT_EQ(Text("LabelCorrelFox"), "-0.7816");
  EXPECT_EQ(Text("LabelCorrelPT"), "-0.7823");
  EXPECT_EQ(Find<QLabel>("Label12")->toolTip(), "0.2");
  EXPECT_EQ(Text("EditInitialK"), "224810");
  EXPECT_EQ(Text("EditMinK"), "224810");
  EXPECT_EQ(Text("EditMaxK"), "22481000");
  auto* chart2 = Find<ChartPanel>("Chart2");
  EXPECT_EQ(chart2->Points("LineSeries1").size(), 22u);
  EXPECT_EQ(chart2->Points("SeriesCorrSchaefer").size(), 2u);
  EXPECT_FALSE(chart2->Points("SeriesCorrFox").empty());
  EXPECT_FALSE(chart2->Points("SeriesCorrPT").empty());
  EXPECT_EQ(Find<ChartPanel>("Chart7")->Points("CpueFact").size(), 22u);
  // 22 years: the hold-out option offers 2 … 11 years, 3 to begin with.
  EXPECT_TRUE(Find<QCheckBox>("CheckBox4")->isEnabled());
  auto* spin = Find<QSpinBox>("SpinEdit1");
  EXPECT_TRUE(spin->isEnabled());
  EXPECT_EQ(spin->maximum(), 11);
  EXPECT_EQ(spin->value(), 3);
  EXPECT_EQ(window.State().AnalysisSeries.size(), 22u);

  // A later showing does not check again: a K typed over stays, and so does
  // the spin's number.
  Find<QLineEdit>("EditInitialK")->setText("300000");
  spin->setValue(5);
  window.Pages()->BringToFront(0);
  window.Pages()->BringToFront(1);
  EXPECT_EQ(Text("EditInitialK"), "300000");
  EXPECT_EQ(spin->value(), 5);

  // Another data file is checked when the page is showing.
  OpenExample(kSimulated);
  EXPECT_NE(Text("LabelCorrelSchaefer"), "-0.7753");
  EXPECT_EQ(window.State().AnalysisSeries.size(), 30u);
  EXPECT_EQ(spin->maximum(), 15);
  EXPECT_TRUE(ui_.boxes.empty());
}

// A catch typed over in the table, and its undo, reach the next search: the
// check runs again on what the table shows.
TEST_F(EstimationPageTest, ATypedCellAndItsUndoReachTheNextSearch) {
  MainWindow& window = OpenExample(kYellowfin);
  const double loaded = window.State().AnalysisSeries.C[0];
  ASSERT_NE(loaded, 1000.0);
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Data));
  window.Data()->Grid()->item(1, data::DataTable::kCatch)->setText("1000");
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  Search(50);
  EXPECT_EQ(window.State().AnalysisSeries.C[0], 1000.0);
  EXPECT_NE(window.State().ModelFits[0].Origin, model::FitOrigin::None);

  window.Pages()->BringToFront(static_cast<int>(PageIndex::Data));
  window.Data()->UndoAction()->trigger();
  // The fits of the typed catch are gone with it.
  EXPECT_EQ(window.State().ModelFits[0].Origin, model::FitOrigin::None);
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  Search(50);
  EXPECT_EQ(window.State().AnalysisSeries.C[0], loaded);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(EstimationPageTest, CpueRisingWithEffortShowsTheErrorBoxOnce) {
  Started();
  const QString path = TempPath("rising.txt");
  data::WriteDataFile(path.toStdString(), {},
                      data::DataTable::FromRows({{"2000", "1.0", "10", "10"},
                                                 {"2001", "1.2", "12", "14.4"},
                                                 {"2002", "1.5", "15", "22.5"},
                                                 {"2003", "1.6", "17", "27.2"}}));
  ui_.openAnswers.push_back(path);
  Action("N3")->trigger();
  window_->Pages()->BringToFront(1);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_EQ(ui_.boxes[0].text,
            "Положительный коэффициент корреляции! Дальнейшие расчеты будут некорректны.");
  // A table of 4 years has no hold-out option.
  EXPECT_FALSE(Find<QCheckBox>("CheckBox4")->isEnabled());
}

TEST_F(EstimationPageTest, ModelBoxesAndTheCutOffListDriveTheVariants) {
  MainWindow& window = OpenExample(kYellowfin);
  ASSERT_NE(VariantBox(8), nullptr);
  EXPECT_EQ(VariantBox(9), nullptr);
  EXPECT_EQ(VariantBox(4)->text(), " Лог. сумма кв.");

  Find<QCheckBox>("CheckFox")->click();
  EXPECT_EQ(window.State().ActiveVariants, (std::vector<std::uint8_t>{0, 1, 2, 6, 7, 8}));
  for (std::size_t i : {3, 4, 5}) {
    EXPECT_FALSE(VariantBox(i)->isChecked()) << i;
    EXPECT_FALSE(Field('K', i)->isEnabled()) << i;
  }
  Find<QCheckBox>("CheckFox")->click();
  EXPECT_EQ(window.State().ActiveVariants.size(), 9u);
  EXPECT_TRUE(VariantBox(4)->isChecked());
  EXPECT_TRUE(Field('K', 4)->isEnabled());

  VariantBox(7)->click();
  EXPECT_EQ(window.State().ModelFits[7].Enabled, 0);
  EXPECT_FALSE(Field('L', 7)->isEnabled());

  auto* edit11 = Find<QLineEdit>("Edit11");
  edit11->setText("2-5,7,9");
  QTest::keyClick(edit11, Qt::Key_Return);
  EXPECT_EQ(window.State().ModelFits.size(), 24u);
  ASSERT_NE(VariantBox(23), nullptr);
  EXPECT_EQ(VariantBox(24), nullptr);
  EXPECT_TRUE(VariantBox(7)->isChecked());  // every variant is on again
  EXPECT_EQ(VariantBox(2)->text(), " Медианная (2)");
  EXPECT_EQ(VariantBox(7)->text(), " Медианная (9)");
  EXPECT_NO_THROW(estimation::ResultTextsOf(window.State(), 23, DecimalMark()));
  // The rows do not fit: the scroll box scrolls.
  window.resize(1025, 784);
  QCoreApplication::processEvents();
  EXPECT_GT(Find<QScrollArea>("ScrollBox1")->verticalScrollBar()->maximum(), 0);

  // A bad list is refused and changes nothing.
  edit11->setText("2,x");
  QTest::keyClick(edit11, Qt::Key_Return);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_NE(ui_.boxes[0].text.indexOf("x"), -1);
  EXPECT_EQ(window.State().ModelFits.size(), 24u);
  EXPECT_NE(VariantBox(23), nullptr);
}

TEST_F(EstimationPageTest, OneVariantFillsItsRowAndTheModelListWithTheCoreBits) {
  MainWindow& window = OpenExample(kYellowfin);
  Find<QCheckBox>("CheckFox")->click();
  Find<QCheckBox>("CheckPT")->click();
  VariantBox(1)->click();
  VariantBox(2)->click();
  Search(3000);
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];

  AssessmentState core;
  const estimation::FreshStart expected =
      CoreRun(core, kYellowfin, 3000, std::vector<std::size_t>{0});
  ExpectRowsEqual(expected.Estimation.Display.Rows);
  EXPECT_FALSE(Field('R', 0)->text().isEmpty());
  EXPECT_FALSE(IsRed(Field('R', 0)));
  EXPECT_EQ(window.State().Random.Seed(), core.Random.Seed());

  EXPECT_EQ(ChoiceItems(), QStringList{"Шефер СК"});
  EXPECT_TRUE(Find<QComboBox>("cbb1")->isVisible());
  EXPECT_EQ(Find<QComboBox>("cbb1")->currentIndex(), -1);
  // The convergence check of the variant follows the end of the search.
  const estimation::RefinementReport refinement =
      estimation::RefineActiveVariants(core, expected.Estimation.Settings.Bounds, DecimalMark());
  QStringList memo{"Расчёт окончен"};
  for (const std::string& line : refinement.MemoLines) memo << QString::fromStdString(line);
  EXPECT_EQ(Find<QPlainTextEdit>("Memo1")->toPlainText(), memo.join('\n'));
  ASSERT_EQ(refinement.Variants.size(), 1u);
  ExpectMarked(refinement.Variants[0]);
  for (std::size_t i = 1; i < 9; ++i) EXPECT_TRUE(Mark(i)->text().isEmpty()) << i;
  // Nothing is adopted without a model choice and a click.
  EXPECT_FALSE(Find<QPushButton>("ButtonAdoptRefined")->isVisible());
  EXPECT_FALSE(Find<ChartPanel>("ChartResiduals")->isVisible());
  EXPECT_FALSE(Find<QProgressBar>("g1")->isVisible());
  EXPECT_FALSE(window.Pages()->IsTabVisible(2));
  EXPECT_EQ(Find<ChartPanel>("Chart7")->Points("CpueTheor").size(), 20u);
  auto* trackBarR = Find<QSlider>("TrackBarR");
  EXPECT_EQ(trackBarR->toolTip().toStdString(), expected.Estimation.Display.TuningR.Hint);
  EXPECT_EQ(trackBarR->value(), expected.Estimation.Display.TuningR.Position);

  // The tuning panel, whose track bars set nothing, is not offered.
  EXPECT_FALSE(Find<ChartPanel>("Chart7")->isVisible());
  EXPECT_FALSE(Find<QPushButton>("Button18")->isVisible());
  EXPECT_FALSE(trackBarR->isVisible());
}

TEST_F(EstimationPageTest, AllNineVariantsGiveTheTextsOfTheCommandLineWhileTheWindowResponds) {
  const cli::testing::CliRun cli = cli::testing::RunCli(
      std::string("estimate --json '") + ExamplePath(kYellowfin).toStdString() + "'");
  ASSERT_EQ(cli.exitCode, 0) << cli.err;
  const nlohmann::json expected = nlohmann::json::parse(cli.out);

  OpenExample(kYellowfin);
  auto* gauge = Find<QProgressBar>("g1");
  int highest = 0;
  QObject::connect(gauge, &QProgressBar::valueChanged,
                   [&highest](int value) { highest = std::max(highest, value); });
  Find<QPushButton>("Button5")->click();
  ASSERT_TRUE(window_->Background().Running());
  EXPECT_TRUE(gauge->isVisible());
  EXPECT_EQ(gauge->maximum(), 900);
  EXPECT_FALSE(Find<QPushButton>("Button5")->isEnabled());
  EXPECT_FALSE(Action("N3")->isEnabled());

  // While the search works, a timer of the window's thread fires at once.
  ASSERT_TRUE(QTest::qWaitFor([&] { return highest > 0; }, 60000));
  ASSERT_TRUE(window_->Background().Running());
  QElapsedTimer clock;
  qint64 waited = -1;
  clock.start();
  QTimer::singleShot(0, [&] { waited = clock.elapsed(); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return waited >= 0; }, 60000));
  EXPECT_LT(waited, 100);

  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(highest, 900);
  EXPECT_TRUE(Find<QPushButton>("Button5")->isEnabled());
  const auto& variants = expected["variants"];
  ASSERT_EQ(variants.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    const auto& texts = variants[i]["texts"];
    EXPECT_EQ(Field('R', i)->text().toStdString(), texts["r"].get<std::string>()) << i;
    EXPECT_EQ(Field('K', i)->text().toStdString(), texts["K"].get<std::string>()) << i;
    EXPECT_EQ(Field('Q', i)->text().toStdString(), texts["q"].get<std::string>()) << i;
    EXPECT_EQ(Field('L', i)->text().toStdString(), texts["L"].get<std::string>()) << i;
  }
  // The refinement ran in the same work and drew nothing.
  EXPECT_EQ(window_->State().Random.Seed(), expected["random_seed_after"].get<std::uint64_t>());
  EXPECT_EQ(ChoiceItems().size(), 9);

  // Every variant is marked with the command line's refined minimum, never
  // above where the search stopped.
  const auto& refined = expected["refined"];
  ASSERT_EQ(refined.size(), 9u);
  const estimation::RefinementReport report = estimation::RefineActiveVariants(
      window_->State(), estimation::ReadSearchSettings(PageTexts(), DecimalMark()).Bounds,
      DecimalMark());
  ASSERT_EQ(report.Variants.size(), 9u);
  int flagged = 0;
  for (std::size_t i = 0; i < 9; ++i) {
    const estimation::VariantRefinement& v = report.Variants[i];
    ASSERT_EQ(v.Index, i);
    EXPECT_EQ(v.Objective, refined[i]["L"].get<double>()) << i;
    EXPECT_LE(v.Objective, variants[i]["L"].get<double>()) << i;
    EXPECT_EQ(v.NotConverged, refined[i]["not_converged"].get<bool>()) << i;
    EXPECT_FALSE(Mark(i)->text().isEmpty()) << i;
    ExpectMarked(v);
    flagged += v.NotConverged ? 1 : 0;
  }
  // The log variants of this example stop far above their minimum.
  EXPECT_TRUE(Mark(1)->property("notConverged").toBool());
  EXPECT_GT(flagged, 0);

  // «Копировать» of the panel: its rows as shown, p where it is estimated.
  Action("GroupBox6Copy")->trigger();
  const QStringList lines = ui_.clipboard.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 10);
  for (std::size_t i = 0; i < 9; ++i) {
    const auto& texts = variants[i]["texts"];
    const std::string p = variants[i]["p"].is_null() ? "" : texts["p"].get<std::string>();
    const QStringList expectedCells = {
        QString::fromStdString(variants[i]["label"].get<std::string>()),
        Field('R', i)->text(),
        Field('K', i)->text(),
        Field('Q', i)->text(),
        QString::fromStdString(p),
        Field('L', i)->text(),
        Mark(i)->text()};
    EXPECT_EQ(lines[static_cast<int>(i) + 1].split('\t'), expectedCells) << i;
  }
}

TEST_F(EstimationPageTest, ChoosingFoxLogLeavesOneVariantAndOpensTheReferencePoints) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(200);
  Choose("Фокс Лог");
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(window.State().ActiveVariants, (std::vector<std::uint8_t>{4}));
  EXPECT_EQ(window.State().ModelChoiceText, "Фокс Лог");
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(VariantBox(i)->isChecked(), i == 4) << i;
  EXPECT_FALSE(Find<QCheckBox>("CheckFox")->isChecked());
  EXPECT_TRUE(window.Pages()->IsTabVisible(2));
  EXPECT_TRUE(Action("N10")->isChecked());
  EXPECT_TRUE(Action("N11")->isChecked());
  EXPECT_TRUE(Action("N12")->isEnabled());
  // R was not found: the surface button shows, but cannot be used.
  EXPECT_TRUE(Find<QPushButton>("Button21")->isVisible());
  EXPECT_FALSE(Find<QPushButton>("Button21")->isEnabled());

  // A new search hides the reference points again and empties the list.
  Search(200);
  EXPECT_FALSE(window.Pages()->IsTabVisible(2));
  EXPECT_EQ(ChoiceItems(), QStringList{"Фокс Лог"});
  EXPECT_TRUE(window.State().ModelChoiceText.empty());
  EXPECT_FALSE(Find<QPushButton>("Button21")->isVisible());
}

TEST_F(EstimationPageTest, TheDiagnosticsTabShowsTheChecklistOfTheChosenVariant) {
  MainWindow& window = OpenExample(kYellowfin);
  auto* tabs = Find<QTabWidget>("TabsEstimationRight");
  EXPECT_FALSE(tabs->isTabEnabled(1));  // nothing searched yet
  Search(200);
  ASSERT_TRUE(tabs->isTabEnabled(1));
  Choose("Фокс СК");
  tabs->setCurrentIndex(1);  // the diagnosis runs in the background
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];

  const AssessmentState& state = window.State();
  const std::size_t chosen = *estimation::ChosenVariant(state);
  diagnostics::DiagnosisOptions options;
  options.DecimalMark = DecimalMark();
  const diagnostics::VariantDiagnosis d = diagnostics::DiagnoseVariant(
      diagnostics::DiagnosedSeries(state), state.ModelFits, chosen,
      estimation::ReadSearchSettings(PageTexts(), DecimalMark()).Bounds, state.MedianKeepCount,
      options);
  EXPECT_EQ(Find<QComboBox>("ComboDiagnosticsVariant")->currentText(), "Фокс СК");
  EXPECT_EQ(Text("LabelVerdict").toStdString(), d.Items.VerdictText);
  auto* checks = Find<QTableWidget>("GridChecklist");
  ASSERT_EQ(checks->rowCount(), static_cast<int>(d.Items.Items.size()));
  for (int r = 0; r < checks->rowCount(); ++r) {
    EXPECT_EQ(checks->item(r, 1)->text().toStdString(), d.Items.Items[r].Name) << r;
    EXPECT_EQ(checks->item(r, 2)->text().toStdString(), d.Items.Items[r].Value) << r;
  }
  EXPECT_EQ(Find<QTableWidget>("GridResidualTests")->rowCount(), 3);
  EXPECT_TRUE(Find<ChartPanel>("ChartDiagnosticResiduals")->isVisible());
  // The verdict heads the tooltip of the variant's mark.
  EXPECT_EQ(Mark(chosen)->toolTip().toStdString().rfind("Диагностика: " + d.Items.VerdictText, 0),
            0u);

  // Intervals computed on page 3 are judged when the page comes back: the
  // checklist is made again, with the width of the MSY interval.
  const auto intervalRow = [&]() -> int {
    for (int r = 0; r < checks->rowCount(); ++r) {
      if (checks->item(r, 1)->text() == "Ширина интервала MSY") return r;
    }
    return -1;
  };
  ASSERT_GE(intervalRow(), 0);
  EXPECT_EQ(checks->item(intervalRow(), 2)->text(), "—");
  window.Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  Find<QSpinBox>("ReplicatesEdit")->setValue(50);
  Find<QPushButton>("IntervalButton")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  ASSERT_TRUE(state.Uncertainty.has_value());
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  QTest::qWait(50);  // the diagnosis starts once the page is in order
  ASSERT_TRUE(WaitIdle());
  ASSERT_GE(intervalRow(), 0);
  EXPECT_TRUE(checks->item(intervalRow(), 2)->text().startsWith("верхняя / нижняя = "))
      << checks->item(intervalRow(), 2)->text().toStdString();

  // «Границы по данным»: nine texts the search accepts, each start inside its bounds.
  Find<QPushButton>("ButtonBoundsFromData")->click();
  EXPECT_TRUE(ui_.boxes.empty());
  const estimation::SearchSettings proposed =
      estimation::ReadSearchSettings(PageTexts(), DecimalMark());
  const estimation::ParameterBounds& b = proposed.Bounds;
  EXPECT_TRUE(b.MinR < proposed.Start.r && proposed.Start.r < b.MaxR);
  EXPECT_TRUE(b.MinK < proposed.Start.K && proposed.Start.K < b.MaxK);
  EXPECT_TRUE(b.MinQ < proposed.Start.q && proposed.Start.q < b.MaxQ);
}

TEST_F(EstimationPageTest, TheHoldOutCheckComparesTheVariantsAndTheChoiceRefitsOnEveryYear) {
  MainWindow& window = OpenExample(kYellowfin);
  Find<QCheckBox>("CheckBox4")->setChecked(true);
  Search(300);
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  // The search saw the series without its last 3 years.
  EXPECT_EQ(window.State().AnalysisSeries.size(), 19u);
  auto* chart2 = Find<ChartPanel>("Chart2");
  EXPECT_EQ(chart2->AxisTitle(Axis::Bottom), "Год");
  EXPECT_TRUE(chart2->SeriesTitle("Series13").startsWith("Шефер СК StdDev="));
  EXPECT_TRUE(chart2->SeriesTitle("Series21").startsWith("ПТ М StdDev="));
  EXPECT_TRUE(chart2->SeriesInLegend("Series17"));
  // The legend under the chart names every variant with its StdDev.
  auto* legend = chart2->findChild<QLabel*>("WrappedLegend");
  ASSERT_NE(legend, nullptr);
  EXPECT_TRUE(legend->isVisible());
  for (const char* title : {"Исходные", "Шефер СК StdDev=", "Фокс М StdDev=", "ПТ М StdDev="}) {
    EXPECT_NE(legend->text().indexOf(QString::fromUtf8(title)), -1) << title;
  }
  EXPECT_EQ(chart2->Points("Series13").size(), 3u);
  EXPECT_EQ(chart2->Points("Series12").size(), 21u);
  EXPECT_TRUE(chart2->Points("LineSeries1").empty());

  AssessmentState core;
  estimation::FreshStart expected = CoreRun(core, kYellowfin, 300, std::nullopt, 3);
  ExpectRowsEqual(expected.Estimation.Display.Rows);
  // The K proposal is that of the shortened series.
  EXPECT_EQ(Text("EditMaxK").toStdString(), expected.Request.Texts.MaxK);

  Choose("Шефер Лог");
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  estimation::SearchOptions options;
  options.MaxFailures = 300;
  const estimation::ModelChoiceOutcome choice = estimation::ChooseModelAndRefit(
      core, expected.File.table, "Шефер Лог", expected.Request, options);
  ExpectRowsEqual(choice.FinalRun->Display.Rows);
  EXPECT_EQ(window.State().Random.Seed(), core.Random.Seed());
  EXPECT_FALSE(Find<QCheckBox>("CheckBox4")->isChecked());
  EXPECT_EQ(window.State().AnalysisSeries.size(), 22u);
  EXPECT_EQ(Text("EditInitialK"), "224810");
  EXPECT_FALSE(legend->isVisible());  // the check on every year redrew the chart
  EXPECT_EQ(window.State().ActiveVariants, (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(ChoiceItems(), QStringList{"Шефер Лог"});
  EXPECT_EQ(Find<QComboBox>("cbb1")->currentText(), "Шефер Лог");
  EXPECT_TRUE(window.Pages()->IsTabVisible(2));
}

TEST_F(EstimationPageTest, AStartValueOutsideItsBoundsShowsRedUntilTheTrimmingBarMoves) {
  OpenExample(kYellowfin);
  Find<QLineEdit>("EditInitialR")->setText("2");
  // Without a single trial the variants keep the start values: r = 2 lies
  // above its bound, K and q lie on theirs.
  Search(0);
  EXPECT_EQ(Field('R', 0)->text(), "2.00");
  EXPECT_TRUE(IsRed(Field('R', 0)));
  EXPECT_TRUE(IsRed(Field('K', 0)));
  EXPECT_TRUE(IsRed(Field('Q', 0)));
  EXPECT_FALSE(IsRed(Field('L', 0)));

  auto* trim = Find<QSlider>("TrackBarMedWin");
  trim->setValue(3);
  EXPECT_EQ(trim->toolTip(), "30");
  EXPECT_FALSE(IsRed(Field('R', 0)));
  EXPECT_FALSE(IsRed(Field('K', 8)));
}

TEST_F(EstimationPageTest, PastedRowsAreEstimatedAsTheOpenedFileAndSavedWithSaveAs) {
  MainWindow& window = Started();
  // On an empty table the search says what is missing.
  Find<QPushButton>("Button5")->click();
  ASSERT_EQ(ErrorTexts(),
            std::vector<std::string>{"Нет данных: откройте файл или вставьте таблицу"});
  ui_.boxes.clear();

  // The example's rows as a spreadsheet copies them.
  const data::DataFile file = data::ReadDataFile(ExamplePath(kYellowfin).toStdString(), '.');
  ui_.clipboard = CopiedRows(file.table, DecimalMark());
  Find<QAction>("est1")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_TRUE(window.Pages()->IsTabVisible(static_cast<int>(PageIndex::Estimation)));
  for (const char* item : {"N1", "N2", "N10", "N11"})
    EXPECT_TRUE(Action(item)->isEnabled()) << item;

  window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  Find<QCheckBox>("CheckFox")->click();
  Find<QCheckBox>("CheckPT")->click();
  VariantBox(1)->click();
  VariantBox(2)->click();
  Search(300);
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  AssessmentState core;
  const estimation::FreshStart expected =
      CoreRun(core, kYellowfin, 300, std::vector<std::size_t>{0});
  EXPECT_EQ(Field('K', 0)->text().toStdString(), expected.Estimation.Display.Rows[0].KText);
  EXPECT_EQ(window.State().ModelFits[0].K, core.ModelFits[0].K);

  const QString path = TempPath("pasted.txt");
  ui_.saveAnswers.push_back(path);
  Action("N2")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(data::ReadDataFile(path.toStdString(), DecimalMark()).table, window.State().Table);
  EXPECT_EQ(window.State().DataFileName, path.toStdString());
}

TEST_F(EstimationPageTest, ABadStartValueIsRefusedBeforeAnythingStarts) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(100);
  const std::string kBefore = Field('K', 0)->text().toStdString();
  const std::uint64_t seed = window.State().Random.Seed();
  Find<QLineEdit>("EditInitialR")->setText("0,5x");
  Find<QPushButton>("Button5")->click();
  EXPECT_FALSE(window.Background().Running());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_NE(ui_.boxes[0].text.indexOf(QStringLiteral("Начальная точка, r: «0,5x»")), -1)
      << ui_.boxes[0].text.toStdString();
  EXPECT_FALSE(Find<QProgressBar>("g1")->isVisible());
  EXPECT_EQ(ChoiceItems().size(), 9);  // the model list stays
  EXPECT_EQ(Field('K', 0)->text().toStdString(), kBefore);
  EXPECT_EQ(window.State().Random.Seed(), seed);
  EXPECT_TRUE(Find<QPushButton>("Button5")->isEnabled());

  // Nothing ticked: refused the same way.
  Find<QLineEdit>("EditInitialR")->setText("0.5");
  for (const char* model : {"CheckSchaefer", "CheckFox", "CheckPT"})
    Find<QCheckBox>(model)->click();
  Find<QPushButton>("Button5")->click();
  EXPECT_FALSE(window.Background().Running());
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_NE(ui_.boxes[1].text.indexOf("вариант"), -1);
  EXPECT_EQ(ChoiceItems().size(), 9);
}

TEST_F(EstimationPageTest, TheSurfaceShowsRsPicturesAndTheSwitchChangesThem) {
  const std::string r = rbridge::LocateR();
  if (r == rbridge::kRNotFound) GTEST_SKIP() << "R is not installed";
  MainWindow& window = OpenExample(kYellowfin);
  window.State().RDirectory = r;
  Search(200);
  Choose("Шефер СК");
  auto* button21 = Find<QPushButton>("Button21");
  ASSERT_TRUE(button21->isEnabled());
  button21->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];

  auto* img5 = Find<QLabel>("img5");
  EXPECT_TRUE(img5->isVisible());
  EXPECT_EQ(img5->pixmap().size(), QSize(460, 330));
  EXPECT_FALSE(Find<ChartPanel>("Chart2")->isVisible());
  EXPECT_TRUE(QFile::exists(TempPath("OutMatrix.txt")));
  EXPECT_TRUE(QFile::exists(TempPath("graph6.bmp")));
  EXPECT_EQ(Find<QPlainTextEdit>("Memo1")->toPlainText(), "Расчёт окончен");

  auto* btn1 = Find<QPushButton>("btn1");
  EXPECT_TRUE(btn1->isVisible());
  EXPECT_EQ(btn1->text(), "MSY/FMSY");
  const qint64 first = img5->pixmap().cacheKey();
  btn1->click();
  EXPECT_EQ(btn1->text(), "r/K");
  EXPECT_NE(img5->pixmap().cacheKey(), first);
  EXPECT_EQ(img5->pixmap().size(), QSize(460, 330));
  btn1->click();
  EXPECT_EQ(btn1->text(), "MSY/FMSY");
  EXPECT_TRUE(ui_.boxes.empty());

  // A new search brings the chart back.
  Search(100);
  EXPECT_TRUE(Find<ChartPanel>("Chart2")->isVisible());
  EXPECT_FALSE(img5->isVisible());
  EXPECT_FALSE(btn1->isVisible());
}

TEST_F(EstimationPageTest, WhenRFailsTheUserReadsWhyAndTheFilesStay) {
  // The R of the test folder is a shell script that draws nothing.
  MainWindow& window = OpenExample(kYellowfin, /*withR=*/true);
  ASSERT_NE(window.State().RDirectory, rbridge::kRNotFound);
  Search(100);
  Choose("Фокс СК");
  const model::ModelFit before = window.State().ModelFits[3];
  const std::uint8_t keepCount = window.State().MedianKeepCount;
  Find<QPushButton>("Button21")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Warning);
  EXPECT_NE(ui_.boxes[0].text.indexOf("graph5.bmp"), -1) << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(QFile::exists(TempPath("OutMatrix.txt")));
  EXPECT_TRUE(QFile::exists(TempPath("Graph2.R")));
  EXPECT_FALSE(Find<QLabel>("img5")->isVisible());
  EXPECT_TRUE(Find<ChartPanel>("Chart2")->isVisible());
  // The surface only reads the record and the search's keep count.
  EXPECT_EQ(window.State().ModelFits[3].MSY, before.MSY);
  EXPECT_EQ(window.State().ModelFits[3].BMSY, before.BMSY);
  EXPECT_EQ(window.State().MedianKeepCount, keepCount);
  EXPECT_FALSE(Find<QProgressBar>("g1")->isVisible());
}

TEST_F(EstimationPageTest, TheRetrospectiveIsDrawnOnBothPagesWithoutDropsToZero) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(200);
  // The same analysis in the core, from the same state.
  AssessmentState core = window.State();
  estimation::RetrospectiveOptions options;
  options.MaxFailures = 200;
  const estimation::RetrospectiveResult expected =
      estimation::RunRetrospective(core, core.Table, 3, PageTexts(), DecimalMark(), options);
  ASSERT_TRUE(expected.Mohn.Available) << expected.Mohn.Message;

  QCheckBox* box = VariantBox(3);
  emit box->customContextMenuRequested(QPoint(4, 4));
  Page()->ResultsMenu()->hide();
  Action("N4")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(window.State().Random.Seed(), core.Random.Seed());

  // Mohn's rho after the end of the runs, as the core gives it.
  const QStringList memo = Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
  ASSERT_GE(memo.size(), 12);
  EXPECT_EQ(memo.mid(memo.size() - 12, 11),
            (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "Расчёт окончен"}));
  EXPECT_EQ(memo.back().toStdString(), expected.Mohn.Text);
  EXPECT_FALSE(Find<QProgressBar>("g1")->isVisible());
  auto* chart6 = Find<ChartPanel>("Chart6");
  EXPECT_EQ(chart6->Title().toStdString(), "Фокс СК: " + expected.Mohn.ChartLabel);
  auto* mohn = Find<QLabel>("MohnLabel");
  EXPECT_FALSE(mohn->isHidden());  // on page 6, which stays where it is
  EXPECT_EQ(mohn->text().toStdString(), expected.Mohn.Text);
  EXPECT_TRUE(window.Tac()->Results()->IsTabVisible(2));
  // The estimation page shows the analysis in the tab beside the residuals:
  // the whole series and the five peels, named, none dropping to zero.
  EXPECT_EQ(window.Pages()->ActivePage(), static_cast<int>(PageIndex::Estimation));
  auto* retro = Find<ChartPanel>("ChartRetrospective");
  EXPECT_TRUE(retro->isVisible());
  EXPECT_EQ(retro->Title(), chart6->Title());
  EXPECT_EQ(retro->AxisTitle(Axis::Left), "Биомасса, т");
  for (int i = 0; i < 6; ++i) {
    const QString name = QStringLiteral("RetroCurve%1").arg(i);
    ASSERT_TRUE(retro->HasSeries(name)) << i;
    EXPECT_TRUE(retro->SeriesInLegend(name)) << i;
    for (const Point& p : retro->Points(name)) EXPECT_GT(p.y, 0.0) << i;
  }
  EXPECT_EQ(retro->Points("RetroCurve5").back().x, 1950.0);  // 1955 less 5 years
  // Page 6 draws the same curves, with the legend and the axis titles.
  for (int i = 0; i < 6; ++i) {
    const QString name = QStringLiteral("RetroCurve%1").arg(i);
    EXPECT_EQ(chart6->Points(name), retro->Points(name)) << i;
    EXPECT_TRUE(chart6->SeriesInLegend(name)) << i;
  }
  EXPECT_EQ(chart6->AxisTitle(Axis::Left), retro->AxisTitle(Axis::Left));
  EXPECT_EQ(chart6->AxisTitle(Axis::Bottom), QStringLiteral("Год"));
  // Nothing was unlocked.
  for (const char* item : {"N12", "N13", "N14", "N15", "N16"}) {
    EXPECT_FALSE(Action(item)->isEnabled()) << item;
  }
  EXPECT_FALSE(window.Pages()->IsTabVisible(static_cast<int>(PageIndex::Rule)));
  EXPECT_FALSE(window.Pages()->IsTabVisible(static_cast<int>(PageIndex::Tac)));

  // A second analysis, from the workflow item after a model choice, redraws
  // both charts with its own curves.
  Choose("Фокс СК");
  EXPECT_TRUE(Find<QPushButton>("ButtonRetrospective")->isVisible());
  Action("N11")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(chart6->Points("RetroCurve0"), retro->Points("RetroCurve0"));
  EXPECT_FALSE(chart6->HasSeries("RetroCurve6"));
}

TEST_F(EstimationPageTest, AdoptingTheRefinedValuesChangesOnlyTheChosenVariant) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(300);
  Choose("Шефер Лог");
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  const AssessmentState before = window.State();
  const std::size_t chosen = 1;

  // The residuals of the chosen variant, with the zero line.
  auto* residuals = Find<ChartPanel>("ChartResiduals");
  EXPECT_TRUE(residuals->isVisible());
  estimation::ResidualChart expected =
      estimation::ResidualsByYear(before.AnalysisSeries, before.Table, before.ModelFits, chosen);
  EXPECT_EQ(residuals->Points("Residuals"), expected.Residuals);
  EXPECT_EQ(residuals->Points("ZeroLine"), expected.ZeroLine);
  EXPECT_EQ(residuals->Title().toStdString(), expected.Title);
  EXPECT_EQ(expected.Residuals.size(), 20u);

  // The refinement of the search, as the core gives it for the record.
  const estimation::VariantRefinement refinement =
      estimation::RefineVariant(before.AnalysisSeries, before.ModelFits, chosen,
                                estimation::ReadSearchSettings(PageTexts(), DecimalMark()).Bounds,
                                before.MedianKeepCount, DecimalMark());
  ASSERT_TRUE(refinement.NotConverged);
  auto* adopt = Find<QPushButton>("ButtonAdoptRefined");
  ASSERT_TRUE(adopt->isVisible());
  ASSERT_TRUE(adopt->isEnabled());
  std::vector<std::array<QString, 4>> rows;
  for (std::size_t i = 0; i < 9; ++i) {
    rows.push_back({Field('R', i)->text(), Field('K', i)->text(), Field('Q', i)->text(),
                    Field('L', i)->text()});
  }

  adopt->click();
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  const AssessmentState& after = window.State();
  EXPECT_TRUE(estimation::IsRefined(after, chosen));
  EXPECT_EQ(Field('R', chosen)->text().toStdString(), refinement.Row.RText);
  EXPECT_EQ(Field('K', chosen)->text().toStdString(), refinement.Row.KText);
  EXPECT_EQ(Field('Q', chosen)->text().toStdString(), refinement.Row.QShown);
  EXPECT_EQ(Field('L', chosen)->text().toStdString(), refinement.Row.LText);
  EXPECT_EQ(estimation::ResultTextsOf(after, chosen, DecimalMark()).L, refinement.Row.LText);
  EXPECT_EQ(after.ModelFits[chosen].R, refinement.Point.r);
  EXPECT_EQ(after.ModelFits[chosen].ObjectiveValue, refinement.Objective);
  EXPECT_EQ(Mark(chosen)->text(), "✓");
  EXPECT_NE(Field('L', chosen)->toolTip().indexOf("Параметры уточнены локальной оптимизацией"), -1);
  for (std::size_t i = 0; i < 9; ++i) {
    if (i == chosen) continue;
    EXPECT_EQ(Field('R', i)->text(), rows[i][0]) << i;
    EXPECT_EQ(Field('K', i)->text(), rows[i][1]) << i;
    EXPECT_EQ(Field('Q', i)->text(), rows[i][2]) << i;
    EXPECT_EQ(Field('L', i)->text(), rows[i][3]) << i;
    EXPECT_EQ(estimation::ResultTextsOf(after, i, DecimalMark()).K,
              estimation::ResultTextsOf(before, i, DecimalMark()).K)
        << i;
    const model::ModelFit& fit = after.ModelFits[i];
    const model::ModelFit& old = before.ModelFits[i];
    EXPECT_TRUE(fit.R == old.R && fit.K == old.K && fit.Q == old.Q &&
                fit.Exponent == old.Exponent && fit.ObjectiveValue == old.ObjectiveValue)
        << i;
    EXPECT_FALSE(estimation::IsRefined(after, i)) << i;
  }
  EXPECT_EQ(after.Random.Seed(), before.Random.Seed());
  EXPECT_EQ(after.ModelChoiceText, "Шефер Лог");
  // Once adopted, there is nothing more to adopt; the residuals follow.
  EXPECT_FALSE(adopt->isEnabled());
  expected =
      estimation::ResidualsByYear(after.AnalysisSeries, after.Table, after.ModelFits, chosen);
  EXPECT_EQ(residuals->Points("Residuals"), expected.Residuals);
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->toPlainText().endsWith(
      QString::fromStdString(refinement.Label + "): L = " + refinement.Row.LText)));

  // A new search drops the choice, the button and the chart, and clears the mark.
  Search(100);
  EXPECT_FALSE(adopt->isVisible());
  EXPECT_FALSE(residuals->isVisible());
  EXPECT_FALSE(estimation::IsRefined(window.State(), chosen));
  EXPECT_NE(Mark(chosen)->text(), "✓");
}

// The tab «Модель ошибки наблюдения»: «Оценить» shows a row per model kind,
// the chosen variant beside its kind and both predictions; «Принять …»
// writes the Schaefer estimates into the chosen variant, whose reference
// points follow; another data set empties the tab.
TEST_F(EstimationPageTest, TheObservationErrorTabEstimatesAndAdopts) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(300);
  Choose("Шефер Лог");
  const std::size_t chosen = 1;
  auto* tabs = Find<QTabWidget>("ResultTabs");
  tabs->setCurrentWidget(Find<QWidget>("ObservationErrorPanel"));
  auto* adopt = Find<QPushButton>("ButtonAdoptObservationError");
  auto* grid = Find<QTableWidget>("GridObservationError");
  EXPECT_FALSE(adopt->isEnabled());
  EXPECT_EQ(grid->rowCount(), 0);

  Find<QPushButton>("ButtonObservationError")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  const AssessmentState& state = window.State();
  ASSERT_EQ(state.ObservationError.Fits.size(), 3u);
  EXPECT_EQ(ShownCells(*grid),
            estimation::ObservationErrorTable(state.ObservationError.Fits, 0, DecimalMark()));
  EXPECT_EQ(ShownCells(*Find<QTableWidget>("GridObservationErrorComparison")),
            estimation::ObservationErrorComparison(state, chosen, 0, DecimalMark()));
  auto* chart = Find<ChartPanel>("ChartObservationError");
  EXPECT_TRUE(chart->isVisible());
  EXPECT_EQ(chart->Points("Observed").size(), 22u);
  EXPECT_EQ(chart->Points("Procedure").size(), 20u);
  EXPECT_EQ(chart->Points("ObservationError").size(), 22u);

  ASSERT_TRUE(adopt->isEnabled());
  const estimation::ObservationErrorFit fit = state.ObservationError.Fits[0];
  adopt->click();
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(state.ModelFits[chosen].R, fit.R);
  EXPECT_EQ(state.ModelFits[chosen].K, fit.K);
  EXPECT_EQ(Field('L', chosen)->text().toStdString(),
            estimation::ResultTextsOf(state, chosen, DecimalMark()).L);
  EXPECT_EQ(Field('K', chosen)->text().toStdString(),
            estimation::ResultTextsOf(state, chosen, DecimalMark()).K);
  EXPECT_FALSE(adopt->isEnabled());
  EXPECT_EQ(Mark(chosen)->text(), "✓");
  EXPECT_TRUE(Mark(chosen)->toolTip().startsWith("Параметры оценены по модели ошибки наблюдения"));

  window.Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  EXPECT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  // The page keeps them rounded as it shows them.
  EXPECT_NEAR(state.ModelFits[chosen].MSY, fit.MSY, 1e-6 * fit.MSY);
  EXPECT_NEAR(state.ModelFits[chosen].BMSY, fit.BMSY, 1e-6 * fit.BMSY);

  OpenExample(kSimulated);
  EXPECT_TRUE(window.State().ObservationError.Fits.empty());
  EXPECT_EQ(grid->rowCount(), 0);
}

// The tab «Модель пространства состояний», as the observation-error tab:
// «Оценить» shows a row per kind and the biomass with its band; «Принять …»
// writes the Schaefer estimates into the chosen variant and marks it; the
// report's origin follows; another data set empties the tab.
TEST_F(EstimationPageTest, TheStateSpaceTabEstimatesAndAdopts) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(300);
  Choose("Шефер Лог");
  const std::size_t chosen = 1;
  auto* tabs = Find<QTabWidget>("ResultTabs");
  tabs->setCurrentWidget(Find<QWidget>("StateSpacePanel"));
  auto* adopt = Find<QPushButton>("ButtonAdoptStateSpace");
  auto* grid = Find<QTableWidget>("GridStateSpace");
  EXPECT_FALSE(adopt->isEnabled());
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_TRUE(Find<QLabel>("LabelStateSpace")->text().contains("Оценить"));

  Find<QPushButton>("ButtonStateSpace")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  const AssessmentState& state = window.State();
  ASSERT_EQ(state.StateSpace.Fits.size(), 3u);
  EXPECT_EQ(ShownCells(*grid), estimation::StateSpaceTable(state.StateSpace.Fits, 0, DecimalMark()));
  EXPECT_EQ(ShownCells(*Find<QTableWidget>("GridStateSpaceComparison")),
            estimation::StateSpaceComparison(state, chosen, 0, DecimalMark()));
  auto* chart = Find<ChartPanel>("ChartStateSpace");
  EXPECT_TRUE(chart->isVisible());
  EXPECT_FALSE(Find<ChartPanel>("ChartObservationError")->isVisible());
  EXPECT_EQ(chart->Points("Observed").size(), 22u);
  EXPECT_EQ(chart->Points("Biomass").size(), 23u);
  EXPECT_EQ(chart->Points("Upper").size(), 23u);

  ASSERT_TRUE(adopt->isEnabled()) << Find<QLabel>("LabelStateSpace")->text().toStdString();
  const estimation::StateSpaceFit fit = state.StateSpace.Fits[0];
  adopt->click();
  ASSERT_TRUE(ui_.boxes.empty()) << ErrorTexts()[0];
  EXPECT_EQ(state.ModelFits[chosen].R, fit.R.Value);
  EXPECT_EQ(state.ModelFits[chosen].K, fit.K.Value);
  EXPECT_EQ(Field('K', chosen)->text().toStdString(),
            estimation::ResultTextsOf(state, chosen, DecimalMark()).K);
  EXPECT_FALSE(adopt->isEnabled());
  EXPECT_TRUE(Find<QLabel>("LabelStateSpace")->text().contains("уже приняты"));
  EXPECT_EQ(Mark(chosen)->text(), "✓");
  EXPECT_TRUE(
      Mark(chosen)->toolTip().startsWith("Параметры оценены по модели пространства состояний"));
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->toPlainText().contains(
      "Параметры оценены по модели пространства состояний (Шефер Лог)"));

  OpenExample(kSimulated);
  EXPECT_TRUE(window.State().StateSpace.Fits.empty());
  EXPECT_EQ(grid->rowCount(), 0);
}

// «Открыть» on a file that does not read (a text among the numbers) changes
// nothing: the fits, the results panel, the table and the data file stay.
TEST_F(EstimationPageTest, AFileThatDoesNotReadKeepsTheFitsAndTheTable) {
  MainWindow& window = OpenExample(kYellowfin);
  Search(100);
  const std::vector<model::ModelFit> fits = window.State().ModelFits;
  const data::DataTable table = window.State().Table;
  const std::string dataFile = window.State().DataFileName;
  const QString k = Field('K', 4)->text();
  ASSERT_FALSE(k.isEmpty());

  data::DataFile broken = data::ReadDataFile(ExamplePath(kYellowfin).toStdString(), '.');
  // The program writes no such file: the bad cell goes into the bytes.
  broken.table.SetCell(data::DataTable::kCatch, 7, "987654321");
  const QString path = TempPath("broken.txt");
  {
    std::string bytes = data::FormatDataFile(broken.description, broken.table);
    bytes.replace(bytes.find("987654321"), 9, "12a");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  ui_.openAnswers.push_back(path);
  Action("N3")->trigger();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_NE(ui_.boxes[0].text.indexOf("12a"), -1) << ui_.boxes[0].text.toStdString();

  const AssessmentState& after = window.State();
  ASSERT_EQ(after.ModelFits.size(), fits.size());
  for (std::size_t i = 0; i < fits.size(); ++i) {
    EXPECT_EQ(after.ModelFits[i].K, fits[i].K) << i;
    EXPECT_EQ(after.ModelFits[i].Origin, model::FitOrigin::Search) << i;
  }
  EXPECT_EQ(after.Table, table);
  EXPECT_EQ(after.DataFileName, dataFile);
  EXPECT_EQ(Field('K', 4)->text(), k);
  EXPECT_EQ(ChoiceItems().size(), 9);
}

TEST_F(EstimationPageTest, ClosingTheWindowDuringASearchEndsCleanly) {
  OpenExample(kYellowfin);
  Find<QPushButton>("Button5")->click();
  ASSERT_TRUE(window_->Background().Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QProgressBar>("g1")->value() > 0; }, 60000));
  window_->close();
  EXPECT_FALSE(window_->Background().Running());
  window_.reset();
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
}  // namespace tarvik::app::testing
