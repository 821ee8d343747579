#include "assessment/journal.h"

#include <cmath>
#include <exception>
#include <initializer_list>
#include <limits>
#include <utility>

#include <nlohmann/json.hpp>

#include "assessment/data_set.h"
#include "assessment/decision_table.h"
#include "assessment/fit_checks.h"
#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/observation_error.h"
#include "assessment/reference_points.h"
#include "assessment/refinement.h"
#include "assessment/rules.h"
#include "assessment/search.h"
#include "assessment/state_space.h"
#include "assessment/suitability.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "common/numbers.h"
#include "data/data_file.h"
#include "estimation/variants.h"

namespace tarvik::assessment {
namespace {

using Json = nlohmann::json;

// How deep the running transitions are nested on this thread.
thread_local int depth = 0;

RecordedStep Make(std::string transition, const Json& inputs) {
  return {std::move(transition), inputs.dump()};
}

std::string Mark(char mark) { return std::string(1, mark); }

Json BoundsJson(const estimation::ParameterBounds& b) {
  return {{"min_r", b.MinR}, {"max_r", b.MaxR}, {"min_k", b.MinK}, {"max_k", b.MaxK},
          {"min_q", b.MinQ}, {"max_q", b.MaxQ}, {"min_p", b.MinP}, {"max_p", b.MaxP}};
}

Json TextsJson(const estimation::SearchTexts& t) {
  return {{"initial_r", t.InitialR}, {"initial_k", t.InitialK}, {"initial_q", t.InitialQ},
          {"min_r", t.MinR},         {"max_r", t.MaxR},         {"min_k", t.MinK},
          {"max_k", t.MaxK},         {"min_q", t.MinQ},         {"max_q", t.MaxQ}};
}

Json RequestJson(const estimation::EstimationRequest& r) {
  return {{"texts", TextsJson(r.Texts)},
          {"decimal_mark", Mark(r.DecimalMark)},
          {"trim_position", r.TrimPosition},
          {"hold_out_years", r.HoldOutYears}};
}

Json PointJson(const estimation::ParameterPoint& p) {
  return {{"r", p.r}, {"K", p.K}, {"q", p.q}, {"p", p.p}};
}

Json OptionalIndex(std::optional<std::size_t> index) {
  return index ? Json(*index) : Json(nullptr);
}

Json ForecastJson(const projection::ForecastOptions& o) {
  return {{"variant", o.Variant},
          {"model_choice_text", o.ModelChoiceText},
          {"rule", o.Rule},
          {"rule_text", o.RuleText},
          {"horizon", o.Horizon},
          {"add_noise", o.AddNoise},
          {"years", o.YearTexts},
          {"species", o.Species},
          {"stock", o.Stock},
          {"results", {{"r", o.Results.R}, {"K", o.Results.K}, {"q", o.Results.Q}, {"L", o.Results.L}}},
          {"decimal_mark", Mark(o.DecimalMark)}};
}

// --- Reading a step's inputs: every fault names the field.

[[noreturn]] void Bad(const std::string& key, const std::string& what) {
  throw Error("поле «" + key + "»: " + what);
}

const Json& Field(const Json& inputs, const std::string& key) {
  if (!inputs.is_object()) throw Error("ожидается объект входных данных");
  const auto it = inputs.find(key);
  if (it == inputs.end()) Bad(key, "нет такого поля");
  return *it;
}

std::string Text(const Json& inputs, const std::string& key) {
  const Json& v = Field(inputs, key);
  if (!v.is_string()) Bad(key, "ожидается текст");
  return v.get<std::string>();
}

long long Integer(const Json& inputs, const std::string& key, long long low, long long high) {
  const Json& v = Field(inputs, key);
  if (!v.is_number_integer()) Bad(key, "ожидается целое число");
  if (v.is_number_unsigned() &&
      v.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    Bad(key, "значение вне допустимого диапазона " + std::to_string(low) + " … " +
                 std::to_string(high));
  }
  const long long n = v.get<long long>();
  if (n < low || n > high) {
    Bad(key, "значение " + std::to_string(n) + " вне допустимого диапазона " +
                 std::to_string(low) + " … " + std::to_string(high));
  }
  return n;
}

double Number(const Json& inputs, const std::string& key) {
  const Json& v = Field(inputs, key);
  if (!v.is_number()) Bad(key, "ожидается число");
  const double x = v.get<double>();
  if (!std::isfinite(x)) Bad(key, "число вне диапазона");
  return x;
}

bool Flag(const Json& inputs, const std::string& key) {
  const Json& v = Field(inputs, key);
  if (!v.is_boolean()) Bad(key, "ожидается true или false");
  return v.get<bool>();
}

std::optional<std::size_t> OptionalIndexOf(const Json& inputs, const std::string& key) {
  if (Field(inputs, key).is_null()) return std::nullopt;
  return static_cast<std::size_t>(Integer(inputs, key, 0, 1000000));
}

char RecordedMark(const Json& inputs) {
  const std::string mark = Text(inputs, "decimal_mark");
  if (mark != "." && mark != ",") Bad("decimal_mark", "ожидается «.» или «,»");
  return mark[0];
}

// A number typed with the recorded mark, as typed with `mark`.
std::string Numeric(const std::string& text, char recorded, char mark) {
  return recorded == mark ? text : data::NormaliseDecimalMark(text, mark);
}

estimation::ParameterBounds BoundsOf(const Json& inputs, const std::string& key) {
  const Json& b = Field(inputs, key);
  estimation::ParameterBounds out;
  out.MinR = Number(b, "min_r");
  out.MaxR = Number(b, "max_r");
  out.MinK = Number(b, "min_k");
  out.MaxK = Number(b, "max_k");
  out.MinQ = Number(b, "min_q");
  out.MaxQ = Number(b, "max_q");
  out.MinP = Number(b, "min_p");
  out.MaxP = Number(b, "max_p");
  return out;
}

estimation::SearchTexts TextsOf(const Json& inputs, char recorded, char mark) {
  const Json& t = Field(inputs, "texts");
  auto text = [&](const char* key) { return Numeric(Text(t, key), recorded, mark); };
  estimation::SearchTexts out;
  out.InitialR = text("initial_r");
  out.InitialK = text("initial_k");
  out.InitialQ = text("initial_q");
  out.MinR = text("min_r");
  out.MaxR = text("max_r");
  out.MinK = text("min_k");
  out.MaxK = text("max_k");
  out.MinQ = text("min_q");
  out.MaxQ = text("max_q");
  return out;
}

estimation::EstimationRequest RequestOf(const Json& inputs, char mark) {
  estimation::EstimationRequest r;
  r.Texts = TextsOf(inputs, RecordedMark(inputs), mark);
  r.DecimalMark = mark;
  r.TrimPosition = static_cast<int>(Integer(inputs, "trim_position", 0, 9));
  r.HoldOutYears = static_cast<int>(Integer(inputs, "hold_out_years", 0, 255));
  return r;
}

estimation::ParameterPoint PointOf(const Json& inputs, const std::string& key) {
  const Json& p = Field(inputs, key);
  return {Number(p, "r"), Number(p, "K"), Number(p, "q"), Number(p, "p")};
}

projection::ForecastOptions ForecastOf(const Json& inputs, char mark) {
  const char recorded = RecordedMark(inputs);
  projection::ForecastOptions o;
  o.Variant = static_cast<std::uint8_t>(Integer(inputs, "variant", 0, 255));
  o.ModelChoiceText = Text(inputs, "model_choice_text");
  o.Rule = static_cast<std::size_t>(Integer(inputs, "rule", 0, 1000000));
  o.RuleText = Numeric(Text(inputs, "rule_text"), recorded, mark);
  o.Horizon = static_cast<int>(Integer(inputs, "horizon", 1, projection::kMaxForecastHorizon));
  o.AddNoise = Flag(inputs, "add_noise");
  const Json& years = Field(inputs, "years");
  if (!years.is_array()) Bad("years", "ожидается список");
  for (const Json& year : years) {
    if (!year.is_string()) Bad("years", "ожидается текст");
    o.YearTexts.push_back(year.get<std::string>());
  }
  o.Species = Text(inputs, "species");
  o.Stock = Text(inputs, "stock");
  const Json& results = Field(inputs, "results");
  o.Results.R = Numeric(Text(results, "r"), recorded, mark);
  o.Results.K = Numeric(Text(results, "K"), recorded, mark);
  o.Results.Q = Numeric(Text(results, "q"), recorded, mark);
  o.Results.L = Numeric(Text(results, "L"), recorded, mark);
  o.DecimalMark = mark;
  return o;
}

data::DataTable TableOf(const Json& rows) {
  if (!rows.is_array() || rows.empty() || rows.size() > data::kMaxYears + 1) {
    Bad("table", "ожидается список от 1 до " + std::to_string(data::kMaxYears + 1) + " строк");
  }
  data::DataTable table;
  table.SetRowCount(static_cast<int>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r].is_array() || rows[r].size() != data::DataTable::kColumns) {
      Bad("table", "строка " + std::to_string(r) + ": ожидается " +
                       std::to_string(data::DataTable::kColumns) + " ячейки");
    }
    for (int c = 0; c < data::DataTable::kColumns; ++c) {
      if (!rows[r][c].is_string()) Bad("table", "строка " + std::to_string(r) + ": ожидается текст");
      table.SetCell(c, static_cast<int>(r), rows[r][c].get<std::string>());
    }
  }
  return table;
}

