#include "diagnostics/checklist_view.h"

#include <algorithm>
#include <cmath>

#include "common/numbers.h"
#include "data/data_table.h"

namespace tarvik::diagnostics {
namespace {

std::string Fixed(double x, int decimals, char mark) {
  return std::isfinite(x) ? FormatFixed(x, decimals, mark) : "—";
}

// A test's row: the figures when it could be made, else its reason.
std::array<std::string, 4> TestRow(const char* name, bool assessable, const std::string& reason,
                                   std::string statistic, double p, char mark) {
  if (!assessable) return {name, "—", "—", "не оценивается: " + reason};
  const bool rejected = p < kResidualTestLevel;
  return {
      name, std::move(statistic), Fixed(p, 4, mark),
      rejected ? "отклонение (p < " + Fixed(kResidualTestLevel, 2, mark) + ")" : "нет отклонения"};
}

}  // namespace

const char* StatusMark(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok:
      return "✓";
    case CheckStatus::Warning:
      return "!";
    case CheckStatus::Fail:
      return "✗";
    case CheckStatus::NotAssessable:
      break;
  }
  return "–";
}

DiagnosisView ViewOfDiagnosis(const VariantDiagnosis& d, char mark) {
  DiagnosisView view;
  const Checklist& list = d.Items;
  view.Heading = "Вариант «" + d.Label + "»";
  view.Result = list.Result;
  view.VerdictText = list.VerdictText;
  view.MarkTip = "Диагностика: " + list.VerdictText;
  for (const CheckItem& item : list.Items) {
    view.Checks.push_back(
        {item.Status, StatusMark(item.Status), item.Name, item.Value, item.Explanation});
  }
  const ResidualTests& t = list.Tests;
  view.Tests.push_back(
      TestRow("Серии знаков (Вальд — Вольфовиц)", t.Runs.Assessable, t.Runs.Reason,
              "серий " + std::to_string(t.Runs.Runs) + ", z = " + Fixed(t.Runs.Z, 3, mark),
              t.Runs.P, mark));
  view.Tests.push_back(TestRow("Нормальность (Шапиро — Уилк)", t.Normality.Assessable,
                               t.Normality.Reason, "W = " + Fixed(t.Normality.W, 4, mark),
                               t.Normality.P, mark));
  const LjungBox& lb = t.Autocorrelation;
  view.Tests.push_back(TestRow("Автокорреляция (Льюнг — Бокс)", lb.Assessable, lb.Reason,
                               "Q = " + Fixed(lb.Q, 3, mark) + ", лаг " + std::to_string(lb.Lag),
                               lb.P, mark));
  return view;
}

estimation::ResidualChart ResidualChartOf(const VariantDiagnosis& d) {
  estimation::ResidualChart chart;
  chart.Title = "Остатки по годам: " + d.Label;
  chart.YTitle = d.ResidualsName;
  const std::size_t n = std::min(d.Residuals.size(), d.ResidualYears.size());
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(d.Residuals[k])) {
      chart.Residuals.clear();
      break;
    }
    chart.Residuals.push_back({static_cast<double>(d.ResidualYears[k]), d.Residuals[k]});
  }
  if (!chart.Residuals.empty()) {
    chart.ZeroLine = {{chart.Residuals.front().x, 0.0}, {chart.Residuals.back().x, 0.0}};
  }
  return chart;
}

}  // namespace tarvik::diagnostics
