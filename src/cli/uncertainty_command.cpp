#include "cli/uncertainty_command.h"

#include <sstream>

#include "assessment/reference_points.h"
#include "assessment/uncertainty.h"
#include "cli/common_options.h"
#include "common/error.h"
#include "projection/kobe.h"
#include "refpoints/reference_points.h"
#include "uncertainty/bootstrap_view.h"

namespace tarvik::cli {

using uncertainty::BootstrapResult;

void AddUncertaintyOptions(CLI::App& sub, UncertaintySettings& settings,
                           const char* replicatesOption, const char* replicatesHelp) {
  sub.add_option(replicatesOption, settings.Replicates, replicatesHelp);
  sub.add_option("--seed", settings.Seed,
                 "Зерно генератора бутстрепа (по умолчанию 1; поток случайных чисел процедуры "
                 "не меняется)")
      ->default_val(1);
  sub.add_option("--level", settings.Level, "Уровень доверительных интервалов: 90 или 95 %")
      ->default_val(90);
}

void CheckUncertaintySettings(const UncertaintySettings& settings, const char* replicatesOption) {
  if (settings.Replicates < uncertainty::kMinReplicates ||
      settings.Replicates > uncertainty::kMaxReplicates) {
    throw Error(std::string("Параметр ") + replicatesOption + ": число повторов бутстрепа от " +
                std::to_string(uncertainty::kMinReplicates) + " до " +
                std::to_string(uncertainty::kMaxReplicates) + ", задано " +
                std::to_string(settings.Replicates));
  }
  if (settings.Level != 90 && settings.Level != 95) {
    throw Error("Параметр --level: уровень 90 или 95 %, задано " + std::to_string(settings.Level));
  }
}

const estimation::ParameterBounds& SearchBoundsOf(const ChosenVariantRun& chosen) {
  if (chosen.Choice && chosen.Choice->FinalRun) return chosen.Choice->FinalRun->Settings.Bounds;
  return chosen.Run.Estimation.Settings.Bounds;
}

void EstimateChosenUncertainty(Session& session, const ChosenVariantRun& chosen,
                               const UncertaintySettings& settings, double blimFraction,
                               const EstimateOptions& options) {
  AssessmentState& state = session.State();
  uncertainty::BootstrapOptions bootstrap;
  bootstrap.Replicates = settings.Replicates;
  bootstrap.Seed = settings.Seed;
  bootstrap.Level = settings.Level;
  bootstrap.Threads = options.Threads;
  bootstrap.BlimFraction = blimFraction;
  uncertainty::EstimateUncertainty(state, SearchBoundsOf(chosen), bootstrap);
}

namespace {

// The replicates on a bound: their count, per estimated parameter the shares
// on its lower and upper bound, and whether the intervals are truncated.
Json AtBoundsJson(const BootstrapResult& r) {
  const int used = r.ReplicateCount - r.Failed;
  Json shares = Json::object();
  for (std::size_t p = 0; p < uncertainty::kBoundParameterCount; ++p) {
    if (!r.BoundEstimated[p]) continue;
    const auto share = [&](std::size_t side) {
      return used > 0 ? r.BoundCounts[p][side] / static_cast<double>(used) : 0.0;
    };
    shares[uncertainty::BoundParameterKey(static_cast<uncertainty::BoundParameter>(p))] = {
        {"lower", share(0)}, {"upper", share(1)}};
  }
  const std::string truncation = uncertainty::TruncationText(r, kDecimalMark);
  return {{"replicates", r.AtBounds},
          {"shares", std::move(shares)},
          {"truncated", !truncation.empty()},
          {"text", truncation}};
}

}  // namespace

Json UncertaintyJson(const BootstrapResult& r, model::FitOrigin origin) {
  Json quantities = Json::object();
  for (std::size_t q = 0; q < uncertainty::kQuantityCount; ++q) {
    const auto quantity = static_cast<uncertainty::Quantity>(q);
    const uncertainty::Interval& i = r.Of(quantity);
    quantities[uncertainty::QuantityKey(quantity)] = i.Estimated ? Json{{"estimate", i.Estimate},
                                                                        {"median", i.Median},
                                                                        {"lower", i.Lower},
                                                                        {"upper", i.Upper}}
                                                                 : Json(nullptr);
  }
  const bool procedure = r.Method == uncertainty::Estimator::Procedure;
  const bool stateSpace = r.Method == uncertainty::Estimator::StateSpace;
  const char* estimator = stateSpace                               ? "state-space"
                          : !procedure                             ? "observation-error"
                          : origin == model::FitOrigin::Refinement ? "refined"
                                                                   : "procedure";
  const char* method = stateSpace  ? "draws from the normal approximation"
                       : procedure ? "fixed-design residual bootstrap"
                                   : "log-residual bootstrap";
  return {{"method", method},
          {"estimator", estimator},
          {"replicates", r.ReplicateCount},
          {"seed", r.Seed},
          {"level", r.Level},
          {"blim_fraction", r.BlimFraction},
          {"failed", r.Failed},
          {"at_bounds", AtBoundsJson(r)},
          {"quantities", std::move(quantities)},
          {"probabilities",
           {{"b_last_below_bmsy", r.ProbBelowBmsy},
            {"b_last_below_blim", r.ProbBelowBlim},
            {"f_last_above_fmsy", r.ProbAboveFmsy}}},
          {"correlations",
           {{"r_K", r.CorrelationRK}, {"r_q", r.CorrelationRQ}, {"K_q", r.CorrelationKQ}}},
          {"b_last", uncertainty::BLastDefinition(r)}};
}

void AddKobeCloudJson(const BootstrapResult& result, Json& kobe) {
  const uncertainty::KobeCloud cloud = uncertainty::KobeCloudOf(result);
  Json points = Json::array();
  for (const Point& p : cloud.Points) points.push_back({p.x, p.y});
  Json shares = Json::object();
  for (std::size_t q = 0; q < cloud.QuadrantProbabilities.size(); ++q) {
    shares[projection::QuadrantKey(static_cast<projection::KobeQuadrant>(q))] =
        cloud.QuadrantProbabilities[q];
  }
  kobe["cloud"] = std::move(points);
  kobe["quadrant_probabilities"] = std::move(shares);
}

CLI::App* AddUncertaintyCommand(CLI::App& app, UncertaintyCommandOptions& o) {
  CLI::App* sub = AddVariantCommand(
      app, "uncertainty",
      "Доверительные интервалы параметров, ориентиров и состояния запаса выбранного варианта "
      "(бутстреп остатков)",
      o.Estimate, o.Variant);
  AddUncertaintyOptions(*sub, o.Settings, "--replicates",
                        "Число повторов бутстрепа (100…10000, по умолчанию 1000)");
  sub->add_option("--blim", o.Blim,
                  "Граничная биомасса для P(B < Blim): 0.1, 0.2, 0.3 или 0.5 BMSY (по умолчанию "
                  "0.1)");
  AddEstimatorOption(*sub, o.Estimate);
  return sub;
}

std::string RunUncertaintyCommand(const UncertaintyCommandOptions& o) {
  if (o.Variant.empty()) throw Error("Параметр --variant: не указан вариант модели");
  RequireVariantLabel(o.Estimate.CutOffs, o.Variant);
  CheckUncertaintySettings(o.Settings, "--replicates");
  const std::optional<int> blim = Choice(o.Blim, {"0.1", "0.2", "0.3", "0.5"}, "--blim");

  Session session;
  AssessmentState& state = session.State();
  const ChosenVariantRun chosen = EstimateAndChoose(session, o.Estimate, o.Variant);
  EstimateChosenUncertainty(session, chosen, o.Settings,
                            *refpoints::LimitFraction(blim.value_or(0)), o.Estimate);
  const BootstrapResult& result = *state.Uncertainty;
  if (o.Estimate.Json) {
    Json j;
    j["variant"] = {{"label", o.Variant}, {"index", chosen.Variant}};
    AddAdoptedEstimateJson(j, chosen.Adopted);
    j["uncertainty"] = UncertaintyJson(result, state.ModelFits[chosen.Variant].Origin);
    j["random_seed_after"] = state.Random.Seed();
    return DumpJson(j) + "\n";
  }
  std::ostringstream out;
  out << AdoptedEstimateText(chosen.Adopted);
  for (const std::string& line : uncertainty::ReportLines(result, kDecimalMark)) {
    out << line << "\n";
  }
  return out.str();
}

}  // namespace tarvik::cli