std::vector<double> Numbers(const Json& inputs, const std::string& key) {
  const Json& list = Field(inputs, key);
  if (!list.is_array() || list.size() > data::kMaxYears) Bad(key, "ожидается список чисел");
  std::vector<double> out;
  for (const Json& x : list) {
    if (!x.is_number() || !std::isfinite(x.get<double>())) Bad(key, "ожидается список чисел");
    out.push_back(x.get<double>());
  }
  return out;
}

rules::HarvestRule RuleOf(const Json& r) {
  rules::HarvestRule rule;
  rule.Kind = static_cast<rules::RuleKind>(Integer(r, "kind", 0, 3));
  rule.Alpha = Number(r, "alpha");
  rule.Beta = Number(r, "beta");
  rule.TargetKind = static_cast<rules::FTargetKind>(Integer(r, "target", 0, 4));
  return rule;
}

uncertainty::DecisionRequest DecisionRequestOf(const Json& in, char mark) {
  uncertainty::DecisionRequest r;
  r.Entries.clear();
  const Json& entries = Field(in, "entries");
  if (!entries.is_array()) Bad("entries", "ожидается список вариантов улова");
  for (const Json& e : entries) {
    r.Entries.push_back({static_cast<uncertainty::CatchOptionKind>(Integer(e, "kind", 0, 3)),
                         Number(e, "value")});
  }
  r.Risk = Number(in, "risk");
  r.Criterion = static_cast<uncertainty::RiskCriterion>(Integer(in, "criterion", 0, 2));
  r.ProcessSigma = Number(in, "process_sigma");
  r.ProcessSource =
      static_cast<uncertainty::ProcessErrorSource>(Integer(in, "process_source", 0, 1));
  r.Horizon = static_cast<int>(Integer(in, "horizon", 1, 1000));
  r.Replicates = static_cast<int>(Integer(in, "replicates", 0, 1000000));
  r.Seed =
      static_cast<std::uint64_t>(Integer(in, "seed", 0, std::numeric_limits<long long>::max()));
  r.Level = static_cast<int>(Integer(in, "level", 0, 100));
  r.Bounds = BoundsOf(in, "bounds");
  r.DecimalMark = mark;
  return r;
}

