#pragma once

// The rule page: the rule editor's naming, the rule list (RuleList and the
// parallel names of its list box) with its add and delete operations, and
// the chart points of a rule and of the observed (B, F) pairs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "rules/harvest_rule.h"

namespace tarvik::rules {

// Most rules the list holds (rule indices are 8-bit).
constexpr std::size_t kMaxRules = 256;

// Items of the target selector of the rule editor, in index order.
const std::vector<std::string>& TargetItems();

// FTargetKind of a target selector index: 0 … 3 map to the value of the same
// number, anything else (4, or −1 for no selection) to Fsq125.
FTargetKind TargetKindForIndex(int index);

// Prefix of a rule's name for a target selector index: "FMSY ", "F01 ", "Fsq ",
// "Fsq75 ", "Fsq125 "; empty outside 0 … 4.
std::string TargetPrefixForIndex(int index);

// The state of the rule editor as the page shows it.
struct RuleEditor {
  RuleKind Shape = RuleKind::PiecewiseLinear;  // the shape button that is down
  std::string AlphaText = "1";                 // alpha as typed
  std::string BetaText = "0";                  // beta as typed
  int TargetIndex = 0;                         // target selector item index (−1: none)
};

// Display name of the rule the editor describes: prefix, then
//   PiecewiseLinear  "Линейно-кусочное ПРП -" + alpha text
//   Logistic         "Логистическое ПРП -" + alpha text + " " + beta text
//   other shapes     nothing more.
std::string RuleName(const RuleEditor& editor);

// The stored name of `rule` as the lists show it: the "-" of the stored
// name is a separator, not a sign («--1» is alpha −1), so the parameters
// follow in plain words: "FMSY Линейно-кусочное ПРП --1 (α = -1)",
// "… -2 0,5 (α = 2, β = 0,5)"; other shapes keep the stored name alone.
std::string ReadableRuleName(std::string_view stored, const HarvestRule& rule,
                             char decimalMark = '.');

// The rule the editor describes, as AddRule stores it: Precautionary keeps
// alpha, beta and the target at 0; PiecewiseLinear takes alpha and the
// target; Logistic alpha, beta and the target; NonZonal the target. A text
// that is not a number with `decimalMark` raises Error naming the field.
HarvestRule RuleFromEditor(const RuleEditor& editor, char decimalMark = '.');

struct AddRuleResult {
  bool Added = false;          // false: a rule of that name is already listed
  std::string Name;            // the name of the editor's rule
  bool DeleteVisible = false;  // "Удалить ПРП" is shown (two or more rules)
};

struct DeleteRuleResult {
  bool Deleted = false;
  std::string Message;         // shown in a box when not empty
  bool DeleteVisible = false;  // "Удалить ПРП" stays shown
};

// The chart of a rule: the rule curve (green line) and the dotted line at Ft.
struct RulePlot {
  PointList Rule;        // the rule curve
  PointList TargetLine;  // (0, Ft) – (Bref, Ft)
  double Ft = 0.0;
};

// Points of a rule for the variant: NonZonal (0, Ft); any other kind the
// 100 points B = i/100·Bref, i = 0 … 99, with alpha and beta read from their
// texts (Error for a text that is not a number); then (Bref, Ft) and
// (1.5·Bref, Ft).
RulePlot PlotRule(const RuleContext& context, RuleKind kind, std::uint8_t variant,
                  FTargetKind target, const std::string& alphaText, const std::string& betaText,
                  char decimalMark = '.');

// Observed points of a variant with catchability q: for every year
// F = q·E and B = C/F. A year with F = 0 raises Error naming the year.
PointList ObservedPoints(const data::CatchEffortSeries& series, const model::ModelFit& fit);

}  // namespace tarvik::rules
