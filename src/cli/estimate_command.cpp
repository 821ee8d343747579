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

}  // namespace

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
