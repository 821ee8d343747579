#pragma once

// What the estimation page shows of the variants and their fits, as texts
// and points: the rows of the results panel, the tuning sliders, the
// model-choice list, the residuals by year, the marks of the convergence
// check. The window and the command line both take their texts from here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/point.h"
#include "common/table_text.h"
#include "data/data_table.h"
#include "estimation/parameter_search.h"
#include "model/model_fit.h"
#include "projection/tac_report.h"

namespace tarvik::estimation {

struct VariantRefinement;

// Text of the model-choice list while it offers nothing yet.
inline constexpr std::string_view kModelChoicePrompt = "Выбор модели";
// The convergence verdict of a variant whose minimum is 0 (Degenerate).
inline constexpr std::string_view kDegenerateMinimumText =
    "не оценивается: минимум вырожден (L = 0)";

// Hint of the trimming slider at `position` (0 … 9): the percentage of
// residuals cut off, position × 10 ("30" at 3).
std::string TrimPositionHint(int position);

// One row of the results panel.
struct VariantRow {
  std::string RText;         // r, "0.00"
  std::string KText;         // K rounded to an integer
  std::string QText;         // q, "0.000000" (the command line's tables)
  std::string QShown;        // q in the window: FormatCatchability (0.000005123)
  std::string LText;         // objective value, "0.000"
  std::string ExponentHint;  // hint of the variant's check box: p, "0.0"
  // Shown red: the value lies on or outside its bound (not strictly inside).
  bool ROutOfBounds = false;
  bool KOutOfBounds = false;
  bool QOutOfBounds = false;
};

// The row of one record: its texts, and the red marks from the bounds of the
// run that wrote it.
VariantRow MakeVariantRow(const model::ModelFit& fit, const ParameterBounds& bounds,
                          char decimalMark);

// A row of the results panel as it is shown.
struct ShownVariantRow {
  std::string Label;  // VariantLabel
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  VariantRow Row;    // the texts in its fields (empty before a search)
  std::string Mark;  // the symbol of its mark
};

// The results panel as a table to copy or save: the head row «Вариант», «r»,
// «K», «q», «p», «L», «Отметка», then one row per variant; p only for
// Pella-Tomlinson, whose exponent is estimated (as tarvik-cli writes it).
TextTable ResultsTable(const std::vector<ShownVariantRow>& rows);

// The texts of the row's r, K, q and L fields, as the forecast and the TAC
// report copy them.
inline projection::ResultFieldTexts ResultTextsOf(const VariantRow& row) {
  return {row.RText, row.KText, row.QText, row.LText};
}

// Position (0 … 100) and hint of a slider of the tuning panel.
struct TuningSetting {
  int Position = 0;
  std::string Hint;
  bool operator==(const TuningSetting&) const = default;
};

// Everything the estimation page shows after a search.
struct EstimationDisplay {
  PointList TheoreticalCpue;
  TuningSetting TuningR;                    // Round(100·r), hint r to 3 decimals
  TuningSetting TuningK;                    // Round(100·K / (MaxK − MinK)), hint K to an integer
  TuningSetting TuningQ;                    // Round(100·q / (MaxQ − MinQ)), hint q to 6 decimals
  std::vector<VariantRow> Rows;             // one per ModelFits record, active or not
  std::vector<std::string> ChoiceLabels;    // the model-choice list: labels of the enabled variants
  std::vector<std::uint8_t> ChoiceIndices;  // their record indices
};

// The CPUE residuals of a record against the year, for the chart of
// residuals by year: residual t − 2 of CpueResiduals (U[t] − Û[t] at the
// record's R, K, Q, Exponent) at the year of table row t + 1, t = 2 … n − 1,
// and the zero line over the same years.
struct ResidualChart {
  std::string Title;  // "Остатки по годам: " + the variant's label
  std::string XTitle = "Год";
  std::string YTitle = "Остаток улова на усилие";
  PointList Residuals;
  PointList ZeroLine;  // (first year, 0), (last year, 0)
};

// Raises tarvik::Error when the residuals cannot be computed (q = 0, K = 0,
// a fault of the model) or are not finite.
ResidualChart ResidualsByYear(const data::CatchEffortSeries& series, const data::DataTable& table,
                              const std::vector<model::ModelFit>& fits, std::size_t index);

// The mark beside a variant's L field after the convergence check.
enum class RefinementMark {
  None,          // no refinement of the values the record holds
  Converged,     // "≈": the search reached the minimum within 0.1 %
  NotConverged,  // "!": it stopped above it
  Adopted,       // "✓": the refined values were adopted
  Unavailable,   // "?": no refinement was possible
  // "✓" (blue): the observation-error estimates were adopted; L is the
  // variant's objective at them
  ObservationErrorAdopted,
  // "✓" (violet): the state-space estimates were adopted
  StateSpaceAdopted,
  NotAssessable,  // "–": the minimum is degenerate (L = 0), the gap says nothing
};

struct RefinementMarkView {
  RefinementMark Mark = RefinementMark::None;
  std::string Symbol;  // "≈", "!", "✓", "?" or empty
  std::string Tip;     // the tooltip of the mark and of the L field
};

// Fills the texts of a refinement (its Row, GapText, Tooltip and MemoLine)
// from its figures, the record it refines and the bounds of the search.
void DescribeRefinement(VariantRefinement& refinement, const model::ModelFit& fit,
                        const ParameterBounds& bounds, char decimalMark);

}  // namespace tarvik::estimation
