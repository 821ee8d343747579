#include "assessment/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assessment/decision_table.h"
#include "assessment/dependencies.h"
#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/management.h"
#include "assessment/observation_error.h"
#include "assessment/reference_points.h"
#include "assessment/refinement.h"
#include "assessment/rules.h"
#include "assessment/search.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/refinement.h"
#include "estimation/variants.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "projection/tac_report.h"
#include "refpoints/reference_points.h"
#include "rules/rule_list.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik {
namespace {

std::string Example(const char* name) {
  return std::string(TARVIK_SOURCE_DIR) + "/examples/" + name;
}

rules::RuleEditor Linear(const std::string& alpha) {
  rules::RuleEditor editor;
  editor.Shape = rules::RuleKind::PiecewiseLinear;
  editor.AlphaText = alpha;
  return editor;
}

// The whole road through the core's transitions on the yellowfin example
// with short searches and few runs: every stage has its result.
struct Road {
  AssessmentState state;
  estimation::EstimationRequest request;
  estimation::ParameterBounds bounds;

  Road() {
    estimation::FreshStartRequest fresh;
    fresh.DataFile = Example("yellowfin_epo_1934_1955.txt");
    fresh.TickedVariants = std::vector<std::size_t>{0, 1};
    const estimation::FreshStart run = estimation::RunFreshStartEstimation(state, fresh, Search());
    request = run.Request;
    bounds = run.Estimation.Settings.Bounds;
    estimation::ChooseModel(state, "Шефер СК");
    refpoints::UpdateReferencePoints(state, refpoints::ReferenceSelectors{}, '.');
    uncertainty::EstimateUncertainty(state, bounds, Bootstrap());
    rules::AddRule(state, Linear("0.3"));
    rules::AddRule(state, Linear("-0.5"));
    projection::BootstrapOptions bootstrap;
    bootstrap.RunsText = "20";
    EXPECT_TRUE(projection::EvaluateRulesByBootstrap(state, bootstrap).Completed);
    rules::ChooseRule(state, 0);
    projection::BuildForecast(state, projection::ForecastOptionsFor(state, 3, true, "", "", '.'));
    uncertainty::UpdateDecisionTable(state, Decision(bounds));
  }

  // A small decision table: the fewest replicates, three years.
  static uncertainty::DecisionRequest Decision(const estimation::ParameterBounds& bounds) {
    uncertainty::DecisionRequest request;
    request.Replicates = uncertainty::kMinReplicates;
    request.Horizon = 3;
    request.Bounds = bounds;
    return request;
  }

  static uncertainty::BootstrapOptions Bootstrap() {
    uncertainty::BootstrapOptions options;
    options.Replicates = uncertainty::kMinReplicates;
    options.Threads = 1;
    return options;
  }

