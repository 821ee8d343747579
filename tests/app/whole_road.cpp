// The whole road in the window, driven as a user would, against the command
// line: the same data, the same clicks, and the saved TAC report and the
// indicator table must be the ones `tarvik-cli assess` gives. It runs the
// full default search of all nine variants twice (window and command line),
// so it has an executable of its own with a long time limit.
#include <nlohmann/json.hpp>

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>

#include "app/performance_page.h"
#include "app/string_grid.h"
#include "app_fixture.h"
#include "assessment/indicators.h"
#include "fitted_schaefer.h"
#include "projection/indicators.h"

namespace tarvik::app::testing {
namespace {

const QString kExample = QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt");

class WholeRoad : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // The command line writes numbers with a point; so does the window here.
    QLocale::setDefault(QLocale::c());
  }

  // Clicks the tab of a page, as the user does to show it.
  void ShowPage(PageIndex page) {
    const int index = static_cast<int>(page);
    ASSERT_TRUE(window_->Pages()->IsTabVisible(index)) << "tab " << index << " is hidden";
    QTabBar* tabs = window_->Pages()->TabBar();
    const QRect tab = tabs->tabRect(index);
    if (!tab.isEmpty() && tabs->rect().contains(tab.center())) {
      QTest::mouseClick(tabs, Qt::LeftButton, {}, tab.center());
    } else {
      // Scrolled out of the bar or not laid out yet: as with the arrow keys.
      tabs->setCurrentIndex(index);
    }
    ASSERT_EQ(window_->Pages()->ActivePage(), index);
  }

  static void Choose(QComboBox* combo, int index) {
    ASSERT_GE(index, 0);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  void AddRule(const char* shapeButton, const QString& alpha, const QString& beta,
               int target) {
    Find<QToolButton>(shapeButton)->click();
    Choose(Find<QComboBox>("ComboBoxFNZ"), target);
    Find<QLineEdit>("EditAlpha")->setText(alpha);
    if (!beta.isEmpty()) Find<QLineEdit>("EditBeta")->setText(beta);
    Find<QPushButton>("Button12")->click();
    ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 0) << ui_.boxes.back().text.toStdString();
  }

