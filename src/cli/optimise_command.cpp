#include "cli/optimise_command.h"

#include <chrono>
#include <optional>
#include <sstream>
#include <vector>

#include "assessment/reference_points.h"
#include "assessment/rules.h"
#include "assessment/search.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "cli/json_output.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/variants.h"
#include "rbridge/pictures.h"
#include "rbridge/r_runner.h"
#include "rbridge/work_directory.h"
#include "refpoints/reference_points.h"
#include "rules/optimisation.h"
#include "rules/optimisation_files.h"
#include "rules/rule_list.h"

namespace tarvik::cli {
namespace {

// What can be checked before the data file is read.
struct Prepared {
  rules::RuleKind Shape = rules::RuleKind::PiecewiseLinear;
  int TargetIndex = 0;  // ComboBoxFNZ item
  refpoints::SelectorChanges Selected;
};

Prepared Prepare(const OptimiseCommandOptions& o) {
  Prepared p;
  if (o.Variant.empty()) throw Error("Параметр --variant: не указан вариант модели");
  RequireVariantLabel(o.Estimate.CutOffs, o.Variant);
  const std::optional<int> shape = Choice(o.Shape, {"linear", "logistic"}, "--shape");
  if (!shape) throw Error("Параметр --shape: укажите linear или logistic");
  p.Shape = *shape == 0 ? rules::RuleKind::PiecewiseLinear : rules::RuleKind::Logistic;
  p.TargetIndex = *Choice(o.Target.empty() ? "FMSY" : o.Target,
                          {"FMSY", "F01", "Fsq", "Fsq75", "Fsq125"}, "--target");
  if (o.Horizon < 1 || o.Horizon > 20) {
    throw Error("Параметр --horizon: прогнозный горизонт от 1 до 20 лет, задано " +
                std::to_string(o.Horizon));
  }
  RTimeLimit(o.TimeLimit);
  p.Selected = ParseReferenceSelectors(o.Selectors);
  return p;
}

const char* ShapeText(rules::RuleKind kind) {
  return kind == rules::RuleKind::Logistic ? "логистическое ПРП" : "линейно-кусочное ПРП";
}

struct BestLine {
  const char* Title;
  const char* Key;
  double Value, Alpha, Beta;
};

std::vector<BestLine> BestLines(const rules::BestPoints& b) {
  return {
      {"Наибольший улов, т", "catch", b.BestCatch, b.BestCatchAlpha, b.BestCatchBeta},
      {"Наибольшая биомасса, т", "biomass", b.BestBiomass, b.BestBiomassAlpha, b.BestBiomassBeta},
      {"Наименьшая вариабельность улова", "catch_variability", b.LeastVariability,
       b.LeastVariabilityAlpha, b.LeastVariabilityBeta},
      {"Наименьший риск B < Bср", "risk_below_mean", b.LeastRisk, b.LeastRiskAlpha,
       b.LeastRiskBeta}};
}

Json OptimisationJson(const rules::OptimisationResult& r, const OptimiseCommandOptions& o) {
  Json j;
  j["shape"] = o.Shape;
  j["target"] = o.Target;
  j["horizon"] = o.Horizon;
  j["mean_observed_biomass"] = r.MeanBiomass;
  j["alphas"] = r.Alphas;
  j["betas"] = r.Betas;
  Json candidates = Json::array();
  const std::size_t columns = r.Betas.size();
  for (std::size_t c = 0; c < r.Candidates.size(); ++c) {
    const auto& v = r.Candidates[c];
    candidates.push_back({{"alpha", r.Alphas[c / columns]},
                          {"beta", r.Betas[c % columns]},
                          {"mean_catch", v.MeanCatch},
                          {"mean_biomass", v.MeanBiomass},
                          {"catch_variability", v.CatchVariability},
                          {"risk_below_mean", v.RiskBelowMean}});
  }
  j["candidates"] = std::move(candidates);
  Json best;
  for (const BestLine& line : BestLines(r.Best)) {
    best[line.Key] = {{"value", line.Value}, {"alpha", line.Alpha}, {"beta", line.Beta}};
  }
  j["best"] = std::move(best);
  j["edit_alpha"] = r.AlphaText;
  if (!r.BetaText.empty()) j["edit_beta"] = r.BetaText;
  return j;
}

std::string OptimiseText(const rules::OptimisationResult& r, const OptimiseCommandOptions& o,
                         const rbridge::PictureRun& pictures, const std::string& directoryNote) {
  std::ostringstream out;
  out << "Оптимизация ПРП: " << ShapeText(r.Kind) << ", вариант «" << o.Variant
      << "», целевая смертность " << o.Target << ", прогнозный горизонт " << o.Horizon
      << ", кандидатов " << r.Candidates.size() << "\n";
  out << "Средняя наблюдённая биомасса: " << FormatGeneral(r.MeanBiomass) << "\n";
  for (const BestLine& line : BestLines(r.Best)) {
    out << line.Title << ": " << FormatGeneral(line.Value)
        << "; alpha = " << FormatFixed(line.Alpha, 2);
    if (r.Kind == rules::RuleKind::Logistic) out << ", beta = " << FormatFixed(line.Beta, 2);
    out << "\n";
  }
  out << "ПРП после оптимизации: alpha = " << r.AlphaText;
  if (!r.BetaText.empty()) out << ", beta = " << r.BetaText;
  out << "\n";
  if (!directoryNote.empty()) out << directoryNote << "\n";
  if (pictures.FilesWritten) {
    out << "Файлы для R: " << rules::JoinPath(pictures.Directory, rules::kOptimisationMatrixFile)
        << ", " << pictures.ScriptPath << "\n";
    WritePictureLines(out, pictures);
  }
  return out.str();
}

}  // namespace

CLI::App* AddOptimiseCommand(CLI::App& app, OptimiseCommandOptions& o) {
  CLI::App* sub = AddVariantCommand(app, "optimise",
                                    "Оптимизация параметров ПРП (alpha, beta) по прогнозам с шумом",
                                    o.Estimate, o.Variant);
  sub->add_option("--shape", o.Shape, "Форма ПРП: linear или logistic")->required();
  sub->add_option("--target", o.Target, "Целевая смертность: FMSY, F01, Fsq, Fsq75, Fsq125")
      ->default_val("FMSY");
  sub->add_option("--horizon", o.Horizon, "Прогнозный горизонт, лет (1…20)")->default_val(5);
  sub->add_option("--dir", o.Directory,
                  "Папка для OutMatrix.txt, Graph.R и рисунков (по умолчанию папка файла данных)");
  AddReferenceSelectorOptions(*sub, o.Selectors);
  AddRTimeLimitOption(*sub, o.TimeLimit);
  AddEstimatorOption(*sub, o.Estimate);
  return sub;
}

std::string RunOptimiseCommand(const OptimiseCommandOptions& o) {
  const Prepared p = Prepare(o);
  Session session;
  AssessmentState& state = session.State();
  const ChosenVariantRun chosen = EstimateAndChoose(session, o.Estimate, o.Variant);
  const estimation::FreshStart& run = chosen.Run;
  const AdoptedEstimate& adopted = chosen.Adopted;

  // The reference-point page, then its selectors in the order Btr, Etr, Blim.
  refpoints::UpdateReferencePoints(state, p.Selected, kDecimalMark);

  // The rule page: showing it sets the working rule's target to FMSY; the
  // target selector then sets the chosen one.
  state.WorkingRule.TargetKind = rules::FTargetKind::FMSY;
  state.WorkingRule.TargetKind = rules::TargetKindForIndex(p.TargetIndex);

  rules::OptimisePageRequest request;
  request.Shape = p.Shape;
  request.ChosenVariant = static_cast<std::uint8_t>(chosen.Variant);
  request.Horizon = o.Horizon;
  request.Threads = static_cast<unsigned>(o.Estimate.Threads);
  const rules::OptimisationResult result = rules::OptimiseRule(state, request, kDecimalMark);

  rbridge::PictureRun pictures;
  std::string directoryNote;
  if (result.Kind == rules::RuleKind::Logistic) {
    const rbridge::WorkDirectoryChoice where =
        o.Directory.empty() ? rbridge::ChooseWorkDirectory(state.DataFileName)
                            : rbridge::ChooseWritableDirectory(o.Directory);
    directoryNote = where.Message;
    pictures = rbridge::DrawOptimisationPictures(where.Directory, result,
                                                 chosen.Run.File.description.catchUnitExponent,
                                                 rbridge::LocateR(), RTimeLimit(o.TimeLimit));
    WarnWhenRFailed(pictures);
  }

  if (!o.Estimate.Json) {
    const std::string text = OptimiseText(result, o, pictures, directoryNote);
    return AdoptedEstimateText(adopted) + text;
  }

  const model::ModelFit& fit = state.ModelFits[chosen.Variant];
  Json j;
  j["estimation"] = EstimateJson(session, run, o.Estimate);
  j["variant"] = {{"label", o.Variant}, {"index", static_cast<int>(chosen.Variant)}};
  j["reference_points"] = ReferencePointsJson(fit);
  j["optimisation"] = OptimisationJson(result, o);
  AddAdoptedEstimateJson(j, adopted);
  if (pictures.FilesWritten) {
    j["files"] = {{"directory", pictures.Directory},
                  {"directory_note", directoryNote},
                  {"matrix", rules::JoinPath(pictures.Directory, rules::kOptimisationMatrixFile)},
                  {"script", pictures.ScriptPath},
                  {"pictures", pictures.Pictures},
                  {"r_status", RStatusKey(pictures.R.Status)},
                  {"r_message", pictures.R.Message}};
  }
  j["random_seed_after"] = state.Random.Seed();
  return DumpJson(j) + "\n";
}

}  // namespace tarvik::cli
