#pragma once

// What the indicator page shows: the table of indicators with its titles,
// the variant and rule names and the cells of each evaluated pair.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/model_fit.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection {

struct RuleIndicators;
struct IndicatorRowResult;

constexpr std::size_t kIndicatorColumns = 10;

// The indicator table: row 0 holds the titles, the pair of the j-th active
// variant and the s-th rule is row R·j + s + 1 (R rules).
struct IndicatorTable {
  std::vector<std::vector<std::string>> Cells;  // rows × kIndicatorColumns
};

// The titles of row 0.
const std::vector<std::string>& IndicatorTitles();

// What a title of row 0 means where that is not plain from its words (the
// tooltip of the cell): which Blim the two probability columns count with;
// "" for the other columns.
std::string IndicatorTitleTip(std::size_t column);

// Column 1 of a pair's row: a prefix by target ("FMSY ", "F01 ", "Fsq ",
// "Fsq75 ", otherwise "Fsq125 "), then by kind "Предосторожный подход",
// "Линейно-Кусочное " + alpha, "Логистическое " + alpha + " " + beta,
// "Незональное"; numbers in the general format with `decimalMark`.
std::string RuleText(const rules::HarvestRule& rule, char decimalMark = '.');

// The row of the pair (variant position j, rule s) for R rules.
inline std::size_t IndicatorRow(std::size_t variantPosition, std::size_t rule,
                                std::size_t ruleCount) {
  return ruleCount * variantPosition + rule + 1;
}

// "Построить таблицу": V·R + 1 rows of kIndicatorColumns columns for the active variants and
// the rules (`active` indexes `fits`); the titles, the variant names
// (column 0) and the rule texts (column 1); the indicator columns empty.
IndicatorTable BuildIndicatorTable(std::span<const model::ModelFit> fits,
                                   const std::vector<std::uint8_t>& active,
                                   const std::vector<rules::HarvestRule>& rules,
                                   char decimalMark = '.');

// Columns 2 … 9 of a row: recovery time and the probabilities in the general
// format, the four means and ratios with the mask "0.0".
std::vector<std::string> IndicatorCells(const RuleIndicators& indicators, char decimalMark = '.');

// Writes the evaluated rows into the table's columns 2 … 9.
void ApplyIndicatorRows(IndicatorTable& table, const std::vector<IndicatorRowResult>& rows);

}  // namespace tarvik::projection
