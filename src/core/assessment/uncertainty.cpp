#include "assessment/uncertainty.h"
#include "assessment/journal.h"

#include <cmath>

#include "assessment/observation_error.h"
#include "assessment/state_space.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/state_space_draws.h"

namespace tarvik::uncertainty {

BootstrapResult BootstrapProcedure(const AssessmentState& state, std::size_t index,
                                   const estimation::ParameterBounds& bounds,
                                   const BootstrapOptions& options) {
  if (index >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  return BootstrapProcedure(state.AnalysisSeries, state.ModelFits[index], bounds,
                            state.MedianKeepCount, options);
}

BootstrapResult BootstrapRecord(const AssessmentState& state, std::size_t index,
                                const estimation::ParameterBounds& bounds,
                                const BootstrapOptions& options) {
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::StateSpace) {
    // Not the procedure's bootstrap (it would refit the values by the
    // search): draws from the model's own normal approximation.
    const model::ModelFit& record = state.ModelFits[index];
    const estimation::StateSpaceFit* fit = estimation::StateSpaceFitOf(state, record.Kind);
    if (fit == nullptr || fit->R.Value != record.R || fit->K.Value != record.K ||
        fit->Q.Value != record.Q) {
      throw Error(
          "Модель пространства состояний оценена заново после того, как её оценки были приняты "
          "для варианта: примите оценки снова или выберите вариант заново");
    }
    return DrawStateSpace(state.AnalysisSeries, *fit, options);
  }
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::ObservationError) {
    const model::ModelFit& record = state.ModelFits[index];
    const estimation::ObservationErrorFit* fit =
        estimation::ObservationErrorFitOf(state, record.Kind);
    if (fit == nullptr || fit->R != record.R || fit->K != record.K || fit->Q != record.Q) {
      throw Error(
          "Модель ошибки наблюдения оценена заново после того, как её оценки были приняты для "
          "варианта: примите оценки снова или выберите вариант заново");
    }
    estimation::ObservationErrorOptions fitOptions;
    fitOptions.EstimateB1 = state.ObservationError.EstimateB1;
    fitOptions.Bounds = bounds;
    return BootstrapObservationError(state.AnalysisSeries, *fit, fitOptions, options);
  }
  return BootstrapProcedure(state, index, bounds, options);
}

void EstimateUncertainty(AssessmentState& state, const estimation::ParameterBounds& bounds,
                         const BootstrapOptions& options) {
  assessment::StepScope scope(state);
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  if (!chosen) {
    throw Error(
        "Доверительные интервалы считаются для выбранной модели: выберите вариант в списке "
        "«Выбор модели» на странице оценки параметров");
  }
  BootstrapResult result = BootstrapRecord(state, *chosen, bounds, options);
  assessment::Clear(state, assessment::Stage::Uncertainty);
  state.Uncertainty = std::move(result);
  scope.Commit(assessment::steps::ConfidenceIntervals(bounds, options));
}

std::optional<double> MsyIntervalRatioOf(const AssessmentState& state, std::size_t index) {
  if (!state.Uncertainty || index >= state.ModelFits.size()) return std::nullopt;
  const BootstrapResult& b = *state.Uncertainty;
  if (!MadeForRecord(b, state.ModelFits[index])) return std::nullopt;
  const Interval& msy = b.Of(Quantity::Msy);
  if (!msy.Estimated || !(msy.Lower > 0.0) || !std::isfinite(msy.Upper / msy.Lower)) {
    return std::nullopt;
  }
  return msy.Upper / msy.Lower;
}

std::string IntervalTruncationOf(const AssessmentState& state, std::size_t index, char mark) {
  if (!state.Uncertainty || index >= state.ModelFits.size()) return {};
  if (!MadeForRecord(*state.Uncertainty, state.ModelFits[index])) return {};
  return TruncationText(*state.Uncertainty, mark);
}

}  // namespace tarvik::uncertainty
