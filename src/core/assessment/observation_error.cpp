#include "assessment/observation_error.h"
#include "assessment/journal.h"

#include <cmath>
#include <string>
#include <vector>
#include <utility>

#include "common/error.h"
#include "estimation/parameter_search.h"
#include "estimation/variants.h"
#include "model/objective.h"

namespace tarvik::estimation {
namespace {

using model::FitOrigin;
using model::ProductionModelKind;

// What adopting into a record would write, or why it cannot.
struct Candidate {
  std::optional<std::string> Refusal;
  ParameterPoint Point;
  double Objective = 0.0;
};

Candidate Refused(std::string why) {
  Candidate c;
  c.Refusal = std::move(why);
  return c;
}

Candidate Prepare(const AssessmentState& state, std::size_t index) {
  if (index >= state.ModelFits.size()) {
    return Refused("Нет варианта модели с номером " + std::to_string(index));
  }
  const model::ModelFit& record = state.ModelFits[index];
  const std::string label = "«" + VariantLabel(state.ModelFits, index) + "»";
  if (record.Origin == FitOrigin::None) {
    return Refused("Вариант " + label + " ещё не оценён: выполните «Оценка параметров»");
  }
  const ObservationErrorFit* fit = ObservationErrorFitOf(state, record.Kind);
  if (fit == nullptr) {
    return Refused(
        "Модель ошибки наблюдения не оценена: нажмите «Оценить» на вкладке «Модель ошибки "
        "наблюдения»");
  }
  const std::string model = "модели " + model::ModelName(record.Kind);
  if (fit->Kind != record.Kind) {
    return Refused("Оценки модели ошибки наблюдения относятся к другой модели, чем вариант " +
                   label);
  }
  if (!(fit->RSS < kInfeasiblePenalty) || !std::isfinite(fit->R) || !std::isfinite(fit->K) ||
      !std::isfinite(fit->Q)) {
    return Refused("Оценка " + model +
                   " по модели ошибки наблюдения недопустима: биомасса падает ниже нуля");
  }
  if (!fit->Converged) {
    return Refused("Оценка " + model +
                   " по модели ошибки наблюдения не сошлась: повторите «Оценить» или измените "
                   "границы r и K");
  }
  Candidate c;
  const bool pt = record.Kind == ProductionModelKind::PellaTomlinson;
  c.Point = {fit->R, fit->K, fit->Q, pt ? fit->P : record.Exponent};
  try {
    c.Objective =
        model::EvaluateObjective(state.AnalysisSeries, record.Objective, record.Kind, c.Point.r,
                                 c.Point.K, c.Point.q, c.Point.p, state.MedianKeepCount);
  } catch (const Error& error) {
    return Refused("Целевую функцию варианта " + label +
                   " нельзя вычислить при оценках модели ошибки наблюдения: " + error.what());
  }
  if (record.Origin == FitOrigin::ObservationError && record.R == c.Point.r &&
      record.K == c.Point.K && record.Q == c.Point.q && (!pt || record.Exponent == c.Point.p)) {
    return Refused("Оценки модели ошибки наблюдения уже приняты для варианта " + label);
  }
  return c;
}

}  // namespace

void EstimateObservationError(AssessmentState& state, const ObservationErrorOptions& options,
                              const ProgressCallback& progress) {
  assessment::StepScope scope(state);
  if (state.AnalysisSeries.empty()) {
    throw Error(
        "Нет ряда для оценки: сначала проверьте данные на странице «Оценка параметров модели»");
  }
  // FitObservationErrorModels kind by kind, to report the progress.
  std::vector<ObservationErrorFit> fits;
  for (const ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                         ProductionModelKind::PellaTomlinson}) {
    fits.push_back(FitObservationError(state.AnalysisSeries, kind, options));
    if (progress) progress(static_cast<int>(fits.size()), 3);
  }
  ClearObservationError(state);
  state.ObservationError.EstimateB1 = options.EstimateB1;
  state.ObservationError.Fits = std::move(fits);
  scope.Commit(assessment::steps::EstimateObservationError(options));
}

const ObservationErrorFit* ObservationErrorFitOf(const AssessmentState& state,
                                                 model::ProductionModelKind kind) {
  const std::size_t i = static_cast<std::size_t>(kind);
  const std::vector<ObservationErrorFit>& fits = state.ObservationError.Fits;
  return i < fits.size() ? &fits[i] : nullptr;
}

std::optional<std::string> ObservationErrorAdoptionRefusal(const AssessmentState& state,
                                                           std::size_t index) {
  return Prepare(state, index).Refusal;
}

void AdoptObservationError(AssessmentState& state, std::size_t index) {
  assessment::StepScope scope(state);
  const Candidate c = Prepare(state, index);
  if (c.Refusal) throw Error(*c.Refusal);
  WriteFit(state.ModelFits[index], c.Point, c.Objective, FitOrigin::ObservationError);
  ClearReferencePoints(state);
  scope.Commit(assessment::steps::AdoptObservationError(index));
}

bool HoldsObservationError(const AssessmentState& state, std::size_t index) {
  return index < state.ModelFits.size() &&
         state.ModelFits[index].Origin == FitOrigin::ObservationError;
}

}  // namespace tarvik::estimation
