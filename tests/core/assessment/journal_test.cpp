#include "assessment/journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/assessment_file.h"
#include "assessment/data_set.h"
#include "assessment/decision_table.h"
#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/management.h"
#include "assessment/reference_points.h"
#include "assessment/rules.h"
#include "assessment/search.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "data/data_file.h"
#include "projection/tac_report.h"
#include "support/error_of.h"

namespace tarvik::assessment {
namespace {

std::string Example(const char* name) {
  return std::string(TARVIK_SOURCE_DIR) + "/examples/" + name;
}

constexpr int kShortSearch = 300;

estimation::SearchOptions Search() {
  estimation::SearchOptions options;
  options.MaxFailures = kShortSearch;
  options.Threads = 1;
  return options;
}

ReplayOptions Replay(char mark = '.') {
  ReplayOptions options;
  options.DecimalMark = mark;
  options.MaxFailures = kShortSearch;
  options.Threads = 2;  // recorded with one thread: the same bits
  return options;
}

void OpenYellowfin(AssessmentState& state) {
  estimation::FreshStartRequest fresh;
  fresh.DataFile = Example("yellowfin_epo_1934_1955.txt");
  fresh.TickedVariants = std::vector<std::size_t>{0, 1};
  estimation::RunFreshStartEstimation(state, fresh, Search());
}

// The whole road on the yellowfin example, short: every stage has a result.
void WholeRoad(AssessmentState& state) {
  OpenYellowfin(state);
  const estimation::ParameterBounds bounds = state.LastSearch->Bounds;
  estimation::ChooseModel(state, "Шефер СК");
  refpoints::UpdateReferencePoints(state, refpoints::SelectorChanges{std::nullopt, 1, 2}, '.');
  uncertainty::BootstrapOptions intervals;
  intervals.Replicates = uncertainty::kMinReplicates;
  intervals.BlimFraction = state.ReferencePoints.LimitFraction;
  uncertainty::EstimateUncertainty(state, bounds, intervals);
  rules::RuleEditor linear;
  linear.Shape = rules::RuleKind::PiecewiseLinear;
  linear.AlphaText = "0.3";
  rules::AddRule(state, linear);
  linear.AlphaText = "-0.5";
  rules::AddRule(state, linear);
  projection::BootstrapOptions bootstrap;
  bootstrap.RunsText = "20";
  ASSERT_TRUE(projection::EvaluateRulesByBootstrap(state, bootstrap).Completed);
  rules::ChooseRule(state, 1);
  projection::BuildForecast(state, projection::ForecastOptionsFor(state, 3, true, "Тунец", "ВТО", '.'));
  uncertainty::DecisionRequest decision;
  decision.Replicates = uncertainty::kMinReplicates;
  decision.Horizon = 3;
  decision.Bounds = bounds;
  uncertainty::UpdateDecisionTable(state, decision, &*state.Uncertainty);
}

std::vector<std::string> Names(const AssessmentState& state) {
  std::vector<std::string> names;
  for (const RecordedStep& s : state.Journal.Steps) names.push_back(s.Transition);
  return names;
}

AssessmentFile SavedAndRead(const AssessmentState& state, char mark = '.') {
  const AssessmentFile file = AssessmentFileOf(state, state.Journal.Description, 5, "test");
  return ParseAssessmentFile(FormatAssessmentFile(file), mark);
}

std::vector<std::string> ReportLines(const AssessmentState& state) {
  projection::TacReportInput report = state.Forecast->Report;
  report.DecisionSection = uncertainty::DecisionSectionOf(state, 0, report.DecimalMark);
  return projection::TacReportFileLines(report);
}

class WholeRoadJournal : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    road_ = new AssessmentState;
    WholeRoad(*road_);
  }
  static void TearDownTestSuite() { delete road_; }
  static AssessmentState* road_;
};
AssessmentState* WholeRoadJournal::road_ = nullptr;

TEST_F(WholeRoadJournal, RecordsTheOutermostTransitionsOnlyInTheOrderRun) {
  // The fresh start's «Открыть», page check and ticks are steps of their own;
  // the transitions a step runs inside (the search's, the reference points'
  // selector changes) are not.
  const std::vector<std::string> expected = {
      // nine variants of the cut-off list "4", each ticked or unticked
      "open_data_set",    "suitability_check", "enable_variant",   "enable_variant",
      "enable_variant",   "enable_variant",    "enable_variant",   "enable_variant",
      "enable_variant",   "enable_variant",    "enable_variant",   "search",
      "choose_model",
      "reference_points", "change_selector",   "change_selector",  "confidence_intervals",
      "add_rule",         "add_rule",          "evaluate_rules",   "choose_rule",
      "forecast",         "decision_table"};
  EXPECT_EQ(Names(*road_), expected);
  EXPECT_EQ(road_->Journal.SeedAtStart, 0u);
  EXPECT_EQ(road_->Journal.Description.species, "Желтоперый тунец");
}

