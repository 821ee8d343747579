#include "cli/assess_command.h"

#include <optional>
#include <sstream>

#include "assessment/assessment_file.h"
#include "assessment/decision_table.h"
#include "assessment/estimation_view.h"
#include "assessment/journal.h"
#include "assessment/management.h"
#include "assessment/reference_points.h"
#include "assessment/search.h"
#include "cli/common_options.h"
#include "cli/diagnose_command.h"
#include "cli/json_output.h"
#include "cli/text_output.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/estimation_view.h"
#include "projection/kobe.h"
#include "projection/tac_report.h"
#include "refpoints/reference_points.h"
#include "tarvik_version.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/decision_view.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::cli {
namespace {

int TargetIndex(const std::string& text, const std::string& ruleText) {
  static const char* const kTargets[] = {"FMSY", "F01", "Fsq", "Fsq75", "Fsq125"};
  for (int i = 0; i < 5; ++i) {
    if (text == kTargets[i]) return i;
  }
  throw Error("Параметр --rule «" + MessageExcerpt(ruleText) + "»: целевая смертность «" +
              MessageExcerpt(text) + "» не из FMSY, F01, Fsq, Fsq75, Fsq125");
}

void RequireNumber(const std::string& text, const char* what, const std::string& ruleText) {
  if (!TryParseDouble(text, kDecimalMark)) {
    throw Error("Параметр --rule «" + MessageExcerpt(ruleText) + "»: " + what + " «" +
                MessageExcerpt(text) + "» не является числом");
  }
}

struct Prepared {
  projection::ManagementOptions Management;
  std::optional<uncertainty::DecisionRequest> Decision;
};

// The decision table's request from --catch-options and --risk; the
// bootstrap's settings are its defaults.
uncertainty::DecisionRequest DecisionRequestOf(const AssessOptions& o) {
  uncertainty::DecisionRequest request;
  request.DecimalMark = kDecimalMark;
  request.Horizon = o.ForecastHorizon;
  if (!o.CatchOptions.empty()) {
    try {
      request.Entries = uncertainty::ParseCatchOptions(o.CatchOptions, kDecimalMark);
    } catch (const Error& e) {
      throw Error(std::string("Параметр --catch-options: ") + e.what());
    }
  }
  if (!(o.RiskPercent > 0.0 && o.RiskPercent < 100.0)) {
    throw Error("Параметр --risk: допустимый риск в процентах, больше 0 и меньше 100, задано " +
                FormatGeneral(o.RiskPercent, kDecimalMark));
  }
  request.Risk = o.RiskPercent / 100.0;
  if (!o.Criterion.empty()) {
    bool known = false;
    for (std::size_t k = 0; k < uncertainty::kRiskCriterionCount; ++k) {
      const auto criterion = static_cast<uncertainty::RiskCriterion>(k);
      if (o.Criterion == uncertainty::CriterionKey(criterion)) {
        request.Criterion = criterion;
        known = true;
      }
    }
    if (!known) {
      throw Error("Параметр --criterion: blim, bmsy или green, задано «" + o.Criterion + "»");
    }
  }
  if (o.ProcessError) {
    const double sigma = *o.ProcessError;
    if (!(sigma >= 0.0 && sigma <= uncertainty::kMaxProcessSigma)) {
      throw Error("Параметр --process-error: σ ошибки процесса от 0 до " +
                  FormatGeneral(uncertainty::kMaxProcessSigma, kDecimalMark) + ", задано " +
                  FormatGeneral(sigma, kDecimalMark));
    }
    request.ProcessSigma = sigma;
    request.ProcessSource = uncertainty::ProcessErrorSource::Stated;
  }
  return request;
}

// Checks everything that can be checked before the data file is read.
Prepared Prepare(const AssessOptions& o) {
  Prepared p;
  projection::ManagementOptions& m = p.Management;
  m.DecimalMark = kDecimalMark;
  if (o.Variant.empty()) throw Error("Параметр --variant: не указан вариант модели");
  RequireVariantLabel(o.Estimate.CutOffs, o.Variant);
  const refpoints::SelectorChanges selectors = ParseReferenceSelectors(o.Selectors);
  m.TargetBiomassChoice = selectors.TargetBiomass;
  m.TargetEffortChoice = selectors.TargetEffort;
  m.LimitBiomassChoice = selectors.LimitBiomass;
  if (o.Rules.empty()) throw Error("Параметр --rule: не задано ни одного ПРП");
  for (const std::string& ruleText : o.Rules) m.Rules.push_back(ParseRuleText(ruleText));
  const std::optional<int> bootstrap =
      Choice(o.Bootstrap, {"parametric", "nonparametric"}, "--bootstrap");
  m.Bootstrap.Parametric = !bootstrap || *bootstrap == 0;
  m.Bootstrap.RunsText = o.Runs;
  m.Bootstrap.Horizon = o.Horizon;
  projection::ValidateBootstrapOptions(m.Bootstrap);
  if (o.SelectRule < 1) {
    throw Error("Параметр --select-rule: номер ПРП начинается с 1, задано " +
                std::to_string(o.SelectRule));
  }
  if (static_cast<std::size_t>(o.SelectRule) > o.Rules.size()) {
    throw Error("Параметр --select-rule: задано ПРП номер " + std::to_string(o.SelectRule) +
                ", а правил всего " + std::to_string(o.Rules.size()));
  }
  m.SelectedRule = static_cast<std::size_t>(o.SelectRule - 1);
  if (o.ForecastHorizon < 1 || o.ForecastHorizon > projection::kMaxForecastHorizon) {
    throw Error("Параметр --forecast-horizon: от 1 до " +
                std::to_string(projection::kMaxForecastHorizon) + " лет, задано " +
                std::to_string(o.ForecastHorizon));
  }
  m.Forecast.Horizon = o.ForecastHorizon;
  m.Forecast.AddNoise = !o.NoNoise;
  m.Forecast.ModelChoiceText = o.Variant;
  if (const auto parameter = Choice(o.Sensitivity, {"r", "K", "q"}, "--sensitivity")) {
    if (o.Step < 5 || o.Step > 50) {
      throw Error("Параметр --step: приращение от 5 до 50 %, задано " + std::to_string(o.Step));
    }
    m.Sensitivity = projection::SensitivityRequest{
        static_cast<projection::SensitivityParameter>(*parameter), o.Step};
  }
  // The report file is written by the command once its output is ready, so
  // that a failure anywhere leaves no report behind; where it goes is checked
  // now (never over the data file, not into a missing folder).
  if (o.Uncertainty.Replicates != 0) CheckUncertaintySettings(o.Uncertainty, "--uncertainty");
  m.ReportPath.clear();
  if (!o.Report.empty()) projection::CheckReportPath(o.Report, o.Estimate.File);
  if (o.DecisionTable) p.Decision = DecisionRequestOf(o);
  if (!o.SaveAssessment.empty() && o.SaveAssessment == o.Estimate.File) {
    throw Error("Параметр --save-assessment: файл оценки не записывается поверх файла данных «" +
                o.SaveAssessment + "»");
  }
  return p;
}

Json PointsJson(const PointList& points) {
  Json list = Json::array();
  for (const Point& p : points) list.push_back({p.x, p.y});
  return list;
}

// The Kobe plot of the chosen variant and the forecast, or the reason there
// is none (the assessment itself is not stopped by it).
struct KobeOutcome {
  std::optional<projection::KobeChart> Chart;
  std::string Error;
};

KobeOutcome MakeKobe(const AssessmentState& state, std::size_t variant,
                     const projection::ManagementResult& result) {
  KobeOutcome k;
  try {
    k.Chart = projection::BuildKobeChart(state.AnalysisSeries, state.ModelFits[variant],
                                         result.Forecast.FirstYear, &result.Forecast, kDecimalMark);
  } catch (const Error& e) {
    k.Error = e.what();
  }
  return k;
}

Json KobeJson(const model::ModelFit& fit, const KobeOutcome& kobe) {
  if (!kobe.Chart) return {{"error", kobe.Error}};
  const projection::KobeChart& c = *kobe.Chart;
  Json points = Json::array();
  for (const projection::KobePoint& p : c.Points) {
    points.push_back({{"year", p.Year},
                      {"kind", p.Forecast ? "forecast" : "observed"},
                      {"b", p.Biomass},
                      {"f", p.FishingMortality},
                      {"b_bmsy", p.BRatio},
                      {"f_fmsy", p.FRatio},
                      {"quadrant", projection::QuadrantKey(p.Quadrant)},
                      {"label", p.Label}});
  }
  return {{"bmsy", fit.BMSY},
          {"fmsy", fit.FMSY},
          {"points", std::move(points)},
          {"forecast_truncated", c.ForecastTruncated},
          {"summary", c.Summary}};
}

Json DecisionJson(const uncertainty::DecisionTableResult& result, int catchUnit) {
  const uncertainty::DecisionTable& t = result.Table;
  Json options = Json::array();
  for (const uncertainty::OptionOutlook& row : t.Rows) {
    Json years = Json::array();
    for (const uncertainty::YearOutlook& cell : row.Years) {
      Json year = {{"year", cell.Year}};
      for (std::size_t k = 0; k < uncertainty::kOutlookCount; ++k) {
        const auto outlook = static_cast<uncertainty::Outlook>(k);
        year[uncertainty::OutlookKey(outlook)] = uncertainty::ValueOf(cell, outlook);
      }
      years.push_back(std::move(year));
    }
    options.push_back(
        {{"catch", row.Option.Catch}, {"label", row.Option.Label}, {"years", std::move(years)}});
  }
  static const char* const kOutcomes[] = {"found", "none_within_risk",
                                          "largest_option_within_risk", "refused_at_bounds"};
  const uncertainty::MaxCatchAtRisk& m = t.MaxCatch;
  Json maxCatch = {{"risk", m.Risk},
                   {"criterion", uncertainty::CriterionKey(m.Criterion)},
                   {"criterion_text", uncertainty::CriterionText(m.Criterion, m.Risk, kDecimalMark)},
                   {"catch", m.Catch},
                   {"p_b_below_bmsy_end", m.ProbBelowBmsyEnd},
                   {"outcome", kOutcomes[static_cast<std::size_t>(m.Outcome)]}};
  maxCatch["refused_reason"] = m.Outcome == uncertainty::CatchSearch::RefusedAtBounds
                                   ? Json(uncertainty::RefusalText(m, kDecimalMark))
                                   : Json(nullptr);
  if (m.Outcome == uncertainty::CatchSearch::RefusedAtBounds) maxCatch["catch"] = nullptr;
  const uncertainty::ProcessSigmaReference& ss = result.StateSpaceSigma;
  Json stateSpace = ss.Available ? Json{{"sigma", ss.Value},
                                       {"lower", ss.HasInterval ? Json(ss.Lower) : Json(nullptr)},
                                       {"upper", ss.HasInterval ? Json(ss.Upper) : Json(nullptr)},
                                       {"level", ss.Level},
                                       {"used", false}}
                                 : Json{{"sigma", nullptr}, {"reason", ss.Reason}};
  return {{"replicates", t.ReplicatesUsed},
          {"failed", result.FailedReplicates},
          {"seed", t.Seed},
          {"blim_fraction", t.BlimFraction},
          {"process_error",
           {{"sigma", t.ProcessSigma},
            {"source", t.ProcessSource == uncertainty::ProcessErrorSource::Default ? "default"
                                                                                  : "stated"},
            {"text", uncertainty::ProcessErrorText(t, kDecimalMark)},
            {"state_space", std::move(stateSpace)}}},
          {"options", std::move(options)},
          {"max_catch_at_risk", std::move(maxCatch)},
          {"sentence", uncertainty::MaxCatchSentence(t, catchUnit, kDecimalMark)}};
}

Json AssessJson(const Session& session, const estimation::FreshStart& run, const AssessOptions& o,
                std::size_t variant, const projection::ManagementResult& result,
                const KobeOutcome& kobe, const AdoptedEstimate& adopted) {
  const AssessmentState& state = session.State();
  const model::ModelFit& fit = state.ModelFits[variant];
  Json j;
  j["estimation"] = EstimateJson(session, run, o.Estimate);
  j["variant"] = {{"label", o.Variant}, {"index", variant}};
  j["reference_points"] = ReferencePointsJson(fit);
  Json rules = Json::array();
  for (const rules::AddRuleResult& added : result.AddedRules) {
    rules.push_back({{"name", added.Name}, {"added", added.Added}});
  }
  j["rules"] = std::move(rules);
  Json indicators = Json::array();
  for (const projection::IndicatorRowResult& row : result.Bootstrap.Rows) {
    const projection::RuleIndicators& v = row.Values;
    indicators.push_back({{"variant", result.Indicators.Cells[row.Row][0]},
                          {"rule", result.Indicators.Cells[row.Row][1]},
                          {"recovery_time", v.RecoveryTime},
                          {"mean_forecast_biomass", v.MeanForecastBiomass},
                          {"mean_forecast_catch", v.MeanForecastCatch},
                          {"biomass_ratio", v.BiomassRatio},
                          {"catch_ratio", v.CatchRatio},
                          {"prob_below_blim", v.ProbBelowBlim},
                          {"prob_below_cmin", v.ProbBelowCmin},
                          {"prob_below_reference_blim", v.ProbBelowReferenceBlim}});
  }
  j["indicators"] = std::move(indicators);
  const projection::ForecastResult& f = result.Forecast;
  Json intervals = Json::array();
  for (const projection::TacInterval& t : f.Intervals) {
    intervals.push_back({t.Year, t.Lower, t.Upper});
  }
  j["forecast"] = {{"rule", state.RuleNames[f.Rule]},
                   {"add_noise", f.AddNoise},
                   {"years", f.Years},
                   {"catch_mean", f.CatchMean},
                   {"catch_sd", f.CatchSd},
                   {"biomass_mean", f.BiomassMean},
                   {"biomass_sd", f.BiomassSd},
                   {"tac_interval", std::move(intervals)}};
  if (result.Sensitivity) {
    const projection::SensitivityResult& s = *result.Sensitivity;
    j["sensitivity"] = {{"parameter", o.Sensitivity},
                        {"step", o.Step},
                        {"biomass_lower", PointsJson(s.BiomassLower)},
                        {"biomass_upper", PointsJson(s.BiomassUpper)},
                        {"catch_lower", PointsJson(s.CatchLower)},
                        {"catch_upper", PointsJson(s.CatchUpper)}};
  }
  j["kobe"] = KobeJson(fit, kobe);
  AddAdoptedEstimateJson(j, adopted);
  if (state.Uncertainty) {
    j["uncertainty"] = UncertaintyJson(*state.Uncertainty, fit.Origin);
    if (kobe.Chart) AddKobeCloudJson(*state.Uncertainty, j["kobe"]);
  }
  if (state.Decision) j["decision_table"] = DecisionJson(*state.Decision, run.File.description.catchUnitExponent);
  std::vector<std::string> reportLines = f.ReportLines;
  projection::AppendDecisionSection(
      reportLines,
      uncertainty::DecisionSectionOf(state, run.File.description.catchUnitExponent, kDecimalMark));
  j["report_lines"] = std::move(reportLines);
  j["table_lines"] = f.TableLines;
  if (!o.Report.empty()) {
    j["report_file"] = o.Report;
    j["image_file"] = projection::ReportImageFileName(o.Report);
  }
  j["random_seed_after"] = state.Random.Seed();
  return j;
}

std::string AssessText(const AssessmentState& state, const projection::ManagementResult& result,
                       const AssessOptions& o, const KobeOutcome& kobe,
                       const AdoptedEstimate& adopted, int catchUnit) {
  std::ostringstream out;
  out << AdoptedEstimateText(adopted);
  for (const rules::AddRuleResult& added : result.AddedRules) {
    if (!added.Added) out << "ПРП «" << added.Name << "» уже есть в списке и не добавлено\n";
  }
  out << "Коэффициенты эффективности\n";
  const auto& cells = result.Indicators.Cells;
  const std::vector<std::vector<std::string>> rows(cells.begin() + 1, cells.end());
  out << FormatTable(cells[0], rows) << "\n";
  for (const std::string& line : result.Forecast.ReportLines) out << line << "\n";
  out << "\n";
  for (const std::string& line : result.Forecast.TableLines) out << line << "\n";
  out << "\nДиаграмма Кобе\n";
  if (kobe.Chart) {
    const uncertainty::BootstrapResult* cloud =
        state.Uncertainty ? &*state.Uncertainty : nullptr;
    for (const std::string& line : uncertainty::KobeStatusLines(*kobe.Chart, cloud, kDecimalMark))
      out << line << "\n";
    if (state.Uncertainty) {
      out << uncertainty::KobeCloudCaption(
                 *state.Uncertainty, uncertainty::KobeCloudOf(*state.Uncertainty), kDecimalMark)
          << "\n";
    }
  } else {
    out << kobe.Error << "\n";
  }
  const std::vector<std::string> decision =
      uncertainty::DecisionSectionOf(state, catchUnit, kDecimalMark);
  if (!decision.empty()) out << "\n";
  for (const std::string& line : decision) out << line << "\n";
  if (!o.Report.empty()) {
    out << "\nОтчёт сохранён в файл " << o.Report << "\n";
  }
  return out.str();
}

}  // namespace

