#pragma once

// What the decision-table tab shows: the items of its outlook selector, the
// cells of one outlook with their Kobe II shading, and the caption of the
// table the assessment holds.

#include <string>
#include <vector>

#include "common/table_text.h"
#include "uncertainty/decision_table.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::uncertainty {

// The outlook selector's items, in Outlook order (OutlookName).
std::vector<std::string> OutlookItems();

// One outlook of a table as the tab shows and copies it: Cells[0] is the head
// ("Вариант", "Улов, т", the years), then one row per option (label, catch,
// CellText per year); Colours[i][j] is ColourOf of the cell of option i in
// year j (against the table's risk).
struct DecisionGrid {
  TextTable Cells;
  std::vector<std::vector<RiskColour>> Colours;
};
DecisionGrid DecisionGridOf(const DecisionTable& table, Outlook outlook, char decimalMark = '.');

// The line above the table: the variant's replicates (and the failed ones
// left out), the seed, Blim and the risk, and where the bootstrap came from.
std::string DecisionCaption(const DecisionTableResult& result, char decimalMark = '.');

}  // namespace tarvik::uncertainty
