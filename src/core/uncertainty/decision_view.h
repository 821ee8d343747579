#pragma once

// What a decision table looks like: the names of its outlooks, the Kobe II
// shading and the text of its cells, its sentence and its report section; and
// what the decision-table tab shows: the items of its outlook selector, the
// cells of one outlook with their shading, and the caption of the table the
// assessment holds.

#include <string>
#include <vector>

#include "common/table_text.h"
#include "uncertainty/decision_table.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::uncertainty {

// "P(B < Blim)", "P(B < BMSY)", "P(F > FMSY)", "P(зелёная зона)", "Медиана B/BMSY".
std::string OutlookName(Outlook outlook);

// The Kobe II shading of a cell, from the best to the worst.
enum class RiskColour : std::uint8_t {
  DarkGreen = 0,
  LightGreen = 1,
  Yellow = 2,
  Orange = 3,
  Red = 4
};

// The class of `value` of `outlook`:
//   P(green zone)            ≥ 75 % dark green, ≥ 70 % light green, ≥ 60 % yellow,
//                            ≥ 50 % orange, below red (the Kobe II scale);
//   P(B < BMSY), P(F > FMSY) the same scale on 1 − P: ≤ 25 %, ≤ 30 %, ≤ 40 %,
//                            ≤ 50 %, above;
//   P(B < Blim)              against the chosen risk p: ≤ p/2, ≤ p, ≤ 2p, ≤ 4p,
//                            above — a cell within the risk is green;
//   median B/BMSY            ≥ 1, ≥ 0.9, ≥ 0.75, ≥ 0.5, below.
RiskColour ColourOf(Outlook outlook, double value, double risk);

// A cell as the window and the report write it: a probability in per cent
// with one decimal ("4,6 %"), the median ratio with two decimals ("1,07").
std::string CellText(Outlook outlook, double value, char decimalMark = '.');

// The table of one outlook as tab-separated lines: a head line
// "Вариант\tУлов, т\t2025\t2026…" (the catch in the data's unit, 10^catchUnit
// tonnes: "Улов, тыс. т" for 3), then one line per option (its label, its
// catch and its cells).
std::vector<std::string> TableLines(const DecisionTable& table, Outlook outlook, int catchUnit,
                                    char decimalMark = '.');

// «вероятность B < Blim не выше 5 %», «вероятность зелёной зоны не ниже 60 %».
std::string CriterionText(RiskCriterion criterion, double threshold, char decimalMark = '.');

// The criterion selector's items, in RiskCriterion order.
std::vector<std::string> CriterionItems();

// Why no largest catch is named (RefusedAtBounds): the truncating bounds and
// where to set bounds from the data; "" for the other outcomes.
std::string RefusalText(const MaxCatchAtRisk& maxCatch, char decimalMark = '.');

// The line of the process error: σ_p, the noise and where σ_p came from.
std::string ProcessErrorText(const DecisionTable& table, char decimalMark = '.');

// The sentence about the largest catch meeting the criterion, the catch in
// the data's unit (10^catchUnit tonnes: «175.3 тыс. т (1.50·MSY)»).
std::string MaxCatchSentence(const DecisionTable& table, int catchUnit, char decimalMark = '.');

// The report section: the title with Blim, the replicates and the seed, the
// dynamics, ProcessErrorText, TableLines of P(B < Blim) and the sentence.
std::vector<std::string> DecisionReportLines(const DecisionTable& table, int catchUnit,
                                             char decimalMark = '.');

// The outlook selector's items, in Outlook order (OutlookName).
std::vector<std::string> OutlookItems();

// One outlook of a table as the tab shows and copies it: Cells[0] is the head
// ("Вариант", "Улов, т" in the data's unit, the years), then one row per option (label, catch,
// CellText per year); Colours[i][j] is ColourOf of the cell of option i in
// year j (against the table's risk).
struct DecisionGrid {
  TextTable Cells;
  std::vector<std::vector<RiskColour>> Colours;
};
DecisionGrid DecisionGridOf(const DecisionTable& table, Outlook outlook, int catchUnit,
                            char decimalMark = '.');

// «σ процесса по модели пространства состояний: 0,031 [0,004 – 0,22] (90 %),
// не используется: …», or why it is not available.
std::string StateSpaceSigmaText(const ProcessSigmaReference& reference, char decimalMark = '.');

// The line above the table: the variant's replicates (and the failed ones
// left out), the seed, Blim and the risk, and where the bootstrap came from.
std::string DecisionCaption(const DecisionTableResult& result, char decimalMark = '.');

}  // namespace tarvik::uncertainty
