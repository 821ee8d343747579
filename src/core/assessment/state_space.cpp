#include "assessment/state_space.h"
#include "assessment/journal.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "estimation/parameter_search.h"
#include "assessment/variants.h"
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

bool Usable(double x) { return std::isfinite(x) && x > 0.0; }

Candidate Prepare(const AssessmentState& state, std::size_t index) {
  if (index >= state.ModelFits.size()) {
    return Refused("Нет варианта модели с номером " + std::to_string(index));
  }
  const model::ModelFit& record = state.ModelFits[index];
  const std::string label = "«" + VariantLabel(state.ModelFits, index) + "»";
  if (record.Origin == FitOrigin::None) {
    return Refused("Вариант " + label + " ещё не оценён: выполните «Оценка параметров»");
  }
  const StateSpaceFit* fit = StateSpaceFitOf(state, record.Kind);
  if (fit == nullptr) {
    return Refused(
        "Модель пространства состояний не оценена: нажмите «Оценить» на вкладке «Модель "
        "пространства состояний»");
  }
  const std::string model = "модели " + model::ModelName(record.Kind);
  if (fit->Kind != record.Kind) {
    return Refused("Оценки модели пространства состояний относятся к другой модели, чем вариант " +
                   label);
  }
  const bool pt = record.Kind == ProductionModelKind::PellaTomlinson;
  if (!Usable(fit->R.Value) || !Usable(fit->K.Value) || !Usable(fit->Q.Value) ||
      (pt && !Usable(fit->P.Value)) || !std::isfinite(fit->Objective)) {
    return Refused("Оценка " + model +
                   " по модели пространства состояний недопустима: r, K или q не положительны");
  }
  if (!fit->Converged) {
    return Refused("Оценка " + model +
                   " по модели пространства состояний не сошлась: повторите «Оценить» или "
                   "измените границы r и K");
  }
  if (!fit->HessianPositiveDefinite) {
    return Refused("Оценка " + model +
                   " по модели пространства состояний ненадёжна: матрица Гессе целевой функции "
                   "в оптимуме не положительно определена (данные не разделяют параметры)");
  }
  Candidate c;
  c.Point = {fit->R.Value, fit->K.Value, fit->Q.Value, pt ? fit->P.Value : record.Exponent};
  try {
    c.Objective =
        model::EvaluateObjective(state.AnalysisSeries, record.Objective, record.Kind, c.Point.r,
                                 c.Point.K, c.Point.q, c.Point.p, state.MedianKeepCount);
  } catch (const Error& error) {
    return Refused("Целевую функцию варианта " + label +
                   " нельзя вычислить при оценках модели пространства состояний: " +
                   error.what());
  }
  if (record.Origin == FitOrigin::StateSpace && record.R == c.Point.r && record.K == c.Point.K &&
      record.Q == c.Point.q && (!pt || record.Exponent == c.Point.p)) {
    return Refused("Оценки модели пространства состояний уже приняты для варианта " + label);
  }
  return c;
}

}  // namespace

void EstimateStateSpace(AssessmentState& state, const StateSpaceOptions& options,
                        const ProgressCallback& progress) {
  assessment::StepScope scope(state);
  if (state.AnalysisSeries.empty()) {
    throw Error(
        "Нет ряда для оценки: сначала проверьте данные на странице «Оценка параметров модели»");
  }
  CheckStateSpaceOptions(options);
  std::vector<StateSpaceFit> fits;
  for (const ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                         ProductionModelKind::PellaTomlinson}) {
    fits.push_back(FitStateSpace(state.AnalysisSeries, kind, options));
    if (progress) progress(static_cast<int>(fits.size()), 3);
  }
  // What rests on the older fits: the chosen variant's intervals and what
  // follows them, when its values came from them.
  if (const std::optional<std::size_t> chosen = ChosenVariant(state);
      chosen && HoldsStateSpace(state, *chosen)) {
    ClearUncertainty(state);
    ClearForecast(state);
    ClearDecisionTable(state);
  }
  state.StateSpace.Options = options;
  state.StateSpace.Fits = std::move(fits);
  scope.Commit(assessment::steps::EstimateStateSpace(options));
}

const StateSpaceFit* StateSpaceFitOf(const AssessmentState& state,
                                     model::ProductionModelKind kind) {
  const std::size_t i = static_cast<std::size_t>(kind);
  const std::vector<StateSpaceFit>& fits = state.StateSpace.Fits;
  return i < fits.size() ? &fits[i] : nullptr;
}

std::optional<std::string> StateSpaceAdoptionRefusal(const AssessmentState& state,
                                                     std::size_t index) {
  return Prepare(state, index).Refusal;
}

void AdoptStateSpace(AssessmentState& state, std::size_t index) {
  assessment::StepScope scope(state);
  const Candidate c = Prepare(state, index);
  if (c.Refusal) throw Error(*c.Refusal);
  WriteFit(state.ModelFits[index], c.Point, c.Objective, FitOrigin::StateSpace);
  ClearReferencePoints(state);
  scope.Commit(assessment::steps::AdoptStateSpace(index));
}

bool HoldsStateSpace(const AssessmentState& state, std::size_t index) {
  return index < state.ModelFits.size() && state.ModelFits[index].Origin == FitOrigin::StateSpace;
}

}  // namespace tarvik::estimation
