#include "projection/indicators_view.h"

#include "common/error.h"
#include "common/numbers.h"
#include "projection/indicators.h"
#include "refpoints/reference_points.h"

namespace tarvik::projection {

const std::vector<std::string>& IndicatorTitles() {
  static const std::vector<std::string> titles = {"Модель и метод аппроксимации",
                                                  "ПРП",
                                                  "Время восстановления",
                                                  "Средняя биомасса на прогнозе",
                                                  "Средний улов на прогнозе",
                                                  "Биомасса прогнозная к ретроспективной",
                                                  "Улов прогнозный к ретроспективе",
                                                  "Вероятность B прогнозная < Blim",
                                                  "Вероятность C прогнозный < C min",
                                                  "P(B < Blim ориентира)"};
  return titles;
}

std::string IndicatorTitleTip(std::size_t column) {
  switch (column) {
    case 7:
      return "Blim самого правила: (1 − 1/alpha)·Btr для линейно-кусочного правила, 0 для "
             "логистического, для alpha = 0 и когда выражение отрицательно (0 < alpha < 1). "
             "Для alpha < 0 она выше Btr: у консервативного ПРП (alpha = −1) — 2·Btr, и "
             "вероятность близка к 1. Это же значение отчёт об ОДУ пишет в строке «Blim».";
    case 9:
      return "Blim, выбранная на странице 3 (доля BMSY варианта), по тем же прогонам: её "
             "сравнивают с предосторожным критерием (обычно не выше 5 %).";
    default:
      return "";
  }
}

std::string RuleText(const rules::HarvestRule& rule, char mark) {
  std::string prefix;
  switch (rule.TargetKind) {
    case rules::FTargetKind::FMSY:
      prefix = "FMSY ";
      break;
    case rules::FTargetKind::F01:
      prefix = "F01 ";
      break;
    case rules::FTargetKind::Fsq:
      prefix = "Fsq ";
      break;
    case rules::FTargetKind::Fsq75:
      prefix = "Fsq75 ";
      break;
    default:
      prefix = "Fsq125 ";
      break;
  }
  switch (rule.Kind) {
    case rules::RuleKind::Precautionary:
      return prefix + "Предосторожный подход";
    case rules::RuleKind::PiecewiseLinear:
      return prefix + "Линейно-Кусочное" + " " + FormatGeneral(rule.Alpha, mark);
    case rules::RuleKind::Logistic:
      return prefix + "Логистическое" + " " + FormatGeneral(rule.Alpha, mark) + " " +
             FormatGeneral(rule.Beta, mark);
    case rules::RuleKind::NonZonal:
      return prefix + "Незональное";
  }
  return prefix;
}

IndicatorTable BuildIndicatorTable(std::span<const model::ModelFit> fits,
                                   const std::vector<std::uint8_t>& active,
                                   const std::vector<rules::HarvestRule>& rules, char mark) {
  const std::size_t V = active.size();
  const std::size_t R = rules.size();
  IndicatorTable table;
  table.Cells.assign(V * R + 1, std::vector<std::string>(kIndicatorColumns));
  table.Cells[0] = IndicatorTitles();
  for (std::size_t j = 0; j < V; ++j) {
    const std::uint8_t variant = active[j];
    if (variant >= fits.size()) {
      throw Error("Вариант модели " + std::to_string(variant) + " не существует");
    }
    const std::string name = refpoints::VariantName(fits[variant]);
    for (std::size_t s = 0; s < R; ++s) {
      auto& row = table.Cells[IndicatorRow(j, s, R)];
      row[0] = name;
      row[1] = RuleText(rules[s], mark);
    }
  }
  return table;
}

std::vector<std::string> IndicatorCells(const RuleIndicators& v, char mark) {
  return {FormatGeneral(v.RecoveryTime, mark),       FormatFixed(v.MeanForecastBiomass, 1, mark),
          FormatFixed(v.MeanForecastCatch, 1, mark), FormatFixed(v.BiomassRatio, 1, mark),
          FormatFixed(v.CatchRatio, 1, mark),        FormatGeneral(v.ProbBelowBlim, mark),
          FormatGeneral(v.ProbBelowCmin, mark),      FormatGeneral(v.ProbBelowReferenceBlim, mark)};
}

void ApplyIndicatorRows(IndicatorTable& table, const std::vector<IndicatorRowResult>& rows) {
  for (const IndicatorRowResult& row : rows) {
    if (row.Row >= table.Cells.size()) continue;
    auto& cells = table.Cells[row.Row];
    for (std::size_t c = 0; c < row.Cells.size() && c + 2 < cells.size(); ++c) {
      cells[c + 2] = row.Cells[c];
    }
  }
}

}  // namespace tarvik::projection