rules::RuleEditor RuleEditorOf(const Json& in, char mark) {
  const char recorded = RecordedMark(in);
  rules::RuleEditor e;
  e.Shape = static_cast<rules::RuleKind>(Integer(in, "shape", 0, 3));
  e.AlphaText = Numeric(Text(in, "alpha"), recorded, mark);
  e.BetaText = Numeric(Text(in, "beta"), recorded, mark);
  e.TargetIndex = static_cast<int>(Integer(in, "target", -1, 4));
  return e;
}

projection::BootstrapOptions EvaluationOf(const Json& in, char mark) {
  projection::BootstrapOptions o;
  o.Parametric = Flag(in, "parametric");
  o.Horizon = static_cast<int>(Integer(in, "horizon", 1, 50));
  o.RunsText = Text(in, "runs");
  o.DecimalMark = mark;
  return o;
}

// The rules the data set found in the state (the list outlives a data set).
void RestoreCarriedRules(AssessmentState& state, const Json& inputs) {
  const Json& list = Field(inputs, "rules");
  if (!list.is_array() || list.size() > rules::kMaxRules) Bad("rules", "ожидается список ПРП");
  std::vector<rules::HarvestRule> ruleList;
  std::vector<std::string> names;
  for (const Json& r : list) {
    ruleList.push_back(RuleOf(r));
    names.push_back(Text(r, "name"));
  }
  const std::optional<std::size_t> chosen = OptionalIndexOf(inputs, "chosen_rule");
  if (chosen && *chosen >= ruleList.size()) Bad("chosen_rule", "нет ПРП с таким номером");
  state.RuleList = std::move(ruleList);
  state.RuleNames = std::move(names);
  state.ChosenRule = chosen;
}