TEST_F(WholeRoadJournal, ReplayReproducesEveryResultAndTheReportBitForBit) {
  const AssessmentFile file = SavedAndRead(*road_);
  const ReplayOutcome replay = ReplayAndCompare(file, Replay());
  EXPECT_TRUE(replay.Differences.empty()) << DifferenceLines(replay.Differences).front();
  EXPECT_EQ(FingerprintOf(replay.State), FingerprintOf(*road_));
  EXPECT_TRUE(FingerprintOf(*road_).TacLow.has_value());
  EXPECT_TRUE(FingerprintOf(*road_).DecisionMaxCatch.has_value());
  EXPECT_EQ(ReportLines(replay.State), ReportLines(*road_));
  EXPECT_EQ(replay.State.Random.Seed(), road_->Random.Seed());
  // The replay records the same steps again, so a replayed assessment saves
  // the same file.
  EXPECT_EQ(replay.State.Journal.Steps, road_->Journal.Steps);
  EXPECT_EQ(FormatAssessmentFile(AssessmentFileOf(replay.State, file.Description, 5, "test")),
            FormatAssessmentFile(AssessmentFileOf(*road_, file.Description, 5, "test")));
}

TEST_F(WholeRoadJournal, ReplayWithTheCommaMarkGivesTheSameNumbers) {
  const ReplayOutcome replay = ReplayAndCompare(SavedAndRead(*road_, ','), Replay(','));
  EXPECT_TRUE(replay.Differences.empty()) << DifferenceLines(replay.Differences).front();
  EXPECT_EQ(replay.State.RuleNames[1], "FMSY Линейно-кусочное ПРП --0,5");
}

TEST_F(WholeRoadJournal, AnAlteredFingerprintIsNamedWithBothValues) {
  AssessmentFile file = SavedAndRead(*road_);
  const double msy = *file.Results.ChosenMsy;
  file.Results.ChosenMsy = msy * 1.5;
  const ReplayOutcome replay = ReplayAndCompare(file, Replay());
  ASSERT_EQ(replay.Differences.size(), 1u);
  ASSERT_TRUE(replay.Differences[0].Relative.has_value());
  EXPECT_NEAR(*replay.Differences[0].Relative, 1.0 / 3.0, 1e-12);
  EXPECT_EQ(FingerprintOf(replay.State).ChosenMsy, msy);  // the replay's own value is kept
}

TEST_F(WholeRoadJournal, TheRandomStreamStartsWhereTheDataSetsWorkBegan) {
  // A search on another file first moves the stream; «Открыть» of the
  // yellowfin file starts the journal there.
  AssessmentState state;
  estimation::FreshStartRequest other;
  other.DataFile = Example("schaefer_simulated_1990_2019.txt");
  other.TickedVariants = std::vector<std::size_t>{0};
  estimation::RunFreshStartEstimation(state, other, Search());
  rules::AddRule(state, rules::RuleEditor{});
  const std::uint32_t seed = state.Random.Seed();
  ASSERT_NE(seed, 0u);
  OpenYellowfin(state);
  EXPECT_EQ(state.Journal.SeedAtStart, seed);
  EXPECT_EQ(Names(state).front(), "open_data_set");
  EXPECT_EQ(Names(state).back(), "search");
  const ReplayOutcome replay = ReplayAndCompare(SavedAndRead(state), Replay());
  EXPECT_TRUE(replay.Differences.empty());
  EXPECT_EQ(replay.State.RuleNames, state.RuleNames);  // the rules carried over
  EXPECT_NE(FingerprintOf(replay.State).Variants, FingerprintOf(*road_).Variants);
}

TEST_F(WholeRoadJournal, TheLastInputsOfTheManagementStepsAreReadBack) {
  const std::optional<rules::RuleEditor> rule = LastRuleEditor(*road_, ',');
  ASSERT_TRUE(rule.has_value());
  EXPECT_EQ(rule->AlphaText, "-0,5");  // the second rule, in the mark asked for
  const std::optional<projection::ForecastOptions> forecast = LastForecast(*road_, '.');
  ASSERT_TRUE(forecast.has_value());
  EXPECT_EQ(forecast->Horizon, 3);
  EXPECT_EQ(forecast->Rule, 1u);
  const std::optional<uncertainty::DecisionRequest> decision = LastDecisionRequest(*road_, '.');
  ASSERT_TRUE(decision.has_value());
  EXPECT_EQ(decision->Horizon, 3);
  EXPECT_EQ(decision->Replicates, uncertainty::kMinReplicates);
  EXPECT_EQ(decision->Entries.size(), uncertainty::DefaultCatchOptionEntries().size());
  const AssessmentState fresh;
  EXPECT_FALSE(LastDecisionRequest(fresh, '.').has_value());
}

// Each change after the whole road, and the line each management result
// then shows ("" where the result stays).
struct Staleness {
  const char* name;
  void (*change)(AssessmentState&);
  const char* intervals;
  const char* indicators;
  const char* forecast;
  const char* decision;
};

