#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "assessment_state.h"
#include "common/point.h"
#include "data/data_table.h"

namespace tarvik::data {

// Texts of the message a positive correlation coefficient raises.
inline constexpr std::string_view kPositiveCorrelationCaption = "Ошибка";
inline constexpr std::string_view kPositiveCorrelationMessage =
    "Положительный коэффициент корреляции! Дальнейшие расчеты будут некорректны.";
// Hint of Chart2.
inline constexpr std::string_view kChart2Hint =
    "Красным цветом - модель Шефера, зеленым - Фокса, синим - Пелла-Томлинсона";
// Initial text of the three correlation labels (no check run yet).
inline constexpr std::string_view kNoCorrelationYet = "X";

// Everything the model-suitability check shows. Chart2 shows the scatter in
// LineSeries1 and the three curves in SeriesCorrSchaefer (red),
// SeriesCorrFox (light green) and SeriesCorrPT (blue); Series12 … Series21 are
// cleared; the bottom axis is titled "Усилие" and the legend hidden.
struct SuitabilityResult {
  int years = 0;  // length n of the new AnalysisSeries

  // K start value and bounds: the largest catch Cmax, Cmax again and
  // Cmax · 100, as the edits EditInitialK, EditMinK, EditMaxK show them
  // (general format, locale mark), and the numbers read back from those texts
  // (what the search takes).
  std::string initialKText;
  std::string minKText;
  std::string maxKText;
  double initialK = 0.0;
  double minK = 0.0;
  double maxK = 0.0;

  // Correlation coefficients (4 decimals) of E with U (Schaefer), ln U (Fox)
  // and U^m (Pella-Tomlinson, m = ptExponent), and their label texts.
  double correlationSchaefer = 0.0;
  double correlationFox = 0.0;
  double correlationPT = 0.0;
  std::string correlationSchaeferText;  // LabelCorrelSchaefer
  std::string correlationFoxText;       // LabelCorrelFox
  std::string correlationPTText;        // LabelCorrelPT

  double ptExponent = 0.0;     // m of the strongest |correlation|, 0.1 … 10, 0 if all are 0
  std::string ptExponentHint;  // hint of Label12: m in the general format

  PointList scatter;        // LineSeries1: (E, U) of every year
  PointList schaeferCurve;  // (Emax, ·) and (Emin, ·) of the line U = a·E + b
  PointList foxCurve;       // exp(a·E + b) every 0.1 of effort from Emin while < Emax
  PointList ptCurve;        // (a·E + b)^(1/m) every 0.2; empty when m = 0

  bool positiveCorrelation = false;  // some coefficient > 0: the message is due

  std::string bottomAxisTitle = "Усилие";  // of Chart2, whose legend is hidden
};

// The model-suitability check on table rows 1 … n, n = data rows − heldOutYears:
//   - builds the series of U, E, C of those rows and stores it as
//     state.AnalysisSeries (FirstYear 0);
//   - proposes K (see SuitabilityResult);
//   - measures the three correlations and fits the three equilibrium curves;
//   - chooses the Pella-Tomlinson exponent m = k/10 (k = 1 … 100) with the
//     largest |correlation of E with U^m| (the smallest m of a tie; 0 when all
//     are 0), stores it as state.PTExponent and as Exponent of every
//     Pella-Tomlinson record of state.ModelFits.
// Raises tarvik::Error, and then leaves `state` unchanged, for: heldOutYears
// < 0, fewer than 3 years, years of the table that are not consecutive
// (CheckYearSequence), a cell that does not convert (row, column, text),
// a year with U ≤ 0, E ≤ 0 or C < 0 (naming the year), all catches 0, the same
// effort in every year, the same U in every year.
SuitabilityResult SuitabilityCheck(const DataTable& table, int heldOutYears, char decimalMark,
                                   AssessmentState& state);

// True when one of the three label texts holds a number greater than 0
// (texts that are not numbers, such as "X", count as no number).
bool HasPositiveCorrelation(std::string_view schaeferText, std::string_view foxText,
                            std::string_view ptText, char decimalMark);

// What the estimation page reads when it is shown.
struct TabSheet2Inputs {
  // Current texts of LabelCorrelSchaefer, LabelCorrelFox, LabelCorrelPT.
  std::string correlSchaeferText{kNoCorrelationYet};
  std::string correlFoxText{kNoCorrelationYet};
  std::string correlPTText{kNoCorrelationYet};
  bool holdOutChecked = false;       // CheckBox4 "Выбор модели"
  int spinValue = 2;                 // SpinEdit1 "Количество отсекаемых лет"
  std::string initialRText = "0.5";  // EditInitialR
  int medianWindowPosition = 0;      // TrackBarMedWin
};

// What the estimation page does when it is shown.
struct TabSheet2Decision {
  // From 15 data rows on: enable CheckBox4 and SpinEdit1, set the spin's
  // maximum to half the years (rounded down) and its value to 3. When false,
  // the three controls are left as they are.
  bool enableHoldOut = false;
  int spinMaximum = 0;
  int spinValue = 0;

  std::string trackBarRHint;       // hint of TrackBarR: the text of EditInitialR
  std::string trackBarMedWinHint;  // hint of TrackBarMedWin: position × 10 (percent cut off)

  PointList cpueFact;  // CpueFact of Chart7: (year, U) of every data row

  // The suitability check runs while LabelCorrelSchaefer still shows "X" and
  // the table has a data row; `check` then holds its result (already applied
  // to the state), on heldOutYears years held out.
  bool runCheck = false;
  int heldOutYears = 0;
  std::optional<SuitabilityResult> check;

  // Show the «Ошибка» box once (kPositiveCorrelationCaption/Message).
  bool showPositiveCorrelationMessage = false;

  // When reading the table or the check failed: the message for the error
  // box (empty otherwise). The fields above that were settled before the
  // failure (hold-out controls, hints, chart hint) stay valid; cpueFact is
  // then empty, `check` empty and no correlation message is due.
  std::string error;

  std::string chart2Hint{kChart2Hint};
};

// Showing the page «Оценка параметров модели»: settles the hold-out controls
// and hints, the observed CPUE of Chart7, runs the suitability check the first
// time (see TabSheet2Decision) and decides about the positive-correlation
// message from the labels' texts after the check. Does not raise; failures go
// to `error`.
TabSheet2Decision TabSheet2Show(const DataTable& table, const TabSheet2Inputs& inputs,
                                char decimalMark, AssessmentState& state);

}  // namespace tarvik::data
