#include "assessment/estimation_view.h"

#include <algorithm>
#include <string>

#include "assessment/refinement.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/variants.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;

TuningSetting Tuning(double numerator, double range, std::string hint) {
  TuningSetting setting;
  setting.Hint = std::move(hint);
  if (range != 0.0) {
    const double position = RoundHalfEven(100.0 * numerator / range);
    setting.Position = static_cast<int>(std::clamp(position, 0.0, 100.0));
  }
  return setting;
}

}  // namespace

projection::ResultFieldTexts ResultTextsOf(const AssessmentState& state, std::size_t index,
                                           char decimalMark) {
  if (index >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  // The bounds colour a row; they do not change its texts.
  return ResultTextsOf(MakeVariantRow(state.ModelFits[index], {}, decimalMark));
}

EstimationDisplay MakeEstimationDisplay(const AssessmentState& state,
                                        const SearchSettings& settings, const ParameterPoint& x,
                                        const data::DataTable& table, char mark) {
  const ParameterBounds& b = settings.Bounds;
  EstimationDisplay d;
  d.TheoreticalCpue = TheoreticalCpue(state.AnalysisSeries, table, x);
  d.TuningR = Tuning(x.r, 1.0, FormatGeneral(RoundDecimals(x.r, 3), mark));
  d.TuningK = Tuning(x.K, b.MaxK - b.MinK, FormatGeneral(RoundDecimals(x.K, 0), mark));
  d.TuningQ = Tuning(x.q, b.MaxQ - b.MinQ, FormatGeneral(RoundDecimals(x.q, 6), mark));
  for (const ModelFit& fit : state.ModelFits) d.Rows.push_back(MakeVariantRow(fit, b, mark));
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    if (state.ModelFits[i].Enabled == 1) {
      d.ChoiceLabels.push_back(VariantLabel(state.ModelFits, i));
      d.ChoiceIndices.push_back(static_cast<std::uint8_t>(i));
    }
  }
  return d;
}

RefinementMarkView MarkOf(const AssessmentState& state, std::size_t index,
                          const VariantRefinement* refinement) {
  RefinementMarkView view;
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::ObservationError) {
    view.Mark = RefinementMark::ObservationErrorAdopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kObservationErrorParametersLine) +
               "\nL — значение целевой функции варианта при этих r, K, q";
    return view;
  }
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::StateSpace) {
    view.Mark = RefinementMark::StateSpaceAdopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kStateSpaceParametersLine) +
               "\nL — значение целевой функции варианта при этих r, K, q";
    return view;
  }
  if (refinement == nullptr) return view;
  view.Tip = refinement->Tooltip;
  if (!refinement->Available) {
    view.Mark = RefinementMark::Unavailable;
    view.Symbol = "?";
  } else if (IsRefined(state, index)) {
    view.Mark = RefinementMark::Adopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kRefinedParametersLine) + "\n" + view.Tip;
  } else if (refinement->Degenerate) {
    view.Mark = RefinementMark::NotAssessable;
    view.Symbol = "–";
  } else if (refinement->NotConverged) {
    view.Mark = RefinementMark::NotConverged;
    view.Symbol = "!";
  } else {
    view.Mark = RefinementMark::Converged;
    view.Symbol = "≈";
  }
  return view;
}

}  // namespace tarvik::estimation
