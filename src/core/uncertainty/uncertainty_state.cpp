#include "uncertainty/uncertainty_state.h"

#include "common/error.h"
#include "estimation/variants.h"

namespace tarvik::uncertainty {

void EstimateUncertainty(AssessmentState& state, const estimation::ParameterBounds& bounds,
                         const BootstrapOptions& options) {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  if (!chosen) {
    throw Error(
        "Доверительные интервалы считаются для выбранной модели: выберите вариант в списке "
        "«Выбор модели» на странице оценки параметров");
  }
  BootstrapResult result = BootstrapProcedure(state, *chosen, bounds, options);
  ClearUncertainty(state);
  ClearForecast(state);
  state.Uncertainty = std::move(result);
}

}  // namespace tarvik::uncertainty