rules::RuleEditor ParseRuleText(const std::string& ruleText) {
  const std::vector<std::string> f = SplitAt(ruleText, ':');
  rules::RuleEditor editor;
  editor.TargetIndex = 0;
  const std::string& kind = f[0];
  auto wrongCount = [&]() {
    return Error("Параметр --rule «" + MessageExcerpt(ruleText) +
                 "»: ожидается linear:ALPHA[:TARGET], logistic:ALPHA:BETA[:TARGET], "
                 "precautionary или nonzonal[:TARGET]");
  };
  if (kind == "linear") {
    if (f.size() < 2 || f.size() > 3) throw wrongCount();
    editor.Shape = rules::RuleKind::PiecewiseLinear;
    RequireNumber(f[1], "alpha", ruleText);
    editor.AlphaText = f[1];
    if (f.size() == 3) editor.TargetIndex = TargetIndex(f[2], ruleText);
  } else if (kind == "logistic") {
    if (f.size() < 3 || f.size() > 4) throw wrongCount();
    editor.Shape = rules::RuleKind::Logistic;
    RequireNumber(f[1], "alpha", ruleText);
    RequireNumber(f[2], "beta", ruleText);
    editor.AlphaText = f[1];
    editor.BetaText = f[2];
    if (f.size() == 4) editor.TargetIndex = TargetIndex(f[3], ruleText);
  } else if (kind == "precautionary") {
    if (f.size() != 1) throw wrongCount();
    editor.Shape = rules::RuleKind::Precautionary;
  } else if (kind == "nonzonal") {
    if (f.size() > 2) throw wrongCount();
    editor.Shape = rules::RuleKind::NonZonal;
    if (f.size() == 2) editor.TargetIndex = TargetIndex(f[1], ruleText);
  } else {
    throw wrongCount();
  }
  return editor;
}