  static std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(bytes.substr(start, end - start));
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
  }

  // tarvik-cli assess on the example with the three rules of the road.
  void StartCli(QProcess& cli, const QString& report, const QStringList& extra = {}) {
    cli.start(QStringLiteral(TARVIK_CLI),
              QStringList{"assess", kExample, "--variant", "Шефер СК", "--rule", "linear:0.3",
                          "--rule", "logistic:2:0.5", "--rule", "linear:-1:Fsq75", "--report",
                          report, "--json"} +
                  extra);
  }

  // Pages 3 and 4: the reference points shown, the three rules of the road
  // added.
  void ShowReferencePointsAndAddTheRules() {
    ShowPage(PageIndex::ReferencePoints);
    if (!window_->Pages()->IsTabVisible(static_cast<int>(PageIndex::Rule))) {
      Find<QPushButton>("Button11")->click();  // «Построить все графики»
    }
    ShowPage(PageIndex::Rule);
    AddRule("ButtonLinKus", QStringLiteral("0.3"), {}, 0);
    AddRule("ButtonLogist", QStringLiteral("2"), QStringLiteral("0.5"), 0);
    AddRule("ButtonLinKus", QStringLiteral("-1"), {}, 3);  // «0.75Fsq»
  }

  // Page 5 evaluated with its defaults, the first rule chosen, the forecast
  // drawn with its defaults and the report saved.
  void EvaluateForecastAndSave(const QString& report) {
    ShowPage(PageIndex::Performance);
    Find<QPushButton>("Button14")->click();  // defaults: parametric, 10000 runs, 5 years
    ASSERT_TRUE(WaitIdle(900000));
    Choose(Find<QComboBox>("cbb2"), 0);
    ShowPage(PageIndex::Tac);
    Find<QPushButton>("Button16")->click();
    ui_.saveAnswers.push_back(report);
    Find<QPushButton>("Button19")->click();
    ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 0) << ui_.boxes.back().text.toStdString();
  }

  // The saved report and the indicator table against the command line's.
  void ExpectTheCommandLinesResults(QProcess& cli, const QString& windowReport,
                                    const QString& cliReport) {
    if (cli.state() != QProcess::NotRunning) {
      ASSERT_TRUE(cli.waitForFinished(900000));
    }
    ASSERT_EQ(cli.exitStatus(), QProcess::NormalExit) << cli.errorString().toStdString();
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const nlohmann::json json = nlohmann::json::parse(cli.readAllStandardOutput().toStdString());

    // The report, byte for byte but for the line naming the data file as given.
    std::vector<std::string> fromWindow = CrLfLines(ReadBytes(windowReport));
    std::vector<std::string> fromCli = CrLfLines(ReadBytes(cliReport));
    ASSERT_GT(fromWindow.size(), 40u);
    ASSERT_EQ(fromWindow.size(), fromCli.size());
    // "Файл входных данных" in Windows-1251.
    const std::string fileLine =
        "\xD4\xE0\xE9\xEB \xE2\xF5\xEE\xE4\xED\xFB\xF5 \xE4\xE0\xED\xED\xFB\xF5";
    EXPECT_EQ(fromWindow[3].rfind(fileLine, 0), 0u);
    EXPECT_EQ(fromCli[3].rfind(fileLine, 0), 0u);
    fromWindow.erase(fromWindow.begin() + 3);
    fromCli.erase(fromCli.begin() + 3);
    EXPECT_EQ(fromWindow, fromCli);

    // The indicator table, cell for cell.
    const StringGrid* grid = window_->Performance()->Table();
    const nlohmann::json& indicators = json.at("indicators");
    ASSERT_EQ(grid->rowCount(), static_cast<int>(indicators.size()) + 1);
    for (std::size_t k = 0; k < indicators.size(); ++k) {
      const nlohmann::json& row = indicators[k];
      projection::RuleIndicators values;
      values.RecoveryTime = row.at("recovery_time");
      values.MeanForecastBiomass = row.at("mean_forecast_biomass");
      values.MeanForecastCatch = row.at("mean_forecast_catch");
      values.BiomassRatio = row.at("biomass_ratio");
      values.CatchRatio = row.at("catch_ratio");
      values.ProbBelowBlim = row.at("prob_below_blim");
      values.ProbBelowCmin = row.at("prob_below_cmin");
      values.ProbBelowReferenceBlim = row.at("prob_below_reference_blim");
      std::vector<std::string> expected = {row.at("variant"), row.at("rule")};
      for (const std::string& cell : projection::IndicatorCells(values, '.')) {
        expected.push_back(cell);
      }
      for (std::size_t c = 0; c < expected.size(); ++c) {
        EXPECT_EQ(grid->Cell(static_cast<int>(c), static_cast<int>(k) + 1).toStdString(),
                  expected[c])
            << "row " << k + 1 << ", column " << c;
      }
    }
    EXPECT_EQ(window_->State().Random.Seed(),
              json.at("random_seed_after").get<std::uint32_t>());
  }
};

TEST_F(WholeRoad, TheWindowSavesTheReportTheCommandLineWrites) {
  Started();
  ui_.openAnswers.push_back(kExample);
  Action("N3")->trigger();
  ShowPage(PageIndex::Estimation);
  Find<QPushButton>("Button5")->click();  // «Оценка параметров», all nine variants

  // The command line runs the same road meanwhile.
  const QString cliReport = TempPath("cli_report.txt");
  QProcess cli;
  StartCli(cli, cliReport);

  ASSERT_TRUE(WaitIdle(900000));
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 0) << ui_.boxes.back().text.toStdString();
  auto* cbb1 = Find<QComboBox>("cbb1");
  Choose(cbb1, cbb1->findText(QStringLiteral("Шефер СК")));

  ShowReferencePointsAndAddTheRules();
  const QString windowReport = TempPath("window_report.txt");
  EvaluateForecastAndSave(windowReport);
  ExpectTheCommandLinesResults(cli, windowReport, cliReport);
}

// The road from page 3 on, from the state the command line reaches before it
// (one variant estimated with the full search, set up through the core as
// the command line does): the window's reference points, rules, indicators,
// forecast and report are the command line's bits.
TEST_F(WholeRoad, FromPageThreeOnTheWindowContinuesTheCommandLinesRoad) {
  Started();
  const QString cliReport = TempPath("cli_report.txt");
  QProcess cli;
  StartCli(cli, cliReport, {"--variants", "0"});

  EstimateSchaefer(*window_, kExample, 1000000);
  ShowReferencePointsAndAddTheRules();
  const QString windowReport = TempPath("window_report.txt");
  EvaluateForecastAndSave(windowReport);
  ExpectTheCommandLinesResults(cli, windowReport, cliReport);
}

}  // namespace
}  // namespace tarvik::app::testing