void Apply(AssessmentState& state, const Step& step, const AssessmentFile& file,
           const ReplayOptions& options) {
  const Json& in = step.Inputs;
  const std::string& name = step.Transition;
  const char mark = options.DecimalMark;
  estimation::SearchOptions search;
  search.Threads = options.Threads;
  search.MaxFailures = options.MaxFailures;
  if (name == "open_data_set") {
    data::DataFile data;
    data.description = file.Description;
    data.table = file.Table;
    data.series = data::RebuildLoadedSeries(file.Table, mark);
    AssessmentState next = state;
    RestoreCarriedRules(next, in);
    estimation::OpenDataSet(next, data, Text(in, "file_name"), Text(in, "cut_off_list"));
    state = std::move(next);
  } else if (name == "edit_cell") {
    const int column = static_cast<int>(Integer(in, "column", 0, data::DataTable::kColumns - 1));
    const int row = static_cast<int>(Integer(in, "row", 0, state.Table.RowCount() - 1));
    std::string text = Text(in, "text");
    if (row > 0) text = Numeric(text, RecordedMark(in), mark);
    estimation::EditCell(state, column, row, std::move(text));
  } else if (name == "paste_data_set") {
    estimation::PasteDataSet(state, Numeric(Text(in, "text"), RecordedMark(in), mark), mark);
  } else if (name == "replace_data_set") {
    data::DataTable table = TableOf(Field(in, "table"));
    const char recorded = RecordedMark(in);
    for (int r = 1; r < table.RowCount(); ++r) {
      for (int c = 0; c < data::DataTable::kColumns; ++c) {
        table.SetCell(c, r, Numeric(table.Cell(c, r), recorded, mark));
      }
    }
    const Json& loaded = Field(in, "loaded");
    data::CatchEffortSeries series;
    series.U = Numbers(loaded, "U");
    series.E = Numbers(loaded, "E");
    series.C = Numbers(loaded, "C");
    series.FirstYear = static_cast<std::uint16_t>(Integer(loaded, "first_year", 0, 65535));
    if (series.E.size() != series.U.size() || series.C.size() != series.U.size()) {
      Bad("loaded", "ряды U, E, C разной длины");
    }
    estimation::ReplaceDataSet(state, std::move(table), std::move(series));
  } else if (name == "rebuild_variants") {
    estimation::RebuildVariants(state, Text(in, "cut_off_list"));
  } else if (name == "enable_variant") {
    estimation::SetVariantEnabled(state, static_cast<std::size_t>(Integer(in, "index", 0, 255)),
                                  Flag(in, "enabled"));
  } else if (name == "enable_model") {
    estimation::SetModelEnabled(state,
                                static_cast<model::ProductionModelKind>(Integer(in, "kind", 0, 2)),
                                Flag(in, "enabled"));
  } else if (name == "suitability_check") {
    RecordedMark(in);  // the check reads the table with the replay's mark
    const data::DataTable table = state.Table;
    data::SuitabilityCheck(table, static_cast<int>(Integer(in, "held_out_years", 0, 255)), mark,
                           state);
  } else if (name == "search") {
    const data::DataTable table = state.Table;
    estimation::RunEstimation(state, table, RequestOf(in, mark), search);
  } else if (name == "choose_model") {
    const std::string label = Text(in, "label");
    if (Field(in, "refit").is_null()) {
      estimation::ChooseModel(state, label);
    } else {
      const data::DataTable table = state.Table;
      estimation::ChooseModelAndRefit(state, table, label, RequestOf(Field(in, "refit"), mark),
                                      search);
    }
  } else if (name == "adopt_refinement") {
    estimation::VariantRefinement v;
    v.Index = static_cast<std::size_t>(Integer(in, "index", 0, 255));
    v.Label = Text(in, "label");
    v.Available = true;
    v.SearchPoint = PointOf(in, "search_point");
    v.SearchObjective = Number(in, "search_objective");
    v.Point = PointOf(in, "point");
    v.Objective = Number(in, "objective");
    estimation::AdoptRefinement(state, v);
  } else if (name == "estimate_observation_error") {
    estimation::ObservationErrorOptions o;
    o.EstimateB1 = Flag(in, "estimate_b1");
    o.Bounds = BoundsOf(in, "bounds");
    estimation::EstimateObservationError(state, o);
  } else if (name == "adopt_observation_error") {
    estimation::AdoptObservationError(state, static_cast<std::size_t>(Integer(in, "index", 0, 255)));
  } else if (name == "estimate_state_space") {
    estimation::StateSpaceOptions o;
    o.EstimateB1 = Flag(in, "estimate_b1");
    o.Level = Number(in, "level");
    o.SigmaPPrior = Flag(in, "sigma_p_prior");
    o.SigmaPLogMean = Number(in, "sigma_p_log_mean");
    o.SigmaPLogSd = Number(in, "sigma_p_log_sd");
    o.StartBounds = BoundsOf(in, "start_bounds");
    estimation::EstimateStateSpace(state, o);
  } else if (name == "adopt_state_space") {
    estimation::AdoptStateSpace(state, static_cast<std::size_t>(Integer(in, "index", 0, 255)));
  } else if (name == "reference_points") {
    refpoints::ReferenceSelectors s;
    s.Btg = static_cast<int>(Integer(in, "btg", 0, 2));
    s.Etg = static_cast<int>(Integer(in, "etg", 0, 2));
    s.Blim = static_cast<int>(Integer(in, "blim", 0, 3));
    refpoints::UpdateReferencePoints(state, s, mark);
  } else if (name == "change_selector") {
    refpoints::ChangeSelector(state, static_cast<refpoints::Selector>(Integer(in, "selector", 0, 2)),
                              static_cast<int>(Integer(in, "choice", 0, 3)), mark);
  } else if (name == "confidence_intervals") {
    uncertainty::BootstrapOptions o;
    o.Replicates = static_cast<int>(Integer(in, "replicates", 0, 1000000));
    o.Seed = static_cast<std::uint64_t>(
        Integer(in, "seed", 0, std::numeric_limits<long long>::max()));
    o.Level = static_cast<int>(Integer(in, "level", 0, 100));
    o.BlimFraction = Number(in, "blim_fraction");
    uncertainty::EstimateUncertainty(state, BoundsOf(in, "bounds"), o);
  } else if (name == "add_rule") {
    rules::AddRule(state, RuleEditorOf(in, mark), mark);
  } else if (name == "delete_rule") {
    rules::DeleteRule(state, OptionalIndexOf(in, "selected"));
  } else if (name == "choose_rule") {
    rules::ChooseRule(state, OptionalIndexOf(in, "rule"));
  } else if (name == "optimise_rule") {
    rules::OptimisePageRequest r;
    r.Shape = static_cast<rules::RuleKind>(Integer(in, "shape", 0, 3));
    if (!Field(in, "variant").is_null()) {
      r.ChosenVariant = static_cast<std::uint8_t>(Integer(in, "variant", 0, 255));
    }
    r.Horizon = static_cast<int>(Integer(in, "horizon", 1, projection::kMaxForecastHorizon));
    r.Threads = static_cast<unsigned>(options.Threads);
    rules::OptimiseRule(state, r, mark);
  } else if (name == "evaluate_rules") {
    projection::EvaluateRulesByBootstrap(state, EvaluationOf(in, mark));
  } else if (name == "forecast") {
    projection::BuildForecast(state, ForecastOf(in, mark));
  } else if (name == "sensitivity") {
    projection::RunSensitivityAnalysis(
        state, ForecastOf(Field(in, "forecast"), mark),
        static_cast<projection::SensitivityParameter>(Integer(in, "parameter", 0, 2)),
        static_cast<int>(Integer(in, "step", 5, 50)));
  } else if (name == "decision_table") {
    const uncertainty::DecisionRequest request = DecisionRequestOf(in, mark);
    const bool handedOver = Flag(in, "handed_over");
    uncertainty::UpdateDecisionTable(
        state, request, handedOver && state.Uncertainty ? &*state.Uncertainty : nullptr);
  } else if (name == "retrospective") {
    const data::DataTable table = state.Table;
    estimation::RetrospectiveOptions o;
    o.Threads = options.Threads;
    o.MaxFailures = options.MaxFailures;
    estimation::RunRetrospective(state, table,
                                 static_cast<std::size_t>(Integer(in, "variant", 0, 255)),
                                 TextsOf(in, RecordedMark(in), mark), mark, o);
  } else {
    throw Error("неизвестный переход");
  }
}

