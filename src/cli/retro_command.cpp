#include "cli/retro_command.h"

#include <optional>
#include <sstream>

#include "assessment/fit_checks.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "cli/text_output.h"
#include "common/numbers.h"
#include "estimation/retro_analysis.h"
#include "estimation/variants.h"

namespace tarvik::cli {

CLI::App* AddRetrospectiveCommand(CLI::App& app, RetrospectiveCommandOptions& options) {
  CLI::App* sub = AddVariantCommand(
      app, "retrospective", "Оценка параметров, затем ретроспективный анализ одного варианта",
      options.Estimate, options.Variant, "Вариант модели, например \"Шефер СК\"");
  AddEstimatorOption(*sub, options.Estimate);
  return sub;
}

namespace {

Json MohnJson(const estimation::MohnRho& m) {
  Json peels = Json::array();
  for (const estimation::MohnPeel& p : m.Peels) {
    peels.push_back({{"run", p.Run},
                     {"year", p.Year},
                     {"peel_biomass", p.PeelBiomass},
                     {"full_biomass", p.FullBiomass},
                     {"relative_difference", p.RelativeDifference}});
  }
  Json j;
  j["available"] = m.Available;
  if (!m.Available) j["message"] = m.Message;
  j["value"] = m.Available ? Json(m.Rho) : Json(nullptr);
  j["peels"] = m.Available ? std::move(peels) : Json::array();
  j["ranges"] = {
      {"long_lived", {estimation::kMohnLongLived.Low, estimation::kMohnLongLived.High}},
      {"short_lived", {estimation::kMohnShortLived.Low, estimation::kMohnShortLived.High}}};
  j["within_long_lived"] = m.WithinLongLived;
  j["within_short_lived"] = m.WithinShortLived;
  j["text"] = m.Text;
  return j;
}

}  // namespace

std::string RunRetrospectiveCommand(const RetrospectiveCommandOptions& options) {
  Session session;
  AssessmentState& state = session.State();
  // The label is checked against the variants the cut-off list gives before
  // the long estimation runs.
  RequireVariantLabel(options.Estimate.CutOffs, options.Variant);
  // With --refine the variant's fitted q, against which Mohn's rho measures
  // the runs, is the refined one. The variant is analysed, not chosen.
  const ChosenVariantRun chosen =
      EstimateAndChoose(session, options.Estimate, options.Variant, /*choose=*/false);
  const estimation::FreshStart& run = chosen.Run;
  const std::size_t variant = chosen.Variant;
  const AdoptedEstimate& adopted = chosen.Adopted;
  estimation::RetrospectiveOptions retro;
  retro.Threads = options.Estimate.Threads;
  const estimation::RetrospectiveResult result = estimation::RunRetrospective(
      state, run.File.table, variant, run.Request.Texts, run.Request.DecimalMark, retro);

  if (options.Estimate.Json) {
    Json j;
    j["estimate"] = EstimateJson(session, run, options.Estimate);
    Json r;
    r["variant"] = variant;
    r["label"] = estimation::VariantLabel(state.ModelFits, variant);
    r["keep_count_reduced"] = result.KeepCountReduced;
    Json runs = Json::array();
    for (const estimation::RetrospectiveRun& k : result.Runs) {
      Json curve = Json::array();
      for (const Point& p : k.Curve) curve.push_back({p.x, p.y});
      runs.push_back({{"run", k.Run},
                      {"years", k.Years},
                      {"keep_count", k.KeepCount},
                      {"r", k.Best.r},
                      {"K", k.Best.K},
                      {"q", k.Q},
                      {"p", k.Best.p},
                      {"objective", k.Objective},
                      {"curve", std::move(curve)}});
    }
    r["runs"] = std::move(runs);
    r["mohn_rho"] = MohnJson(result.Mohn);
    j["retrospective"] = std::move(r);
    AddAdoptedEstimateJson(j, adopted);
    j["random_seed_after"] = state.Random.Seed();
    return DumpJson(j) + "\n";
  }
  std::ostringstream out;
  out << EstimateText(session, run);
  if (const std::string line = AdoptedEstimateText(adopted); !line.empty()) out << "\n" << line;
  out << "\nРетроспективный анализ: " << estimation::VariantLabel(state.ModelFits, variant) << "\n";
  std::vector<std::vector<std::string>> rows;
  for (const estimation::RetrospectiveRun& k : result.Runs) {
    const std::string cut = k.Run <= 5 ? "без первых " + std::to_string(k.Run)
                                       : "без последних " + std::to_string(k.Run - 5);
    rows.push_back({std::to_string(k.Run), cut, std::to_string(k.Years), FormatGeneral(k.Q),
                    std::to_string(k.Curve.size())});
  }
  out << FormatTable({"Прогон", "Ряд", "Лет", "q", "Точек кривой"}, rows);
  if (result.KeepCountReduced) {
    out << "Число учитываемых остатков уменьшено до числа остатков укороченного ряда.\n";
  }
  out << result.Mohn.Text << "\n";
  return out.str();
}

}  // namespace tarvik::cli
