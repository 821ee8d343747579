#include "cli/retro_command.h"

#include <sstream>

#include "cli/common_options.h"
#include "cli/text_output.h"
#include "common/numbers.h"
#include "estimation/retro_analysis.h"
#include "estimation/variants.h"

namespace tarvik::cli {

CLI::App* AddRetrospectiveCommand(CLI::App& app, RetrospectiveCommandOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "retrospective", "Оценка параметров, затем ретроспективный анализ одного варианта");
  AddEstimateOptions(*sub, options.Estimate);
  sub->add_option("--variant", options.Variant, "Вариант модели, например \"Шефер СК\"")
      ->required();
  return sub;
}

std::string RunRetrospectiveCommand(const RetrospectiveCommandOptions& options) {
  AssessmentState state;
  // The label is checked against the variants the cut-off list gives before
  // the long estimation runs.
  RequireVariantLabel(options.Estimate.CutOffs, options.Variant);
  const estimation::FreshStart run = RunEstimateWorkflow(state, options.Estimate);
  const std::size_t variant = estimation::VariantIndexByLabel(state.ModelFits, options.Variant);
  estimation::RetrospectiveOptions retro;
  retro.Threads = options.Estimate.Threads;
  const estimation::RetrospectiveResult result = estimation::RunRetrospective(
      state, run.File.table, variant, run.Request.Texts, run.Request.DecimalMark, retro);

  if (options.Estimate.Json) {
    Json j;
    j["estimate"] = EstimateJson(state, run, options.Estimate);
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
    j["retrospective"] = std::move(r);
    j["random_seed_after"] = state.Random.Seed();
    return DumpJson(j) + "\n";
  }
  std::ostringstream out;
  out << EstimateText(state, run)
      << "\nРетроспективный анализ: " << estimation::VariantLabel(state.ModelFits, variant) << "\n";
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
  return out.str();
}

}  // namespace tarvik::cli
