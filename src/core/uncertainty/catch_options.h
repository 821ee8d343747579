#pragma once

// The catch options of the decision table: constant catches, each given as
// tonnes, as a multiple of MSY, as the current (last observed) catch or as
// the TAC of the chosen rule in the first forecast year, and the text of the
// editable list, e.g. "0; 0,5*MSY; MSY; 1200; текущий; ОДУ".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::uncertainty {

inline constexpr std::size_t kMaxCatchOptions = 30;

enum class CatchOptionKind : std::uint8_t {
  Tonnes = 0,        // Value tonnes
  MsyMultiple = 1,   // Value · MSY of the point estimate
  CurrentCatch = 2,  // the last observed catch
  RuleTac = 3        // the TAC of the chosen rule in the first forecast year
};

// One item of the list as typed.
struct CatchOptionEntry {
  CatchOptionKind Kind = CatchOptionKind::Tonnes;
  double Value = 0.0;  // read for Tonnes and MsyMultiple
};

// One row of the table: the constant catch and its label.
struct CatchOption {
  CatchOptionKind Kind = CatchOptionKind::Tonnes;
  double Catch = 0.0;  // tonnes per year
  // «0,5·MSY», «MSY», «Текущий улов», «ОДУ правила», or the tonnes «1200».
  std::string Label;
};

// 0 t, then 0.25, 0.5, 0.75, 1, 1.25 and 1.5 × MSY, the current catch, the rule's TAC.
std::vector<CatchOptionEntry> DefaultCatchOptionEntries();

// Reads the list: items separated by ';' or line breaks (empty items are
// skipped), each one of
//   a number of tonnes, "1200" (with `decimalMark`),
//   a multiple of MSY, "0,5*MSY" (also "0,5·MSY", "0,5 MSY"; "MSY" alone is 1),
//   "текущий" or "текущий улов" (the current catch), "ОДУ" or "ОДУ правила";
// case does not matter. Raises tarvik::Error, in Russian naming the item by
// its number and text, for an item that is none of these or a negative
// number, for an empty list and for more than kMaxCatchOptions items.
std::vector<CatchOptionEntry> ParseCatchOptions(std::string_view text, char decimalMark = '.');

// The list as ParseCatchOptions reads it back: "0; 0,25*MSY; …; текущий; ОДУ".
std::string CatchOptionsText(const std::vector<CatchOptionEntry>& entries, char decimalMark = '.');

// The options in ascending order of catch (items of equal catch in list
// order): multiples of `msy`, the current catch `currentCatch`, and the TAC
// `ruleTac` — an item "ОДУ" is left out while no TAC is given. Raises
// tarvik::Error when msy, the current catch or the TAC is not a finite
// number ≥ 0, and when no option is left.
std::vector<CatchOption> ResolveCatchOptions(const std::vector<CatchOptionEntry>& entries,
                                             double msy, double currentCatch,
                                             std::optional<double> ruleTac, char decimalMark = '.');

// A catch as the tables write it: at least four significant digits, whole
// tonnes from 1000 t up ("1234", "12,35", "0").
std::string CatchText(double tonnes, char decimalMark = '.');

}  // namespace tarvik::uncertainty
