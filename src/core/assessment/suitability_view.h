#pragma once

// What the estimation page shows when it is shown: the hold-out option, the
// hints, the observed CPUE of the tuning chart and, the first time for a data
// set, the suitability check with the warning about a positive correlation.

#include <optional>
#include <string>
#include <string_view>

#include "assessment/state.h"
#include "assessment/suitability.h"
#include "common/point.h"
#include "data/data_table.h"

namespace tarvik::data {

// Texts of the warning a positive correlation coefficient raises.
inline constexpr std::string_view kPositiveCorrelationCaption = "Ошибка";
inline constexpr std::string_view kPositiveCorrelationMessage =
    "Положительный коэффициент корреляции! Дальнейшие расчеты будут некорректны.";
// Hint of the CPUE–effort chart.
inline constexpr std::string_view kCorrelationChartHint =
    "Красным цветом - модель Шефера, зеленым - Фокса, синим - Пелла-Томлинсона";
// The text of the three correlations while the check has not run.
inline constexpr std::string_view kNoCorrelationYet = "X";

// What the estimation page reads when it is shown.
struct EstimationPageInputs {
  bool holdOutChecked = false;       // the hold-out option «Выбор модели»
  int holdOutYears = 2;              // «Количество отсекаемых лет»
  std::string initialRText = "0.5";  // the start value of r as typed
  int trimPosition = 0;              // the trimming slider
};

// What the estimation page does when it is shown.
struct EstimationPageShow {
  // From 15 data rows on: offer the hold-out option, with at most half the
  // years (rounded down) and 3 years at first. When false, the option is
  // left as it is.
  bool enableHoldOut = false;
  int holdOutMaximum = 0;
  int holdOutDefault = 0;

  std::string tuningRHint;  // hint of the r slider: the start value of r as typed
  std::string trimHint;     // hint of the trimming slider: position × 10 (percent cut off)

  PointList cpueFact;  // the observed CPUE of the tuning chart: (year, U) of every data row

  // The suitability check runs while it has not run on this data set
  // (state.SuitabilityChecked) and the table has a data row; `check` then
  // holds its result (already applied to the state), on heldOutYears years
  // held out.
  bool runCheck = false;
  int heldOutYears = 0;
  std::optional<SuitabilityResult> check;

  // Show the warning (kPositiveCorrelationCaption/Message): the check of
  // this data set found a positive correlation.
  bool showPositiveCorrelationMessage = false;

  // When reading the table or the check failed: the message for the error
  // box (empty otherwise). The fields above that were settled before the
  // failure (hold-out option, hints, chart hint) stay valid; cpueFact is
  // then empty, `check` empty and no warning is due.
  std::string error;

  std::string correlationChartHint{kCorrelationChartHint};
};

// Showing the page «Оценка параметров модели»: settles the hold-out option
// and the hints, the observed CPUE, runs the suitability check the first time
// for the data set (see EstimationPageShow) and decides about the warning.
// Does not raise; failures go to `error`.
EstimationPageShow ShowEstimationPage(const DataTable& table, const EstimationPageInputs& inputs,
                                      char decimalMark, AssessmentState& state);

}  // namespace tarvik::data
