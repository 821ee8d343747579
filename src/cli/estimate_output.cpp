// The JSON and the readable report of an estimation and of what the
// estimator did to the chosen variant.
#include "cli/estimate_command.h"

#include <sstream>
#include <vector>

#include "assessment/observation_error.h"
#include "assessment/observation_error_view.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "cli/state_space_output.h"
#include "cli/text_output.h"
#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/variants.h"
#include "model/kinds.h"

namespace tarvik::cli {
namespace {

using estimation::FreshStart;
using model::ModelFit;

const char* KindKey(model::ProductionModelKind kind) {
  switch (kind) {
    case model::ProductionModelKind::Schaefer:
      return "Schaefer";
    case model::ProductionModelKind::Fox:
      return "Fox";
    case model::ProductionModelKind::PellaTomlinson:
      return "PellaTomlinson";
  }
  return "";
}

const char* ObjectiveKey(model::ObjectiveKind objective) {
  switch (objective) {
    case model::ObjectiveKind::SumOfSquares:
      return "SumOfSquares";
    case model::ObjectiveKind::LogSumOfSquares:
      return "LogSumOfSquares";
    case model::ObjectiveKind::Median:
      return "Median";
  }
  return "";
}

}  // namespace

Json ObservationErrorFitJson(const estimation::ObservationErrorFit& f) {
  const bool pt = f.Kind == model::ProductionModelKind::PellaTomlinson;
  return {{"r", f.R},
          {"K", f.K},
          {"q", f.Q},
          {"p", pt ? Json(f.P) : Json(nullptr)},
          {"b1k", f.Phi},
          {"sigma", f.Sigma},
          {"rss", f.RSS},
          {"aicc", f.AICc},
          {"n", f.N},
          {"msy", f.MSY},
          {"bmsy", f.BMSY},
          {"fmsy", f.FMSY},
          {"emsy", f.EMSY},
          {"b_last_bmsy", f.BLastOverBMSY},
          {"f_last_fmsy", f.FLastOverFMSY},
          {"at_bounds", f.AtBounds},
          {"converged", f.Converged}};
}

Json ObservationErrorJson(const std::vector<estimation::ObservationErrorFit>& fits) {
  static const char* const kKeys[] = {"schaefer", "fox", "pella_tomlinson"};
  Json j = Json::object();
  for (const estimation::ObservationErrorFit& f : fits) {
    j[kKeys[static_cast<std::size_t>(f.Kind)]] = ObservationErrorFitJson(f);
  }
  return j;
}

Json EstimateJson(const Session& session, const FreshStart& run, const EstimateOptions& o,
                  const estimation::RefinementReport* refinement) {
  const AssessmentState& state = session.State();
  const estimation::EstimationOutcome& e = run.Estimation;
  Json j;
  j["file"] = o.File;
  j["n"] = state.AnalysisSeries.size();
  j["table_years"] = run.File.table.DataRowCount();
  j["trim"] = o.Trim;
  j["keep_count"] = state.MedianKeepCount;
  j["cutoffs"] = o.CutOffs;
  j["pt_exponent"] = run.Check.ptExponent;
  j["correlations"] = {{"schaefer", run.Check.correlationSchaefer},
                       {"fox", run.Check.correlationFox},
                       {"pt", run.Check.correlationPT}};
  j["positive_correlation"] = run.Check.positiveCorrelation;
  j["k_start"] = e.Settings.Start.K;
  j["k_min"] = e.Settings.Bounds.MinK;
  j["k_max"] = e.Settings.Bounds.MaxK;
  j["start"] = {{"r", e.Settings.Start.r},
                {"K", e.Settings.Start.K},
                {"q", e.Settings.Start.q},
                {"p", e.Settings.Start.p}};
  j["bounds"] = {{"r", {e.Settings.Bounds.MinR, e.Settings.Bounds.MaxR}},
                 {"K", {e.Settings.Bounds.MinK, e.Settings.Bounds.MaxK}},
                 {"q", {e.Settings.Bounds.MinQ, e.Settings.Bounds.MaxQ}},
                 {"p", {e.Settings.Bounds.MinP, e.Settings.Bounds.MaxP}}};
  Json variants = Json::array();
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    const ModelFit& fit = state.ModelFits[i];
    const estimation::VariantRow& row = e.Display.Rows[i];
    Json v;
    v["index"] = i;
    v["label"] = estimation::VariantLabel(state.ModelFits, i);
    v["kind"] = KindKey(fit.Kind);
    v["objective"] = ObjectiveKey(fit.Objective);
    if (fit.Objective == model::ObjectiveKind::Median) v["cut_off"] = fit.CutOff;
    v["enabled"] = fit.Enabled == 1;
    v["r"] = fit.R;
    v["K"] = fit.K;
    v["q"] = fit.Q;
    v["p"] =
        fit.Kind == model::ProductionModelKind::PellaTomlinson ? Json(fit.Exponent) : Json(nullptr);
    v["L"] = fit.ObjectiveValue;
    v["out_of_bounds"] = {
        {"r", row.ROutOfBounds}, {"K", row.KOutOfBounds}, {"q", row.QOutOfBounds}};
    v["texts"] = {{"r", row.RText},
                  {"K", row.KText},
                  {"q", row.QText},
                  {"L", row.LText},
                  {"p", row.ExponentHint}};
    Json atBounds = Json::array();
    if (fit.Enabled == 1) {
      for (const diagnostics::BoundHit& hit : diagnostics::ParametersAtBounds(
               {fit.R, fit.K, fit.Q, fit.Exponent}, e.Settings.Bounds,
               fit.Kind == model::ProductionModelKind::PellaTomlinson)) {
        atBounds.push_back(hit.Parameter);
      }
    }
    v["at_bounds"] = std::move(atBounds);
    variants.push_back(std::move(v));
  }
  j["variants"] = std::move(variants);
  std::optional<diagnostics::ProposedBounds> proposal;
  try {
    proposal = diagnostics::ProposeBounds(state.AnalysisSeries);
  } catch (const Error&) {
    proposal.reset();  // no positive catch or CPUE: nothing to propose from
  }
  j["proposed_bounds"] = ProposedBoundsJson(proposal);
  if (e.HoldOut) {
    Json h;
    h["years"] = e.HoldOut->HeldOutYears;
    h["observed"] = e.HoldOut->Observed;
    Json list = Json::array();
    for (const estimation::HoldOutVariant& v : e.HoldOut->Variants) {
      list.push_back({{"index", v.Index},
                      {"label", v.Label},
                      {"sd", v.SD},
                      {"title", v.SeriesTitle},
                      {"predicted", v.Predicted}});
    }
    h["variants"] = std::move(list);
    j["holdout"] = std::move(h);
  } else {
    j["holdout"] = nullptr;
  }
  j["model_choice"] = e.Display.ChoiceLabels;
  j["evaluations"] = e.Summary.Evaluations;
  j["random_seed_after"] = state.Random.Seed();
  if (refinement != nullptr) {
    Json refined = Json::array();
    for (const estimation::VariantRefinement& v : refinement->Variants) {
      refined.push_back(RefinementJson(v));
    }
    j["refined"] = std::move(refined);
  }
  if (!state.ObservationError.Fits.empty()) {
    j["observation_error"] = ObservationErrorJson(state.ObservationError.Fits);
  }
  return j;
}