CLI::App* AddAssessCommand(CLI::App& app, AssessOptions& o) {
  CLI::App* sub = AddVariantCommand(
      app, "assess",
      "Оценка запаса от данных до ОДУ: ориентиры, ПРП, коэффициенты эффективности, "
      "прогноз и отчёт",
      o.Estimate, o.Variant);
  AddReferenceSelectorOptions(*sub, o.Selectors);
  sub->add_option("--rule", o.Rules,
                  "ПРП: linear:ALPHA[:TARGET], logistic:ALPHA:BETA[:TARGET], precautionary, "
                  "nonzonal[:TARGET]; TARGET — FMSY, F01, Fsq, Fsq75, Fsq125")
      ->required();
  sub->add_option("--bootstrap", o.Bootstrap, "Бутстреп: parametric или nonparametric")
      ->default_val("parametric");
  sub->add_option("--runs", o.Runs, "Количество прогонов (1…65535)")
      ->default_val("10000")
      ->type_name("ЦЕЛОЕ");
  sub->add_option("--horizon", o.Horizon, "Прогнозный горизонт коэффициентов (1…50)")
      ->default_val(5);
  sub->add_option("--select-rule", o.SelectRule, "Номер ПРП для прогноза (с 1)")->default_val(1);
  sub->add_option("--forecast-horizon", o.ForecastHorizon, "Количество лет прогноза (1…20)")
      ->default_val(5);
  sub->add_flag("--no-noise", o.NoNoise, "Прогноз без шума");
  sub->add_option("--sensitivity", o.Sensitivity, "Анализ чувствительности: r, K или q");
  sub->add_option("--step", o.Step, "Приращение параметра, % (5…50)")->default_val(10);
  sub->add_option("--report", o.Report, "Файл отчёта об ОДУ (.txt)");
  sub->add_option("--save-assessment", o.SaveAssessment,
                  "Сохранить оценку целиком (*.tarvik): её откроет окно («Открыть оценку…») "
                  "и повторит команда replay");
  CLI::Option* decision = sub->add_flag(
      "--decision-table", o.DecisionTable,
      "Таблица решений: вероятности состояния запаса при постоянных уловах по годам прогноза "
      "(бутстреп 1000 повторов, зерно 1) и наибольший улов с допустимым риском");
  sub->add_option("--catch-options", o.CatchOptions,
                  "Варианты улова через «;»: тонны, доли MSY (0.5*MSY), «текущий», «ОДУ»; "
                  "по умолчанию 0; 0.25*MSY; …; 1.5*MSY; текущий; ОДУ")
      ->needs(decision);
  sub->add_option("--risk", o.RiskPercent,
                  "Порог критерия наибольшего улова, % (больше 0 и меньше 100; по умолчанию 5: "
                  "риск B < Blim)")
      ->default_val(5.0)
      ->needs(decision);
  sub->add_option("--criterion", o.Criterion,
                  "Критерий наибольшего улова: blim — P(B < Blim) не выше порога (по умолчанию), "
                  "bmsy — P(B < BMSY) не выше порога, green — P(зелёная зона) не ниже порога")
      ->needs(decision);
  sub->add_option("--process-error", o.ProcessError,
                  "σ ошибки процесса в прогнозах таблицы решений (шум биомассы, 0…2; по умолчанию "
                  "0.1; 0 — риск только от неопределённости параметров)")
      ->needs(decision);
  AddEstimatorOption(*sub, o.Estimate);
  AddUncertaintyOptions(*sub, o.Uncertainty, "--uncertainty",
                        "Доверительные интервалы: число повторов бутстрепа (100…10000)");
  return sub;
}