std::string Shown(double x) { return FormatGeneral(x, ','); }

}  // namespace

StepScope::StepScope(AssessmentState& state) : state_(state), outermost_(depth == 0) { ++depth; }

StepScope::~StepScope() { --depth; }

void StepScope::Commit(RecordedStep step) {
  if (!outermost_) return;
  AssessmentJournal& journal = state_.Journal;
  ++journal.Revision;
  journal.Steps.push_back(std::move(step));
}

void StepScope::CommitStart(RecordedStep step, const data::DataTable& table,
                            const data::DataDescription& description, std::uint32_t seed) {
  if (!outermost_) return;
  AssessmentJournal& journal = state_.Journal;
  ++journal.Revision;
  journal.SeedAtStart = seed;
  journal.TableAtStart = table;
  journal.Description = description;
  journal.Steps.assign(1, std::move(step));
}

namespace steps {

RecordedStep OpenDataSet(const AssessmentState& state, const std::string& path,
                         std::string_view cutOffList) {
  Json list = Json::array();
  for (std::size_t i = 0; i < state.RuleList.size(); ++i) {
    const rules::HarvestRule& r = state.RuleList[i];
    list.push_back({{"kind", static_cast<int>(r.Kind)},
                    {"alpha", r.Alpha},
                    {"beta", r.Beta},
                    {"target", static_cast<int>(r.TargetKind)},
                    {"name", state.RuleNames[i]}});
  }
  return Make("open_data_set", {{"file_name", path},
                                {"cut_off_list", std::string(cutOffList)},
                                {"rules", std::move(list)},
                                {"chosen_rule", OptionalIndex(state.ChosenRule)}});
}

RecordedStep EditCell(int column, int row, const std::string& text, char decimalMark) {
  return Make("edit_cell", {{"column", column}, {"row", row}, {"text", text},
                            {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep PasteDataSet(std::string_view clipboardText, char decimalMark) {
  return Make("paste_data_set",
              {{"text", std::string(clipboardText)}, {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep ReplaceDataSet(const data::DataTable& table, const data::CatchEffortSeries& loaded,
                            char decimalMark) {
  Json rows = Json::array();
  for (int r = 0; r < table.RowCount(); ++r) {
    Json row = Json::array();
    for (int c = 0; c < data::DataTable::kColumns; ++c) row.push_back(table.Cell(c, r));
    rows.push_back(std::move(row));
  }
  return Make("replace_data_set",
              {{"table", std::move(rows)},
               {"decimal_mark", Mark(decimalMark)},
               {"loaded", {{"first_year", loaded.FirstYear}, {"U", loaded.U}, {"E", loaded.E},
                           {"C", loaded.C}}}});
}

RecordedStep RebuildVariants(std::string_view cutOffList) {
  return Make("rebuild_variants", {{"cut_off_list", std::string(cutOffList)}});
}

RecordedStep EnableVariant(std::size_t index, bool enabled) {
  return Make("enable_variant", {{"index", index}, {"enabled", enabled}});
}

RecordedStep EnableModel(model::ProductionModelKind kind, bool enabled) {
  return Make("enable_model", {{"kind", static_cast<int>(kind)}, {"enabled", enabled}});
}

RecordedStep SuitabilityCheck(int heldOutYears, char decimalMark) {
  return Make("suitability_check",
              {{"held_out_years", heldOutYears}, {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep Search(const estimation::EstimationRequest& request) {
  return Make("search", RequestJson(request));
}

RecordedStep ChooseModel(std::string_view label, const estimation::EstimationRequest* refit) {
  return Make("choose_model", {{"label", std::string(label)},
                               {"refit", refit ? RequestJson(*refit) : Json(nullptr)}});
}

RecordedStep AdoptRefinement(const estimation::VariantRefinement& v) {
  return Make("adopt_refinement", {{"index", v.Index},
                                   {"label", v.Label},
                                   {"search_point", PointJson(v.SearchPoint)},
                                   {"search_objective", v.SearchObjective},
                                   {"point", PointJson(v.Point)},
                                   {"objective", v.Objective}});
}

RecordedStep EstimateObservationError(const estimation::ObservationErrorOptions& o) {
  return Make("estimate_observation_error",
              {{"estimate_b1", o.EstimateB1}, {"bounds", BoundsJson(o.Bounds)}});
}

RecordedStep AdoptObservationError(std::size_t index) {
  return Make("adopt_observation_error", {{"index", index}});
}

RecordedStep EstimateStateSpace(const estimation::StateSpaceOptions& o) {
  return Make("estimate_state_space", {{"estimate_b1", o.EstimateB1},
                                       {"level", o.Level},
                                       {"sigma_p_prior", o.SigmaPPrior},
                                       {"sigma_p_log_mean", o.SigmaPLogMean},
                                       {"sigma_p_log_sd", o.SigmaPLogSd},
                                       {"start_bounds", BoundsJson(o.StartBounds)}});
}

RecordedStep AdoptStateSpace(std::size_t index) {
  return Make("adopt_state_space", {{"index", index}});
}

RecordedStep ReferencePoints(const refpoints::ReferenceSelectors& s, char decimalMark) {
  return Make("reference_points", {{"btg", s.Btg},
                                   {"etg", s.Etg},
                                   {"blim", s.Blim},
                                   {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep ChangeSelector(int selector, int choice, char decimalMark) {
  return Make("change_selector", {{"selector", selector},
                                  {"choice", choice},
                                  {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep ConfidenceIntervals(const estimation::ParameterBounds& bounds,
                                 const uncertainty::BootstrapOptions& o) {
  return Make("confidence_intervals", {{"bounds", BoundsJson(bounds)},
                                       {"replicates", o.Replicates},
                                       {"seed", o.Seed},
                                       {"level", o.Level},
                                       {"blim_fraction", o.BlimFraction}});
}

RecordedStep AddRule(const rules::RuleEditor& e, char decimalMark) {
  return Make("add_rule", {{"shape", static_cast<int>(e.Shape)},
                           {"alpha", e.AlphaText},
                           {"beta", e.BetaText},
                           {"target", e.TargetIndex},
                           {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep DeleteRule(std::optional<std::size_t> selected) {
  return Make("delete_rule", {{"selected", OptionalIndex(selected)}});
}

RecordedStep ChooseRule(std::optional<std::size_t> rule) {
  return Make("choose_rule", {{"rule", OptionalIndex(rule)}});
}

RecordedStep OptimiseRule(const rules::OptimisePageRequest& r, char decimalMark) {
  return Make("optimise_rule",
              {{"shape", static_cast<int>(r.Shape)},
               {"variant", r.ChosenVariant ? Json(*r.ChosenVariant) : Json(nullptr)},
               {"horizon", r.Horizon},
               {"decimal_mark", Mark(decimalMark)}});
}

RecordedStep EvaluateRules(const projection::BootstrapOptions& o) {
  return Make("evaluate_rules", {{"parametric", o.Parametric},
                                 {"horizon", o.Horizon},
                                 {"runs", o.RunsText},
                                 {"decimal_mark", Mark(o.DecimalMark)}});
}

RecordedStep Forecast(const projection::ForecastOptions& options) {
  return Make("forecast", ForecastJson(options));
}

RecordedStep Sensitivity(const projection::ForecastOptions& options,
                         projection::SensitivityParameter parameter, int stepPercent) {
  return Make("sensitivity", {{"forecast", ForecastJson(options)},
                              {"parameter", static_cast<int>(parameter)},
                              {"step", stepPercent}});
}

RecordedStep DecisionTable(const uncertainty::DecisionRequest& r, bool handedOver) {
  Json entries = Json::array();
  for (const uncertainty::CatchOptionEntry& e : r.Entries) {
    entries.push_back({{"kind", static_cast<int>(e.Kind)}, {"value", e.Value}});
  }
  return Make("decision_table", {{"entries", std::move(entries)},
                                 {"risk", r.Risk},
                                 {"criterion", static_cast<int>(r.Criterion)},
                                 {"process_sigma", r.ProcessSigma},
                                 {"process_source", static_cast<int>(r.ProcessSource)},
                                 {"horizon", r.Horizon},
                                 {"replicates", r.Replicates},
                                 {"seed", r.Seed},
                                 {"level", r.Level},
                                 {"bounds", BoundsJson(r.Bounds)},
                                 {"handed_over", handedOver},
                                 {"decimal_mark", Mark(r.DecimalMark)}});
}

RecordedStep Retrospective(std::size_t variant, const estimation::SearchTexts& texts,
                           char decimalMark) {
  return Make("retrospective", {{"variant", variant},
                                {"texts", TextsJson(texts)},
                                {"decimal_mark", Mark(decimalMark)}});
}

}  // namespace steps

namespace {

// The last recorded step among `transitions` and its index.
struct Found {
  std::size_t Index = 0;
  Json Inputs;
};

std::optional<Found> LastStep(const AssessmentState& state,
                              std::initializer_list<std::string_view> transitions) {
  const std::vector<RecordedStep>& steps = state.Journal.Steps;
  for (std::size_t i = steps.size(); i-- > 0;) {
    for (std::string_view name : transitions) {
      if (steps[i].Transition != name) continue;
      Json inputs = Json::parse(steps[i].Inputs, nullptr, false);
      if (inputs.is_discarded()) return std::nullopt;
      return Found{i, std::move(inputs)};
    }
  }
  return std::nullopt;
}

// Reads the step's inputs; a step the reader refuses gives nothing.
template <typename Inputs, typename Read>
std::optional<Inputs> Recorded(const std::optional<Found>& step, Read read) {
  if (!step) return std::nullopt;
  try {
    return read(step->Inputs);
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The stage whose change a step is, and how the user sees it.
struct StepChange {
  Stage Source;
  const char* Reason;
};

std::optional<StepChange> ChangeOf(const RecordedStep& step) {
  const std::string& t = step.Transition;
  if (t == "open_data_set" || t == "edit_cell" || t == "paste_data_set" ||
      t == "replace_data_set") {
    return StepChange{Stage::Data, "изменены данные (страница 1)"};
  }
  if (t == "rebuild_variants" || t == "enable_variant" || t == "enable_model") {
    return StepChange{Stage::Variants, "изменён набор вариантов моделей (страница 2)"};
  }
  if (t == "suitability_check") {
    return StepChange{Stage::Suitability, "данные проверены заново (страница 2)"};
  }
  if (t == "search") return StepChange{Stage::Fits, "параметры оценены заново (страница 2)"};
  if (t == "choose_model") {
    return StepChange{Stage::ModelChoice, "выбран вариант модели (страница 2)"};
  }
  if (t == "adopt_refinement" || t == "adopt_observation_error" || t == "adopt_state_space") {
    return StepChange{Stage::ReferencePoints,
                      "приняты другие значения параметров (страница 2)"};
  }
  if (t == "estimate_observation_error") {
    return StepChange{Stage::ObservationError,
                      "модель ошибки наблюдения оценена заново (страница 2)"};
  }
  if (t == "estimate_state_space") {
    return StepChange{Stage::Uncertainty,
                      "модель пространства состояний оценена заново (страница 2)"};
  }
  if (t == "reference_points") {
    return StepChange{Stage::Targets, "ориентиры рассчитаны заново (страница 3)"};
  }
  if (t == "change_selector") {
    const Json inputs = Json::parse(step.Inputs, nullptr, false);
    const bool limit = inputs.is_object() && inputs.value("selector", -1) == 2;
    return limit ? StepChange{Stage::LimitBiomass, "изменён Blim (страница 3)"}
                 : StepChange{Stage::Targets, "изменён целевой ориентир (страница 3)"};
  }
  if (t == "confidence_intervals") {
    return StepChange{Stage::Uncertainty, "доверительные интервалы рассчитаны заново (страница 3)"};
  }
  if (t == "add_rule" || t == "delete_rule") {
    return StepChange{Stage::RuleList, "изменён список ПРП (страница 4)"};
  }
  if (t == "choose_rule") return StepChange{Stage::RuleChoice, "выбрано другое ПРП (страница 5)"};
  if (t == "forecast" || t == "sensitivity") {
    return StepChange{Stage::Forecast, "построен новый прогноз (страница 6)"};
  }
  return std::nullopt;
}

// Whether a change of `source` clears the results of `target` by the table.
bool Reaches(Stage source, Stage target) {
  if (source == target) return true;
  for (const Dependency& d : kDependencies) {
    if (d.Source == source && Reaches(d.Dependent, target)) return true;
  }
  return false;
}

}  // namespace

std::optional<rules::RuleEditor> LastRuleEditor(const AssessmentState& state, char decimalMark) {
  const std::optional<Found> step = LastStep(state, {"add_rule", "optimise_rule"});
  if (step && state.Journal.Steps[step->Index].Transition == "optimise_rule") {
    return Recorded<rules::RuleEditor>(step, [&](const Json& in) {
      rules::RuleEditor e;
      e.Shape = static_cast<rules::RuleKind>(Integer(in, "shape", 0, 3));
      const rules::PickTexts best =
          rules::PickValues(state.OptimisationBest, rules::Indicator::MeanCatch, decimalMark);
      if (e.Shape == rules::RuleKind::PiecewiseLinear || e.Shape == rules::RuleKind::Logistic) {
        e.AlphaText = best.Alpha;
        if (e.Shape == rules::RuleKind::Logistic) e.BetaText = best.Beta;
      }
      e.TargetIndex = static_cast<int>(state.WorkingRule.TargetKind);
      return e;
    });
  }
  return Recorded<rules::RuleEditor>(step,
                                     [&](const Json& in) { return RuleEditorOf(in, decimalMark); });
}

std::optional<projection::BootstrapOptions> LastRuleEvaluation(const AssessmentState& state,
                                                               char decimalMark) {
  return Recorded<projection::BootstrapOptions>(
      LastStep(state, {"evaluate_rules"}),
      [&](const Json& in) { return EvaluationOf(in, decimalMark); });
}

std::optional<projection::ForecastOptions> LastForecast(const AssessmentState& state,
                                                        char decimalMark) {
  const std::optional<Found> step = LastStep(state, {"forecast", "sensitivity"});
  const bool sensitivity =
      step && state.Journal.Steps[step->Index].Transition == "sensitivity";
  return Recorded<projection::ForecastOptions>(step, [&](const Json& in) {
    return ForecastOf(sensitivity ? Field(in, "forecast") : in, decimalMark);
  });
}

std::optional<uncertainty::DecisionRequest> LastDecisionRequest(const AssessmentState& state,
                                                                char decimalMark) {
  return Recorded<uncertainty::DecisionRequest>(
      LastStep(state, {"decision_table"}),
      [&](const Json& in) { return DecisionRequestOf(in, decimalMark); });
}

std::string RecomputeNote(const AssessmentState& state, Stage stage) {
  std::optional<Found> made;
  bool held = false;
  switch (stage) {
    case Stage::Uncertainty:
      made = LastStep(state, {"confidence_intervals"});
      held = state.Uncertainty.has_value();
      break;
    case Stage::Indicators:
      made = LastStep(state, {"evaluate_rules"});
      held = state.Indicators.Evaluated;
      break;
    case Stage::Forecast:
      made = LastStep(state, {"forecast", "sensitivity"});
      held = state.Forecast.has_value();
      break;
    case Stage::DecisionTable:
      made = LastStep(state, {"decision_table"});
      held = state.Decision.has_value();
      break;
    case Stage::ReferencePoints:
      made = LastStep(state, {"reference_points", "change_selector"});
      held = !state.ReferencePoints.Tabs.empty();
      break;
    default:
      return {};
  }
  if (held || !made) return {};
  const std::vector<RecordedStep>& steps = state.Journal.Steps;
  for (std::size_t i = made->Index + 1; i < steps.size(); ++i) {
    const std::optional<StepChange> change = ChangeOf(steps[i]);
    if (change && Reaches(change->Source, stage)) {
      return std::string("Нужно рассчитать заново: ") + change->Reason + ".";
    }
  }
  return "Нужно рассчитать заново: изменились данные, на которых основан расчёт.";
}

Fingerprint FingerprintOf(const AssessmentState& state) {
  Fingerprint f;
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    const model::ModelFit& fit = state.ModelFits[i];
    if (fit.Origin == model::FitOrigin::None) continue;
    f.Variants.push_back({estimation::VariantLabel(state.ModelFits, i), fit.R, fit.K, fit.Q,
                          fit.ObjectiveValue});
  }
  if (const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
      chosen && !state.ReferencePoints.Tabs.empty()) {
    f.ChosenMsy = state.ModelFits[*chosen].MSY;
  }
  if (state.Forecast && !state.Forecast->Intervals.empty()) {
    f.TacLow = state.Forecast->Intervals.front().Lower;
    f.TacHigh = state.Forecast->Intervals.front().Upper;
  }
  if (state.Decision) f.DecisionMaxCatch = state.Decision->Table.MaxCatch.Catch;
  return f;
}

AssessmentFile AssessmentFileOf(const AssessmentState& state,
                                const data::DataDescription& description, int frontPage,
                                const std::string& programVersion) {
  AssessmentFile file;
  file.ProgramVersion = programVersion;
  file.DataFileName = state.DataFileName;
  file.DecimalMark = state.Journal.DecimalMark;
  file.Description = description;
  file.Table = state.Journal.TableAtStart;
  file.RandomSeedAtStart = state.Journal.SeedAtStart;
  for (const RecordedStep& s : state.Journal.Steps) {
    file.Steps.push_back({s.Transition, Json::parse(s.Inputs)});
  }
  file.FrontPage = frontPage;
  file.Results = FingerprintOf(state);
  return file;
}

std::optional<estimation::EstimationRequest> LastSearchRequest(const AssessmentState& state,
                                                               char decimalMark) {
  const std::vector<RecordedStep>& steps = state.Journal.Steps;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (step->Transition == "search") return RequestOf(Json::parse(step->Inputs), decimalMark);
    if (step->Transition == "choose_model") {
      const Json inputs = Json::parse(step->Inputs);
      if (!Field(inputs, "refit").is_null()) return RequestOf(Field(inputs, "refit"), decimalMark);
    }
  }
  return std::nullopt;
}

std::optional<refpoints::ReferenceSelectors> LastSelectors(const AssessmentState& state) {
  std::optional<refpoints::ReferenceSelectors> selectors;
  for (const RecordedStep& step : state.Journal.Steps) {
    if (step.Transition == "reference_points") {
      const Json in = Json::parse(step.Inputs);
      selectors = refpoints::ReferenceSelectors{static_cast<int>(Integer(in, "btg", 0, 2)),
                                                static_cast<int>(Integer(in, "etg", 0, 2)),
                                                static_cast<int>(Integer(in, "blim", 0, 3))};
    } else if (step.Transition == "change_selector") {
      const Json in = Json::parse(step.Inputs);
      if (!selectors) selectors.emplace();
      const int choice = static_cast<int>(Integer(in, "choice", 0, 3));
      switch (Integer(in, "selector", 0, 2)) {
        case 0:
          selectors->Btg = choice;
          break;
        case 1:
          selectors->Etg = choice;
          break;
        default:
          selectors->Blim = choice;
          break;
      }
    }
  }
  return selectors;
}

std::optional<uncertainty::BootstrapOptions> LastIntervalOptions(const AssessmentState& state) {
  const std::vector<RecordedStep>& steps = state.Journal.Steps;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (step->Transition != "confidence_intervals") continue;
    const Json in = Json::parse(step->Inputs);
    uncertainty::BootstrapOptions o;
    o.Replicates = static_cast<int>(Integer(in, "replicates", 0, 1000000));
    o.Seed = static_cast<std::uint64_t>(
        Integer(in, "seed", 0, std::numeric_limits<long long>::max()));
    o.Level = static_cast<int>(Integer(in, "level", 0, 100));
    return o;
  }
  return std::nullopt;
}

AssessmentState ReplayAssessment(const AssessmentFile& file, const ReplayOptions& options) {
  AssessmentState state;
  state.Random.Restore(file.RandomSeedAtStart);
  state.Journal.SeedAtStart = file.RandomSeedAtStart;
  if (file.Steps.empty() || file.Steps.front().Transition != "open_data_set") {
    // The steps began before any data file was opened: from the table as it was.
    state.Table = file.Table;
    state.Journal.TableAtStart = file.Table;
  }
  state.Journal.Description = file.Description;
  state.Journal.DecimalMark = options.DecimalMark;
  const std::size_t total = file.Steps.size();
  for (std::size_t i = 0; i < total; ++i) {
    if (options.OnStep) options.OnStep(i, total);
    const Step& step = file.Steps[i];
    try {
      Apply(state, step, file, options);
    } catch (const Error& e) {
      throw Error("Файл оценки, шаг " + std::to_string(i + 1) + " («" + step.Transition +
                  "»): " + e.what());
    }
  }
  if (options.OnStep) options.OnStep(total, total);
  return state;
}

ReplayOutcome ReplayAndCompare(const AssessmentFile& file, const ReplayOptions& options) {
  ReplayOutcome outcome{ReplayAssessment(file, options), {}};
  outcome.Differences = CompareFingerprints(file.Results, FingerprintOf(outcome.State));
  return outcome;
}

std::vector<std::string> DifferenceLines(const std::vector<FingerprintDifference>& differences) {
  std::vector<std::string> lines;
  for (const FingerprintDifference& d : differences) {
    std::string line = d.What + ": в файле " + d.Expected + ", получено " + d.Actual;
    if (d.Relative) line += " (относительное отличие " + Shown(*d.Relative) + ")";
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace tarvik::assessment