Json ProposedBoundsJson(const std::optional<diagnostics::ProposedBounds>& proposal) {
  if (!proposal) return nullptr;
  const estimation::ParameterBounds& b = proposal->Bounds;
  return {{"r", {b.MinR, b.MaxR}}, {"K", {b.MinK, b.MaxK}}, {"q", {b.MinQ, b.MaxQ}}};
}

Json RefinementJson(const estimation::VariantRefinement& v) {
  const bool pt = v.Kind == model::ProductionModelKind::PellaTomlinson;
  Json j;
  j["index"] = v.Index;
  j["label"] = v.Label;
  j["available"] = v.Available;
  if (!v.Available) j["message"] = v.Message;
  j["L"] = v.Objective;
  j["r"] = v.Point.r;
  j["K"] = v.Point.K;
  j["q"] = v.Point.q;
  j["p"] = pt ? Json(v.Point.p) : Json(nullptr);
  j["search_L"] = v.SearchObjective;
  j["gap"] = v.Gap;
  j["relative_gap"] = v.RelativeGap ? Json(*v.RelativeGap) : Json(nullptr);
  j["not_converged"] = v.NotConverged;
  return j;
}

void AddAdoptedEstimateJson(Json& j, const AdoptedEstimate& adopted) {
  if (adopted.Refinement) j["refinement"] = AdoptedRefinementJson(*adopted.Refinement);
  if (const auto& o = adopted.ObservationError) {
    Json entry = ObservationErrorFitJson(o->Fit);
    entry["label"] = o->Label;
    entry["adopted"] = o->Adopted;
    if (!o->Adopted) entry["message"] = o->Message;
    j["observation_error"] = std::move(entry);
  }
  if (adopted.StateSpace) j["state_space"] = AdoptedStateSpaceJson(*adopted.StateSpace);
}

