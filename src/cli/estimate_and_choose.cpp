// The estimation, the model choice and the estimator on the chosen variant.
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

FreshStart RunEstimateWorkflow(Session& session, const EstimateOptions& o) {
  AssessmentState& state = session.State();
  const estimation::FreshStartRequest request = MakeFreshStartRequest(o);
  return estimation::RunFreshStartEstimation(state, request, MakeSearchOptions(o));
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

}  // namespace tarvik::cli
