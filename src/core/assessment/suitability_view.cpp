#include "assessment/suitability_view.h"

#include <string>

#include "common/error.h"

namespace tarvik::data {

EstimationPageShow ShowEstimationPage(const DataTable& table, const EstimationPageInputs& inputs,
                                      char decimalMark, AssessmentState& state) {
  EstimationPageShow show;
  const int rowCount = table.RowCount();
  int holdOutYears = inputs.holdOutYears;
  if (rowCount > 15) {
    show.enableHoldOut = true;
    show.holdOutMaximum = (rowCount - 1) / 2;
    show.holdOutDefault = 3;
    holdOutYears = 3;
  }
  show.tuningRHint = inputs.initialRText;
  show.trimHint = std::to_string(inputs.trimPosition * 10);

  try {
    // The observed CPUE is a point series: the points stay in row order.
    for (int row = 1; row <= table.DataRowCount(); ++row) {
      show.cpueFact.push_back({static_cast<double>(CellYear(table, row)),
                               CellNumber(table, DataTable::kCpue, row, decimalMark)});
    }
    if (!state.SuitabilityChecked && table.DataRowCount() >= 1) {
      show.runCheck = true;
      show.heldOutYears = inputs.holdOutChecked ? holdOutYears : 0;
      show.check = SuitabilityCheck(table, show.heldOutYears, decimalMark, state);
    }
  } catch (const Error& e) {
    show.cpueFact.clear();
    show.check.reset();
    show.error = e.what();
    return show;
  }
  show.showPositiveCorrelationMessage = state.SuitabilityChecked && state.PositiveCorrelation;
  return show;
}

}  // namespace tarvik::data
