#include "assessment/management.h"
#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "core/projection/fixture.h"

namespace tarvik::projection {
namespace {

namespace fs = std::filesystem;

rules::RuleEditor Linear(const std::string& alpha) {
  rules::RuleEditor editor;
  editor.Shape = rules::RuleKind::PiecewiseLinear;
  editor.AlphaText = alpha;
  return editor;
}

ManagementOptions Options(const fs::path& report) {
  ManagementOptions options;
  options.Rules = {Linear("0.3"), Linear("0.3"), Linear("-0.5")};
  options.Bootstrap.RunsText = "100";
  options.SelectedRule = 1;
  options.Forecast.ModelChoiceText = "Шефер СК";
  options.Forecast.YearTexts = {"2001", "2002", "2003", "2004", "2005"};
  options.ReportPath = report.string();
  return options;
}

struct WorkflowFixture : ::testing::Test {
  void SetUp() override {
    folder = tarvik::testing_support::ScratchPath("tarvik_management_workflow_test");
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  fs::path folder;
};

TEST_F(WorkflowFixture, RunsTheStagesInTheAnalystsOrder) {
  AssessmentState state = testing::SmallState();
  ManagementOptions options = Options(folder / "r.TXT");
  options.TargetBiomassChoice = 1;  // Btr edit shows B0.1, BTarget stays the Etg choice…
  options.TargetEffortChoice = 1;   // …until Etr is changed too: B0.1 = 550
  options.LimitBiomassChoice = 3;
  const ManagementResult result = RunManagementWorkflow(state, options);
  EXPECT_EQ(state.ModelFits[0].BTarget, 550.0);
  EXPECT_EQ(state.ModelFits[0].BLimit, 250.0);
  ASSERT_EQ(result.AddedRules.size(), 3u);
  EXPECT_FALSE(result.AddedRules[1].Added);  // the duplicate
  ASSERT_EQ(state.RuleList.size(), 2u);
  EXPECT_EQ(result.Indicators.Cells.size(), 3u);
  EXPECT_FALSE(result.Indicators.Cells[2][2].empty());
  EXPECT_EQ(result.Forecast.Rule, 1u);
  EXPECT_EQ(result.Forecast.ReportLines[15], "Управление: FMSY Линейно-кусочное ПРП --0.5");
  EXPECT_TRUE(fs::exists(folder / "r.TXT"));
  EXPECT_EQ(result.ReportImageFile, (folder / "r.jpg").string());
  EXPECT_FALSE(result.ReportFileLines.empty());
}

TEST_F(WorkflowFixture, AReportAfterASensitivityRunHasNoInterval) {
  AssessmentState state = testing::SmallState();
  ManagementOptions options = Options(folder / "r.txt");
  options.Sensitivity = SensitivityRequest{SensitivityParameter::K, 10};
  const ManagementResult result = RunManagementWorkflow(state, options);
  EXPECT_TRUE(result.Forecast.AddNoise);
  EXPECT_FALSE(result.Forecast.Intervals.empty());
  ASSERT_TRUE(result.Sensitivity.has_value());
  for (const std::string& line : result.ReportFileLines) {
    EXPECT_EQ(line.find("Интервальная оценка"), std::string::npos);
  }
}

TEST_F(WorkflowFixture, AFailingStageWritesNoReport) {
  AssessmentState state = testing::SmallState();
  ManagementOptions options = Options(folder / "r.txt");
  options.SelectedRule = 5;
  EXPECT_THROW(RunManagementWorkflow(state, options), Error);
  options = Options(folder / "r.txt");
  options.Bootstrap.RunsText = "много";
  AssessmentState fresh = testing::SmallState();
  EXPECT_THROW(RunManagementWorkflow(fresh, options), Error);
  EXPECT_FALSE(fs::exists(folder / "r.txt"));
}

}  // namespace
}  // namespace tarvik::projection