std::string RunAssessCommand(const AssessOptions& o) {
  Prepared prepared = Prepare(o);
  projection::ManagementOptions& m = prepared.Management;

  Session session;
  AssessmentState& state = session.State();
  const ChosenVariantRun chosen = EstimateAndChoose(session, o.Estimate, o.Variant);
  const estimation::FreshStart& run = chosen.Run;
  const std::size_t variant = chosen.Variant;
  const AdoptedEstimate& adopted = chosen.Adopted;
  if (o.Uncertainty.Replicates != 0) {
    EstimateChosenUncertainty(session, chosen, o.Uncertainty,
                              *refpoints::LimitFraction(m.LimitBiomassChoice.value_or(0)),
                              o.Estimate);
  }
  m.Forecast.Results = estimation::ResultTextsOf(state, variant, kDecimalMark);
  m.Forecast.Species = run.File.description.species;
  m.Forecast.Stock = run.File.description.stock;
  for (int r = 1; r <= run.File.table.DataRowCount(); ++r) {
    m.Forecast.YearTexts.push_back(run.File.table.Cell(data::DataTable::kYear, r));
  }

  // The checklist of the fit the management options rest on (they do not
  // change the fit).
  std::optional<diagnostics::VariantDiagnosis> diagnosis;
  if (o.Estimate.Json) diagnosis = DiagnoseChosen(session, chosen, o.Estimate);
  const projection::ManagementResult result = projection::RunManagementWorkflow(state, m);
  const KobeOutcome kobe = MakeKobe(state, variant, result);
  if (prepared.Decision) {
    prepared.Decision->Bounds = run.Estimation.Settings.Bounds;
    uncertainty::UpdateDecisionTable(state, *prepared.Decision,
                                     state.Uncertainty ? &*state.Uncertainty : nullptr);
  }
  std::string output;
  if (o.Estimate.Json) {
    Json j = AssessJson(session, run, o, variant, result, kobe, adopted);
    j["diagnostics"] = DiagnosisJson(*diagnosis);
    output = DumpJson(j) + "\n";
  } else {
    output = AssessText(state, result, o, kobe, adopted, run.File.description.catchUnitExponent);
  }
  if (!o.Report.empty()) {
    projection::TacReportInput report = result.Report;
    report.DecisionSection =
        uncertainty::DecisionSectionOf(state, run.File.description.catchUnitExponent, kDecimalMark);
    projection::SaveTacReport(o.Report, report);
  }
  if (!o.SaveAssessment.empty()) {
    // The window shows the TAC page in front, where the road ended.
    constexpr int kTacPage = 5;
    assessment::WriteAssessmentFile(
        o.SaveAssessment,
        assessment::AssessmentFileOf(state, run.File.description, kTacPage, tarvik::kVersion),
        o.Estimate.File);
    if (!o.Estimate.Json) output += "Оценка сохранена в файл " + o.SaveAssessment + "\n";
  }
  return output;
}

}  // namespace tarvik::cli