std::string AdoptedEstimateText(const AdoptedEstimate& adopted) {
  if (adopted.Refinement) return AdoptedRefinementText(*adopted.Refinement) + "\n";
  if (const auto& o = adopted.ObservationError) {
    if (!o->Adopted) return o->Message + "\n";
    return "Приняты оценки модели ошибки наблюдения для варианта «" + o->Label +
           "»: r = " + estimation::SignificantText(o->Fit.R, kDecimalMark) +
           ", K = " + estimation::SignificantText(o->Fit.K, kDecimalMark) +
           ", q = " + FormatCatchability(o->Fit.Q, kDecimalMark) + "\n";
  }
  if (adopted.StateSpace) return AdoptedStateSpaceText(*adopted.StateSpace);
  return "";
}

Json AdoptedRefinementJson(const AdoptedRefinement& adopted) {
  Json j = RefinementJson(adopted.Refinement);
  j["adopted"] = adopted.Adopted;
  return j;
}

std::string AdoptedRefinementText(const AdoptedRefinement& adopted) {
  const estimation::VariantRefinement& v = adopted.Refinement;
  if (adopted.Adopted) {
    return "Приняты уточнённые значения варианта «" + v.Label + "»: L " +
           FormatFixed(v.SearchObjective, 3) + " → " + v.Row.LText + ", r = " + v.Row.RText +
           ", K = " + v.Row.KText + ", q = " + v.Row.QText;
  }
  if (!v.Available) return "Уточнение варианта «" + v.Label + "» невозможно: " + v.Message;
  return "Уточнённые значения варианта «" + v.Label +
         "» не приняты: поиск уже нашёл минимум в тех же границах";
}

std::string EstimateText(const Session& session, const FreshStart& run,
                         const estimation::RefinementReport* refinement) {
  const AssessmentState& state = session.State();
  const estimation::EstimationOutcome& e = run.Estimation;
  std::ostringstream out;
  out << "Лет в ряду для оценки: " << state.AnalysisSeries.size()
      << ", учитываемых остатков: " << int(state.MedianKeepCount) << "\n";
  out << "Коэффициенты корреляции: Шефер " << run.Check.correlationSchaeferText << ", Фокс "
      << run.Check.correlationFoxText << ", Пелла-Томлинсон " << run.Check.correlationPTText
      << " (показатель степени " << run.Check.ptExponentHint << ")\n";
  if (run.Check.positiveCorrelation) {
    out << "Положительный коэффициент корреляции! Дальнейшие расчеты будут некорректны.\n";
  }
  out << "K: начальное " << run.Request.Texts.InitialK << ", границы " << run.Request.Texts.MinK
      << " … " << run.Request.Texts.MaxK << "\n\n";

  const std::vector<std::string> header = {"№", "Вариант", "r", "K", "q", "p", "L"};
  std::vector<std::vector<std::string>> rows;
  bool anyOut = false;
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    const ModelFit& fit = state.ModelFits[i];
    const estimation::VariantRow& row = e.Display.Rows[i];
    const auto mark = [&anyOut](const std::string& text, bool out) {
      anyOut = anyOut || out;
      return out ? text + "*" : text;
    };
    rows.push_back({std::to_string(i) + (fit.Enabled == 1 ? "" : " (выкл.)"),
                    estimation::VariantLabel(state.ModelFits, i), mark(row.RText, row.ROutOfBounds),
                    mark(row.KText, row.KOutOfBounds), mark(row.QText, row.QOutOfBounds),
                    fit.Kind == model::ProductionModelKind::PellaTomlinson ? row.ExponentHint : "",
                    row.LText});
  }
  out << FormatTable(header, rows);
  if (anyOut) out << "* — значение на границе или за её пределами\n";
  if (e.HoldOut) {
    out << "\nПроверка на " << e.HoldOut->HeldOutYears << " отсечённых годах:\n";
    for (const estimation::HoldOutVariant& v : e.HoldOut->Variants) {
      out << "  " << v.SeriesTitle << "\n";
    }
  }
  if (refinement != nullptr) {
    out << "\n";
    for (const std::string& line : refinement->MemoLines) out << line << "\n";
  }
  if (!state.ObservationError.Fits.empty()) {
    const TextTable table =
        estimation::ObservationErrorTable(state.ObservationError.Fits,
                                        run.File.description.catchUnitExponent, kDecimalMark);
    out << "\n"
        << estimation::kObservationErrorTitle
        << (state.ObservationError.EstimateB1 ? " (B₁/K оценивается)" : " (B₁ = K)") << ":\n"
        << FormatTable(table[0], TextTable(table.begin() + 1, table.end()));
  }
  return out.str();
}

}  // namespace tarvik::cli
