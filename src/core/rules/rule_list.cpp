#include "rules/rule_list.h"

#include <algorithm>
#include <string>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::rules {
namespace {

double ParseField(const std::string& text, const char* field, char mark) {
  const auto value = TryParseDouble(text, mark);
  if (!value) {
    throw Error("Значение «" + MessageExcerpt(text) + "» в поле " + field + " не является числом");
  }
  return *value;
}

}  // namespace

const std::vector<std::string>& TargetItems() {
  static const std::vector<std::string> items = {"FMSY", "F0.1", "Fsq", "0.75Fsq", "1.25Fsq"};
  return items;
}

FTargetKind TargetKindForIndex(int index) {
  if (index >= 0 && index <= 3) return static_cast<FTargetKind>(index);
  return FTargetKind::Fsq125;
}

std::string TargetPrefixForIndex(int index) {
  switch (index) {
    case 0:
      return "FMSY ";
    case 1:
      return "F01 ";
    case 2:
      return "Fsq ";
    case 3:
      return "Fsq75 ";
    case 4:
      return "Fsq125 ";
    default:
      return "";
  }
}

std::string RuleName(const RuleEditor& editor) {
  std::string name = TargetPrefixForIndex(editor.TargetIndex);
  if (editor.Shape == RuleKind::PiecewiseLinear) {
    name += "Линейно-кусочное ПРП -" + editor.AlphaText;
  } else if (editor.Shape == RuleKind::Logistic) {
    name += "Логистическое ПРП -" + editor.AlphaText + " " + editor.BetaText;
  }
  return name;
}

std::string ReadableRuleName(std::string_view stored, const HarvestRule& rule, char mark) {
  std::string name(stored);
  if (rule.Kind == RuleKind::PiecewiseLinear) {
    name += " (α = " + FormatGeneral(rule.Alpha, mark) + ")";
  } else if (rule.Kind == RuleKind::Logistic) {
    name += " (α = " + FormatGeneral(rule.Alpha, mark) + ", β = " + FormatGeneral(rule.Beta, mark) +
            ")";
  }
  return name;
}

HarvestRule RuleFromEditor(const RuleEditor& editor, char mark) {
  HarvestRule rule;  // all fields zero
  rule.Kind = editor.Shape;
  switch (editor.Shape) {
    case RuleKind::Precautionary:
      break;
    case RuleKind::PiecewiseLinear:
      rule.Alpha = ParseField(editor.AlphaText, "альфа", mark);
      rule.TargetKind = TargetKindForIndex(editor.TargetIndex);
      break;
    case RuleKind::Logistic:
      rule.Alpha = ParseField(editor.AlphaText, "альфа", mark);
      rule.Beta = ParseField(editor.BetaText, "бета", mark);
      rule.TargetKind = TargetKindForIndex(editor.TargetIndex);
      break;
    case RuleKind::NonZonal:
      rule.TargetKind = TargetKindForIndex(editor.TargetIndex);
      break;
  }
  return rule;
}

RulePlot PlotRule(const RuleContext& context, RuleKind kind, std::uint8_t variant,
                  FTargetKind target, const std::string& alphaText, const std::string& betaText,
                  char mark) {
  if (variant >= context.Fits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  const model::ModelFit& fit = context.Fits[variant];
  const double Bref = fit.BTarget;
  RulePlot plot;
  plot.Ft = TargetFishingMortality(fit, target, context.LastEffort);
  if (kind == RuleKind::NonZonal) {
    plot.Rule.push_back({0.0, plot.Ft});
  } else {
    const double alpha = ParseField(alphaText, "альфа", mark);
    const double beta = ParseField(betaText, "бета", mark);
    plot.Rule.reserve(102);
    for (int i = 0; i < 100; ++i) {
      const double B = i / 100.0 * Bref;
      plot.Rule.push_back(
          {B, RuleFishingMortality(context, kind, variant, target, B, alpha, beta)});
    }
  }
  plot.Rule.push_back({Bref, plot.Ft});
  plot.Rule.push_back({1.5 * Bref, plot.Ft});
  plot.TargetLine = {{0.0, plot.Ft}, {Bref, plot.Ft}};
  return plot;
}

PointList ObservedPoints(const data::CatchEffortSeries& series, const model::ModelFit& fit) {
  PointList points;
  points.reserve(series.size());
  for (std::size_t i = 0; i < series.size(); ++i) {
    const double F = fit.Q * series.E[i];
    if (F == 0.0) {
      throw Error("Деление на ноль при расчёте наблюдённой биомассы: промысловая смертность " +
                  std::string("q·E равна 0 (год ") + std::to_string(i + 1) + " ряда)");
    }
    points.push_back({series.C[i] / F, F});
  }
  return points;
}

}  // namespace tarvik::rules