class StaleResults : public WholeRoadJournal, public testing::WithParamInterface<Staleness> {};

TEST_P(StaleResults, NameTheFirstChangeThatClearedThem) {
  AssessmentState state = *road_;
  GetParam().change(state);
  const auto note = [&](Stage stage) { return RecomputeNote(state, stage); };
  const auto expected = [](const char* why) {
    return *why == 0 ? std::string() : "Нужно рассчитать заново: " + std::string(why) + ".";
  };
  EXPECT_EQ(note(Stage::Uncertainty), expected(GetParam().intervals));
  EXPECT_EQ(note(Stage::Indicators), expected(GetParam().indicators));
  EXPECT_EQ(note(Stage::Forecast), expected(GetParam().forecast));
  EXPECT_EQ(note(Stage::DecisionTable), expected(GetParam().decision));
}

INSTANTIATE_TEST_SUITE_P(
    Journal, StaleResults,
    testing::Values(
        Staleness{"Nothing", [](AssessmentState&) {}, "", "", "", ""},
        Staleness{"NewBlim",
                  [](AssessmentState& s) {
                    refpoints::ChangeSelector(s, refpoints::Selector::LimitBiomass, 0);
                  },
                  "изменён Blim (страница 3)", "изменён Blim (страница 3)",
                  "изменён Blim (страница 3)", "изменён Blim (страница 3)"},
        Staleness{"RuleAdded",
                  [](AssessmentState& s) {
                    rules::RuleEditor e;
                    e.AlphaText = "0.7";
                    rules::AddRule(s, e);
                  },
                  "", "изменён список ПРП (страница 4)", "", ""},
        Staleness{"OtherRule", [](AssessmentState& s) { rules::ChooseRule(s, 0); }, "", "",
                  "выбрано другое ПРП (страница 5)", "выбрано другое ПРП (страница 5)"},
        Staleness{"NewForecast",
                  [](AssessmentState& s) {
                    projection::BuildForecast(
                        s, projection::ForecastOptionsFor(s, 2, false, "Тунец", "ВТО", '.'));
                  },
                  "", "", "", "построен новый прогноз (страница 6)"}),
    [](const testing::TestParamInfo<Staleness>& info) { return std::string(info.param.name); });

TEST(Journal, AFailedOrVoidTransitionRecordsNothing) {
  AssessmentState state;
  OpenYellowfin(state);
  const AssessmentJournal before = state.Journal;
  EXPECT_THROW(estimation::ChooseModel(state, "Нет такого"), Error);
  rules::DeleteRule(state, std::nullopt);  // nothing selected: nothing deleted
  rules::ChooseRule(state, std::nullopt);  // already none
  estimation::EditCell(state, 1, 1, state.Table.Cell(1, 1));  // the same text
  EXPECT_EQ(state.Journal.Steps, before.Steps);
  EXPECT_EQ(state.Journal.Revision, before.Revision);
  estimation::EditCell(state, 1, 1, "10000");
  EXPECT_EQ(state.Journal.Revision, before.Revision + 1);
  EXPECT_EQ(state.Journal.Steps.back().Inputs,
            R"({"column":1,"decimal_mark":".","row":1,"text":"10000"})");
}

struct BadStep {
  const char* name;
  const char* transition;
  const char* inputs;
  const char* message;
};

class DamagedStep : public testing::TestWithParam<BadStep> {};

TEST_P(DamagedStep, IsRefusedNamingTheStepAndTheField) {
  AssessmentState state;
  OpenYellowfin(state);
  AssessmentFile file = AssessmentFileOf(state, state.Journal.Description, 0, "test");
  file.Steps.push_back({GetParam().transition, nlohmann::json::parse(GetParam().inputs)});
  const std::string error = testing_support::ErrorOf([&] { ReplayAssessment(file, Replay()); });
  const std::string where = "шаг " + std::to_string(file.Steps.size()) + " («" +
                            GetParam().transition + "»)";
  EXPECT_NE(error.find(where), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Journal, DamagedStep,
    testing::Values(
        BadStep{"MissingField", "choose_rule", "{}", "поле «rule»: нет такого поля"},
        BadStep{"OutOfRange", "edit_cell",
                R"({"column":7,"row":1,"text":"1","decimal_mark":"."})",
                "поле «column»: значение 7 вне допустимого диапазона 0 … 3"},
        BadStep{"WrongType", "adopt_state_space", R"({"index":"1"})",
                "поле «index»: ожидается целое число"},
        BadStep{"UnknownLabel", "choose_model", R"({"label":"Шефер XX","refit":null})",
                "Шефер XX"},
        BadStep{"BadMark", "suitability_check", R"({"held_out_years":0,"decimal_mark":";"})",
                "поле «decimal_mark»"}),
    [](const testing::TestParamInfo<BadStep>& info) { return info.param.name; });

}  // namespace
}  // namespace tarvik::assessment
