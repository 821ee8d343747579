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

template <std::size_t Count>
std::array<std::string, Count> Texts(const std::string& text, const char* option,
                                     const char* expected) {
  std::array<std::string, Count> texts;
  if (text.empty()) return texts;
  const std::vector<std::string> fields = SplitAt(text, ',');
  if (fields.size() != Count) {
    throw Error(std::string("Параметр ") + option + ": нужно " + std::to_string(Count) +
                " значений через запятую (" + expected + "), задано «" + MessageExcerpt(text) +
                "»");
  }
  for (std::size_t i = 0; i < Count; ++i) texts[i] = fields[i];
  return texts;
}

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

void AddEstimateOptions(CLI::App& sub, EstimateOptions& o) {
  sub.add_option("FILE", o.File, "Файл данных (десятичный разделитель — точка)")->required();
  sub.add_option("--trim", o.Trim, "Доля отсекаемых остатков S (0…9, десятки процентов)")
      ->default_val(0);
  sub.add_option("--cutoffs", o.CutOffs, "Значения медианного окна, например 2-5,7,9")
      ->default_val("4");
  sub.add_option("--variants", o.Variants,
                 "Номера отмеченных вариантов через запятую (по умолчанию все)");
  sub.add_option("--start", o.Start,
                 "Начальные значения r,K,q (пустое поле оставляет значение страницы)");
  sub.add_option("--bounds", o.Bounds, "Границы rmin,rmax,Kmin,Kmax,qmin,qmax");
  sub.add_option("--holdout", o.HoldOut, "Выбор модели по N отсечённым последним годам");
  sub.add_option("--threads", o.Threads, "Число потоков поиска (0 — все ядра, не более 64)")
      ->default_val(0);
  sub.add_flag("--json", o.Json, "Вывести результат в формате JSON");
}

namespace {

void AddB1kOption(CLI::App& sub, EstimateOptions& o) {
  sub.add_option("--b1k", o.B1k,
                 "Модели ошибки наблюдения и пространства состояний: fixed — B₁ = K, free — B₁/K "
                 "оценивается")
      ->default_val("fixed");
}

}  // namespace

Estimator EstimatorOf(const EstimateOptions& o) {
  const std::optional<int> chosen =
      Choice(o.Estimator, {"procedure", "refined", "observation-error", "state-space"},
             "--estimator");
  const Estimator estimator = chosen ? static_cast<Estimator>(*chosen) : Estimator::Procedure;
  if (o.Refine && (estimator == Estimator::ObservationError || estimator == Estimator::StateSpace)) {
    throw Error("Параметры --refine и --estimator " + o.Estimator +
                " несовместимы: выберите один");
  }
  return o.Refine ? Estimator::Refined : estimator;
}

estimation::ObservationErrorOptions MakeObservationErrorOptions(
    const EstimateOptions& o, const estimation::ParameterBounds& bounds) {
  const std::optional<int> b1k = Choice(o.B1k, {"fixed", "free"}, "--b1k");
  return {b1k == 1, bounds};
}

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

estimation::FreshStartRequest MakeFreshStartRequest(const EstimateOptions& o) {
  if (o.Threads < 0 || o.Threads > kMaxThreads) {
    throw Error("Параметр --threads: число потоков от 0 (все ядра) до " +
                std::to_string(kMaxThreads) + ", задано " + std::to_string(o.Threads));
  }
  estimation::FreshStartRequest request;
  request.DataFile = o.File;
  request.DecimalMark = kDecimalMark;
  request.CutOffList = o.CutOffs;
  request.TrimPosition = o.Trim;
  request.HoldOutYears = o.HoldOut;
  if (o.HoldOut < 0) throw Error("Параметр --holdout: число лет не может быть отрицательным");
  try {
    estimation::CheckTrimPosition(o.Trim);
  } catch (const Error& error) {
    throw Error(std::string("Параметр --trim: ") + error.what());
  }
  if (!o.Variants.empty()) {
    std::vector<std::size_t> indices;
    for (const std::string& field : SplitAt(o.Variants, ',')) {
      const auto value = TryParseInteger(field);
      if (!value || *value < 0 || *value > 254) {
        throw Error("Параметр --variants: «" + MessageExcerpt(field) +
                    "» не является номером варианта");
      }
      indices.push_back(static_cast<std::size_t>(*value));
    }
    request.TickedVariants = std::move(indices);
  }
  request.StartTexts = Texts<3>(o.Start, "--start", "r,K,q");
  request.BoundTexts = Texts<6>(o.Bounds, "--bounds", "rmin,rmax,Kmin,Kmax,qmin,qmax");
  return request;
}

estimation::SearchOptions MakeSearchOptions(const EstimateOptions& o) {
  estimation::SearchOptions search;
  search.Threads = o.Threads;
  return search;
}

