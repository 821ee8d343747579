#include "assessment/search.h"
#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "assessment/variants.h"
#include "common/error.h"
#include "core/estimation/test_series.h"
#include "data/statistics.h"
#include "estimation/variants.h"

namespace tarvik::estimation {
namespace {

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

std::string Example(const char* name) {
  return std::string(TARVIK_SOURCE_DIR) + "/examples/" + name;
}
const char* const kYellowfin = "yellowfin_epo_1934_1955.txt";
const char* const kSimulated = "schaefer_simulated_1990_2019.txt";

FreshStartRequest Request(const char* example) {
  FreshStartRequest request;
  request.DataFile = Example(example);
  return request;
}

SearchOptions Short(int maxFailures, int threads = 1) {
  SearchOptions options;
  options.MaxFailures = maxFailures;
  options.Threads = threads;
  return options;
}

TEST(FreshStart, OpensTheFileShowsThePageAndEstimates) {
  AssessmentState state;
  const FreshStart run = RunFreshStartEstimation(state, Request(kYellowfin), Short(2000));
  EXPECT_EQ(state.DataFileName, Example(kYellowfin));
  EXPECT_EQ(state.LoadedSeries.size(), 22u);
  EXPECT_EQ(state.AnalysisSeries.size(), 22u);
  // K start value and bounds: the largest catch (1950: 224810) and 100 times it.
  EXPECT_EQ(run.Request.Texts.InitialK, "224810");
  EXPECT_EQ(run.Request.Texts.MinK, "224810");
  EXPECT_EQ(run.Request.Texts.MaxK, "22481000");
  EXPECT_EQ(run.Estimation.Settings.Bounds.MaxK, 22481000.0);
  EXPECT_EQ(run.Estimation.Display.Rows.size(), 9u);
  EXPECT_EQ(run.Estimation.Display.ChoiceLabels.size(), 9u);
  EXPECT_FALSE(run.Estimation.HoldOut);
  EXPECT_TRUE(run.PageShow.enableHoldOut);  // 22 years: the hold-out option is offered
  EXPECT_EQ(run.PageShow.holdOutMaximum, 11);
  EXPECT_EQ(state.PTExponent, run.Check.ptExponent);
}

TEST(FreshStart, TickedVariantsAndTypedTexts) {
  AssessmentState state;
  FreshStartRequest request = Request(kYellowfin);
  request.TickedVariants = std::vector<std::size_t>{8, 0};
  request.StartTexts = {"0.3", "", ""};
  request.BoundTexts = {"", "0.9", "", "", "", ""};
  const FreshStart run = RunFreshStartEstimation(state, request, Short(2000));
  EXPECT_EQ(state.ActiveVariants, (std::vector<std::uint8_t>{0, 8}));
  EXPECT_EQ(run.Estimation.Settings.Start.r, 0.3);
  EXPECT_EQ(run.Estimation.Settings.Start.K, 224810.0);  // the page's text kept
  EXPECT_EQ(run.Estimation.Settings.Bounds.MaxR, 0.9);
  EXPECT_EQ(state.ModelFits[4].R, 0.0);
  EXPECT_NE(state.ModelFits[8].R, 0.0);
}

TEST(FreshStart, BadArgumentsRaiseBeforeTheFileIsRead) {
  AssessmentState state;
  FreshStartRequest request = Request(kYellowfin);
  request.DataFile = "/nonexistent/file.txt";
  request.TickedVariants = std::vector<std::size_t>{9};
  try {
    RunFreshStartEstimation(state, request, Short(10));
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("9"), std::string::npos) << e.what();
  }
  request.TickedVariants.reset();
  request.CutOffList = "4,x";
  EXPECT_THROW(RunFreshStartEstimation(state, request, Short(10)), Error);
  request.CutOffList = "4";
  request.TrimPosition = 10;
  EXPECT_THROW(RunFreshStartEstimation(state, request, Short(10)), Error);
  EXPECT_TRUE(state.DataFileName.empty());
}

TEST(FreshStart, HoldOutFitsTheSeriesWithoutTheLastYears) {
  AssessmentState state;
  FreshStartRequest request = Request(kSimulated);
  request.HoldOutYears = 5;
  const FreshStart run = RunFreshStartEstimation(state, request, Short(2000));
  EXPECT_EQ(run.File.table.DataRowCount(), 30);
  EXPECT_EQ(state.AnalysisSeries.size(), 25u);
  EXPECT_EQ(run.Check.years, 25);
  // The K texts come from the check on the 25 fitted years.
  const std::vector<double> fittedCatch(state.LoadedSeries.C.begin(),
                                        state.LoadedSeries.C.begin() + 25);
  EXPECT_EQ(run.Estimation.Settings.Start.K, data::SeriesMax(fittedCatch));
  ASSERT_TRUE(run.Estimation.HoldOut);
  EXPECT_EQ(run.Estimation.HoldOut->HeldOutYears, 5);
  EXPECT_EQ(run.Estimation.HoldOut->Variants.size(), 9u);
  EXPECT_EQ(run.Estimation.HoldOut->Variants[0].Points.front().x, 2015.0);
}

TEST(FreshStart, HoldOutNeedsALongEnoughTable) {
  AssessmentState state;
  FreshStartRequest request = Request(kYellowfin);
  request.HoldOutYears = 12;  // at most 22 div 2 = 11
  EXPECT_THROW(RunFreshStartEstimation(state, request, Short(10)), Error);
  request.HoldOutYears = 1;
  EXPECT_THROW(RunFreshStartEstimation(state, request, Short(10)), Error);

  // A table of 10 years does not offer the option at all.
  const data::CatchEffortSeries s = testing::FishedStock(10);
  const std::filesystem::path path =
      tarvik::testing_support::ScratchPath("tarvik_workflow_short") / "short.txt";
  std::filesystem::create_directories(path.parent_path());
  data::WriteDataFile(path.string(), data::DataDescription{}, testing::TableOf(s));
  AssessmentState shortState;
  FreshStartRequest shortRequest;
  shortRequest.DataFile = path.string();
  shortRequest.HoldOutYears = 2;
  EXPECT_THROW(RunFreshStartEstimation(shortState, shortRequest, Short(10)), Error);
  std::filesystem::remove_all(path.parent_path());
}

TEST(MatchAnalysisSeries, RerunsTheCheckOnlyWhenTheHeldOutYearsChange) {
  AssessmentState state;
  const data::DataFile file = data::ReadDataFile(Example(kSimulated), '.');
  EXPECT_TRUE(MatchAnalysisSeries(state, file.table, 0, '.'));  // no series yet
  EXPECT_EQ(state.AnalysisSeries.size(), 30u);
  EXPECT_FALSE(MatchAnalysisSeries(state, file.table, 0, '.'));
  const auto check = MatchAnalysisSeries(state, file.table, 3, '.');
  ASSERT_TRUE(check);
  EXPECT_EQ(check->years, 27);
  EXPECT_EQ(state.AnalysisSeries.size(), 27u);
  EXPECT_FALSE(MatchAnalysisSeries(state, file.table, 3, '.'));
}

TEST(ModelChoice, WithHoldOutRefitsTheChosenVariantOnTheWholeSeries) {
  AssessmentState state;
  FreshStartRequest request = Request(kSimulated);
  request.HoldOutYears = 4;
  const FreshStart run = RunFreshStartEstimation(state, request, Short(2000));
  const ModelChoiceOutcome choice =
      ChooseModelAndRefit(state, run.File.table, "Фокс Лог", run.Request, Short(2000));
  EXPECT_EQ(choice.Index, 4u);
  EXPECT_EQ(state.ActiveVariants, (std::vector<std::uint8_t>{4}));
  ASSERT_TRUE(choice.HoldOutRun && choice.Recheck && choice.FinalRun);
  ASSERT_TRUE(choice.HoldOutRun->HoldOut);
  EXPECT_EQ(choice.HoldOutRun->HoldOut->Variants.size(), 1u);
  EXPECT_FALSE(choice.FinalRun->HoldOut);
  EXPECT_EQ(state.AnalysisSeries.size(), 30u);
  EXPECT_EQ(choice.FinalRun->Settings.Start.K, data::SeriesMax(state.LoadedSeries.C));
  EXPECT_EQ(choice.FinalRun->Display.ChoiceLabels, (std::vector<std::string>{"Фокс Лог"}));
}

TEST(ModelChoice, WithoutHoldOutOnlyChooses) {
  AssessmentState state;
  const FreshStart run = RunFreshStartEstimation(state, Request(kYellowfin), Short(1000));
  const std::uint32_t seed = state.Random.Seed();
  const ModelChoiceOutcome choice =
      ChooseModelAndRefit(state, run.File.table, "ПТ М", run.Request, Short(1000));
  EXPECT_EQ(choice.Index, 8u);
  EXPECT_FALSE(choice.FinalRun);
  EXPECT_EQ(state.Random.Seed(), seed);
  EXPECT_THROW(ChooseModelAndRefit(state, run.File.table, "ПТ", run.Request, Short(1000)), Error);
  EXPECT_EQ(state.ActiveVariants, (std::vector<std::uint8_t>{8}));
}

TEST(FreshStart, ParallelGivesTheSequentialBitsOnTheExamples) {
  for (const char* example : {kYellowfin, kSimulated}) {
    SCOPED_TRACE(example);
    AssessmentState sequential;
    AssessmentState parallel;
    RunFreshStartEstimation(sequential, Request(example), Short(100000, 1));
    RunFreshStartEstimation(parallel, Request(example), Short(100000, 2));
    for (std::size_t i = 0; i < 9; ++i) {
      const model::ModelFit& a = sequential.ModelFits[i];
      const model::ModelFit& b = parallel.ModelFits[i];
      EXPECT_EQ(Bits(a.R), Bits(b.R)) << i;
      EXPECT_EQ(Bits(a.K), Bits(b.K)) << i;
      EXPECT_EQ(Bits(a.Q), Bits(b.Q)) << i;
      EXPECT_EQ(Bits(a.ObjectiveValue), Bits(b.ObjectiveValue)) << i;
      EXPECT_EQ(Bits(a.FittedR), Bits(b.FittedR)) << i;
      EXPECT_EQ(Bits(a.FittedQ), Bits(b.FittedQ)) << i;
      EXPECT_EQ(Bits(a.FittedK), Bits(b.FittedK)) << i;
      EXPECT_EQ(Bits(a.Exponent), Bits(b.Exponent)) << i;
    }
    EXPECT_EQ(sequential.Random.Seed(), parallel.Random.Seed());
  }
}

// The full default search (1 000 000 failures, nine variants, trim 0) of the
// yellowfin example on every core gives the bits the sequential loop gave
// when these values were recorded.
TEST(FreshStart, FullDefaultSearchOfTheYellowfinExample) {
  const testing::RecordedFit* expected = testing::kYellowfinDefaultSearch;
  AssessmentState state;
  SearchOptions options;  // the program's defaults: 1 000 000 failures, every core
  const FreshStart run = RunFreshStartEstimation(state, Request(kYellowfin), options);
  for (std::size_t i = 0; i < 9; ++i) {
    const model::ModelFit& fit = state.ModelFits[i];
    EXPECT_EQ(Bits(fit.R), Bits(expected[i].r)) << i;
    EXPECT_EQ(Bits(fit.K), Bits(expected[i].K)) << i;
    EXPECT_EQ(Bits(fit.Q), Bits(expected[i].q)) << i;
    EXPECT_EQ(Bits(fit.ObjectiveValue), Bits(expected[i].L)) << i;
    if (fit.Kind == model::ProductionModelKind::PellaTomlinson) {
      EXPECT_EQ(Bits(fit.Exponent), Bits(expected[i].p)) << i;
    }
  }
  EXPECT_EQ(state.Random.Seed(), 4092177794u);
  EXPECT_EQ(run.Estimation.Summary.Evaluations, 19731688u);
  EXPECT_GE(run.Estimation.Summary.Evaluations, 9u * 1000001u);
  EXPECT_EQ(run.Estimation.Summary.ProgressDone, 900);  // each variant ends at j·100 + 100
  // The Pella-Tomlinson variants ended on the exponent's lower bound.
  EXPECT_EQ(run.Estimation.Display.Rows[6].ExponentHint, "1.0");
}

}  // namespace
}  // namespace tarvik::estimation