  static estimation::SearchOptions Search() {
    estimation::SearchOptions options;
    options.MaxFailures = 300;
    options.Threads = 1;
    return options;
  }
};

// Which stages hold a result.
struct Stages {
  bool fitted, chosen, reference, intervals, indicators, forecast, decision;
  bool operator==(const Stages&) const = default;
};

Stages Of(const AssessmentState& s) {
  bool fitted = false;
  for (const model::ModelFit& fit : s.ModelFits)
    fitted = fitted || fit.Origin != model::FitOrigin::None;
  return {fitted,
          estimation::ChosenVariant(s).has_value(),
          !s.ReferencePoints.Tabs.empty(),
          s.Uncertainty.has_value(),
          s.Indicators.Evaluated,
          s.Forecast.has_value(),
          s.Decision.has_value()};
}

// The stages the table of dependencies reaches from `changed` by the edges
// that always hold (not `changed` itself).
std::set<assessment::Stage> Reached(const std::vector<assessment::Stage>& changed) {
  std::set<assessment::Stage> reached;
  std::vector<assessment::Stage> open = changed;
  while (!open.empty()) {
    const assessment::Stage from = open.back();
    open.pop_back();
    for (const assessment::Dependency& d : assessment::kDependencies) {
      if (d.Source == from && !d.OnlyWhatItMade && reached.insert(d.Dependent).second) {
        open.push_back(d.Dependent);
      }
    }
  }
  return reached;
}

// What the whole road holds after a change of `changed`, by the table.
Stages ByTheTable(const std::vector<assessment::Stage>& changed) {
  const std::set<assessment::Stage> gone = Reached(changed);
  const auto held = [&](assessment::Stage s) { return !gone.contains(s); };
  using assessment::Stage;
  return {held(Stage::Fits),       held(Stage::ModelChoice), held(Stage::ReferencePoints),
          held(Stage::Uncertainty), held(Stage::Indicators), held(Stage::Forecast),
          held(Stage::DecisionTable)};
}

// Every transition clears the results of what depends on its change, by the
// one table of dependencies, and nothing else; the rule list (the user's,
// not the data's) always stays.
TEST(Transitions, EachClearsWhatDependsOnIt) {
  const Road road;
  ASSERT_EQ(Of(road.state), (Stages{true, true, true, true, true, true, true}));
  const data::DataFile simulated =
      data::ReadDataFile(Example("schaefer_simulated_1990_2019.txt"), '.');
  using assessment::Stage;
  struct Case {
    const char* name;
    std::function<void(Road&)> change;
    std::vector<Stage> changed;  // the stages whose dependents go
    Stages after;
  };
  const Case cases[] = {
      {"another data set",
       [&](Road& r) { estimation::OpenDataSet(r.state, simulated, "simulated.txt", "4"); },
       {Stage::Data},
       {false, false, false, false, false, false, false}},
      {"a paste",
       [](Road& r) {
         estimation::PasteDataSet(r.state, "2001\t2.5\t40\t100\n2002\t2\t50\t100", '.');
       },
       {Stage::Data},
       {false, false, false, false, false, false, false}},
      {"a typed cell",
       [](Road& r) { estimation::EditCell(r.state, data::DataTable::kCatch, 1, "1000"); },
       {Stage::Data},
       {false, false, false, false, false, false, false}},
      {"the variants rebuilt",
       [](Road& r) { estimation::RebuildVariants(r.state, "4,6"); },
       {Stage::Variants},
       {false, false, false, false, false, false, false}},
      {"a suitability check",
       [](Road& r) { data::SuitabilityCheck(r.state.Table, 0, '.', r.state); },
       {Stage::Fits},
       {true, false, false, false, false, false, false}},
      {"a search",
       [](Road& r) {
         estimation::RunEstimation(r.state, r.state.Table, r.request, Road::Search());
       },
       {Stage::Fits},
       {true, false, false, false, false, false, false}},
      {"another model chosen",
       [](Road& r) { estimation::ChooseModel(r.state, "Шефер Лог"); },
       {Stage::ModelChoice},
       {true, true, false, false, false, false, false}},
      {"refined values adopted",
       [](Road& r) {
         const estimation::VariantRefinement v = estimation::RefineVariant(
             r.state.AnalysisSeries, r.state.ModelFits, 0, r.bounds, r.state.MedianKeepCount);
         ASSERT_FALSE(estimation::AdoptionRefusal(r.state, v).has_value());
         estimation::AdoptRefinement(r.state, v);
       },
       {Stage::ModelChoice},
       {true, true, false, false, false, false, false}},
      {"a selector changed",
       [](Road& r) { refpoints::ChangeSelector(r.state, refpoints::Selector::TargetBiomass, 1); },
       {Stage::Targets},
       {true, true, true, true, false, false, false}},
      {"a rule added",
       [](Road& r) { rules::AddRule(r.state, Linear("0.5")); },
       {Stage::RuleList},
       {true, true, true, true, false, true, true}},
      {"new confidence intervals",
       [](Road& r) { uncertainty::EstimateUncertainty(r.state, r.bounds, Road::Bootstrap()); },
       {Stage::Uncertainty},
       {true, true, true, true, true, false, false}},
      // The decision table's «ОДУ» option is the forecast's TAC: a new
      // forecast, or the end of the old one, takes the table with it.
      {"another rule chosen",
       [](Road& r) { rules::ChooseRule(r.state, 1); },
       {Stage::RuleChoice},
       {true, true, true, true, true, false, false}},
      {"a new forecast",
       [](Road& r) {
         projection::BuildForecast(r.state,
                                   projection::ForecastOptionsFor(r.state, 5, true, "", "", '.'));
       },
       {Stage::Forecast},
       {true, true, true, true, true, true, false}},
      {"a new observation-error fit",
       [](Road& r) { estimation::EstimateObservationError(r.state, {false, r.bounds}); },
       {Stage::ObservationError},
       {true, true, true, true, true, true, true}},
      {"the chosen rule deleted",
       [](Road& r) { rules::DeleteRule(r.state, 0); },
       {Stage::RuleList, Stage::RuleChoice},
       {true, true, true, true, false, false, false}},
      {"another Blim chosen",
       [](Road& r) { refpoints::ChangeSelector(r.state, refpoints::Selector::LimitBiomass, 1); },
       {Stage::LimitBiomass},
       {true, true, true, false, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Road r = road;
    c.change(r);
    EXPECT_EQ(ByTheTable(c.changed), c.after);
    EXPECT_EQ(Of(r.state), c.after);
    EXPECT_FALSE(r.state.RuleList.empty());
    if (!c.after.reference) {
      for (const model::ModelFit& fit : r.state.ModelFits) EXPECT_EQ(fit.BMSY, 0.0);
    }
    if (!c.after.forecast) {
      // No report of an earlier result: the forecast must be drawn again.
      EXPECT_FALSE(r.state.Forecast.has_value());
    }
  }
}

// Everything of a state a transition may touch, as text.
std::string Fingerprint(const AssessmentState& s) {
  std::ostringstream out;
  out.precision(17);
  out << s.Random.Seed() << '|' << s.Table.RowCount() << '|' << s.LoadedSeries.size() << '|'
      << s.AnalysisSeries.size() << '|' << s.SuitabilityChecked << '|' << s.PTExponent << '|'
      << int(s.MedianKeepCount) << '|' << s.ModelChoiceText << '|' << s.DataFileName << '|';
  for (const model::ModelFit& f : s.ModelFits) {
    out << int(f.Enabled) << ' ' << f.R << ' ' << f.K << ' ' << f.Q << ' ' << f.ObjectiveValue
        << ' ' << f.Exponent << ' ' << int(f.Origin) << ' ' << f.BMSY << ' ' << f.BTarget << ';';
  }
  for (std::uint8_t a : s.ActiveVariants) out << int(a) << ',';
  out << '|' << s.ReferencePoints.Tabs.size() << '|' << s.Indicators.Evaluated << ' '
      << s.Indicators.Rows.size() << '|' << (s.ChosenRule ? int(*s.ChosenRule) : -1) << '|'
      << s.RuleList.size() << '|';
  if (s.Uncertainty)
    out << s.Uncertainty->Seed << ' ' << s.Uncertainty->Of(uncertainty::Quantity::Msy).Lower;
  out << '|';
  if (s.Forecast) {
    for (const std::string& line : s.Forecast->ReportLines) out << line << '\n';
  }
  for (const std::string& line : uncertainty::DecisionSectionOf(s, 0)) out << line << '\n';
  return out.str();
}

// A transition that fails leaves the state as it was, the random stream
// too, also when it fails half-way.
TEST(Transitions, AFailureChangesNothing) {
  const Road road;
  const data::DataFile simulated =
      data::ReadDataFile(Example("schaefer_simulated_1990_2019.txt"), '.');
  struct Case {
    const char* name;
    std::function<void(Road&)> prepare;  // what the failing step starts from
    std::function<void(Road&)> fail;
  };
  const auto nothing = [](Road&) {};
  const Case cases[] = {
      {"opening with a bad cut-off list", nothing,
       [&](Road& r) { estimation::OpenDataSet(r.state, simulated, "simulated.txt", "2,x"); }},
      {"a paste that does not read", nothing,
       [](Road& r) { estimation::PasteDataSet(r.state, "2001\tx\t40\t100", '.'); }},
      {"an unknown model", nothing,
       [](Road& r) {
         estimation::ChooseModelAndRefit(r.state, r.state.Table, "Шефер", r.request,
                                         Road::Search());
       }},
      {"a search stopped half-way",
       [](Road& r) { estimation::SetVariantEnabled(r.state, 1, true); },
       [](Road& r) {
         estimation::SearchOptions options = Road::Search();
         // The second variant's first report: the first one is done.
         options.OnProgress = [](int done, int) {
           if (done >= 100) throw Error("остановлено");
         };
         estimation::RunEstimation(r.state, r.state.Table, r.request, options);
       }},
      {"a hold-out refit stopped half-way",
       [](Road& r) {
         r.request.HoldOutYears = 3;
         estimation::MatchAnalysisSeries(r.state, r.state.Table, 3, '.');
       },
       [](Road& r) {
         estimation::SearchOptions options = Road::Search();
         // The refit on every year starts after the one without 3 years.
         int runs = 0;
         options.OnProgress = [&runs](int done, int) {
           if (done == 0 && ++runs == 2) throw Error("остановлено");
         };
         estimation::ChooseModelAndRefit(r.state, r.state.Table, "Шефер Лог", r.request, options);
       }},
      {"reference points of an unfitted variant",
       [](Road& r) { estimation::SetVariantEnabled(r.state, 3, true); },
       [](Road& r) { refpoints::UpdateReferencePoints(r.state, refpoints::ReferenceSelectors{}); }},
      {"a selector before the computation", [](Road& r) { ClearReferencePoints(r.state); },
       [](Road& r) { refpoints::ChangeSelector(r.state, refpoints::Selector::TargetEffort, 1); }},
      {"a forecast of a year that is no number",
       [](Road& r) { r.state.Table.SetCell(data::DataTable::kYear, 22, "19x5"); },
       [](Road& r) {
         projection::BuildForecast(r.state,
                                   projection::ForecastOptionsFor(r.state, 3, true, "", "", '.'));
       }},
      {"a decision table without reference points", [](Road& r) { ClearReferencePoints(r.state); },
       [](Road& r) { uncertainty::UpdateDecisionTable(r.state, Road::Decision(r.bounds)); }},
      {"a decision table of a bad option list", nothing,
       [](Road& r) {
         uncertainty::DecisionRequest request = Road::Decision(r.bounds);
         request.Horizon = 0;
         uncertainty::UpdateDecisionTable(r.state, request);
       }},
      {"a decision table stopped half-way", nothing,
       [](Road& r) {
         uncertainty::DecisionRequest request = Road::Decision(r.bounds);
         request.Seed = 2;
         request.OnProgress = [](int done, int) {
           if (done > 500) throw Error("остановлено");
         };
         uncertainty::UpdateDecisionTable(r.state, request);
       }},
      {"a bootstrap stopped by a fault in a pair",
       [](Road& r) {
         // A second variant whose retrospective biomass is 0.
         r.state.ModelFits[1] = r.state.ModelFits[0];
         r.state.ModelFits[1].Q = 1.0;
         r.state.ActiveVariants = {0, 1};
       },
       [](Road& r) {
         projection::BootstrapOptions options;
         options.RunsText = "20";
         projection::EvaluateRulesByBootstrap(r.state, options);
       }},
  };
  std::stop_source stop;
  stop.request_stop();
  const Case more[] = {
      {"confidence intervals without a model chosen", [](Road& r) { ClearModelChoice(r.state); },
       [](Road& r) { uncertainty::EstimateUncertainty(r.state, r.bounds, Road::Bootstrap()); }},
      {"confidence intervals stopped", nothing,
       [&](Road& r) {
         uncertainty::BootstrapOptions options = Road::Bootstrap();
         options.Seed = 7;
         options.Stop = stop.get_token();
         uncertainty::EstimateUncertainty(r.state, r.bounds, options);
       }},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  all.insert(all.end(), std::begin(more), std::end(more));
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    Road r = road;
    c.prepare(r);
    const std::string before = Fingerprint(r.state);
    EXPECT_THROW(c.fail(r), Error);
    EXPECT_EQ(Fingerprint(r.state), before);
  }
}

// A forecast drawn after the intervals reports them after every line the
// report had without them, in both reports; the file can hold them.
TEST(Transitions, TheForecastAfterTheIntervalsReportsThemAtTheEnd) {
  const Road road;
  projection::TacReportInput input = road.state.Forecast->Report;
  ASSERT_FALSE(input.UncertaintyLines.empty());
  const auto withSection = [&] {
    return std::array{projection::ScreenReportLines(input), projection::TacReportFileLines(input)};
  }();
  EXPECT_NO_THROW(projection::EncodeReportFile(withSection[1]));
  input.UncertaintyLines.clear();
  const auto without =
      std::array{projection::ScreenReportLines(input), projection::TacReportFileLines(input)};
  for (std::size_t k = 0; k < 2; ++k) {
    ASSERT_EQ(withSection[k].size(),
              without[k].size() + 1 + road.state.Forecast->Report.UncertaintyLines.size());
    EXPECT_TRUE(std::equal(without[k].begin(), without[k].end(), withSection[k].begin()));
    EXPECT_EQ(withSection[k][without[k].size() + 1].rfind("Доверительные интервалы (", 0), 0u);
  }
}

// The decision table: the page-3 Blim of the chosen record, the forecast's
// TAC as an option, the procedure's random stream untouched, and a bootstrap
// handed over is used only when it was made for the record as it is.
TEST(Transitions, TheDecisionTableRestsOnTheChosenRecordAlone) {
  Road r;
  const uncertainty::DecisionTableResult& first = *r.state.Decision;
  EXPECT_EQ(first.Table.BlimFraction, 0.1);
  EXPECT_EQ(first.Table.FirstYear, r.state.Forecast->OriginYear + 1);
  EXPECT_TRUE(first.BootstrapRunHere);
  bool hasTac = false;
  for (const uncertainty::OptionOutlook& row : first.Table.Rows) {
    if (row.Option.Kind == uncertainty::CatchOptionKind::RuleTac) {
      hasTac = true;
      EXPECT_EQ(row.Option.Catch, r.state.Forecast->CatchMean.front());
    }
  }
  EXPECT_TRUE(hasTac);

  refpoints::ChangeSelector(r.state, refpoints::Selector::LimitBiomass, 3);  // 0.5·BMSY
  const std::uint32_t seed = r.state.Random.Seed();
  uncertainty::BootstrapOptions options;
  options.Replicates = uncertainty::kMinReplicates;
  options.Seed = 7;
  const uncertainty::BootstrapResult mine =
      uncertainty::BootstrapProcedure(r.state, 0, r.bounds, options);
  uncertainty::UpdateDecisionTable(r.state, Road::Decision(r.bounds), &mine);
  EXPECT_EQ(r.state.Random.Seed(), seed);
  EXPECT_EQ(r.state.Decision->Table.BlimFraction, 0.5);
  EXPECT_FALSE(r.state.Decision->BootstrapRunHere);
  EXPECT_EQ(r.state.Decision->Table.Seed, 7u);

  uncertainty::BootstrapResult stale = mine;
  stale.Estimate.R *= 1.01;
  uncertainty::UpdateDecisionTable(r.state, Road::Decision(r.bounds), &stale);
  EXPECT_TRUE(r.state.Decision->BootstrapRunHere);
  EXPECT_EQ(r.state.Decision->Table.Seed, 1u);
}

// The Blim selector is the one source of the fraction: changed before the
// reference points are computed, it is stored (the bootstrap made with the
// old one goes), it outlives a new model choice, and the computation after
// draws Blim with it.
TEST(Transitions, TheBlimFractionIsStoredBeforeTheComputationAndKept) {
  Road r;
  estimation::ChooseModel(r.state, "Шефер Лог");  // the reference points go
  ASSERT_TRUE(r.state.ReferencePoints.Tabs.empty());
  uncertainty::EstimateUncertainty(r.state, r.bounds, Road::Bootstrap());
  EXPECT_EQ(r.state.Uncertainty->BlimFraction, 0.1);

  refpoints::ChangeSelector(r.state, refpoints::Selector::LimitBiomass, 2);
  EXPECT_EQ(r.state.ReferencePoints.LimitFraction, 0.3);
  EXPECT_FALSE(r.state.Uncertainty.has_value());

  const AssessmentState before = r.state;
  EXPECT_THROW(refpoints::ChangeSelector(r.state, refpoints::Selector::LimitBiomass, 4), Error);
  EXPECT_EQ(Fingerprint(r.state), Fingerprint(before));
  EXPECT_EQ(r.state.ReferencePoints.LimitFraction, 0.3);

  estimation::ChooseModel(r.state, "Шефер СК");
  EXPECT_EQ(r.state.ReferencePoints.LimitFraction, 0.3);
  refpoints::UpdateReferencePoints(r.state, refpoints::ReferenceSelectors{0, 0, 2}, '.');
  const model::ModelFit& fit = r.state.ModelFits[*estimation::ChosenVariant(r.state)];
  EXPECT_NEAR(fit.BLimit / fit.BMSY, 0.3, 1e-3);  // both rounded to 0.1 t
}

// Adopted observation-error estimates are bootstrapped by their own
// estimator, and the decision table projects those replicates.
TEST(Transitions, AdoptedObservationErrorEstimatesKeepTheirEstimatorDownstream) {
  Road r;
  estimation::EstimateObservationError(r.state, {false, r.bounds});
  ASSERT_FALSE(estimation::ObservationErrorAdoptionRefusal(r.state, 0).has_value());
  estimation::AdoptObservationError(r.state, 0);
  refpoints::UpdateReferencePoints(r.state, refpoints::ReferenceSelectors{}, '.');
  uncertainty::EstimateUncertainty(r.state, r.bounds, Road::Bootstrap());
  EXPECT_EQ(r.state.Uncertainty->Method, uncertainty::Estimator::ObservationError);
  uncertainty::UpdateDecisionTable(r.state, Road::Decision(r.bounds), &*r.state.Uncertainty);
  EXPECT_FALSE(r.state.Decision->BootstrapRunHere);

  // New fits: the bootstrap of the old ones, and the table that projected
  // it with the new fit's σ, are gone; the adopted record stays.
  const model::ModelFit adopted = r.state.ModelFits[0];
  estimation::EstimateObservationError(r.state, {true, r.bounds});
  EXPECT_FALSE(r.state.Uncertainty.has_value());
  EXPECT_FALSE(r.state.Decision.has_value());
  EXPECT_EQ(r.state.ModelFits[0].R, adopted.R);
  EXPECT_TRUE(r.state.ObservationError.EstimateB1);
}

}  // namespace
}  // namespace tarvik