FreshStart RunEstimateWorkflow(Session& session, const EstimateOptions& o) {
  AssessmentState& state = session.State();
  const estimation::FreshStartRequest request = MakeFreshStartRequest(o);
  return estimation::RunFreshStartEstimation(state, request, MakeSearchOptions(o));
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

CLI::App* AddVariantCommand(CLI::App& app, const char* name, const char* description,
                            EstimateOptions& options, std::string& variant, const char* help) {
  CLI::App* sub = app.add_subcommand(name, description);
  AddEstimateOptions(*sub, options);
  sub->add_option("--variant", variant, help)->required();
  return sub;
}

void AddEstimatorOption(CLI::App& sub, EstimateOptions& options) {
  sub.add_option("--estimator", options.Estimator,
                 "Значения выбранного варианта: procedure — найденные поиском, refined — "
                 "уточнённые, observation-error — оценки модели ошибки наблюдения, "
                 "state-space — оценки модели пространства состояний")
      ->default_val("procedure");
  sub.add_flag("--refine", options.Refine, "То же, что --estimator refined");
  AddB1kOption(sub, options);
}

std::optional<AdoptedRefinement> RefineChosenVariant(Session& session,
                                                     const estimation::EstimationOutcome& last,
                                                     std::size_t variant,
                                                     const EstimateOptions& options) {
  AssessmentState& state = session.State();
  if (EstimatorOf(options) != Estimator::Refined) return std::nullopt;
  AdoptedRefinement adopted;
  adopted.Refinement =
      estimation::RefineVariant(state.AnalysisSeries, state.ModelFits, variant,
                                last.Settings.Bounds, state.MedianKeepCount, kDecimalMark);
  const estimation::VariantRefinement& v = adopted.Refinement;
  if (v.Available && v.Objective < v.SearchObjective) {
    estimation::AdoptRefinement(state, v);
    adopted.Adopted = true;
  }
  return adopted;
}

ChosenVariantRun EstimateAndChoose(Session& session, const EstimateOptions& options,
                                   const std::string& label, bool choose) {
  AssessmentState& state = session.State();
  // A bad --estimator or --b1k fails before the long estimation.
  const Estimator estimator = EstimatorOf(options);
  if (estimator == Estimator::ObservationError) MakeObservationErrorOptions(options, {});
  if (estimator == Estimator::StateSpace) MakeStateSpaceOptions(options, {});
  ChosenVariantRun chosen;
  chosen.Run = RunEstimateWorkflow(session, options);
  if (choose) {
    chosen.Choice = estimation::ChooseModelAndRefit(state, chosen.Run.File.table, label,
                                                    chosen.Run.Request, MakeSearchOptions(options));
    chosen.Variant = chosen.Choice->Index;
  } else {
    chosen.Variant = estimation::VariantIndexByLabel(state.ModelFits, label);
  }
  chosen.Adopted.Refinement =
      RefineChosenVariant(session, chosen.LastSearch(), chosen.Variant, options);
  chosen.Adopted.ObservationError =
      AdoptObservationErrorOfChosen(session, chosen.LastSearch(), chosen.Variant, options);
  chosen.Adopted.StateSpace =
      AdoptStateSpaceOfChosen(session, chosen.LastSearch(), chosen.Variant, options);
  return chosen;
}

std::optional<AdoptedObservationError> AdoptObservationErrorOfChosen(
    Session& session, const estimation::EstimationOutcome& last, std::size_t variant,
    const EstimateOptions& options) {
  AssessmentState& state = session.State();
  if (EstimatorOf(options) != Estimator::ObservationError) return std::nullopt;
  estimation::EstimateObservationError(state,
                                       MakeObservationErrorOptions(options, last.Settings.Bounds));
  AdoptedObservationError adopted;
  adopted.Label = estimation::VariantLabel(state.ModelFits, variant);
  adopted.Fit = *estimation::ObservationErrorFitOf(state, state.ModelFits[variant].Kind);
  if (const auto refusal = estimation::ObservationErrorAdoptionRefusal(state, variant)) {
    adopted.Message = *refusal;
  } else {
    estimation::AdoptObservationError(state, variant);
    adopted.Adopted = true;
  }
  return adopted;
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
        estimation::ObservationErrorTable(state.ObservationError.Fits, kDecimalMark);
    out << "\n"
        << estimation::kObservationErrorTitle
        << (state.ObservationError.EstimateB1 ? " (B₁/K оценивается)" : " (B₁ = K)") << ":\n"
        << FormatTable(table[0], TextTable(table.begin() + 1, table.end()));
  }
  return out.str();
}

CLI::App* AddEstimateCommand(CLI::App& app, EstimateOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "estimate", "Оценка параметров моделей по файлу данных (как «Оценка параметров»)");
  AddEstimateOptions(*sub, options);
  sub->add_flag("--observation-error", options.ObservationError,
                "Оценить также модели ошибки наблюдения (Шефер, Фокс, Пелла-Томлинсон)");
  sub->add_flag("--state-space", options.StateSpace,
                "Оценить также модели пространства состояний (Шефер, Фокс, Пелла-Томлинсон)");
  AddB1kOption(*sub, options);
  return sub;
}

std::string RunEstimateCommand(const EstimateOptions& options) {
  if (options.ObservationError) MakeObservationErrorOptions(options, {});  // fails early
  if (options.StateSpace) MakeStateSpaceOptions(options, {});
  Session session;
  AssessmentState& state = session.State();
  const FreshStart run = RunEstimateWorkflow(session, options);
  // The convergence check of every searched variant; it reads the state only.
  const estimation::RefinementReport refinement = estimation::RefineActiveVariants(
      state, run.Estimation.Settings.Bounds, kDecimalMark, options.Threads);
  if (options.ObservationError) {
    // A second estimator beside the search: it reads the series and the
    // bounds only and leaves the random stream alone.
    estimation::EstimateObservationError(
        state, MakeObservationErrorOptions(options, run.Estimation.Settings.Bounds));
  }
  // The state-space estimator, beside the others: it reads the analysis
  // series only.
  std::optional<std::array<estimation::StateSpaceFit, 3>> stateSpace;
  if (options.StateSpace) {
    stateSpace = estimation::FitStateSpaceModels(
        state.AnalysisSeries, MakeStateSpaceOptions(options, run.Estimation.Settings.Bounds));
  }
  if (options.Json) {
    Json j = EstimateJson(session, run, options, &refinement);
    if (stateSpace) j["state_space"] = StateSpaceJson(*stateSpace);
    return DumpJson(j) + "\n";
  }
  std::string text = EstimateText(session, run, &refinement);
  if (stateSpace) text += "\n" + StateSpaceText(*stateSpace);
  return text;
}

}  // namespace tarvik::cli
