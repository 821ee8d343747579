#include "cli/diagnose_command.h"

#include <sstream>
#include <vector>

#include "assessment/fit_checks.h"
#include "assessment/observation_error.h"
#include "assessment/state_space.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "cli/text_output.h"
#include "common/numbers.h"
#include "diagnostics/checklist_view.h"
#include "estimation/variants.h"

namespace tarvik::cli {
namespace {

// A figure of a test, or null when the test could not be made.
Json Figure(bool assessable, double x) {
  return assessable ? Json(x) : Json(nullptr);
}

Json Optional(const std::optional<double>& x) {
  return x ? Json(*x) : Json(nullptr);
}

void AddReason(Json& j, bool assessable, const std::string& reason) {
  if (!assessable) j["reason"] = reason;
}

}  // namespace

CLI::App* AddDiagnoseCommand(CLI::App& app, DiagnoseOptions& options) {
  CLI::App* sub = AddVariantCommand(
      app, "diagnose", "Диагностика подгонки варианта: проверки, остатки, вердикт",
      options.Estimate, options.Variant, "Вариант модели для диагностики, например \"Шефер СК\"");
  AddEstimatorOption(*sub, options.Estimate);
  return sub;
}

diagnostics::VariantDiagnosis DiagnoseChosen(const Session& session, const ChosenVariantRun& chosen,
                                             const EstimateOptions& options) {
  const AssessmentState& state = session.State();
  diagnostics::DiagnosisOptions settings;
  settings.JitterSettings.Threads = options.Threads;
  settings.DecimalMark = kDecimalMark;
  settings.MsyIntervalRatio = uncertainty::MsyIntervalRatioOf(state, chosen.Variant);
  settings.IntervalTruncation = uncertainty::IntervalTruncationOf(state, chosen.Variant, kDecimalMark);
  // Adopted observation-error estimates are judged by their own residuals.
  const model::ModelFit& record = state.ModelFits.at(chosen.Variant);
  if (record.Origin == model::FitOrigin::ObservationError) {
    if (const auto* fit = estimation::ObservationErrorFitOf(state, record.Kind)) {
      estimation::ObservationErrorOptions fitOptions;
      fitOptions.EstimateB1 = state.ObservationError.EstimateB1;
      fitOptions.Bounds = chosen.LastSearch().Settings.Bounds;
      return diagnostics::DiagnoseObservationError(
          diagnostics::DiagnosedSeries(state), *fit, fitOptions,
          estimation::VariantLabel(state.ModelFits, chosen.Variant) +
              " (модель ошибки наблюдения)",
          settings);
    }
  }
  // Adopted state-space estimates: by the one-step-ahead residuals, the
  // convergence and the refits of that estimator.
  if (record.Origin == model::FitOrigin::StateSpace) {
    if (const auto* fit = estimation::StateSpaceFitOf(state, record.Kind)) {
      return diagnostics::DiagnoseStateSpace(
          diagnostics::DiagnosedSeries(state), *fit, state.StateSpace.Options,
          estimation::VariantLabel(state.ModelFits, chosen.Variant) +
              " (модель пространства состояний)",
          settings);
    }
  }
  return diagnostics::DiagnoseVariant(diagnostics::DiagnosedSeries(state), state.ModelFits,
                                      chosen.Variant, chosen.LastSearch().Settings.Bounds,
                                      state.MedianKeepCount, settings);
}

Json DiagnosisJson(const diagnostics::VariantDiagnosis& d,
                   const diagnostics::DiagnosisOptions& options) {
  const diagnostics::Checklist& list = d.Items;
  Json j;
  j["variant"] = d.Label;
  j["verdict"] = list.VerdictText;
  Json checks = Json::array();
  for (const diagnostics::CheckItem& item : list.Items) {
    checks.push_back({{"name", item.Name},
                      {"status", diagnostics::StatusKey(item.Status)},
                      {"value", item.Value},
                      {"text", item.Explanation}});
  }
  j["checks"] = std::move(checks);
  j["years"] = d.ResidualYears;
  j["residuals"] = d.Residuals;

  const diagnostics::RunsTest& runs = list.Tests.Runs;
  Json r = {{"runs", runs.Assessable ? Json(runs.Runs) : Json(nullptr)},
            {"z", Figure(runs.Assessable, runs.Z)},
            {"p", Figure(runs.Assessable, runs.P)}};
  AddReason(r, runs.Assessable, runs.Reason);
  j["runs_test"] = std::move(r);
  const diagnostics::ShapiroWilk& sw = list.Tests.Normality;
  Json w = {{"W", Figure(sw.Assessable, sw.W)}, {"p", Figure(sw.Assessable, sw.P)}};
  AddReason(w, sw.Assessable, sw.Reason);
  j["shapiro_wilk"] = std::move(w);
  const diagnostics::LjungBox& lb = list.Tests.Autocorrelation;
  Json q = {{"Q", Figure(lb.Assessable, lb.Q)},
            {"lag", lb.Assessable ? Json(lb.Lag) : Json(nullptr)},
            {"p", Figure(lb.Assessable, lb.P)}};
  AddReason(q, lb.Assessable, lb.Reason);
  j["ljung_box"] = std::move(q);

  Json atBounds = Json::array();
  for (const diagnostics::BoundHit& hit : d.AtBounds) atBounds.push_back(hit.Parameter);
  j["at_bounds"] = std::move(atBounds);
  j["proposed_bounds"] = ProposedBoundsJson(d.Proposed);

  const diagnostics::Hindcast& h = d.HindcastSkill;
  Json hindcast = {{"mase", Figure(h.Assessable, h.Mase)}, {"peels", h.Peels.size()}};
  AddReason(hindcast, h.Assessable, h.Reason);
  j["hindcast"] = std::move(hindcast);
  const diagnostics::Jitter& jit = d.JitterRuns;
  Json jitter = {{"starts", jit.Runs.size()}, {"agree", jit.Agreeing}};
  AddReason(jitter, jit.Assessable, jit.Reason);
  j["jitter"] = std::move(jitter);
  j["mohn_rho"] = Optional(options.MohnRho);
  j["msy_interval_ratio"] = Optional(d.MsyIntervalRatio);
  return j;
}

std::string DiagnosisText(const diagnostics::VariantDiagnosis& d) {
  const diagnostics::DiagnosisView view = diagnostics::ViewOfDiagnosis(d, kDecimalMark);
  std::ostringstream out;
  out << "Диагностика: " << view.Heading << " — " << view.VerdictText << "\n\n";
  for (const diagnostics::CheckRowView& item : view.Checks) {
    out << item.Mark << " " << item.Name << (item.Value == "—" ? "" : ": " + item.Value) << " — "
        << item.Explanation << "\n";
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& test : view.Tests) rows.push_back({test.begin(), test.end()});
  out << "\nТесты остатков:\n" << FormatTable({"Тест", "Статистика", "p", "Вывод"}, rows);

  if (!d.Residuals.empty()) {
    out << "\nОстатки по годам:\n";
    std::vector<std::vector<std::string>> residuals;
    for (std::size_t k = 0; k < d.Residuals.size(); ++k) {
      residuals.push_back(
          {std::to_string(d.ResidualYears[k]), FormatFixed(d.Residuals[k], 4, kDecimalMark)});
    }
    out << FormatTable({"Год", "Остаток"}, residuals);
  } else if (!d.ResidualsMessage.empty()) {
    out << "\nОстатков нет: " << d.ResidualsMessage << "\n";
  }
  if (d.Proposed) {
    const estimation::ParameterBounds& b = d.Proposed->Bounds;
    const auto range = [](double lo, double hi) {
      return FormatGeneral(lo, kDecimalMark) + " … " + FormatGeneral(hi, kDecimalMark);
    };
    out << "\nГраницы по данным: r " << range(b.MinR, b.MaxR) << ", K " << range(b.MinK, b.MaxK)
        << ", q " << range(b.MinQ, b.MaxQ) << "\n";
  }
  return out.str();
}

std::string RunDiagnoseCommand(const DiagnoseOptions& options) {
  Session session;
  const ChosenVariantRun chosen = EstimateAndChoose(session, options.Estimate, options.Variant);
  const diagnostics::VariantDiagnosis d = DiagnoseChosen(session, chosen, options.Estimate);
  if (options.Estimate.Json) {
    Json j;
    j["estimation"] = EstimateJson(session, chosen.Run, options.Estimate);
    j["diagnostics"] = DiagnosisJson(d);
    return DumpJson(j) + "\n";
  }
  return DiagnosisText(d);
}

}  // namespace tarvik::cli
